// Shared pieces of the command-line tool's commands.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "settings/locations.h"

namespace kjf::cli {

// Prints the usage (every command's synopsis) to stream.
void printUsage(std::FILE* stream);
// Prints "kanjianfang-cli: message" and the usage to standard error; returns exit status 2.
int usageError(const std::string& message);

// Writes text to a stream as UTF-8; a lone surrogate becomes U+FFFD.
void printText(std::FILE* stream, std::u16string_view text);

// A TSV cell: backslash, tab, CR and LF written as \\, \t, \r, \n.
std::string tsvCell(std::u16string_view text);

// Parses a whole decimal integer option value; false when it is not one.
bool parseIntOption(const std::string& text, int& value);

// The commands; locations (or the folder of setup.ini) were decided at start-up.
int settingCommand(const std::string& settingsDirectory, const std::vector<std::string>& args);
int textCommand(const std::vector<std::string>& args);
int checkCommand(const Locations& locations, const std::vector<std::string>& args);
int learnCommand(const Locations& locations, const std::vector<std::string>& args);
int evaluateCommand(const Locations& locations, const std::vector<std::string>& args);
int dictCommand(const std::vector<std::string>& args);
int serveCommand(const Locations& locations, const std::vector<std::string>& args);

}  // namespace kjf::cli
