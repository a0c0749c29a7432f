#include "context_support.h"

#include <cstdlib>

#include "test_support.h"

namespace kjf::test {

void writeTinyConfusionTables(const std::string& directory) {
    writeBytes(directory + "readings.txt", kReadings);
    writeBytes(directory + "near_syllables.txt", kNear);
    writeBytes(directory + "shapes.txt", kShapes);
    writeBytes(directory + "variants.txt", kVariants);
}

bool buildLanguageModel(const std::string& arpaPath, const std::string& modelPath, bool packed) {
    const std::string command = std::string(KJF_SLM_BUILD_BINARY) +
                                (packed ? " -a 22 -q 8 -b 8 trie " : " trie ") + arpaPath + " " +
                                modelPath + " > " + modelPath + ".log 2>&1";
    return std::system(command.c_str()) == 0;
}

bool writeTinyContextModel(const std::string& directory, const std::string& modelPath) {
    writeBytes(directory + "model.arpa", kArpa.substr(1));
    writeTinyConfusionTables(directory);
    return buildLanguageModel(directory + "model.arpa", modelPath, true);
}

}  // namespace kjf::test
