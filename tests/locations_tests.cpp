// Where setup.ini and the dictionaries are: the portable layout, the start-up decision and an
// installed program's first start, on temporary folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>

#include "settings/locations.h"
#include "settings/settings_file.h"
#include "test_support.h"
#include "text/files.h"
#include "text/utf.h"

using namespace kjf;
using kjf::test::readBytes;
using kjf::test::TempDir;
using kjf::test::writeBytes;
namespace fs = std::filesystem;

namespace {

// Every file and folder below root, relative, for comparing trees before and after.
std::set<std::string> treeOf(const std::string& root) {
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        entries.insert(fs::relative(entry.path(), root).string());
    }
    return entries;
}

// An installation unpacked in a temporary folder (prefix/bin, prefix/share/kanjianfang) and a
// home folder for its user.
class InstalledTest : public ::testing::Test {
  protected:
    // A fallback protects the shipped folders for the rest of the process.
    void TearDown() override { clearProtectedDirectoriesForTesting(); }
    void SetUp() override {
        fs::create_directories(m_prefix.file("bin"));
        const std::string share = m_prefix.file("share/kanjianfang/");
        fs::create_directories(share + "data/sys/right");
        fs::create_directories(share + "data/user/right");
        fs::create_directories(share + "data/user/error");
        fs::create_directories(share + "data/user/auto");
        writeBytes(share + "setup.ini", "[词库设置]\r\n系统正确词库列表=words.dict,\r\n");
        writeBytes(share + "data/sys/right/words.dict", test::utf16le(u"甲乙\r\n"));
        writeBytes(share + "data/user/right/user.dict", "");
        writeBytes(share + "data/user/error/user.dict", "");
        writeBytes(share + "data/user/auto/auto.dict", "");
        m_env.home = m_home.path();
    }
    ChosenLocations choose() const { return chooseLocations(m_prefix.file("bin/"), m_env); }

    TempDir m_prefix;
    TempDir m_home;
    HomeEnvironment m_env;
};

}  // namespace

TEST(Locations, PortableIsTheProgramDirectoryLaidOutAsBefore) {
    const Locations l = Locations::portable("/opt/p/");
    EXPECT_EQ(l.settingsFile(), "/opt/p/setup.ini");
    EXPECT_EQ(l.dictionaryDirectory(DictionaryKind::SystemCorrect), "/opt/p/data/sys/right/");
    EXPECT_EQ(l.dictionaryDirectory(DictionaryKind::SystemError), "/opt/p/data/sys/error/");
    EXPECT_EQ(l.dictionaryDirectory(DictionaryKind::UserCorrect), "/opt/p/data/user/right/");
    EXPECT_EQ(l.dictionaryDirectory(DictionaryKind::UserError), "/opt/p/data/user/error/");
    EXPECT_EQ(l.automaticDictionaryPath(), "/opt/p/data/user/auto/auto.dict");
    EXPECT_EQ(l.contextDataDirectory(), "/opt/p/data/sys/context/");
    EXPECT_EQ(l.dictionaryCacheFile(), "/opt/p/data/dictionaries.cache");
    EXPECT_FALSE(l.systemDataReadOnly());
}

TEST_F(InstalledTest, AWritableSetupIniBesideTheExecutableMakesTheProgramPortable) {
    writeBytes(m_prefix.file("bin/setup.ini"), "");
    const ChosenLocations chosen = choose();
    EXPECT_TRUE(chosen.portable);
    EXPECT_FALSE(chosen.locations.systemDataReadOnly());
    EXPECT_EQ(chosen.locations.settingsFile(), m_prefix.file("bin/setup.ini"));
    EXPECT_EQ(chosen.locations.automaticDictionaryPath(),
              m_prefix.file("bin/data/user/auto/auto.dict"));
    EXPECT_TRUE(prepareLocations(chosen).empty());
    EXPECT_FALSE(fs::exists(m_home.file(".config")));
}

