// The dictionaries of one load in one flat block of memory: both tables, both tries and what the
// load could not use. A load makes it from the dictionary files, or reads it back from the cache
// file that an earlier load with the same files wrote, so that a start with unchanged
// dictionaries skips parsing, sorting and building.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/load_report.h"
#include "engine/word_index.h"
#include "engine/word_table.h"
#include "text/files.h"

namespace kjf {

// Immutable once made; any number of threads may read it.
class DictionaryImage {
  public:
    // The image of finalized tables. fingerprint names the inputs it was made from (see
    // DictionaryFingerprint). Throws std::bad_alloc when memory runs out.
    static std::shared_ptr<const DictionaryImage> build(const WordTableBuilder& correctWords,
                                                        const WordTableBuilder& errorWords,
                                                        const LoadReport& report,
                                                        std::uint64_t fingerprint);
    // An image without words.
    static std::shared_ptr<const DictionaryImage> empty(const LoadReport& report);
    // The image in the file at path, when it was made from inputs with this fingerprint by this
    // version of the program and is whole (a checksum over every byte, and every index in it,
    // are checked); nullptr otherwise, never a damaged image. The file is read into memory, so
    // that it may be replaced or cut while the image lives; a symbolic link at path is not
    // followed. Any thread.
    static std::shared_ptr<const DictionaryImage> open(const std::string& path,
                                                       std::uint64_t fingerprint);
    // The same over bytes held in memory.
    static std::shared_ptr<const DictionaryImage> read(std::string_view bytes,
                                                       std::uint64_t fingerprint);
    // The largest image read back: a bigger file is no image of the program's.
    static constexpr std::size_t kMaxImageSize = std::size_t{1} << 31;

    ~DictionaryImage();
    DictionaryImage(const DictionaryImage&) = delete;
    DictionaryImage& operator=(const DictionaryImage&) = delete;

    // Writes the image to path through a temporary file renamed into place; on failure the old
    // file stays. A symbolic link at path is replaced, never written through. Any thread.
    WriteResult write(const std::string& path) const;
    // The image as written.
    std::string_view bytes() const;

    const WordTable& correctWords() const { return m_correctWords; }
    const WordTable& errorWords() const { return m_errorWords; }
    const WordTrie& forward() const { return m_forward; }
    const WordTrie& backward() const { return m_backward; }
    const LoadReport& report() const { return m_report; }
    std::uint64_t fingerprint() const;
    std::size_t byteSize() const { return m_size; }

  private:
    DictionaryImage() = default;
    static std::shared_ptr<const DictionaryImage> adopt(std::vector<std::uint64_t> block,
                                                        std::size_t size,
                                                        std::uint64_t fingerprint);
    // Points the views into the block; false when the block is not a well-formed image.
    bool attach(bool check);

    std::vector<std::uint64_t> m_owned;  // the block
    const std::byte* m_data = nullptr;
    std::size_t m_size = 0;
    WordTable m_correctWords;
    WordTable m_errorWords;
    WordTrie m_forward;
    WordTrie m_backward;
    LoadReport m_report;
};

// Names the inputs of a load: the program's image format, each kind's enabled names and, for
// every file, whether it could be read and a hash of its whole content, so that any change of a
// file (also one that keeps its size and modification time) gives another fingerprint.
class DictionaryFingerprint {
  public:
    DictionaryFingerprint();
    ~DictionaryFingerprint();
    DictionaryFingerprint(const DictionaryFingerprint&) = delete;
    DictionaryFingerprint& operator=(const DictionaryFingerprint&) = delete;

    void add(std::string_view text);
    void add(std::uint64_t number);
    std::uint64_t value() const;

    // A hash of bytes, for a file's content.
    static std::uint64_t hash(std::string_view bytes);

  private:
    void* m_state;
};

}  // namespace kjf
