#include "context/context_model.h"

#include <algorithm>
#include <unordered_map>

#include "text/files.h"
#include "text/utf.h"

namespace kjf {

namespace {

constexpr std::size_t kCharacterCount = 0x10000;

bool isSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDFFF;
}

bool isHan(char16_t u) {
    return (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3400 && u <= 0x4DBF);
}

struct Row {
    char16_t key;
    std::string value;
};

// The rows "character<TAB>value" of a context table; '#' lines and blank lines are skipped, and
// so is a row whose key is not one character of the Basic Multilingual Plane.
bool readTable(const std::string& path, std::vector<Row>& rows, std::string& message) {
    const auto bytes = readWholeFile(path);
    if (!bytes) {
        message = "cannot read " + path;
        return false;
    }
    std::size_t start = 0;
    while (start < bytes->size()) {
        std::size_t end = bytes->find('\n', start);
        if (end == std::string::npos) {
            end = bytes->size();
        }
        std::string_view line(bytes->data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto tab = line.find('\t');
        if (tab == std::string_view::npos) {
            continue;
        }
        const std::u16string key = utf8ToUtf16(line.substr(0, tab));
        if (key.size() == 1 && !isSurrogate(key[0])) {
            rows.push_back({key[0], std::string(line.substr(tab + 1))});
        }
    }
    return true;
}

std::vector<std::string> splitBlanks(std::string_view text) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') {
            ++i;
        }
        std::size_t j = i;
        while (j < text.size() && text[j] != ' ') {
            ++j;
        }
        if (j > i) {
            out.emplace_back(text.substr(i, j - i));
        }
        i = j;
    }
    return out;
}

// Per-character lists packed as offsets (kCharacterCount + 1 of them) into one array.
template <typename T>
void pack(std::vector<std::vector<T>>& lists, std::vector<std::uint32_t>& start,
          std::vector<T>& items) {
    start.assign(kCharacterCount + 1, 0);
    for (std::size_t c = 0; c < kCharacterCount; ++c) {
        start[c + 1] = start[c] + static_cast<std::uint32_t>(lists[c].size());
    }
    items.clear();
    items.reserve(start.back());
    for (auto& list : lists) {
        items.insert(items.end(), list.begin(), list.end());
    }
}

template <typename T>
std::span<const T> listOf(const std::vector<std::uint32_t>& start, const std::vector<T>& items,
                          char16_t c) {
    return {items.data() + start[c], items.data() + start[c + 1]};
}

}  // namespace

ContextModel::ContextModel() = default;
ContextModel::~ContextModel() = default;

ContextModelLoad ContextModel::load(const std::string& modelPath,
                                    const std::string& dataDirectory) {
    ContextModelLoad result;
    auto model = std::make_unique<ContextModel>();
    if (!model->loadConfusions(dataDirectory, result.message)) {
        return result;
    }
    if (!model->m_lm.open(modelPath, result.message)) {
        return result;
    }
    try {
        model->buildVocabulary();
    } catch (const std::bad_alloc&) {
        result.message = "not enough memory for the language model's vocabulary";
        return result;
    }
    result.model = std::move(model);
    return result;
}

