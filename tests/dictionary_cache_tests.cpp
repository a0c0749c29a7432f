// The compiled dictionaries kept in a cache file: a load of unchanged files reads them back and
// finds exactly what a building load finds; any change of the inputs, and any damage to the file,
// makes the load build again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>

#include "engine/dictionary_file.h"
#include "engine_support.h"

using namespace kjf;
using kjf::test::readBytes;
using kjf::test::RecordingOwner;
using kjf::test::Report;
using kjf::test::TempDir;
using kjf::test::writeBytes;
using kjf::test::writeDictionary;

namespace {

class CacheTest : public ::testing::Test {
  protected:
    void SetUp() override {
        writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict", {u"文章", u"写完", u"之后"});
        writeDictionary(dir, DictionaryKind::SystemError, "e.dict",
                        {u"再接再励$=$再接再厉", std::u16string(300, u'长') + u"$=$短"});
        writeDictionary(dir, DictionaryKind::UserCorrect, "u.dict", {u"检查"});
        writeDictionary(dir, DictionaryKind::Automatic, "auto.dict", {u"一遍"});
        lists[0] = {u"c.dict", u"missing.dict"};
        lists[1] = {u"e.dict", u"../x.dict"};
        lists[2] = {u"u.dict"};
    }

    // A fresh engine (as a new start of the program) with the cache file, loaded.
    struct Loaded {
        RecordingOwner owner;
        rg_ChaCuoYinQing engine;
        Loaded(const CacheTest& test, bool cached) : engine(test.dir.path()) {
            owner.attach(engine);
            for (int k = 0; k < 4; ++k) {
                owner.lists[k] = test.lists[k];
            }
            if (cached) {
                engine.setCacheFile(test.cacheFile());
            }
            owner.load();
        }
        std::vector<Report> check(std::u16string text) {
            owner.text = std::move(text);
            owner.check(0, 1, 1);
            return owner.reports;
        }
    };
    std::string cacheFile() const { return dir.file("dictionaries.cache"); }

    TempDir dir;
    std::vector<std::u16string> lists[4];
};

const std::u16string kText = u"文章写完之后再接再励检查一遍，长长";

}  // namespace

TEST_F(CacheTest, AnUnchangedLoadReadsTheCacheAndFindsWhatABuildFinds) {
    const auto built = std::make_unique<Loaded>(*this, false);
    const std::vector<Report> expected = built->check(kText);
    const LoadReport expectedReport = built->engine.loadReport();
    ASSERT_EQ(expectedReport.problems.size(), 2u);  // the climbing name and the long entry
    {
        Loaded first(*this, true);
        EXPECT_FALSE(first.engine.loadReport().fromCache);
        EXPECT_EQ(first.check(kText), expected);
    }  // its cache file is written by the time it is gone
    ASSERT_TRUE(std::filesystem::exists(cacheFile()));
    Loaded second(*this, true);
    const LoadReport& report = second.engine.loadReport();
    EXPECT_TRUE(report.fromCache);
    EXPECT_EQ(report.filesRead, expectedReport.filesRead);
    ASSERT_EQ(report.problems.size(), expectedReport.problems.size());
    for (std::size_t i = 0; i < report.problems.size(); ++i) {
        EXPECT_EQ(report.problems[i].reason, expectedReport.problems[i].reason);
        EXPECT_EQ(report.problems[i].file, expectedReport.problems[i].file);
        EXPECT_EQ(report.problems[i].count, expectedReport.problems[i].count);
    }
    EXPECT_EQ(second.check(kText), expected);
    // Every file is still announced (the loaders run side by side, so in any order).
    auto announced = second.owner.loadedFiles;
    auto expectedFiles = built->owner.loadedFiles;
    std::sort(announced.begin(), announced.end());
    std::sort(expectedFiles.begin(), expectedFiles.end());
    EXPECT_EQ(announced, expectedFiles);
    rg_ChaCuoYinQing::TableReadGuard guard(second.engine);
    EXPECT_EQ(second.engine.correctWords().value(u"检查"), u"user");
    EXPECT_EQ(second.engine.correctWords().value(u"一遍"), u"auto");
    EXPECT_EQ(second.engine.errorWords().value(u"再接再励"), u"再接再厉");
    EXPECT_EQ(second.engine.longestEntryLength(), 4);
}

