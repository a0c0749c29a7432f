// What the settings window does to dictionary files, without any window: listing a kind's files,
// the enabled-list value, removing duplicate lines, creating, deleting, the error-entry check and
// saving edited text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dictionary_file.h"
#include "settings/locations.h"
#include "text/files.h"

namespace kjf {

// The ".dict" files of directory (a path ending in '/'): regular files only, sorted by name in
// UTF-16 code-unit order so that every platform shows the same order. Names that are not valid
// UTF-8 are left out (the program could not open them again). A missing directory gives no names.
// Any thread.
std::vector<std::u16string> listDictionaryFiles(const std::string& directory);

// The enabled-list value for the names in row order: every name followed by ",", the last one
// included; no names give the empty text.
std::u16string enabledListValue(const std::vector<std::u16string>& names);

// A dictionary file read by decodeDictionaryFile: UTF-16 code units or UTF-8 up to the first
// U+0000 (or, in UTF-8, the first byte that is no UTF-8). Whatever it was read from, a save
// writes the text back as UTF-16LE.
struct [[nodiscard]] DictionaryFileText {
    std::u16string text;
    bool exists = false;    // something is at the path
    bool readable = false;  // it is a file and was read whole
    bool complete = false;  // readable, and the text runs to the end of the bytes
    DictionaryEncoding encoding = DictionaryEncoding::Utf16LittleEndian;  // of the bytes read
};
DictionaryFileText readDictionaryFile(const std::string& path);

// The dictionary file at path read, with lines added at its end, each followed by CR LF (after a
// line end when its last line has none, so that a word saved without one does not run into the
// first new line); a missing file gives the lines alone. status is refused, and text empty, when
// the file holds what cannot be read (which a rewrite would lose).
struct DictionaryWithLines {
    std::u16string text;
    DictionaryEncoding encoding = DictionaryEncoding::Utf16LittleEndian;
    WriteResult status;
};
DictionaryWithLines withLinesAdded(const std::string& path,
                                   const std::vector<std::u16string>& lines);

// Removing duplicate lines: a leading U+FEFF dropped, the text's lines (cut at every CR and LF,
// trimmed of code units
// <= U+0020, empty ones dropped) once each, in ascending code-unit order, each followed by CR LF.
// progress, when given, is called after every line read with floor(floor(100 * i / n) / 2) and
// after every line written with 50 + floor(floor(100 * k / m) / 2); an empty text reports none.
using OptimiseProgress = std::function<void(int percent)>;
std::u16string optimiseDictionaryText(std::u16string_view text,
                                      const OptimiseProgress& progress = {});

// optimiseDictionaryText over the file at path, written back as UTF-16LE through a temporary file.
// Fails and leaves the file as it was when it cannot be read whole (missing, a directory, or a
// U+0000 or a byte that is no UTF-8 before its end, which would cut off every entry behind it:
// Refused) or cannot be written.
// progress is called on the calling thread. Any thread.
WriteResult optimiseDictionaryFile(const std::string& path, const OptimiseProgress& progress = {});

// Whether a name typed for a new dictionary can be used: not empty, no '/' or '\', no control
// character, no "," (the enabled list could not hold it) and no blank at either end (the enabled
// list trims names, so the file could never be enabled).
bool isUsableDictionaryName(std::u16string_view name);

// Creates an empty file at path. Fails, touching nothing, when anything already exists there
// (creating over an existing dictionary would empty it) or the file cannot be created.
WriteResult createEmptyDictionary(const std::string& path);

// Removes the file at path; fails when it cannot be removed or is not a regular file.
WriteResult deleteDictionaryFile(const std::string& path);

// A line of an error dictionary's text that is not of the form "错词$=$正词".
struct MalformedLine {
    std::int32_t number = 0;  // 1-based; CR LF, CR and LF each end one line
    std::u16string text;      // the line, trimmed of code units <= U+0020
};

// The editor's check for error dictionaries: a trimmed, non-empty line is well-formed when "$=$"
// occurs in it, its first occurrence starts at index 1 or later, and loading takes the line as an
// entry (errorEntryOfLine). Blank lines are never reported.
std::vector<MalformedLine> malformedErrorLines(std::u16string_view text);

// dict verify's check of an error dictionary file's bytes, decoded as loading decodes them:
// malformedErrorLines over every line of the whole file, where a line holding a U+0000 (which
// ends the text for every other reader and hides the lines behind it) is reported as malformed
// too, with the U+0000 kept in its text. In UTF-8, a byte that is no UTF-8 ends the check: its
// line is reported up to it, followed by U+FFFD.
std::vector<MalformedLine> malformedErrorLinesOfFile(std::string_view bytes);

// Writes text as .dict bytes (UTF-16LE, no byte-order mark, no terminator) through a temporary
// file renamed into place; fails, with the old file whole, when any step fails.
WriteResult saveDictionaryText(const std::string& path, std::u16string_view text);

// Adds word as a line of the first enabled user correct dictionary of locations. When no user
// correct dictionary is enabled, "user.dict" is made in its folder (unless it exists) and enabled
// in setup.ini. The file is rewritten whole as UTF-16LE (a UTF-8 file included) through a
// temporary file, with a line break added first when its text does not end in one. path is the file
// meant; result fails, with every file as it was, when the file cannot be read whole or setup.ini
// or the file cannot be written. GUI thread (it may write setup.ini).
struct [[nodiscard]] AddedWord {
    WriteResult result;
    std::string path;
};
AddedWord addToUserCorrectDictionary(const Locations& locations, std::u16string_view word);

// The text of a file dropped on the dictionary editor. A file in the dictionaries' own form (UTF-16
// with or without its mark: it starts with a mark or holds zero bytes; or UTF-8 as
// decodeDictionaryFile tells it) is decoded as loading decodes it; any other file as an import
// reads it (decodeDocumentBytes: UTF-8, GB18030, the text of a .docx). A leading U+FEFF is
// dropped. ok is false, with a message for the user, when the file cannot be read, is no text, or
// decodes only in part (what comes after its fault would be lost). Any thread.
struct [[nodiscard]] DroppedDictionaryText {
    bool ok = false;
    std::u16string text;
    std::u16string message;
};
DroppedDictionaryText readDroppedDictionaryFile(const std::string& path);

// saveDictionaryText that tells a file which cannot be made (its folder is missing, or a folder
// is in its place) from one that cannot be written, for the automatic dictionary page.
struct [[nodiscard]] SaveOutcome {
    enum class Kind { Saved, CannotCreate, WriteFailed };
    Kind kind = Kind::Saved;
    WriteResult result;
};
SaveOutcome saveDictionaryTextReporting(const std::string& path, std::u16string_view text);

}  // namespace kjf
