#include "settings/locations.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "settings/settings_file.h"
#include "text/files.h"
#include "text/utf.h"

namespace kjf {

namespace {

constexpr std::string_view kProgramFolderName = "kanjianfang";

// base joined with relative, with exactly one '/' between them and one at the end.
std::string folder(std::string base, std::string_view relative) {
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    if (base != "/") {
        base += '/';
    }
    base += relative;
    if (base.back() != '/') {
        base += '/';
    }
    return base;
}

std::string absoluteOrEmpty(const char* value) {
    // Relative values are invalid and to be ignored.
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

std::string accountHome() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

// The shipped directory of an installation whose executables are in executableDirectory.
std::string shippedDirectoryOf(const std::string& executableDirectory) {
    std::string bin = executableDirectory;
    while (bin.size() > 1 && bin.back() == '/') {
        bin.pop_back();
    }
    const auto slash = bin.find_last_of('/');
    const std::string prefix =
        slash == std::string::npos ? bin + "/.." : (slash == 0 ? "/" : bin.substr(0, slash));
    return folder(folder(prefix, "share"), kProgramFolderName);
}

std::u16string withPath(std::u16string_view what, const std::string& path) {
    return std::u16string(what) + utf8ToUtf16(path);
}

const auto kNoShippedData = u"找不到程序数据：";
const auto kCannotMakeFolder = u"无法创建文件夹：";
const auto kCannotWriteFile = u"无法写入文件：";
const auto kNoHome = u"找不到用户的主文件夹（HOME 未设置，也没有登录帐户）";
const auto kReadOnlyFallback =
    u"无法使用用户的设置和词库文件夹，改用程序自带的设置和词库（只读）：";

// Copies the file at from to to unless something is at to already.
void copyIfMissing(const std::string& from, const std::string& to,
                   std::vector<std::u16string>& problems) {
    if (pathExists(to)) {
        return;
    }
    const auto bytes = readWholeFile(from);
    if (!bytes) {
        problems.push_back(withPath(kNoShippedData, from));
        return;
    }
    if (createFileAtomically(to, *bytes) == CreateOutcome::Failed) {
        problems.push_back(withPath(kCannotWriteFile, to));
    }
}

// Copies the folder tree below from into to: folders are made, regular files copied when missing.
void copyTreeIfMissing(const std::string& from, const std::string& to,
                       std::vector<std::u16string>& problems) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::recursive_directory_iterator it(from, error);
    if (error) {
        problems.push_back(withPath(kNoShippedData, from));
        return;
    }
    for (const fs::recursive_directory_iterator end; it != end; it.increment(error)) {
        if (error) {
            problems.push_back(withPath(kNoShippedData, from));
            return;
        }
        const std::string relative = fs::relative(it->path(), from, error).string();
        if (error) {
            continue;
        }
        const std::string source = it->path().string();
        if (it->is_directory(error)) {
            if (!makeDirectoryPath(to + relative)) {
                problems.push_back(withPath(kCannotMakeFolder, to + relative));
            }
        } else if (it->is_regular_file(error)) {
            copyIfMissing(source, to + relative, problems);
        }
    }
}

}  // namespace

Locations Locations::portable(const std::string& programDirectory) {
    const DictionaryFolders folders = DictionaryFolders::portable(programDirectory);
    return {programDirectory, folders.systemDataDirectory, folders.userDataDirectory,
            programDirectory + "data/"};
}

std::string Locations::dictionaryCacheFile() const {
    return cacheDirectory.empty() ? std::string() : cacheDirectory + "dictionaries.cache";
}

bool Locations::systemDataReadOnly() const {
    const Locations own = portable(settingsDirectory);
    return systemDataDirectory != own.systemDataDirectory ||
           userDataDirectory != own.userDataDirectory || cacheDirectory != own.cacheDirectory;
}

std::string Locations::settingsFile() const {
    return settingsDirectory + std::string(kSettingsFileName);
}

std::string Locations::dictionaryDirectory(DictionaryKind kind) const {
    return dictionaryFolders().directory(kind);
}

std::string Locations::automaticDictionaryPath() const {
    return dictionaryFolders().automaticDictionaryPath();
}

std::string Locations::contextDataDirectory() const {
    return systemDataDirectory + "context/";
}

HomeEnvironment HomeEnvironment::ofProcess() {
    HomeEnvironment env;
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        env.home = home;
    } else {
        env.home = accountHome();
    }
    env.configHome = absoluteOrEmpty(std::getenv("XDG_CONFIG_HOME"));
    env.dataHome = absoluteOrEmpty(std::getenv("XDG_DATA_HOME"));
    env.cacheHome = absoluteOrEmpty(std::getenv("XDG_CACHE_HOME"));
    return env;
}

