// One scan of a run: the forward and reverse maximum-matching walks and the context check.
// Private to the engine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/checking_engine.h"

namespace kjf {

// The scans give exactly the reports of the window-by-window algorithm (try windows of N,
// N - 1, ... 1 positions, error table before correct table), but fetch the longest window once
// per position and walk the tries over it: the deepest marked node is the longest window that
// is a key of either table. Runs on the run's thread.
class rg_ChaCuoYinQing::Scan {
  public:
    Scan(rg_ChaCuoYinQing& engine, std::int64_t total, std::int64_t n, bool boost)
        : m_engine(engine),
          m_forward(engine.m_loader.image().forward()),
          m_backward(engine.m_loader.image().backward()),
          m_total(total),
          m_n(n),
          m_boost(boost) {}

    void forwardScan();
    void reverseScan();

  private:
    struct Mark {
        std::int64_t depth;
        std::uint32_t mark;
    };

    // One walk over the text at an anchor: the units fetched and the marked depths, shallow first.
    struct Walk {
        std::u16string text;         // forward: from the anchor; backward: ending at the anchor
        std::int64_t requested = 0;  // the length of the last request
        std::vector<Mark> marks;
        bool shortAnswer() const { return static_cast<std::int64_t>(text.size()) < requested; }
    };

    void request(std::int64_t position, std::int64_t length, std::u16string& out) {
        out.clear();
        m_engine.onTextRequested.call(m_engine, static_cast<std::int32_t>(position),
                                      static_cast<std::int32_t>(length), out);
    }

    void walkForward(std::int64_t anchor, std::int64_t maxLength, Walk& walk);
    bool walkBackward(std::int64_t anchor, std::int64_t maxLength, Walk& walk);
    void progress(std::int64_t processed);
    void report(FindingType type, std::int64_t position, std::int64_t length,
                std::u16string_view word, std::u16string_view suggestion);
    std::u16string_view suggestionOf(std::uint32_t mark) const {
        return m_engine.errorWords().valueAt((mark & WordTrie::kErrorMask) - 1);
    }
    void unmatched(std::int64_t x, std::u16string_view character);
    void contextCheck(std::int64_t x, std::u16string_view character);
    bool literalStepReverse(std::int64_t& e);
    bool literalWindowsEndingAt(std::int64_t x);
    void checkLiteral(std::int64_t position, std::int64_t length, std::u16string_view t,
                      std::int32_t& kind);

    rg_ChaCuoYinQing& m_engine;
    const WordTrie m_forward;  // views into the engine's image, which outlives the scan
    const WordTrie m_backward;
    const std::int64_t m_total;
    const std::int64_t m_n;
    const bool m_boost;
    Walk m_walk;
    Walk m_contextWalk;
    std::u16string m_scratch;
    std::u16string m_character;  // the unmatched character being handled
    std::int64_t m_startTime = 0;
    std::int32_t m_clockCountdown = 1;
};

}  // namespace kjf
