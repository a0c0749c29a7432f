// Where setup.ini and the dictionaries are: all in the program directory (portable), or split
// between the user's own folders and the data an installation shares read-only (installed).
#pragma once

#include <string>
#include <vector>

#include "engine/dictionary_folders.h"

namespace kjf {

// The three folders that the program reads and writes, each ending in '/'.
struct Locations {
    std::string settingsDirectory;    // holds setup.ini
    std::string systemDataDirectory;  // right/, error/ and context/: the shipped data
    std::string userDataDirectory;    // right/, error/ and auto/: the user's dictionaries
    std::string cacheDirectory;       // what may be rebuilt at any time: compiled dictionaries

    // Everything in programDirectory (ending in '/'): setup.ini, data/sys/ and data/user/.
    static Locations portable(const std::string& programDirectory);

    std::string settingsFile() const;
    // The folders a dictionary load reads.
    DictionaryFolders dictionaryFolders() const { return {systemDataDirectory, userDataDirectory}; }
    // The folder of kind's .dict files, ending in '/'.
    std::string dictionaryDirectory(DictionaryKind kind) const;
    std::string automaticDictionaryPath() const;
    // The confusion sets of the context check, ending in '/'.
    std::string contextDataDirectory() const;
    // Where the engine keeps its compiled dictionaries between starts; empty when there is no
    // cache folder.
    std::string dictionaryCacheFile() const;
};

// What decides an installed program's folders. Paths are UTF-8, without a trailing '/' needed.
struct HomeEnvironment {
    std::string home;        // $HOME, else the account's home folder
    std::string configHome;  // $XDG_CONFIG_HOME; empty when unset or not an absolute path
    std::string dataHome;    // $XDG_DATA_HOME; the same
    std::string cacheHome;   // $XDG_CACHE_HOME; the same
    // Read from this process's environment and account. Any thread.
    static HomeEnvironment ofProcess();
};

// The start-up decision and what an installed layout is prepared from.
struct ChosenLocations {
    Locations locations;
    bool portable = true;
    // Installed only: the installation's share/kanjianfang/, laid out as a program directory:
    // setup.ini (the default settings), data/sys/ (the system data) and data/user/ (the user files
    // a first start begins with).
    std::string shippedDirectory;
};

// Decides once, at start-up, where the files are. Portable (Locations::portable of
// executableDirectory) when executableDirectory holds a setup.ini that this process may write
// (the file and the folder), as in the build tree or a program directory a user keeps. Otherwise
// installed: setup.ini in configHome (else home/.config) + "/kanjianfang/", the user's dictionaries
// in dataHome (else home/.local/share) + "/kanjianfang/data/user/", the compiled dictionaries in
// cacheHome (else home/.cache) + "/kanjianfang/", the system data in the data/sys/ folder of the
// shipped directory executableDirectory/../share/kanjianfang/, which works wherever the
// installation was unpacked. executableDirectory ends in '/'. A folder that would have to come
// from a home folder when there is none (no HOME and no account) is left empty: nothing is ever
// put at the root of the file system. Reads the file system only; any thread.
ChosenLocations chooseLocations(const std::string& executableDirectory, const HomeEnvironment& env);

// Makes an installed layout ready. On its first start (no setup.ini in the settings folder) the
// files of the shipped data/user/ folder are copied into the user's data folder and then the
// shipped setup.ini into the settings folder, so that a start cut short is finished by the next
// one. Every copy goes to a temporary file linked into place and never replaces an existing file;
// the shipped directory is only read. Does nothing for a portable layout. Returns a message for
// every folder or file that could not be made (empty: all in place); the program goes on either
// way, as with a missing setup.ini. Call once, before anything reads the settings.
[[nodiscard]] std::vector<std::u16string> prepareLocations(const ChosenLocations& chosen);

// The locations to use once prepareLocations has done what it could. Where the user's settings
// folder holds no setup.ini, or the user's data folder is missing (it could not be made, or there
// is no home folder), the shipped setup.ini and data/user/ are used instead, read-only, so that
// the program still checks with the shipped dictionaries and settings; problems then gets one
// message that says so. A portable layout is returned as it is. Reads the file system only.
Locations usableLocations(const ChosenLocations& chosen, std::vector<std::u16string>& problems);

}  // namespace kjf