bool ContextModel::loadConfusions(const std::string& directory, std::string& message) {
    std::vector<Row> readings, near, shapes, variants;
    if (!readTable(directory + "readings.txt", readings, message) ||
        !readTable(directory + "shapes.txt", shapes, message) ||
        !readTable(directory + "variants.txt", variants, message)) {
        return false;
    }
    // near_syllables.txt is keyed by syllables, not characters.
    const auto nearBytes = readWholeFile(directory + "near_syllables.txt");
    if (!nearBytes) {
        message = "cannot read " + directory + "near_syllables.txt";
        return false;
    }

    std::unordered_map<std::string, std::uint16_t> syllableIds;
    const auto idOf = [&](const std::string& s) {
        const auto [it, added] =
            syllableIds.emplace(s, static_cast<std::uint16_t>(syllableIds.size()));
        return it->second;
    };
    std::vector<std::vector<std::uint16_t>> byChar(kCharacterCount);
    for (const auto& row : readings) {
        for (const auto& s : splitBlanks(row.value)) {
            byChar[row.key].push_back(idOf(s));
        }
    }
    pack(byChar, m_readingStart, m_readings);

    std::size_t start = 0;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> nearPairs;
    while (start < nearBytes->size()) {
        std::size_t end = nearBytes->find('\n', start);
        if (end == std::string::npos) {
            end = nearBytes->size();
        }
        const std::string_view line(nearBytes->data() + start, end - start);
        start = end + 1;
        const auto tab = line.find('\t');
        if (line.empty() || line.front() == '#' || tab == std::string_view::npos) {
            continue;
        }
        const auto from = idOf(std::string(line.substr(0, tab)));
        for (const auto& s : splitBlanks(line.substr(tab + 1))) {
            nearPairs.emplace_back(from, idOf(s));
        }
    }
    m_nearSyllables.assign(syllableIds.size(), {});
    for (const auto& [a, b] : nearPairs) {
        m_nearSyllables[a].push_back(b);
    }

    const auto characterLists = [](const std::vector<Row>& rows, std::vector<std::uint32_t>& first,
                                   std::vector<char16_t>& items) {
        std::vector<std::vector<char16_t>> lists(kCharacterCount);
        for (const auto& row : rows) {
            for (const char16_t u : utf8ToUtf16(row.value)) {
                if (!isSurrogate(u) && u != row.key) {
                    lists[row.key].push_back(u);
                }
            }
            std::sort(lists[row.key].begin(), lists[row.key].end());
        }
        pack(lists, first, items);
    };
    // Characters mostly written in names: an optional table, older data folders lack it.
    std::vector<Row> names;
    std::string ignored;
    if (readTable(directory + "name_chars.txt", names, ignored)) {
        m_nameCharacters.assign(kCharacterCount, false);
        for (const auto& row : names) {
            m_nameCharacters[row.key] = true;
        }
    }
    characterLists(shapes, m_shapeStart, m_shapes);
    characterLists(variants, m_variantStart, m_variants);
    if (m_readings.empty()) {
        message = "no readings in " + directory + "readings.txt";
        return false;
    }
    buildConfusables();
    return true;
}

void ContextModel::buildVocabulary() {
    const auto& words = m_lm.words();
    m_edges.reserve(words.size() * 3);
    m_nodeWord.assign(1, m_lm.unknown());

    struct Masked {
        std::uint64_t key;
        char16_t fill;
    };
    std::vector<Masked> masked;
    masked.reserve(words.size() * 3);
    struct Sound {
        std::uint64_t key;
        std::uint32_t word;
        float unigram;
    };
    std::vector<Sound> sounds;

    LanguageModelState ignored;
    m_unknownUnigram = m_lm.score(m_lm.beginState(), m_lm.unknown(), ignored);
    for (const auto& [utf8, index] : words) {
        if (index >= m_unigram.size()) {
            m_unigram.resize(index + 1, m_unknownUnigram);
        }
        m_unigram[index] = m_lm.score(m_lm.beginState(), index, ignored);
        const std::u16string word = utf8ToUtf16(utf8);
        if (word.empty() || word.size() > static_cast<std::size_t>(kMaxWordLength)) {
            continue;
        }
        std::uint32_t node = kRoot;
        for (const char16_t u : word) {
            const auto key = (static_cast<std::uint64_t>(node) << 16) | u;
            const auto next = static_cast<std::uint32_t>(m_nodeWord.size());
            node = m_edges.insert(key, next);
            if (node == next) {
                m_nodeWord.push_back(m_lm.unknown());
            }
        }
        m_nodeWord[node] = index;

        if (word.size() < 2 || word.size() > 4 ||
            !std::all_of(word.begin(), word.end(), [](char16_t u) { return isHan(u); })) {
            continue;
        }
        for (std::size_t k = 0; k < word.size(); ++k) {
            masked.push_back({maskedKey(word, k), word[k]});
        }
        SoundKeys keys;
        const std::size_t keyCount = soundKeys(word, keys);
        if (keyCount != 0) {
            const auto ref = static_cast<std::uint32_t>(m_wordPool.size()) |
                             (static_cast<std::uint32_t>(word.size()) << 28);
            m_wordPool += word;
            for (std::size_t k = 0; k < keyCount; ++k) {
                sounds.push_back({keys[k], ref, m_unigram[index]});
            }
        }
    }
    m_lm.releaseWords();

    std::sort(masked.begin(), masked.end(), [](const Masked& a, const Masked& b) {
        return a.key != b.key ? a.key < b.key : a.fill < b.fill;
    });
    m_maskGroups.reserve(masked.size() / 2);
    m_fills.reserve(masked.size());
    for (std::size_t i = 0; i < masked.size(); ++i) {
        if (i == 0 || masked[i].key != masked[i - 1].key) {
            m_maskGroups.insert(masked[i].key, static_cast<std::uint32_t>(m_maskStart.size()));
            m_maskStart.push_back(static_cast<std::uint32_t>(m_fills.size()));
        }
        m_fills.push_back(masked[i].fill);
    }
    m_maskStart.push_back(static_cast<std::uint32_t>(m_fills.size()));

    std::sort(sounds.begin(), sounds.end(), [](const Sound& a, const Sound& b) {
        return a.key != b.key ? a.key < b.key : a.word < b.word;
    });
    m_soundGroups.reserve(sounds.size() / 2);
    for (std::size_t i = 0; i < sounds.size(); ++i) {
        if (i == 0 || sounds[i].key != sounds[i - 1].key) {
            m_soundGroups.insert(sounds[i].key, static_cast<std::uint32_t>(m_soundStart.size()));
            m_soundStart.push_back(static_cast<std::uint32_t>(m_soundWords.size()));
        }
        m_soundWords.push_back(sounds[i].word);
        m_soundUnigram.push_back(sounds[i].unigram);
    }
    m_soundStart.push_back(static_cast<std::uint32_t>(m_soundWords.size()));
}

