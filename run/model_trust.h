// Whether a language model file may be loaded into this process: a regular file that a child
// process has loaded and used without harm. The verdict on a file is kept, so that the child runs
// once per file (as long as its size, time and content stay the same).
#pragma once

#include <string>

namespace kjf {

// The program that checks model files in a child process: one whose main() answers
// runModelCheckIfAsked (normally the running executable itself). Empty, the default: models are
// loaded without a check, as tests and benchmarks do. Set it at start-up, before any load.
void setModelCheckProgram(std::string program);

// The running executable's own path, for setModelCheckProgram; empty when it cannot be told.
std::string runningExecutable();

struct ModelTrust {
    bool trusted = false;
    std::u16string reason;  // why not, in words the user is shown
};

// Refuses anything at modelPath but a regular file, without opening it (a pipe would block).
// With a check program set, then checks the file in a child process (dataDirectory: the context
// check's confusion sets, ending in '/') unless verdictFile holds the verdict that this very file
// (by size, modification time and a hash of every byte) passed before; a child that fails,
// crashes or runs longer than timeoutSeconds means the file cannot be trusted, and what the model
// library prints on its way goes to the reason, not to this process's standard error. A passed
// check is written to verdictFile (the program's own file: a cache; empty: none is kept). Any
// thread.
ModelTrust trustModel(const std::string& modelPath, const std::string& dataDirectory,
                      const std::string& verdictFile, int timeoutSeconds = 120);

}  // namespace kjf