TEST_F(InstalledTest, WithoutOneTheUsersFoldersAndTheSharedDataAreUsed) {
    const ChosenLocations chosen = choose();
    EXPECT_FALSE(chosen.portable);
    EXPECT_TRUE(chosen.locations.systemDataReadOnly());
    const std::string home = m_home.path();
    EXPECT_EQ(chosen.locations.settingsFile(), home + ".config/kanjianfang/setup.ini");
    EXPECT_EQ(chosen.locations.dictionaryDirectory(DictionaryKind::UserCorrect),
              home + ".local/share/kanjianfang/data/user/right/");
    EXPECT_EQ(chosen.locations.automaticDictionaryPath(),
              home + ".local/share/kanjianfang/data/user/auto/auto.dict");
    // Relative to the executable, wherever the installation was unpacked.
    EXPECT_EQ(chosen.shippedDirectory, m_prefix.file("share/kanjianfang/"));
    EXPECT_EQ(chosen.locations.dictionaryDirectory(DictionaryKind::SystemError),
              m_prefix.file("share/kanjianfang/data/sys/error/"));
    EXPECT_EQ(chosen.locations.contextDataDirectory(),
              m_prefix.file("share/kanjianfang/data/sys/context/"));
    EXPECT_EQ(chosen.locations.dictionaryCacheFile(),
              home + ".cache/kanjianfang/dictionaries.cache");

    m_env.configHome = "/xdg/config/";
    m_env.dataHome = "/xdg/data";
    m_env.cacheHome = "/xdg/cache";
    const Locations xdg = choose().locations;
    EXPECT_EQ(xdg.settingsDirectory, "/xdg/config/kanjianfang/");
    EXPECT_EQ(xdg.userDataDirectory, "/xdg/data/kanjianfang/data/user/");
    EXPECT_EQ(xdg.cacheDirectory, "/xdg/cache/kanjianfang/");

    // Something named setup.ini that is no file to write does not make the program portable.
    fs::create_directory(m_prefix.file("bin/setup.ini"));
    EXPECT_FALSE(choose().portable);
    if (::geteuid() != 0) {  // root may write any file
        fs::remove(m_prefix.file("bin/setup.ini"));
        writeBytes(m_prefix.file("bin/setup.ini"), "");
        ::chmod(m_prefix.file("bin/setup.ini").c_str(), 0444);
        EXPECT_FALSE(choose().portable);
    }
}

TEST(HomeEnvironment, RelativeXdgFoldersAreIgnoredAndAMissingHomeComesFromTheAccount) {
    const auto saved = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    const auto home = saved("HOME");
    const auto config = saved("XDG_CONFIG_HOME");
    const auto data = saved("XDG_DATA_HOME");
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    ::setenv("XDG_DATA_HOME", "/absolute/data", 1);
    HomeEnvironment env = HomeEnvironment::ofProcess();
    EXPECT_EQ(env.home, "/home/someone");
    EXPECT_EQ(env.configHome, "");
    EXPECT_EQ(env.dataHome, "/absolute/data");
    ::unsetenv("HOME");
    env = HomeEnvironment::ofProcess();
    EXPECT_FALSE(env.home.empty());
    EXPECT_EQ(env.home.front(), '/');
    const auto restore = [](const char* name, const std::optional<std::string>& value) {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    };
    restore("HOME", home);
    restore("XDG_CONFIG_HOME", config);
    restore("XDG_DATA_HOME", data);
}

TEST_F(InstalledTest, TheFirstStartCopiesTheDefaultsAndNeverWritesIntoTheInstallation) {
    const auto shipped = treeOf(m_prefix.path());
    const ChosenLocations chosen = choose();
    EXPECT_TRUE(prepareLocations(chosen).empty());
    const Locations& l = chosen.locations;
    EXPECT_EQ(readBytes(l.settingsFile()), readBytes(m_prefix.file("share/kanjianfang/setup.ini")));
    EXPECT_EQ(treeOf(l.userDataDirectory),
              (std::set<std::string>{"auto", "auto/auto.dict", "error", "error/user.dict", "right",
                                     "right/user.dict"}));
    EXPECT_EQ(treeOf(l.settingsDirectory), std::set<std::string>{"setup.ini"});
    EXPECT_EQ(treeOf(m_prefix.path()), shipped);
}

TEST_F(InstalledTest, LaterStartsKeepWhatTheUserChangedOrRemoved) {
    const ChosenLocations chosen = choose();
    ASSERT_TRUE(prepareLocations(chosen).empty());
    const Locations& l = chosen.locations;
    writeBytes(l.settingsFile(), "[词库设置]\r\n");
    writeBytes(l.automaticDictionaryPath(), test::utf16le(u"新词\r\n"));
    fs::remove(l.dictionaryDirectory(DictionaryKind::UserError) + "user.dict");
    EXPECT_TRUE(prepareLocations(chosen).empty());
    EXPECT_EQ(readBytes(l.settingsFile()), "[词库设置]\r\n");
    EXPECT_EQ(readBytes(l.automaticDictionaryPath()), test::utf16le(u"新词\r\n"));
    EXPECT_FALSE(fs::exists(l.dictionaryDirectory(DictionaryKind::UserError) + "user.dict"));
}

TEST_F(InstalledTest, TheFirstStartKeepsUserFilesThatAreAlreadyThere) {
    const ChosenLocations chosen = choose();
    const std::string own = chosen.locations.dictionaryDirectory(DictionaryKind::UserCorrect);
    fs::create_directories(own);
    writeBytes(own + "user.dict", test::utf16le(u"我的词\r\n"));
    EXPECT_TRUE(prepareLocations(chosen).empty());
    EXPECT_EQ(readBytes(own + "user.dict"), test::utf16le(u"我的词\r\n"));
    EXPECT_TRUE(fs::exists(chosen.locations.settingsFile()));
}

