// What check writes besides its report: the corrected text, the document with tracked changes
// and the workbook; none of them may replace the file being checked.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "documents/document_source.h"
#include "engine/finding.h"

namespace kjf::cli {

// A message when an output names the input file (the same file, also through a link or another
// path) or another output; "" when they are all distinct.
std::string sameFileProblem(const std::string& input,
                            const std::vector<std::pair<std::string, std::string>>& outputs);

// A message when source could not be read to its end: a check of it would silently leave the rest
// out, and an output made from it would lose the rest. "" when it was read whole.
std::string partialInputProblem(const std::string& input, const DocumentSource& source);

// Writes the .docx at out from source: every finding with a suggestion (the first of overlapping
// ones) becomes a tracked change, every other finding a comment. editorText is the checked text
// (every line break one LF) and findings are in its positions. Prints what it could not do to
// standard error; returns false when nothing was written.
bool writeRevisions(const std::string& out, const DocumentSource& source,
                    std::u16string_view editorText, std::vector<rg_BiaoJiCiYuLei> findings);

}  // namespace kjf::cli
