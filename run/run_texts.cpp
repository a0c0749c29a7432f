#include "run/run_texts.h"

#include <cmath>
#include <cstdio>

#include "engine/checking_engine.h"
#include "engine/dictionary_file.h"
#include "settings/settings_file.h"
#include "text/files.h"
#include "text/utf.h"

namespace kjf {

std::u16string checkFinishedText(std::size_t findingCount) {
    return u"校对完毕，共检测出" + utf8ToUtf16(std::to_string(findingCount)) + u"个问题！";
}

std::u16string speedText(double speed) {
    std::string number = "0";
    if (std::fabs(speed) > 0.000001) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.15G", speed);
        number = buffer;
    }
    return u"处理速度：" + utf8ToUtf16(number) + u"万字/小时";
}

std::u16string loadProblemText(const LoadProblem& problem) {
    const std::u16string count = utf8ToUtf16(std::to_string(problem.count));
    switch (problem.reason) {
        case LoadProblem::Reason::InvalidName:
            return u"词库名称无效，未加载：" + problem.file;
        case LoadProblem::Reason::Unreadable:
            return u"无法读取词库（" + readFailureText(problem.failure) + u"）：" + problem.file;
        case LoadProblem::Reason::CutShort:
            return u"词库第" + count + u"行有空字符（U+0000）或无法识别的字节，其后的词条未加载：" +
                   problem.file;
        case LoadProblem::Reason::LongEntries:
            return count + u"个词条长于" + utf8ToUtf16(std::to_string(kMaxEntryLength)) +
                   u"个字符，未加载：" + problem.file;
        case LoadProblem::Reason::OutOfMemory:
            return problem.file.empty() ? std::u16string(u"内存不足，词库未能加载。")
                                        : u"内存不足，词库未能全部加载：" + problem.file;
    }
    return problem.file;
}

std::u16string noDictionaryText(const std::string& settingsDirectory) {
    const std::string path = settingsDirectory + std::string(kSettingsFileName);
    std::u16string text =
        u"没有加载到任何词条，无法校对：请检查 " + utf8ToUtf16(path) + u" 启用的词库";
    ReadFailure failure = ReadFailure::None;
    if (!readWholeFile(path, &failure)) {
        // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict for a literal plus a
        // temporary string here.
        text += u"（";
        text += readFailureText(failure);
        text += u"）";
    }
    return text + u"。";
}

bool noWordsLoaded(const rg_ChaCuoYinQing& engine) {
    const rg_ChaCuoYinQing::TableReadGuard guard(engine);
    return engine.correctWords().size() == 0 && engine.errorWords().size() == 0;
}

}  // namespace kjf