TEST_F(InstalledTest, FoldersThatCannotBeMadeAreReportedAndTheNextStartTriesAgain) {
    writeBytes(m_home.file(".config"), "a file where the folder belongs");
    const ChosenLocations chosen = choose();
    const auto problems = prepareLocations(chosen);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], u"无法创建文件夹：" + utf8ToUtf16(m_home.file(".config/kanjianfang/")));
    EXPECT_FALSE(fs::exists(m_home.file(".local/share/kanjianfang/data/user/right/user.dict")));

    fs::remove(m_home.file(".config"));
    EXPECT_TRUE(prepareLocations(chosen).empty());
    EXPECT_TRUE(fs::exists(chosen.locations.settingsFile()));
}

TEST_F(InstalledTest, MissingSharedDataIsReportedAndNoSettingsAreMadeUp) {
    fs::remove_all(m_prefix.file("share"));
    const ChosenLocations chosen = choose();
    const auto problems = prepareLocations(chosen);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0],
              u"找不到程序数据：" + utf8ToUtf16(m_prefix.file("share/kanjianfang/data/user/")));
    EXPECT_FALSE(fs::exists(chosen.locations.settingsFile()));
}

// A settings or data folder that cannot be made meant no dictionary at all ("没有加载到任何词条"):
// the shipped settings and dictionaries are used instead, read-only, and the user is told.
TEST_F(InstalledTest, FoldersThatCannotBeMadeFallBackToTheShippedFilesReadOnly) {
    writeBytes(m_home.file(".config"), "a file where the folder belongs");
    writeBytes(m_home.file(".local"), "another one");
    const ChosenLocations chosen = choose();
    auto problems = prepareLocations(chosen);
    ASSERT_FALSE(problems.empty());
    const auto before = problems.size();
    const Locations usable = usableLocations(chosen, problems);
    ASSERT_EQ(problems.size(), before + 1);
    EXPECT_NE(problems.back().find(u"只读"), std::u16string::npos);
    EXPECT_EQ(usable.settingsDirectory, chosen.shippedDirectory);
    EXPECT_EQ(usable.userDataDirectory, chosen.shippedDirectory + "data/user/");
    EXPECT_EQ(usable.systemDataDirectory, chosen.locations.systemDataDirectory);
    EXPECT_TRUE(usable.systemDataReadOnly());  // the shipped folders are no program directory
    EXPECT_TRUE(fs::exists(usable.settingsFile()));
    EXPECT_TRUE(fs::exists(usable.automaticDictionaryPath()));
    // Read-only as the message says, though this installation could be written: a change of
    // setting was written into the installation's own setup.ini for every user.
    const std::string shipped = readBytes(usable.settingsFile());
    const WriteResult written =
        writeSetting(usable.settingsDirectory, u"引擎设置", u"量化数值", u"3");
    EXPECT_FALSE(written);
    EXPECT_EQ(written.reason(), u"这是程序自带的设置和词库，只读，不能更改");
    EXPECT_EQ(readBytes(usable.settingsFile()), shipped);
    EXPECT_FALSE(writeFileAtomically(usable.automaticDictionaryPath(), "x"));
    clearProtectedDirectoriesForTesting();  // the folders made below are the user's

    // Once the folders can be made, the user's own are used again.
    fs::remove(m_home.file(".config"));
    fs::remove(m_home.file(".local"));
    problems = prepareLocations(chosen);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(usableLocations(chosen, problems).settingsDirectory,
              chosen.locations.settingsDirectory);
    EXPECT_TRUE(problems.empty());
}

// Without HOME and without an account the folders became /.config/kanjianfang/ and the like, at
// the root of the file system.
TEST_F(InstalledTest, WithoutAHomeFolderNothingIsPutAtTheRoot) {
    m_env.home.clear();
    const ChosenLocations chosen = choose();
    EXPECT_EQ(chosen.locations.settingsDirectory, "");
    EXPECT_EQ(chosen.locations.userDataDirectory, "");
    EXPECT_EQ(chosen.locations.cacheDirectory, "");
    EXPECT_EQ(chosen.locations.dictionaryCacheFile(), "");
    auto problems = prepareLocations(chosen);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find(u"HOME"), std::u16string::npos);
    const Locations usable = usableLocations(chosen, problems);
    EXPECT_EQ(usable.settingsDirectory, chosen.shippedDirectory);
    EXPECT_TRUE(usable.systemDataReadOnly());
    EXPECT_TRUE(fs::exists(usable.settingsFile()));
    // An XDG folder that is set still counts without a home.
    m_env.cacheHome = m_home.file("cache");
    EXPECT_EQ(choose().locations.cacheDirectory, m_home.file("cache/kanjianfang/"));
}
