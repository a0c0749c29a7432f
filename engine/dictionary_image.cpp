#include "engine/dictionary_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>

#include "engine/dictionary_kind.h"
#include "text/files.h"

#ifndef KJF_VERSION
#define KJF_VERSION "unknown"
#endif

namespace kjf {

namespace {

// Raised whenever the layout below changes, so that older cache files are rebuilt. 2: the checksum
// covers the header too.
constexpr std::uint32_t kFormat = 2;
constexpr char kMagic[8] = {'K', 'J', 'F', 'D', 'I', 'C', 'T', '\0'};

enum Section : std::uint32_t {
    CorrectKeyOffsets,
    CorrectKeys,
    CorrectTags,
    ErrorKeyOffsets,
    ErrorKeys,
    ErrorValueOffsets,
    ErrorValues,
    ForwardUnits,
    ForwardNodes,
    ForwardRootChildren,
    ForwardBucketIndex,
    ForwardBuckets,
    BackwardUnits,
    BackwardNodes,
    BackwardRootChildren,
    BackwardBucketIndex,
    BackwardBuckets,
    Report,
    SectionCount
};

struct SectionPlace {
    std::uint64_t offset;
    std::uint64_t size;  // bytes
};

struct Header {
    char magic[8];
    std::uint32_t format;
    std::uint32_t headerSize;
    std::uint64_t fingerprint;
    std::uint64_t checksum;  // of every byte, the header's own with this field as zero
    std::uint64_t totalSize;
    std::int32_t correctLongest;
    std::int32_t errorLongest;
    SectionPlace sections[SectionCount];
};

// The correct words' tags, by the byte stored per key.
constexpr std::array<std::u16string_view, 3> kTagNames = {
    correctWordTag(DictionaryKind::SystemCorrect), correctWordTag(DictionaryKind::UserCorrect),
    correctWordTag(DictionaryKind::Automatic)};

std::uint8_t tagByte(std::u16string_view tag) {
    for (std::size_t i = 0; i < kTagNames.size(); ++i) {
        if (kTagNames[i] == tag) {
            return static_cast<std::uint8_t>(i);
        }
    }
    return 0xFF;
}

// The checksum of a block: every byte of it, with the header's checksum field taken as zero, so
// that no byte that steers reading (the sections' places, the longest keys) escapes it.
std::uint64_t checksumOf(const std::byte* data, std::size_t size) {
    Header header{};
    std::memcpy(&header, data, sizeof header);
    header.checksum = 0;
    XXH3_state_t* state = XXH3_createState();
    if (state == nullptr) {
        throw std::bad_alloc();
    }
    XXH3_64bits_reset(state);
    XXH3_64bits_update(state, &header, sizeof header);
    XXH3_64bits_update(state, data + sizeof header, size - sizeof header);
    const std::uint64_t sum = XXH3_64bits_digest(state);
    XXH3_freeState(state);
    return sum;
}

// The block under construction: sections appended one after the other, each 8-byte aligned.
class Writer {
  public:
    explicit Writer(std::vector<std::uint64_t>& out) : m_out(out) {}

    template <typename T>
    void section(Section s, const T* data, std::size_t count) {
        append(s, data, count * sizeof(T));
    }
    void append(Section s, const void* data, std::size_t bytes) {
        m_places[s] = {m_size, bytes};
        m_parts.push_back({data, bytes});
        m_size += (bytes + 7) / 8 * 8;
    }
    // Lays the header and the sections out in out.
    void finish(Header header) {
        for (std::size_t i = 0; i < SectionCount; ++i) {
            header.sections[i] = m_places[i];
            header.sections[i].offset += sizeof(Header);
        }
        header.totalSize = sizeof(Header) + m_size;
        m_out.assign((header.totalSize + 7) / 8, 0);
        auto* bytes = reinterpret_cast<std::byte*>(m_out.data());
        std::size_t at = sizeof(Header);
        for (const auto& [data, size] : m_parts) {
            if (size != 0) {
                std::memcpy(bytes + at, data, size);
            }
            at += (size + 7) / 8 * 8;
        }
        std::memcpy(bytes, &header, sizeof(Header));
        header.checksum = checksumOf(bytes, header.totalSize);
        std::memcpy(bytes, &header, sizeof(Header));
    }

