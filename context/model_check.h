// Trying a language model file where a crash costs nothing: the model library reads its file
// without checking it, and a damaged file can end the process that reads it. A program that offers
// the check runs it when it is started with kCheckModelArgument; the program that wants a model
// starts itself (or another such program) that way first.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kjf {

// The arguments that ask for the check: kCheckModelArgument MODEL DATA_DIRECTORY.
inline constexpr std::string_view kCheckModelArgument = "--check-language-model";

// In the process that runs the check: loads the model at modelPath and the confusion sets of
// dataDirectory (ending in '/') and runs the context check over a sample text. Returns 0 when all
// of it went well; otherwise prints the reason (one line, UTF-8) to standard error and returns 1.
// A damaged file may instead end the process with a signal.
int checkLanguageModelHere(const std::string& modelPath, const std::string& dataDirectory);

// When argv asks for the check, runs it and returns its exit status; nullopt otherwise. Call it
// first thing in main().
std::optional<int> runModelCheckIfAsked(int argc, char** argv);

}  // namespace kjf
