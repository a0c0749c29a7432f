#include "context/grammar_rules.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>

#include "text/files.h"
#include "text/utf.h"

namespace kjf {

namespace {

bool isHan(char16_t u) {
    return (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3400 && u <= 0x4DBF);
}

// The lines of a UTF-8 text without their line ends, blank and '#' lines left out, each with its
// 1-based number.
std::vector<std::pair<std::size_t, std::string_view>> contentLines(std::string_view text) {
    std::vector<std::pair<std::size_t, std::string_view>> out;
    std::size_t number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        while (!line.empty() && line.front() == ' ') {
            line.remove_prefix(1);
        }
        if (!line.empty() && line.front() != '#') {
            out.emplace_back(number, line);
        }
    }
    return out;
}

std::vector<std::string_view> splitOn(std::string_view text, char separator) {
    std::vector<std::string_view> out;
    std::size_t from = 0;
    for (;;) {
        const auto at = text.find(separator, from);
        out.push_back(text.substr(from, at == std::string_view::npos ? at : at - from));
        if (at == std::string_view::npos) {
            return out;
        }
        from = at + 1;
    }
}

std::vector<std::string_view> splitBlanks(std::string_view text) {
    std::vector<std::string_view> out;
    for (const auto piece : splitOn(text, ' ')) {
        if (!piece.empty()) {
            out.push_back(piece);
        }
    }
    return out;
}

bool allHan(std::u16string_view word) {
    return !word.empty() && std::all_of(word.begin(), word.end(), isHan);
}

// 慢慢, 高高兴兴, 绿油油: a word of a doubled character in one of the shapes AA, AABB, ABB.
bool isReduplicated(std::u16string_view w) {
    switch (w.size()) {
        case 2:
            return w[0] == w[1];
        case 3:
            return w[1] == w[2] && w[0] != w[1];
        case 4:
            return w[0] == w[1] && w[2] == w[3] && w[0] != w[2];
        default:
            return false;
    }
}

}  // namespace

std::uint32_t GrammarRules::tagIndex(const std::string& tag) {
    return m_tagNames.emplace(tag, static_cast<std::uint32_t>(m_tagNames.size())).first->second;
}

