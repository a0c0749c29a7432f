// The comments part of a .docx that the revision writer adds to or creates, with the relationship
// and the content type that name it.
#pragma once

#include <string>
#include <vector>

#include "documents/docx_package.h"

namespace kjf::revision {

// Largest part other than the document part that the writer reads.
inline constexpr std::size_t kMaxPartSize = 64u << 20;

// Adds comments (w:comment elements written with the prefix "w") to the package: appended to
// its comments part (with that part's prefix), or in a new word/comments.xml with its
// relationship and content type. The parts to replace or add go to parts; false with message
// when a part that must change cannot be read. Any thread.
bool addComments(const PackageReader& package, const std::string& comments,
                 const std::string& wordNamespace, std::vector<PackagePart>& parts,
                 std::u16string& message);

}  // namespace kjf::revision