LanguageModel::WordIndex ContextModel::wordIndex(std::u16string_view word) const {
    std::uint32_t node = kRoot;
    for (const char16_t u : word) {
        node = child(node, u);
        if (node == kNoNode) {
            return m_lm.unknown();
        }
    }
    return m_nodeWord[node];
}

std::uint64_t ContextModel::maskedKey(std::u16string_view word, std::size_t masked) {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint64_t unit = i >= word.size() ? 0xFFFF : i == masked ? 0 : word[i];
        key |= unit << (16 * i);
    }
    return key;
}

std::span<const char16_t> ContextModel::fills(std::uint64_t key) const {
    const auto group = m_maskGroups.find(key, kNoNode);
    if (group == kNoNode) {
        return {};
    }
    return {m_fills.data() + m_maskStart[group], m_fills.data() + m_maskStart[group + 1]};
}

Confusion ContextModel::confusion(char16_t written, char16_t meant) const {
    const auto list = confusables(written);
    const auto it =
        std::lower_bound(list.begin(), list.end(), meant,
                         [](const Confusable& c, char16_t u) { return c.character < u; });
    return it != list.end() && it->character == meant ? it->kind : Confusion::None;
}

void ContextModel::buildConfusables() {
    // Every pair related by a reading, a near reading, a shape or a variant, each once with the
    // kind that needs the least evidence.
    std::vector<std::vector<char16_t>> bySyllable(m_nearSyllables.size());
    for (std::size_t c = 0; c < kCharacterCount; ++c) {
        for (const auto s : listOf(m_readingStart, m_readings, static_cast<char16_t>(c))) {
            bySyllable[s].push_back(static_cast<char16_t>(c));
        }
    }
    std::vector<std::vector<Confusable>> lists(kCharacterCount);
    std::vector<char16_t> others;
    for (std::size_t c = 0; c < kCharacterCount; ++c) {
        const auto written = static_cast<char16_t>(c);
        others.clear();
        for (const auto s : listOf(m_readingStart, m_readings, written)) {
            others.insert(others.end(), bySyllable[s].begin(), bySyllable[s].end());
            for (const auto near : m_nearSyllables[s]) {
                others.insert(others.end(), bySyllable[near].begin(), bySyllable[near].end());
            }
        }
        const auto shapes = listOf(m_shapeStart, m_shapes, written);
        const auto variants = listOf(m_variantStart, m_variants, written);
        others.insert(others.end(), shapes.begin(), shapes.end());
        others.insert(others.end(), variants.begin(), variants.end());
        std::sort(others.begin(), others.end());
        others.erase(std::unique(others.begin(), others.end()), others.end());
        for (const char16_t meant : others) {
            if (const Confusion kind = relate(written, meant); kind != Confusion::None) {
                lists[c].push_back({meant, kind});
            }
        }
    }
    pack(lists, m_confusableStart, m_confusables);
}