bool GrammarRules::parse(std::string_view rules, std::string_view wordClasses,
                         std::string& message) {
    m_rules.clear();
    m_lists.clear();
    m_listNames.clear();
    m_tagNames.clear();
    m_wordTags.clear();
    m_anchorCharacters.clear();
    for (const auto& [number, line] : contentLines(wordClasses)) {
        const auto cells = splitOn(line, '\t');
        if (cells.size() != 2 || cells[0].empty() || cells[1].empty()) {
            message = "word classes, line " + std::to_string(number) + ": not word<TAB>tag";
            return false;
        }
        m_wordTags.emplace(utf8ToUtf16(cells[0]), tagIndex(std::string(cells[1])));
    }

    const auto bad = [&](std::size_t number, const std::string& why) {
        message = "grammar rules, line " + std::to_string(number) + ": " + why;
        return false;
    };
    for (const auto& [number, line] : contentLines(rules)) {
        if (line.front() == '@') {
            const auto equals = line.find('=');
            if (equals == std::string_view::npos) {
                return bad(number, "a list needs '='");
            }
            const auto names = splitBlanks(line.substr(1, equals - 1));
            if (names.size() != 1) {
                return bad(number, "a list needs one name");
            }
            std::vector<std::u16string> words;
            for (const auto w : splitBlanks(line.substr(equals + 1))) {
                words.push_back(utf8ToUtf16(w));
            }
            std::sort(words.begin(), words.end());
            if (words.empty() ||
                !m_listNames
                     .emplace(std::string(names[0]), static_cast<std::uint32_t>(m_lists.size()))
                     .second) {
                return bad(number, "an empty or repeated list");
            }
            m_lists.push_back(std::move(words));
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            return bad(number, "a rule needs a name and ':'");
        }
        Rule rule;
        rule.name = std::string(line.substr(0, colon));
        bool anchored = false;
        auto tokens = splitBlanks(line.substr(colon + 1));
        if (!tokens.empty() && tokens.back().front() == '~') {
            const auto figure = tokens.back().substr(1);
            float gain = 0;
            const auto [end, error] =
                std::from_chars(figure.data(), figure.data() + figure.size(), gain);
            if (figure.empty() || error != std::errc() || end != figure.data() + figure.size()) {
                return bad(number, "'~' needs a number");
            }
            rule.minGain = gain;
            tokens.pop_back();
        }
        for (auto token : tokens) {
            Matcher m;
            if (token.front() == '!') {
                m.negated = true;
                token.remove_prefix(1);
            }
            if (!token.empty() && token.back() == '?') {
                m.optional = true;
                token.remove_suffix(1);
            }
            if (token.size() > 1 && token.back() == '+') {
                m.repeated = true;
                token.remove_suffix(1);
            }
            for (const auto alternative : splitOn(token, '|')) {
                Alternative a{};
                if (alternative == "$" || alternative == "^" || alternative == "%") {
                    a.kind = alternative == "$"   ? Alternative::Kind::End
                             : alternative == "%" ? Alternative::Kind::Edge
                                                  : Alternative::Kind::Start;
                } else if (alternative == "@redup") {
                    a.kind = Alternative::Kind::Redup;
                } else if (!alternative.empty() && alternative.front() == '@') {
                    const std::string name(alternative.substr(1));
                    const auto list = m_listNames.find(name);
                    if (list != m_listNames.end()) {
                        a.kind = Alternative::Kind::List;
                        a.index = list->second;
                    } else if (const auto tag = m_tagNames.find(name); tag != m_tagNames.end()) {
                        a.kind = Alternative::Kind::Tag;
                        a.index = tag->second;
                    } else {
                        return bad(number, "no list or word class " + name);
                    }
                } else if (const auto arrow = alternative.find('>');
                           arrow != std::string_view::npos) {
                    if (anchored || token.find('|') != std::string_view::npos || m.negated ||
                        m.optional || m.repeated) {
                        return bad(number, "one plain word>replacement per rule");
                    }
                    anchored = true;
                    rule.anchor = rule.matchers.size();
                    rule.from = utf8ToUtf16(alternative.substr(0, arrow));
                    rule.to = utf8ToUtf16(alternative.substr(arrow + 1));
                    if (!allHan(rule.from) || !allHan(rule.to)) {
                        return bad(number, "a replacement of Han characters");
                    }
                    a.kind = Alternative::Kind::Word;
                    a.word = rule.from;
                } else {
                    const bool prefix = alternative.size() > 1 && alternative.back() == '*';
                    const bool suffix = alternative.size() > 1 && alternative.front() == '*';
                    a.kind = prefix   ? Alternative::Kind::Prefix
                             : suffix ? Alternative::Kind::Suffix
                                      : Alternative::Kind::Word;
                    a.word = utf8ToUtf16(prefix   ? alternative.substr(0, alternative.size() - 1)
                                         : suffix ? alternative.substr(1)
                                                  : alternative);
                    if (!allHan(a.word)) {
                        return bad(number, "a word of Han characters");
                    }
                }
                m.alternatives.push_back(std::move(a));
            }
            rule.matchers.push_back(std::move(m));
        }
        if (!anchored) {
            return bad(number, "no word>replacement");
        }
        if (m_anchorCharacters.find(rule.from[0]) == std::u16string::npos) {
            m_anchorCharacters += rule.from[0];
        }
        m_rules.push_back(std::move(rule));
    }
    return true;
}

bool GrammarRules::load(const std::string& directory, std::string& message) {
    const auto rules = readWholeFile(directory + "grammar.txt");
    const auto classes = readWholeFile(directory + "word_classes.txt");
    if (!rules || !classes) {
        message = "cannot read " + directory + (rules ? "word_classes.txt" : "grammar.txt");
        return false;
    }
    return parse(*rules, *classes, message);
}