  private:
    std::vector<std::uint64_t>& m_out;
    std::array<SectionPlace, SectionCount> m_places{};
    std::vector<std::pair<const void*, std::size_t>> m_parts;
    std::uint64_t m_size = 0;
};

void putNumber(std::string& out, std::uint64_t n) {
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
}

std::string serializeReport(const LoadReport& report) {
    std::string out;
    putNumber(out, static_cast<std::uint64_t>(report.filesRead));
    putNumber(out, report.problems.size());
    for (const auto& p : report.problems) {
        putNumber(out, static_cast<std::uint64_t>(p.reason));
        putNumber(out, static_cast<std::uint64_t>(p.kind));
        putNumber(out, static_cast<std::uint64_t>(p.failure));
        putNumber(out, static_cast<std::uint64_t>(p.count));
        putNumber(out, p.file.size());
        out.append(reinterpret_cast<const char*>(p.file.data()), p.file.size() * 2);
    }
    return out;
}

bool parseReport(const std::byte* data, std::size_t size, LoadReport& report) {
    std::size_t at = 0;
    const auto take = [&](std::uint64_t& n) {
        if (size - at < sizeof n) {
            return false;
        }
        std::memcpy(&n, data + at, sizeof n);
        at += sizeof n;
        return true;
    };
    std::uint64_t files = 0;
    std::uint64_t count = 0;
    if (!take(files) || !take(count) || count > size / 40) {
        return false;
    }
    report.filesRead = static_cast<std::int64_t>(files);
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t reason = 0, kind = 0, failure = 0, n = 0, length = 0;
        if (!take(reason) || !take(kind) || !take(failure) || !take(n) || !take(length) ||
            reason > static_cast<std::uint64_t>(LoadProblem::Reason::OutOfMemory) ||
            kind >= kAllDictionaryKinds.size() ||
            failure > static_cast<std::uint64_t>(ReadFailure::Unreadable) ||
            length > (size - at) / 2) {
            return false;
        }
        LoadProblem p;
        p.reason = static_cast<LoadProblem::Reason>(reason);
        p.kind = static_cast<DictionaryKind>(kind);
        p.failure = static_cast<ReadFailure>(failure);
        p.count = static_cast<std::int64_t>(n);
        p.file.resize(length);
        std::memcpy(p.file.data(), data + at, length * 2);
        at += length * 2;
        report.problems.push_back(std::move(p));
    }
    return true;
}

template <typename T>
std::span<const T> view(const std::byte* data, const SectionPlace& place) {
    return {reinterpret_cast<const T*>(data + place.offset), place.size / sizeof(T)};
}

// Offsets that start at 0, never fall and end within a pool of poolSize.
bool wellFormedOffsets(std::span<const std::uint32_t> offsets, std::size_t poolSize) {
    if (offsets.empty() || offsets.front() != 0 || offsets.back() > poolSize) {
        return false;
    }
    return std::is_sorted(offsets.begin(), offsets.end());
}

bool wellFormedTrie(const WordTrie::Arrays& t) {
    const std::size_t nodes = t.units.size();
    if (nodes == 0 || t.nodes.size() != nodes + 1 || t.rootChildren.size() != 0x10000) {
        return false;
    }
    for (std::size_t n = 0; n < t.nodes.size(); ++n) {
        if (t.nodes[n].firstChild > nodes ||
            (n > 0 && t.nodes[n].firstChild < t.nodes[n - 1].firstChild)) {
            return false;
        }
    }
    if (std::any_of(t.rootChildren.begin(), t.rootChildren.end(),
                    [&](std::uint32_t c) { return c >= nodes; })) {
        return false;
    }
    if (t.bucketIndex.size() > nodes) {
        return false;
    }
    for (std::size_t n = 0; n < t.bucketIndex.size(); ++n) {
        if (t.bucketIndex[n] == WordTrie::kNoBuckets) {
            continue;
        }
        if (t.bucketIndex[n] > t.buckets.size() || t.buckets.size() - t.bucketIndex[n] < 257) {
            return false;
        }
        const auto starts = t.buckets.subspan(t.bucketIndex[n], 257);
        const std::uint32_t children = t.nodes[n + 1].firstChild - t.nodes[n].firstChild;
        if (!std::is_sorted(starts.begin(), starts.end()) || starts.back() > children) {
            return false;
        }
    }
    return true;
}

// The longest key of a table with these (well-formed) offsets.
std::int32_t longestKey(std::span<const std::uint32_t> offsets) {
    std::uint32_t longest = 0;
    for (std::size_t i = 1; i < offsets.size(); ++i) {
        longest = std::max(longest, offsets[i] - offsets[i - 1]);
    }
    return static_cast<std::int32_t>(longest);
}

WordTrie::Arrays trieArrays(const std::byte* data, const Header& h, Section first) {
    return {view<char16_t>(data, h.sections[first]), view<TrieNode>(data, h.sections[first + 1]),
            view<std::uint32_t>(data, h.sections[first + 2]),
            view<std::uint32_t>(data, h.sections[first + 3]),
            view<std::uint16_t>(data, h.sections[first + 4])};
}

}  // namespace

