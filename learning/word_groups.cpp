#include "learning/word_groups.h"

#include "dictionaries/dictionary_operations.h"
#include "engine/checking_engine.h"
#include "engine/dictionary_file.h"
#include "engine/dictionary_kind.h"
#include "text/files.h"
#include "text/utf.h"

namespace kjf {

namespace {

bool isCorrectWord(const rg_ChaCuoYinQing& engine, std::u16string_view text) {
    const rg_ChaCuoYinQing::TableReadGuard guard(engine);
    return engine.correctWords().contains(text);
}

}  // namespace

WordGroupInput takeWordGroupInput(const rg_ChaCuoYinQing& engine) {
    return WordGroupInput{engine.findings(), engine.quantization()};
}

void analyzeWordGroups(rg_ChaCuoYinQing& engine, const WordGroupInput& input,
                       const WordGroupSink& sink, std::stop_token stop) {
    const std::int64_t n = input.quantization;
    if (n <= 2) {
        return;
    }
    std::u16string context;
    const auto fetch = [&](std::int64_t position, std::int64_t length) {
        context.clear();
        engine.onTextRequested.call(engine, static_cast<std::int32_t>(position),
                                    static_cast<std::int32_t>(length), context);
    };
    const auto emit = [&](const std::u16string& source, std::u16string group, std::int64_t start) {
        WordGroupRow row;
        row.source = source;
        row.length = static_cast<std::int32_t>(group.size());
        row.group = std::move(group);
        row.start = static_cast<std::int32_t>(start);
        sink(row);
    };
    constexpr std::int64_t kLastPosition = INT32_MAX;
    for (const rg_BiaoJiCiYuLei& finding : input.findings) {
        if (stop.stop_requested()) {
            return;
        }
        const std::u16string& word = finding.word;
        const std::int64_t position = finding.position;
        if (word.empty() || groupDelimiterSet.find(word) != std::u16string_view::npos) {
            continue;
        }
        bool found = false;
        for (std::int64_t j = 2; j < n && !found; ++j) {
            if (position - j < 0) {
                continue;
            }
            fetch(position - j, j);
            if (!context.empty() && isCorrectWord(engine, context)) {
                const auto start = position - static_cast<std::int64_t>(context.size());
                emit(word, context + word, start);
                found = true;
            }
        }
        // The following text starts after the whole word, so that the group is the range that
        // a click on its row selects. For a one-unit word that is the next position.
        const std::int64_t after = position + static_cast<std::int64_t>(word.size());
        for (std::int64_t j = 2; j < n && !found && after <= kLastPosition; ++j) {
            fetch(after, j);
            if (!context.empty() && isCorrectWord(engine, context) &&
                word.size() + context.size() <= static_cast<std::size_t>(kLastPosition)) {
                emit(word, word + context, position);
                found = true;
            }
        }
    }
}

WriteResult appendToAutoDictionary(const Locations& locations,
                                   const std::vector<std::u16string>& entries) {
    if (!makeDirectoryPath(locations.dictionaryDirectory(DictionaryKind::Automatic))) {
        return WriteResult::failed(ReplaceOutcome::CannotCreate, errno);
    }
    const std::string path = locations.automaticDictionaryPath();
    // The file is rewritten whole, so that a failed write leaves it as it was rather than with
    // part of the new words.
    const DictionaryWithLines added = withLinesAdded(path, entries);
    if (!added.status) {
        return added.status;
    }
    std::string bytes = encodeDictionaryText(added.text);
    // A file saved as UTF-16BE (with its mark) stays so.
    if (added.encoding == DictionaryEncoding::Utf16BigEndian) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            std::swap(bytes[i], bytes[i + 1]);
        }
    }
    return writeFileAtomically(path, bytes);
}

}  // namespace kjf