bool GrammarRules::matches(const Alternative& a, const Clause& clause, std::ptrdiff_t at) const {
    const Words& words = clause.words;
    const std::u16string_view text = clause.text;
    const auto n = static_cast<std::ptrdiff_t>(words.size());
    switch (a.kind) {
        case Alternative::Kind::Start:
            return at < 0 && clause.opened;
        case Alternative::Kind::End:
            return at >= n && clause.closed;
        case Alternative::Kind::Edge:
            return at >= n;
        default:
            break;
    }
    if (at < 0 || at >= n) {
        return false;
    }
    const Word& w = words[static_cast<std::size_t>(at)];
    const auto word =
        text.substr(static_cast<std::size_t>(w.begin), static_cast<std::size_t>(w.length));
    switch (a.kind) {
        case Alternative::Kind::Word:
            return word == a.word;
        case Alternative::Kind::Prefix:
            return word.starts_with(a.word);
        case Alternative::Kind::Suffix:
            return word.ends_with(a.word);
        case Alternative::Kind::List: {
            const auto& list = m_lists[a.index];
            return std::binary_search(list.begin(), list.end(), word);
        }
        case Alternative::Kind::Tag:
            return w.tag == static_cast<std::int32_t>(a.index);
        case Alternative::Kind::Redup:
            return isReduplicated(word);
        default:
            return false;
    }
}

int GrammarRules::takes(const Matcher& m, const Clause& clause, std::ptrdiff_t at) const {
    bool hit = false;
    bool takesNone = false;
    for (const auto& a : m.alternatives) {
        if (matches(a, clause, at)) {
            hit = true;
            takesNone = takesNone || a.kind == Alternative::Kind::Start ||
                        a.kind == Alternative::Kind::End || a.kind == Alternative::Kind::Edge;
        }
    }
    if (m.negated) {
        return !hit && at >= 0 && at < static_cast<std::ptrdiff_t>(clause.words.size()) ? 1 : -1;
    }
    return hit ? (takesNone ? 0 : 1) : -1;
}

// Matchers before the anchor are matched leftwards from the word before it, those after it
// rightwards from the word after it. '^', '$' and '%' take no word, every other matcher one (a
// repeated one one to kMaxRepeat).
bool GrammarRules::matchLeft(const Rule& rule, std::ptrdiff_t matcher, const Clause& clause,
                             std::ptrdiff_t at) const {
    if (matcher < 0) {
        return true;
    }
    const Matcher& m = rule.matchers[static_cast<std::size_t>(matcher)];
    if (m.optional && matchLeft(rule, matcher - 1, clause, at)) {
        return true;
    }
    for (int count = 1; count <= (m.repeated ? kMaxRepeat : 1); ++count) {
        const int taken = takes(m, clause, at - (count - 1));
        if (taken < 0) {
            return false;
        }
        if (matchLeft(rule, matcher - 1, clause, at - (count - 1) - taken)) {
            return true;
        }
        if (taken == 0) {
            return false;
        }
    }
    return false;
}

bool GrammarRules::matchRight(const Rule& rule, std::size_t matcher, const Clause& clause,
                              std::ptrdiff_t at) const {
    if (matcher >= rule.matchers.size()) {
        return true;
    }
    const Matcher& m = rule.matchers[matcher];
    if (m.optional && matchRight(rule, matcher + 1, clause, at)) {
        return true;
    }
    for (int count = 1; count <= (m.repeated ? kMaxRepeat : 1); ++count) {
        const int taken = takes(m, clause, at + (count - 1));
        if (taken < 0) {
            return false;
        }
        if (matchRight(rule, matcher + 1, clause, at + (count - 1) + taken)) {
            return true;
        }
        if (taken == 0) {
            return false;
        }
    }
    return false;
}

std::int32_t GrammarRules::tagOf(std::u16string_view word) const {
    if (const auto tag = m_wordTags.find(std::u16string(word)); tag != m_wordTags.end()) {
        return static_cast<std::int32_t>(tag->second);
    }
    // The model's vocabulary holds many verbs with their aspect particle as one word (走了, 看着,
    // 去过): they read as the verb.
    if (word.size() >= 2 &&
        (word.back() == u'了' || word.back() == u'着' || word.back() == u'过')) {
        const auto tag = m_wordTags.find(std::u16string(word.substr(0, word.size() - 1)));
        if (tag != m_wordTags.end()) {
            return static_cast<std::int32_t>(tag->second);
        }
    }
    return -1;
}

