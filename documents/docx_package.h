// The ZIP package of a .docx document held in memory: reading its parts with a bound, and a copy
// with some parts replaced or added while every other entry keeps its stored bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct zip;
struct zip_source;

namespace kjf {

enum class PackageStatus { Ok, BrokenArchive, Missing, TooLarge, BrokenEntry };

// A read-only view of an archive in memory; bytes must outlive it. One thread at a time.
class PackageReader {
  public:
    explicit PackageReader(std::string_view bytes);
    ~PackageReader();
    PackageReader(const PackageReader&) = delete;
    PackageReader& operator=(const PackageReader&) = delete;

    // Whether bytes are a readable ZIP archive.
    bool ok() const { return m_archive != nullptr; }

    // The names of the entries, in the archive's order.
    std::vector<std::string> names() const;

    // Reads the entry name into out, at most maxSize bytes whatever the archive claims. Missing
    // for an entry that is not there; out is empty unless Ok.
    PackageStatus read(const std::string& name, std::size_t maxSize, std::string& out) const;

    bool contains(const std::string& name) const;

  private:
    zip* m_archive = nullptr;
};

// A part to put into the package: replaces the entry of that name, or is added.
struct PackagePart {
    std::string name;
    std::string content;
};

// A copy of the archive bytes with parts replaced or added (deflated); every other entry is
// copied with its stored (compressed) bytes. nullopt when bytes are no readable archive or the
// copy cannot be made. Any thread.
std::optional<std::string> rewritePackage(std::string_view bytes,
                                          const std::vector<PackagePart>& parts);

}  // namespace kjf
