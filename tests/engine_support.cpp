#include "engine_support.h"

#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "settings/locations.h"
#include "text/utf.h"

namespace kjf::test {

void writeDictionaryBytes(const TempDir& dir, DictionaryKind kind, const std::string& name,
                          std::string_view bytes) {
    const std::string folder = Locations::portable(dir.path()).dictionaryDirectory(kind);
    std::filesystem::create_directories(folder);
    writeBytes(folder + name, bytes);
}

void writeDictionary(const TempDir& dir, DictionaryKind kind, const std::string& name,
                     std::initializer_list<std::u16string_view> lines) {
    std::u16string text;
    for (auto line : lines) {
        text += line;
        text += u"\r\n";
    }
    writeDictionaryBytes(dir, kind, name, utf16le(text));
}

namespace {

std::mutex loadMutex;  // loader hooks run on several threads
std::condition_variable loadFinished;

}  // namespace

void RecordingOwner::attach(rg_ChaCuoYinQing& engine) {
    m_engine = &engine;
    engine.onListsRequested.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t, auto& a, auto& b, auto& c, auto& d) {
            auto* self = static_cast<RecordingOwner*>(owner);
            a = self->lists[0];
            b = self->lists[1];
            c = self->lists[2];
            d = self->lists[3];
        },
        this, 3);
    engine.onDictionaryFileLoading.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t, std::u16string_view path) {
            std::lock_guard lock(loadMutex);
            static_cast<RecordingOwner*>(owner)->loadedFiles.emplace_back(path);
        },
        this, 4);
    engine.onDictionariesLoaded.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t) {
            {
                std::lock_guard lock(loadMutex);
                ++static_cast<RecordingOwner*>(owner)->loadedCount;
            }
            loadFinished.notify_all();
        },
        this, 5);
    engine.onTextRequested.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t, std::int32_t position, std::int32_t length,
           std::u16string& out) {
            const auto& source = static_cast<RecordingOwner*>(owner)->text;
            if (position < 0 || length <= 0 ||
                static_cast<std::size_t>(position) >= source.size()) {
                return;
            }
            out.assign(source, static_cast<std::size_t>(position),
                       static_cast<std::size_t>(length));
        },
        this, 6);
    engine.onWordReported.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t, FindingType type, std::int32_t position,
           std::int32_t length, std::u16string_view word, std::u16string_view suggestion) {
            static_cast<RecordingOwner*>(owner)->reports.push_back(
                {type, position, length, std::u16string(word), std::u16string(suggestion)});
        },
        this, 7);
    engine.onCheckCompleted.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t) {
            ++static_cast<RecordingOwner*>(owner)->completedCount;
        },
        this, 8);
    engine.onCheckFinished.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t) {
            ++static_cast<RecordingOwner*>(owner)->finishedCount;
        },
        this, 1);
    engine.onProgress.bind(
        [](void* owner, rg_ChaCuoYinQing&, std::int32_t, double speed, std::int32_t percent,
           std::int32_t) {
            static_cast<RecordingOwner*>(owner)->progress.emplace_back(speed, percent);
        },
        this, 2);
}

void RecordingOwner::load() {
    int before = 0;
    {
        std::lock_guard lock(loadMutex);
        before = loadedCount;
    }
    m_engine->loadDictionaries();
    // The tables are ready before the engine reports it; wait for the report too.
    std::unique_lock lock(loadMutex);
    loadFinished.wait(lock, [&] { return loadedCount > before; });
}

void RecordingOwner::check(std::int32_t quantization, std::int32_t engineType, std::int32_t boost,
                           std::int32_t totalLength) {
    reports.clear();
    progress.clear();
    m_engine->runCheck(totalLength < 0 ? static_cast<std::int32_t>(text.size()) : totalLength,
                       quantization, engineType, boost);
}

}  // namespace kjf::test