void GrammarRules::cut(const ContextModel& model, std::u16string_view text, std::int32_t begin,
                       std::int32_t end, Words& words, std::vector<float>& best,
                       std::vector<std::int32_t>& from) const {
    const auto& lm = model.languageModel();
    const float unknownCost = model.unigram(lm.unknown());
    // The clause's likeliest reading as words of the model's vocabulary, each word scored
    // by its unigram probability alone.
    const auto length = static_cast<std::size_t>(end - begin);
    best.assign(length + 1, -std::numeric_limits<float>::infinity());
    from.assign(length + 1, 0);
    best[0] = 0;
    for (std::size_t x = 0; x < length; ++x) {
        std::uint32_t node = ContextModel::kRoot;
        bool single = false;
        for (std::size_t y = x; y < length && y - x < ContextModel::kMaxWordLength; ++y) {
            node = model.child(node, text[static_cast<std::size_t>(begin) + y]);
            if (node == ContextModel::kNoNode) {
                break;
            }
            const auto w = model.wordAt(node);
            if (w == lm.unknown()) {
                continue;
            }
            single = single || y == x;
            if (best[x] + model.unigram(w) > best[y + 1]) {
                best[y + 1] = best[x] + model.unigram(w);
                from[y + 1] = static_cast<std::int32_t>(x);
            }
        }
        if (!single && best[x] + unknownCost > best[x + 1]) {
            best[x + 1] = best[x] + unknownCost;
            from[x + 1] = static_cast<std::int32_t>(x);
        }
    }
    words.clear();
    for (auto x = static_cast<std::int32_t>(length); x > 0; x = from[static_cast<std::size_t>(x)]) {
        const std::int32_t start = from[static_cast<std::size_t>(x)];
        const auto word = text.substr(static_cast<std::size_t>(begin + start),
                                      static_cast<std::size_t>(x - start));
        words.push_back({begin + start, x - start, tagOf(word)});
    }
    std::reverse(words.begin(), words.end());
}

std::vector<std::pair<std::u16string, std::string>> GrammarRules::wordsOf(
    const ContextModel& model, std::u16string_view clause) const {
    Words words;
    std::vector<float> best;
    std::vector<std::int32_t> from;
    cut(model, clause, 0, static_cast<std::int32_t>(clause.size()), words, best, from);
    std::vector<std::pair<std::u16string, std::string>> out;
    for (const Word& w : words) {
        std::string tag;
        for (const auto& [name, index] : m_tagNames) {
            if (static_cast<std::int32_t>(index) == w.tag) {
                tag = name;
            }
        }
        out.emplace_back(
            clause.substr(static_cast<std::size_t>(w.begin), static_cast<std::size_t>(w.length)),
            tag);
    }
    return out;
}

float GrammarRules::gainOf(const ContextModel& model, const Clause& clause, std::size_t at,
                           std::u16string_view replacement) {
    const LanguageModel& lm = model.languageModel();
    const auto indexAt = [&](std::size_t i) {
        const Word& w = clause.words[i];
        return model.wordIndex(clause.text.substr(static_cast<std::size_t>(w.begin),
                                                  static_cast<std::size_t>(w.length)));
    };
    const std::size_t end = std::min(clause.words.size(), at + 3);
    LanguageModelState state = lm.beginState();
    LanguageModelState next;
    for (std::size_t i = 0; i < at; ++i) {
        lm.score(state, indexAt(i), next);
        state = next;
    }
    // The same words after the written word and after its replacement.
    const auto score = [&](LanguageModel::WordIndex first) {
        LanguageModelState s = state;
        LanguageModelState out;
        double total = lm.score(s, first, out);
        for (std::size_t i = at + 1; i < end; ++i) {
            s = out;
            total += lm.score(s, indexAt(i), out);
        }
        return total;
    };
    return static_cast<float>(score(model.wordIndex(replacement)) - score(indexAt(at)));
}