TEST_F(CacheTest, AnyChangeOfTheInputsIsSeenAtTheNextLoad) {
    { Loaded first(*this, true); }
    const std::string path = dir.path() + "data/sys/right/c.dict";
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    // The same size and the same modification time, other words.
    writeDictionary(dir, DictionaryKind::SystemCorrect, "c.dict", {u"文章", u"写完", u"以后"});
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    {
        Loaded edited(*this, true);
        EXPECT_FALSE(edited.engine.loadReport().fromCache);
        rg_ChaCuoYinQing::TableReadGuard guard(edited.engine);
        EXPECT_TRUE(edited.engine.correctWords().contains(u"以后"));
        EXPECT_FALSE(edited.engine.correctWords().contains(u"之后"));
    }
    // A listed file that appears, and one that goes.
    writeDictionary(dir, DictionaryKind::SystemCorrect, "missing.dict", {u"新词"});
    std::filesystem::remove(dir.path() + "data/user/right/u.dict");
    {
        Loaded changed(*this, true);
        EXPECT_FALSE(changed.engine.loadReport().fromCache);
        rg_ChaCuoYinQing::TableReadGuard guard(changed.engine);
        EXPECT_TRUE(changed.engine.correctWords().contains(u"新词"));
        EXPECT_FALSE(changed.engine.correctWords().contains(u"检查"));
    }
    // Another enabled list.
    lists[2] = {};
    writeDictionary(dir, DictionaryKind::UserCorrect, "u.dict", {u"检查"});
    {
        Loaded unlisted(*this, true);
        EXPECT_FALSE(unlisted.engine.loadReport().fromCache);
    }
    Loaded again(*this, true);
    EXPECT_TRUE(again.engine.loadReport().fromCache);
    rg_ChaCuoYinQing::TableReadGuard guard(again.engine);
    EXPECT_FALSE(again.engine.correctWords().contains(u"检查"));
}

TEST_F(CacheTest, ADamagedCacheFileIsRebuiltNeverTrusted) {
    const auto built = std::make_unique<Loaded>(*this, false);
    const std::vector<Report> expected = built->check(kText);
    { Loaded first(*this, true); }
    const std::string good = readBytes(cacheFile());
    ASSERT_GT(good.size(), 1000u);
    std::string flipped = good;
    flipped[flipped.size() / 2] ^= 0x10;
    for (const std::string& damaged : {good.substr(0, good.size() - 1), good.substr(0, 100),
                                       flipped, std::string("junk"), std::string()}) {
        writeBytes(cacheFile(), damaged);
        {
            Loaded loaded(*this, true);
            EXPECT_FALSE(loaded.engine.loadReport().fromCache) << damaged.size();
            EXPECT_EQ(loaded.check(kText), expected) << damaged.size();
        }
        EXPECT_EQ(readBytes(cacheFile()), good) << damaged.size();  // rebuilt whole
    }
    // Something that is no file at all.
    std::filesystem::remove(cacheFile());
    std::filesystem::create_directory(cacheFile());
    Loaded loaded(*this, true);
    EXPECT_FALSE(loaded.engine.loadReport().fromCache);
    EXPECT_EQ(loaded.check(kText), expected);
}

// Closing the settings window starts a reload on the window thread: it must return while the
// load before it is still reading (or writing its cache), and only the newest load is reported.
TEST_F(CacheTest, ALoadNeverWaitsForTheLoadBeforeIt) {
    rg_ChaCuoYinQing engine(dir.path());
    engine.setCacheFile(cacheFile());
    std::mutex mutex;
    std::condition_variable changed;
    bool reading = false;
    bool release = false;
    int loadedCount = 0;
    std::vector<std::u16string> enabled = {u"c.dict"};
    engine.onListsRequested.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t, auto& systemCorrect, auto&, auto&, auto&) {
            systemCorrect = *static_cast<std::vector<std::u16string>*>(owner);
        },
        &enabled, 3);
    struct Hold {
        std::mutex* mutex;
        std::condition_variable* changed;
        bool* reading;
        bool* release;
        int* loadedCount;
    } hold{&mutex, &changed, &reading, &release, &loadedCount};
    engine.onDictionaryFileLoading.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t, std::u16string_view) {
            auto& h = *static_cast<Hold*>(owner);
            std::unique_lock lock(*h.mutex);
            *h.reading = true;
            h.changed->notify_all();
            h.changed->wait(lock, [&] { return *h.release; });
        },
        &hold, 4);
    engine.onDictionariesLoaded.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t) {
            auto& h = *static_cast<Hold*>(owner);
            std::lock_guard lock(*h.mutex);
            ++*h.loadedCount;
        },
        &hold, 5);

    engine.loadDictionaries();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return reading; }));
    }
    // The first load is stuck in a file; a second one must still come back at once.
    writeDictionary(dir, DictionaryKind::SystemCorrect, "c2.dict", {u"检查"});
    enabled = {u"c2.dict"};
    auto second = std::async(std::launch::async, [&] { engine.loadDictionaries(); });
    const bool returned = second.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    ASSERT_TRUE(returned) << "loadDictionaries waited for the load before it";
    engine.waitForLoading();
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(loadedCount, 1);
    }
    EXPECT_EQ(engine.systemCorrectList(), std::vector<std::u16string>{u"c2.dict"});
    const rg_ChaCuoYinQing::TableReadGuard guard(engine);
    EXPECT_TRUE(engine.correctWords().contains(u"检查"));
    EXPECT_FALSE(engine.correctWords().contains(u"文章"));
}

