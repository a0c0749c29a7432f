// The options shared by the commands that run a check: check and learn.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "documents/document_source.h"
#include "run/context_pass.h"
#include "run/run_options.h"

namespace kjf {
class rg_ChaCuoYinQing;
}

namespace kjf::cli {

struct RunArguments {
    RunOptions options;
    ContextSettings context;  // enabled: --context, else the setting
    bool json = false;
    std::string file;
};

// Handles an option that only one command knows: args[i] is the option; it may consume a value
// by advancing i. Returns false for an option it does not know; sets error to refuse it.
using ExtraOption =
    std::function<bool(const std::vector<std::string>& args, std::size_t& i, std::string& error)>;

// Parses --engine, --quantization, --boost, --context, --format and one FILE over the defaults
// already in out, passing every other option to extra. Returns a message for a usage error, or "".
std::string parseRunArguments(const std::vector<std::string>& args, const std::string& command,
                              RunArguments& out, const ExtraOption& extra = {});

// An engine with the dictionaries that setup.ini of locations enables loaded, answering its text
// requests from *text, which must outlive it (and so must locations). Prints a warning to standard
// error for every dictionary it could not use; when no word at all could be loaded, prints why and
// returns nullptr (nothing could be checked).
std::unique_ptr<rg_ChaCuoYinQing> loadEngine(const Locations& locations,
                                             const std::u16string* text);

// The context check for a run when args.context is enabled: loader's pass with the model of the
// settings and the curated words of the engine's load. When the model cannot be loaded, prints
// why and returns nullptr: the run goes on with the dictionaries alone.
const ContextPass* loadContextPass(ContextPassLoader& loader, const rg_ChaCuoYinQing& engine,
                                   const ContextSettings& settings);

// Reads file as a document import does, with every line break as one LF the way the editor holds
// it (and, when original is given, the text with its own line breaks; when source is given, what
// the import remembers of the file). Prints a message to standard error and returns false when
// it cannot be read, or cannot be read to its end (checking a part of it in silence would look
// like checking all of it).
bool readRunInput(const std::string& file, std::u16string& text, std::u16string* original = nullptr,
                  DocumentSource* source = nullptr);

}  // namespace kjf::cli
