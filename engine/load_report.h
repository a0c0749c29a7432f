// What a dictionary load could not use, so that the owner can tell the user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/dictionary_kind.h"
#include "text/files.h"

namespace kjf {

struct LoadProblem {
    enum class Reason {
        InvalidName,  // an enabled name that is not a plain file name: the file was not read
        Unreadable,   // the file exists but could not be read
        CutShort,  // a U+0000 or a byte that is no UTF-8 ends the text early: the entries behind it
                   // were not loaded
        LongEntries,  // entries with words longer than kMaxEntryLength were skipped
        OutOfMemory,  // the file's entries could not all be held
    };
    Reason reason = Reason::Unreadable;
    DictionaryKind kind = DictionaryKind::SystemCorrect;
    std::u16string file;                      // the full path; InvalidName: the name as listed
    ReadFailure failure = ReadFailure::None;  // Unreadable: why
    std::int64_t count = 0;  // LongEntries: entries skipped; CutShort: the line where the text ends
};

struct LoadReport {
    std::int64_t filesRead = 0;         // dictionary files read whole
    std::vector<LoadProblem> problems;  // by kind, in list order within a kind
    bool fromCache = false;             // the tables came from the cache file, not the building
};

}  // namespace kjf
