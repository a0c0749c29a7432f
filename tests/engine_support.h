// Test helpers for the engine: a program directory with dictionaries, and a text source that
// records every report.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/checking_engine.h"
#include "reference_checker.h"
#include "test_support.h"

namespace kjf::test {

// Writes a dictionary file below dir in the kind's directory; lines joined with CR LF.
void writeDictionary(const TempDir& dir, DictionaryKind kind, const std::string& name,
                     std::initializer_list<std::u16string_view> lines);
void writeDictionaryBytes(const TempDir& dir, DictionaryKind kind, const std::string& name,
                          std::string_view bytes);

// Binds the engine's hooks to a text and records what the engine reports.
class RecordingOwner {
  public:
    // Declare the owner before the engine, so that the engine (and its loaders) ends first.
    RecordingOwner() = default;
    explicit RecordingOwner(rg_ChaCuoYinQing& engine) { attach(engine); }
    void attach(rg_ChaCuoYinQing& engine);
    // Lists handed to the engine at the next load.
    std::vector<std::u16string> lists[4];
    std::u16string text;

    std::vector<Report> reports;
    std::vector<std::u16string> loadedFiles;
    int loadedCount = 0;
    int completedCount = 0;
    int finishedCount = 0;
    std::vector<std::pair<double, std::int32_t>> progress;

    // Loads and waits until the engine has finished loading.
    void load();
    // Runs a check over text (its full length unless totalLength is given).
    void check(std::int32_t quantization, std::int32_t engineType, std::int32_t boost,
               std::int32_t totalLength = -1);

  private:
    rg_ChaCuoYinQing* m_engine = nullptr;
};

}  // namespace kjf::test
