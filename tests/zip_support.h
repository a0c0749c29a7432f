// Building and reading ZIP archives in memory, for .docx and .xlsx files in tests and fuzzers.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kjf::test {

// An archive holding the entries (name, content) in order, deflated unless store is set.
std::string buildZip(const std::vector<std::pair<std::string, std::string>>& entries,
                     bool store = false);

// The content of the entry name in the archive bytes; nullopt when it cannot be read.
std::optional<std::string> readZipEntry(const std::string& archive, const std::string& name);

// A small .docx whose word/document.xml has body as the content of <w:body>.
std::string buildDocx(const std::string& body);

}  // namespace kjf::test
