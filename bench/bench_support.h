// What the benchmarks share: the text they check and the process's resident memory.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "run/text_snapshot.h"
#include "text/files.h"
#include "text/utf.h"

namespace kjf::bench {

// About 2 million characters of prose (../shared/corpus beside the source tree, line breaks as
// single LF), or generated text of common characters when it is not there.
inline const std::u16string& corpus() {
    static const std::u16string text = [] {
        namespace fs = std::filesystem;
        std::u16string all;
        const fs::path folder = fs::path(KJF_SOURCE_DIR) / ".." / "shared" / "corpus";
        std::error_code ec;
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            if (entry.path().extension() == ".txt") {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        for (const auto& f : files) {
            if (auto bytes = readWholeFile(f.string())) {
                all += normalizeLineBreaks(decodeUtf8Lenient(*bytes));
            }
        }
        if (all.empty()) {
            std::mt19937 rng(7);
            std::uniform_int_distribution<int> pick(0x4E00, 0x4E00 + 2500);
            for (int i = 0; i < 2'000'000; ++i) {
                all.push_back(i % 23 == 22 ? u'，' : static_cast<char16_t>(pick(rng)));
            }
        }
        return all;
    }();
    return text;
}

// A field of /proc/self/status in kilobytes ("VmRSS:", "VmHWM:"), 0 when it is not there.
inline long statusKilobytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(field.size()));
        }
    }
    return 0;
}

// The process's resident memory now, in kilobytes.
inline long residentKilobytes() {
    return statusKilobytes("VmRSS:");
}

// The most resident memory since the last resetPeakResident (or the start), in kilobytes.
inline long peakResidentKilobytes() {
    return statusKilobytes("VmHWM:");
}

// Lets peakResidentKilobytes measure from now on (Linux: 5 written to clear_refs).
inline void resetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace kjf::bench