std::shared_ptr<const DictionaryImage> DictionaryImage::build(const WordTableBuilder& correct,
                                                              const WordTableBuilder& errors,
                                                              const LoadReport& report,
                                                              std::uint64_t fingerprint) {
    std::shared_ptr<DictionaryImage> image(new DictionaryImage);
    std::vector<std::uint32_t> correctOffsets{0};
    std::u16string correctKeys;
    std::vector<std::uint8_t> tags;
    std::int32_t correctLongest = 0;
    correctOffsets.reserve(correct.size() + 1);
    tags.reserve(correct.size());
    for (std::size_t i = 0; i < correct.size(); ++i) {
        correctKeys += correct.keyAt(i);
        correctOffsets.push_back(static_cast<std::uint32_t>(correctKeys.size()));
        tags.push_back(tagByte(correct.valueAt(i)));
        correctLongest =
            std::max(correctLongest, static_cast<std::int32_t>(correct.keyAt(i).size()));
    }
    std::vector<std::uint32_t> errorOffsets{0};
    std::vector<std::uint32_t> valueOffsets{0};
    std::u16string errorKeys;
    std::u16string values;
    std::int32_t errorLongest = 0;
    errorOffsets.reserve(errors.size() + 1);
    valueOffsets.reserve(errors.size() + 1);
    for (std::size_t i = 0; i < errors.size(); ++i) {
        errorKeys += errors.keyAt(i);
        errorOffsets.push_back(static_cast<std::uint32_t>(errorKeys.size()));
        values += errors.valueAt(i);
        valueOffsets.push_back(static_cast<std::uint32_t>(values.size()));
        errorLongest = std::max(errorLongest, static_cast<std::int32_t>(errors.keyAt(i).size()));
    }
    const IndexArrays index = buildIndex(correct, errors);
    const std::string reportBytes = serializeReport(report);

    Writer w(image->m_owned);
    w.section(CorrectKeyOffsets, correctOffsets.data(), correctOffsets.size());
    w.section(CorrectKeys, correctKeys.data(), correctKeys.size());
    w.section(CorrectTags, tags.data(), tags.size());
    w.section(ErrorKeyOffsets, errorOffsets.data(), errorOffsets.size());
    w.section(ErrorKeys, errorKeys.data(), errorKeys.size());
    w.section(ErrorValueOffsets, valueOffsets.data(), valueOffsets.size());
    w.section(ErrorValues, values.data(), values.size());
    for (const auto& [trie, first] :
         {std::pair{&index.forward, ForwardUnits}, std::pair{&index.backward, BackwardUnits}}) {
        w.section(first, trie->units.data(), trie->units.size());
        w.section(static_cast<Section>(first + 1), trie->nodes.data(), trie->nodes.size());
        w.section(static_cast<Section>(first + 2), trie->rootChildren.data(),
                  trie->rootChildren.size());
        w.section(static_cast<Section>(first + 3), trie->bucketIndex.data(),
                  trie->bucketIndex.size());
        w.section(static_cast<Section>(first + 4), trie->buckets.data(), trie->buckets.size());
    }
    w.append(Report, reportBytes.data(), reportBytes.size());
    Header header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.format = kFormat;
    header.headerSize = sizeof(Header);
    header.fingerprint = fingerprint;
    header.correctLongest = correctLongest;
    header.errorLongest = errorLongest;
    w.finish(header);
    image->m_data = reinterpret_cast<const std::byte*>(image->m_owned.data());
    image->m_size =
        static_cast<std::size_t>(reinterpret_cast<const Header*>(image->m_data)->totalSize);
    image->attach(false);
    return image;
}