// A cache made under other rules for reading dictionary files is rebuilt, not read back.
TEST_F(CacheTest, ACacheOfOtherReadingRulesIsRebuilt) {
    const auto loadWith = [&](std::uint32_t revision) {
        RecordingOwner owner;
        rg_ChaCuoYinQing engine(dir.path());
        owner.attach(engine);
        for (int k = 0; k < 4; ++k) {
            owner.lists[k] = lists[k];
        }
        engine.setCacheFile(cacheFile());
        engine.setReadingRevisionForTesting(revision);
        owner.load();
        return engine.loadReport().fromCache;
    };
    EXPECT_FALSE(loadWith(kDictionaryReadingRevision));
    EXPECT_TRUE(loadWith(kDictionaryReadingRevision));
    EXPECT_FALSE(loadWith(kDictionaryReadingRevision + 1));
    EXPECT_TRUE(loadWith(kDictionaryReadingRevision + 1));
}

// The header steers reading (where each table lies, the longest key of each): a change of any one
// of its bytes gave false errors and wrong suggestions while the damaged file was kept.
TEST_F(CacheTest, EveryByteOfTheHeaderIsCheckedToo) {
    const auto built = std::make_unique<Loaded>(*this, false);
    const std::vector<Report> expected = built->check(kText);
    { Loaded first(*this, true); }
    const std::string good = readBytes(cacheFile());
    for (std::size_t at = 0; at < 200; ++at) {
        std::string damaged = good;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x01);
        writeBytes(cacheFile(), damaged);
        Loaded loaded(*this, true);
        EXPECT_FALSE(loaded.engine.loadReport().fromCache) << at;
        EXPECT_EQ(loaded.check(kText), expected) << at;
    }
}

// The cache is the program's own file: a link there that leads to a user's file is replaced, and
// the user's file is never written.
TEST_F(CacheTest, ALinkAtTheCachePathIsNeverWrittenThrough) {
    const std::string mine = dir.file("mine.txt");
    writeBytes(mine, "my notes");
    std::filesystem::create_symlink(mine, cacheFile());
    { Loaded first(*this, true); }
    EXPECT_EQ(readBytes(mine), "my notes");
    EXPECT_FALSE(std::filesystem::is_symlink(cacheFile()));
    Loaded second(*this, true);
    EXPECT_TRUE(second.engine.loadReport().fromCache);
}

// A run reads the tables while another process replaces or cuts the cache file: a mapped file
// cut short ended the run with SIGBUS.
TEST_F(CacheTest, ARunSurvivesItsCacheFileBeingCut) {
    const auto built = std::make_unique<Loaded>(*this, false);
    const std::vector<Report> expected = built->check(kText);
    { Loaded first(*this, true); }
    Loaded loaded(*this, true);
    ASSERT_TRUE(loaded.engine.loadReport().fromCache);
    ASSERT_EQ(::truncate(cacheFile().c_str(), 0), 0);
    EXPECT_EQ(loaded.check(kText), expected);
}

// A write killed half-way leaves its temporary file; the next write of the cache removes those of
// earlier writes, and leaves a fresh one (a write in progress elsewhere) alone.
TEST_F(CacheTest, TemporaryFilesOfKilledWritesAreRemoved) {
    const std::string stale = dir.file(".dictionaries.cache.a1B2c3");
    const std::string fresh = dir.file(".dictionaries.cache.z9Y8x7");
    writeBytes(stale, std::string(1000, 'x'));
    writeBytes(fresh, std::string(1000, 'y'));
    const auto hourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(stale, hourAgo);
    { Loaded first(*this, true); }
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(fresh));
    EXPECT_TRUE(std::filesystem::exists(cacheFile()));
}
