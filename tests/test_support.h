// Helpers shared by the tests: temporary program directories and raw file access.
#pragma once

#include <string>
#include <string_view>

namespace kjf::test {

// A fresh directory under the system's temporary folder, removed with everything in it when the
// object goes away. path() ends in '/', like a program directory.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(std::string_view name) const { return m_path + std::string(name); }

  private:
    std::string m_path;
};

void writeBytes(const std::string& path, std::string_view bytes);
std::string readBytes(const std::string& path);

// The UTF-16LE bytes of text, without byte-order mark.
std::string utf16le(std::u16string_view text);

}  // namespace kjf::test