std::shared_ptr<const DictionaryImage> DictionaryImage::empty(const LoadReport& report) {
    return build(WordTableBuilder(), WordTableBuilder(), report, 0);
}

std::shared_ptr<const DictionaryImage> DictionaryImage::open(const std::string& path,
                                                             std::uint64_t fingerprint) {
    // Read into memory, never mapped: a file cut short by another process while a run reads a
    // mapping would end the run with SIGBUS. A link at the path is not followed: the cache is the
    // program's own file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size < static_cast<off_t>(sizeof(Header)) ||
        st.st_size > static_cast<off_t>(kMaxImageSize)) {
        ::close(fd);
        return nullptr;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    std::vector<std::uint64_t> block;
    try {
        block.resize((size + 7) / 8);
    } catch (const std::bad_alloc&) {
        ::close(fd);
        return nullptr;
    }
    auto* bytes = reinterpret_cast<char*>(block.data());
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, bytes + got, size - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got != size) {
        return nullptr;
    }
    return adopt(std::move(block), size, fingerprint);
}

std::shared_ptr<const DictionaryImage> DictionaryImage::read(std::string_view bytes,
                                                             std::uint64_t fingerprint) {
    if (bytes.size() < sizeof(Header) || bytes.size() > kMaxImageSize) {
        return nullptr;
    }
    std::vector<std::uint64_t> block((bytes.size() + 7) / 8);
    std::memcpy(block.data(), bytes.data(), bytes.size());
    return adopt(std::move(block), bytes.size(), fingerprint);
}

std::shared_ptr<const DictionaryImage> DictionaryImage::adopt(std::vector<std::uint64_t> block,
                                                              std::size_t size,
                                                              std::uint64_t fingerprint) {
    std::shared_ptr<DictionaryImage> image(new DictionaryImage);
    image->m_owned = std::move(block);
    image->m_data = reinterpret_cast<const std::byte*>(image->m_owned.data());
    image->m_size = size;
    Header header{};
    std::memcpy(&header, image->m_data, sizeof header);
    if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0 || header.format != kFormat ||
        header.headerSize != sizeof(Header) || header.fingerprint != fingerprint ||
        header.totalSize != size || header.checksum != checksumOf(image->m_data, size) ||
        !image->attach(true)) {
        return nullptr;
    }
    return image;
}

DictionaryImage::~DictionaryImage() = default;