std::vector<rg_BiaoJiCiYuLei> GrammarRules::check(const ContextModel& model,
                                                  std::u16string_view text,
                                                  std::vector<std::int64_t>* fired) const {
    std::vector<rg_BiaoJiCiYuLei> out;
    if (fired != nullptr) {
        fired->assign(m_rules.size(), 0);
    }
    if (m_rules.empty()) {
        return out;
    }
    std::vector<float> best;
    std::vector<std::int32_t> from;
    Clause clause;
    Words& words = clause.words;
    // A clause's Chinese characters with the blanks between them left out (读取 时, 感 觉的: a
    // blank is no punctuation), and where each stands in the text.
    std::u16string joined;
    std::vector<std::int32_t> origin;
    const auto n = static_cast<std::int32_t>(text.size());
    const auto isBlank = [&](std::int32_t x) {
        return text[static_cast<std::size_t>(x)] == u' ' ||
               text[static_cast<std::size_t>(x)] == u'\t';
    };
    for (std::int32_t begin = 0; begin < n;) {
        if (!isHan(text[static_cast<std::size_t>(begin)])) {
            ++begin;
            continue;
        }
        joined.clear();
        origin.clear();
        std::int32_t end = begin;
        bool anchored = false;
        for (;;) {
            while (end < n && isHan(text[static_cast<std::size_t>(end)])) {
                const char16_t c = text[static_cast<std::size_t>(end)];
                anchored = anchored || m_anchorCharacters.find(c) != std::u16string::npos;
                joined.push_back(c);
                origin.push_back(end);
                ++end;
            }
            std::int32_t next = end;
            while (next < n && isBlank(next)) {
                ++next;
            }
            if (next == end || next >= n || !isHan(text[static_cast<std::size_t>(next)])) {
                break;
            }
            end = next;
        }
        if (!anchored) {
            begin = end;
            continue;
        }
        clause.text = joined;
        cut(model, joined, 0, static_cast<std::int32_t>(joined.size()), words, best, from);
        // A clause that Latin words or numbers go on (更多 Debian) has not ended.
        std::int32_t next = end;
        while (next < n && isBlank(next)) {
            ++next;
        }
        const char16_t after = next < n ? text[static_cast<std::size_t>(next)] : u'\n';
        clause.closed = !((after >= u'0' && after <= u'9') || (after >= u'A' && after <= u'Z') ||
                          (after >= u'a' && after <= u'z'));

        for (std::size_t i = 0; i < words.size(); ++i) {
            const Word& w = words[i];
            const auto word = clause.text.substr(static_cast<std::size_t>(w.begin),
                                                 static_cast<std::size_t>(w.length));
            if (m_anchorCharacters.find(word[0]) == std::u16string::npos) {
                continue;
            }
            // The model's gain for the word's last replacement asked, for the rules after a
            // gated one that did not fire.
            std::u16string_view gainFor;
            float gain = 0;
            const auto gainEnough = [&](const Rule& rule) {
                if (!rule.minGain) {
                    return true;
                }
                if (gainFor != rule.to) {
                    gainFor = rule.to;
                    gain = gainOf(model, clause, i, rule.to);
                }
                return gain >= *rule.minGain;
            };
            for (std::size_t r = 0; r < m_rules.size(); ++r) {
                const Rule& rule = m_rules[r];
                const auto at = static_cast<std::ptrdiff_t>(i);
                if (word != rule.from ||
                    !matchLeft(rule, static_cast<std::ptrdiff_t>(rule.anchor) - 1, clause,
                               at - 1) ||
                    !matchRight(rule, rule.anchor + 1, clause, at + 1) || !gainEnough(rule)) {
                    continue;
                }
                if (rule.to == rule.from) {
                    break;  // a rule that keeps the word
                }
                const std::int32_t first = origin[static_cast<std::size_t>(w.begin)];
                const std::int32_t last = origin[static_cast<std::size_t>(w.begin + w.length - 1)];
                if (last - first != w.length - 1) {
                    break;  // a word that a blank cuts in two has no replacement to offer
                }
                // A blank just before the word may stand where something was left out (仿真 的行为
                // for 仿真 Wine 的行为): unless blanks part the words on both sides of it, as in
                // text written word by word (被 正确 的 安装), the words before the blank are not
                // read, as if the clause began after it (shell上 显的不自然 still takes 显得).
                const auto following = static_cast<std::size_t>(w.begin + w.length);
                if (w.begin > 0 && first - origin[static_cast<std::size_t>(w.begin) - 1] > 1 &&
                    (following >= origin.size() || origin[following] - last == 1)) {
                    clause.opened = false;
                    const bool alone =
                        matchLeft(rule, static_cast<std::ptrdiff_t>(rule.anchor) - 1, clause, -1);
                    clause.opened = true;
                    if (!alone) {
                        break;
                    }
                }
                rg_BiaoJiCiYuLei f;
                f.type = FindingType::Error;
                f.position = first;
                f.length = w.length;
                f.word = std::u16string(word);
                f.suggestion = rule.to;
                f.source = FindingSource::Rule;
                out.push_back(std::move(f));
                if (fired != nullptr) {
                    ++(*fired)[r];
                }
                break;
            }
        }
        begin = end;
    }
    return out;
}

}  // namespace kjf
