// Whole-file reading and safe whole-file writing.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kjf {

// Largest file the program reads: sizes are taken as signed 32-bit values.
inline constexpr long long kMaxReadableFileSize = 0x7FFFFFFF;

// True when anything (file, directory, other) exists at path.
bool pathExists(const std::string& path);

// True when path names a regular file (or a link to one).
bool isRegularFile(const std::string& path);

// Reads a whole regular file. nullopt when it cannot be opened or read, or is larger than
// kMaxReadableFileSize. Any thread.
std::optional<std::string> readWholeFile(const std::string& path);

// Replaces the file at path with bytes: they are written to a temporary file beside it, flushed to
// disk and renamed into place, so a failure leaves the old file whole. The new file keeps the old
// file's permissions (or gets the usual ones for a new file). Returns false, with nothing changed,
// when any step fails. Any thread.
bool writeFileAtomically(const std::string& path, std::string_view bytes);

// Appends bytes at the end of the file at path, creating it when missing. Returns false when the
// file cannot be opened or not every byte was written.
bool appendToFile(const std::string& path, std::string_view bytes);

// For tests: makes the next writes fail at the given step ("open", "write", "sync", "rename"),
// as a full disk or a vanished directory would. An empty function restores normal writing.
using WriteFaultInjector = std::function<bool(std::string_view step)>;
void setWriteFaultInjectorForTesting(WriteFaultInjector injector);

}  // namespace kjf