Confusion ContextModel::relate(char16_t written, char16_t meant) const {
    if (written == meant) {
        return Confusion::None;
    }
    const auto variants = listOf(m_variantStart, m_variants, written);
    if (std::binary_search(variants.begin(), variants.end(), meant)) {
        return Confusion::Variant;
    }
    const auto a = listOf(m_readingStart, m_readings, written);
    const auto b = listOf(m_readingStart, m_readings, meant);
    for (const auto x : a) {
        if (std::find(b.begin(), b.end(), x) != b.end()) {
            return Confusion::SameSound;
        }
    }
    for (const auto x : a) {
        for (const auto y : m_nearSyllables[x]) {
            if (std::find(b.begin(), b.end(), y) != b.end()) {
                return Confusion::NearSound;
            }
        }
    }
    const auto shapes = listOf(m_shapeStart, m_shapes, written);
    if (std::binary_search(shapes.begin(), shapes.end(), meant)) {
        return Confusion::Shape;
    }
    return Confusion::None;
}

std::size_t ContextModel::soundKeys(std::u16string_view word, SoundKeys& keys) const {
    std::size_t count = 1;
    keys[0] = static_cast<std::uint64_t>(word.size()) << 60;
    SoundKeys next;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const auto readings = listOf(m_readingStart, m_readings, word[i]);
        if (readings.empty()) {
            return 0;
        }
        std::size_t made = 0;
        for (std::size_t k = 0; k < count; ++k) {
            for (const auto r : readings) {
                if (made < kMaxSoundKeys) {
                    next[made++] = keys[k] | (static_cast<std::uint64_t>(r) << (15 * i));
                }
            }
        }
        keys = next;
        count = made;
    }
    return count;
}

std::vector<std::u16string_view> ContextModel::sameSoundWords(std::u16string_view word) const {
    std::vector<std::u16string_view> out;
    sameSoundWords(word, out);
    return out;
}

void ContextModel::sameSoundWords(std::u16string_view word, std::vector<std::u16string_view>& out,
                                  float minUnigram) const {
    out.clear();
    if (word.size() < 2 || word.size() > 4) {
        return;
    }
    SoundKeys keys;
    const std::size_t keyCount = soundKeys(word, keys);
    for (std::size_t key = 0; key < keyCount; ++key) {
        const auto group = m_soundGroups.find(keys[key], kNoNode);
        if (group == kNoNode) {
            continue;
        }
        for (auto i = m_soundStart[group]; i < m_soundStart[group + 1]; ++i) {
            if (m_soundUnigram[i] < minUnigram) {
                continue;
            }
            const std::u16string_view other(m_wordPool.data() + (m_soundWords[i] & 0x0FFFFFFF),
                                            m_soundWords[i] >> 28);
            int differing = 0;
            for (std::size_t k = 0; k < word.size(); ++k) {
                differing += other[k] != word[k] ? 1 : 0;
            }
            if (differing >= 2) {
                out.push_back(other);
            }
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

std::size_t ContextModel::memoryUsage() const {
    return m_edges.memoryUsage() + m_nodeWord.capacity() * sizeof(std::uint32_t) +
           m_unigram.capacity() * sizeof(float) + m_maskGroups.memoryUsage() +
           m_maskStart.capacity() * 4 + m_fills.capacity() * 2 + m_readingStart.capacity() * 4 +
           m_readings.capacity() * 2 + m_shapeStart.capacity() * 4 + m_shapes.capacity() * 2 +
           m_variantStart.capacity() * 4 + m_variants.capacity() * 2 +
           m_confusableStart.capacity() * 4 + m_confusables.capacity() * sizeof(Confusable) +
           m_soundGroups.memoryUsage() + m_soundStart.capacity() * 4 + m_soundWords.capacity() * 4 +
           m_soundUnigram.capacity() * 4 + m_wordPool.capacity() * 2 +
           m_nameCharacters.capacity() / 8;
}

}  // namespace kjf
