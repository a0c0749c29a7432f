// Where a dictionary load finds its files.
#pragma once

#include <string>

#include "engine/dictionary_kind.h"

namespace kjf {

// The two data folders of the dictionaries, each ending in '/': the system one holds right/ and
// error/, the user's holds right/, error/ and auto/.
struct DictionaryFolders {
    std::string systemDataDirectory;
    std::string userDataDirectory;

    // Both below a program directory (ending in '/'): data/sys/ and data/user/.
    static DictionaryFolders portable(const std::string& programDirectory) {
        return {programDirectory + "data/sys/", programDirectory + "data/user/"};
    }

    // The folder of kind's .dict files, ending in '/'.
    std::string directory(DictionaryKind kind) const {
        return (isSystemKind(kind) ? systemDataDirectory : userDataDirectory) +
               std::string(dictionarySubdirectory(kind));
    }

    std::string automaticDictionaryPath() const {
        return directory(DictionaryKind::Automatic) + std::string(kAutomaticDictionaryName);
    }
};

}  // namespace kjf
