#include "engine/checking_engine.h"

#include <algorithm>
#include <ctime>

#include "engine/scan.h"

namespace kjf {

rg_ChaCuoYinQing::rg_ChaCuoYinQing(DictionaryFolders folders)
    : m_loader(
          std::move(folders),
          {[this](Lists& systemCorrect, Lists& systemError, Lists& userCorrect, Lists& userError) {
               onListsRequested.call(*this, systemCorrect, systemError, userCorrect, userError);
           },
           [this](std::u16string_view path) { onDictionaryFileLoading.call(*this, path); },
           [this] { onDictionariesLoaded.call(*this); }}),
      m_clock([] { return static_cast<std::int64_t>(std::time(nullptr)); }) {}

rg_ChaCuoYinQing::rg_ChaCuoYinQing(const std::string& programDirectory)
    : rg_ChaCuoYinQing(DictionaryFolders::portable(programDirectory)) {}

rg_ChaCuoYinQing::~rg_ChaCuoYinQing() = default;

void rg_ChaCuoYinQing::loadDictionaries() {
    m_loader.load();
}

void rg_ChaCuoYinQing::waitForLoading() {
    m_loader.waitForLoading();
}

std::int32_t rg_ChaCuoYinQing::longestEntryLength() const {
    return std::max(correctWords().longestKeyLength(), errorWords().longestKeyLength());
}

void rg_ChaCuoYinQing::setClockForTesting(std::function<std::int64_t()> clock,
                                          std::int32_t stepsPerReading) {
    m_clock = std::move(clock);
    m_stepsPerClockReading = std::max(1, stepsPerReading);
}

void rg_ChaCuoYinQing::runCheck(std::int32_t totalLength, std::int32_t quantization,
                                std::int32_t engineType, std::int32_t accuracyBoost) {
    {
        TableReadGuard guard(*this);
        m_quantization = quantization < 1 ? longestEntryLength() : quantization;
        m_accuracyBoost = accuracyBoost;
        m_findings.clear();
        m_findingCount = 0;
        if (engineType == 1 || engineType == 2) {
            m_engineType = engineType;
            m_totalLength = totalLength;
            running = 1;
            // Only 1 turns the context check on; every other value reports unmatched characters.
            Scan scan(*this, totalLength, m_quantization, accuracyBoost == 1);
            if (engineType == 1) {
                scan.forwardScan();
            } else {
                scan.reverseScan();
            }
        }
    }
    // The guard is released first: the owner may start a load from these hooks.
    if (engineType == 1 || engineType == 2) {
        onCheckCompleted.call(*this);
    }
    onCheckFinished.call(*this);
}

}  // namespace kjf