ChosenLocations chooseLocations(const std::string& executableDirectory,
                                const HomeEnvironment& env) {
    const std::string ownSettings = executableDirectory + std::string(kSettingsFileName);
    // The folder too: every write of setup.ini is a new file renamed into place there.
    if (isRegularFile(ownSettings) && ::access(ownSettings.c_str(), W_OK) == 0 &&
        ::access(executableDirectory.c_str(), W_OK) == 0) {
        return {Locations::portable(executableDirectory), true, {}};
    }
    // base, or home's relative folder; empty without either (never a folder at the root).
    const auto underHome = [&env](const std::string& base, std::string_view relative) {
        if (!base.empty()) {
            return folder(base, kProgramFolderName);
        }
        return env.home.empty() ? std::string()
                                : folder(folder(env.home, relative), kProgramFolderName);
    };
    ChosenLocations chosen;
    chosen.portable = false;
    chosen.shippedDirectory = shippedDirectoryOf(executableDirectory);
    chosen.locations.settingsDirectory = underHome(env.configHome, ".config");
    chosen.locations.systemDataDirectory = chosen.shippedDirectory + "data/sys/";
    const std::string dataFolder = underHome(env.dataHome, ".local/share");
    chosen.locations.userDataDirectory =
        dataFolder.empty() ? dataFolder : dataFolder + "data/user/";
    chosen.locations.cacheDirectory = underHome(env.cacheHome, ".cache");
    return chosen;
}

std::vector<std::u16string> prepareLocations(const ChosenLocations& chosen) {
    std::vector<std::u16string> problems;
    if (chosen.portable) {
        return problems;
    }
    const Locations& l = chosen.locations;
    if (l.settingsDirectory.empty() || l.userDataDirectory.empty()) {
        problems.push_back(kNoHome);
        return problems;
    }
    if (pathExists(l.settingsFile())) {
        return problems;
    }
    for (const std::string& directory : {l.settingsDirectory, l.userDataDirectory}) {
        if (!makeDirectoryPath(directory)) {
            problems.push_back(withPath(kCannotMakeFolder, directory));
        }
    }
    if (!problems.empty()) {
        return problems;
    }
    copyTreeIfMissing(chosen.shippedDirectory + "data/user/", l.userDataDirectory, problems);
    if (!problems.empty()) {
        return problems;  // the next start tries again
    }
    // Last: its presence tells later starts that the user's folders are complete.
    copyIfMissing(chosen.shippedDirectory + std::string(kSettingsFileName), l.settingsFile(),
                  problems);
    return problems;
}

Locations usableLocations(const ChosenLocations& chosen, std::vector<std::u16string>& problems) {
    Locations l = chosen.locations;
    if (chosen.portable) {
        return l;
    }
    bool fellBack = false;
    if (l.settingsDirectory.empty() || !isRegularFile(l.settingsFile())) {
        l.settingsDirectory = chosen.shippedDirectory;
        fellBack = true;
    }
    if (l.userDataDirectory.empty() || !isDirectory(l.userDataDirectory)) {
        l.userDataDirectory = chosen.shippedDirectory + "data/user/";
        fellBack = true;
    }
    if (fellBack) {
        problems.push_back(withPath(kReadOnlyFallback, chosen.shippedDirectory));
        // Read-only as the message says, also where the installation could be written (a
        // root user, a copy unpacked in the home folder).
        protectDirectory(chosen.shippedDirectory);
    }
    return l;
}

}  // namespace kjf