bool DictionaryImage::attach(bool check) {
    Header h{};
    std::memcpy(&h, m_data, sizeof h);
    if (check) {
        for (const SectionPlace& place : h.sections) {
            if (place.offset % 8 != 0 || place.offset < sizeof(Header) || place.offset > m_size ||
                place.size > m_size - place.offset) {
                return false;
            }
        }
    }
    const auto correctOffsets = view<std::uint32_t>(m_data, h.sections[CorrectKeyOffsets]);
    const auto correctKeys = view<char16_t>(m_data, h.sections[CorrectKeys]);
    const auto tags = view<std::uint8_t>(m_data, h.sections[CorrectTags]);
    const auto errorOffsets = view<std::uint32_t>(m_data, h.sections[ErrorKeyOffsets]);
    const auto errorKeys = view<char16_t>(m_data, h.sections[ErrorKeys]);
    const auto valueOffsets = view<std::uint32_t>(m_data, h.sections[ErrorValueOffsets]);
    const auto values = view<char16_t>(m_data, h.sections[ErrorValues]);
    const auto forward = trieArrays(m_data, h, ForwardUnits);
    const auto backward = trieArrays(m_data, h, BackwardUnits);
    if (check) {
        const bool tables = wellFormedOffsets(correctOffsets, correctKeys.size()) &&
                            tags.size() + 1 == correctOffsets.size() &&
                            std::all_of(tags.begin(), tags.end(),
                                        [](std::uint8_t t) { return t < kTagNames.size(); }) &&
                            wellFormedOffsets(errorOffsets, errorKeys.size()) &&
                            wellFormedOffsets(valueOffsets, values.size()) &&
                            valueOffsets.size() == errorOffsets.size();
        if (!tables || !wellFormedTrie(forward) || !wellFormedTrie(backward)) {
            return false;
        }
        // The longest keys steer every window of a scan: they must be what the tables hold.
        if (h.correctLongest != longestKey(correctOffsets) ||
            h.errorLongest != longestKey(errorOffsets)) {
            return false;
        }
        // A mark names an error entry; an error entry's mark must exist in the table.
        for (const auto* trie : {&forward, &backward}) {
            for (const TrieNode& node : trie->nodes) {
                if ((node.mark & WordTrie::kErrorMask) > errorOffsets.size() - 1) {
                    return false;
                }
            }
        }
    }
    LoadReport report;
    const SectionPlace& reportPlace = h.sections[Report];
    if (!parseReport(m_data + reportPlace.offset, reportPlace.size, report)) {
        return false;
    }
    m_report = std::move(report);
    m_correctWords = WordTable({correctOffsets,
                                correctKeys,
                                {},
                                {},
                                tags,
                                std::span<const std::u16string_view>(kTagNames),
                                h.correctLongest});
    m_errorWords =
        WordTable({errorOffsets, errorKeys, valueOffsets, values, {}, {}, h.errorLongest});
    m_forward = WordTrie(forward);
    m_backward = WordTrie(backward);
    return true;
}

std::uint64_t DictionaryImage::fingerprint() const {
    return reinterpret_cast<const Header*>(m_data)->fingerprint;
}

WriteResult DictionaryImage::write(const std::string& path) const {
    return writeOwnFileAtomically(path,
                                  std::string_view(reinterpret_cast<const char*>(m_data), m_size));
}

std::string_view DictionaryImage::bytes() const {
    return {reinterpret_cast<const char*>(m_data), m_size};
}

DictionaryFingerprint::DictionaryFingerprint() : m_state(XXH3_createState()) {
    if (m_state == nullptr) {
        throw std::bad_alloc();
    }
    XXH3_64bits_reset(static_cast<XXH3_state_t*>(m_state));
    add(std::string_view(kMagic, sizeof kMagic));
    add(kFormat);
    add(std::string_view(KJF_VERSION));
}

DictionaryFingerprint::~DictionaryFingerprint() {
    XXH3_freeState(static_cast<XXH3_state_t*>(m_state));
}

void DictionaryFingerprint::add(std::string_view text) {
    add(text.size());
    XXH3_64bits_update(static_cast<XXH3_state_t*>(m_state), text.data(), text.size());
}

void DictionaryFingerprint::add(std::uint64_t number) {
    XXH3_64bits_update(static_cast<XXH3_state_t*>(m_state), &number, sizeof number);
}

std::uint64_t DictionaryFingerprint::value() const {
    return XXH3_64bits_digest(static_cast<XXH3_state_t*>(m_state));
}

std::uint64_t DictionaryFingerprint::hash(std::string_view bytes) {
    return XXH3_64bits(bytes.data(), bytes.size());
}

}  // namespace kjf
