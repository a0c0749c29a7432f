// Whole-file reading and safe whole-file writing.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kjf {

// Largest file the program reads: sizes are taken as signed 32-bit values.
inline constexpr long long kMaxReadableFileSize = 0x7FFFFFFF;

// True when anything (file, directory, other) exists at path.
[[nodiscard]] bool pathExists(const std::string& path);

// True when path names a regular file (or a link to one).
[[nodiscard]] bool isRegularFile(const std::string& path);

// Why a file could not be read.
enum class ReadFailure {
    None,
    Missing,     // nothing is at the path
    NotAFile,    // a directory, a pipe, a device or anything else that is not a regular file
    TooLarge,    // larger than kMaxReadableFileSize
    Unreadable,  // no permission, or the read failed
};

// Reads a whole regular file. nullopt when it cannot be opened or read, is not a regular file or
// is larger than kMaxReadableFileSize; failure, when given, tells which. A pipe or device is
// refused without waiting for a writer or reading forever. Any thread.
[[nodiscard]] std::optional<std::string> readWholeFile(const std::string& path,
                                                       ReadFailure* failure = nullptr);

// A short Chinese description of a failure, for messages ("文件不存在" and so on).
std::u16string readFailureText(ReadFailure failure);

// Whether name can only mean a file directly inside a folder it is joined to: not empty, not "."
// or "..", and no '/', '\' or control character.
bool isPlainFileName(std::u16string_view name);

// Which step of a write failed.
enum class ReplaceOutcome {
    Replaced,
    NotAFile,       // something other than a regular file is at path
    CannotCreate,   // no temporary file could be made beside path (missing or read-only folder)
    WriteFailed,    // the contents could not be written or flushed to disk
    CannotReplace,  // the finished file could not be renamed over path
    Refused,        // nothing was written: what was there could not be kept whole (see detail)
};

// What a write did: true when it was done; otherwise the step that failed and the reason the
// system gave there, so that a message can say why.
struct [[nodiscard]] WriteResult {
    ReplaceOutcome outcome = ReplaceOutcome::Replaced;
    int systemError = 0;    // errno of the call that failed; 0 when no system call failed
    std::u16string detail;  // why, when the program itself refused (Refused)

    explicit operator bool() const { return outcome == ReplaceOutcome::Replaced; }
    // Why it failed, in words the user can be shown after the program's own message: detail, or
    // the system's reason ("磁盘空间不足" and so on), or the failing step. Empty on success.
    std::u16string reason() const;

    static WriteResult failed(ReplaceOutcome outcome, int systemError);
    static WriteResult refused(std::u16string detail);
};

// The system's reason for errno value error, in Chinese for the failures a user can mend (a full
// disk, no permission, a read-only file system, ...), else the C library's text.
std::u16string systemErrorText(int error);

// Fills the temporary file: fd is open for writing on it, tempPath names it (for writers that
// open the file themselves). Returns false when it could not write everything.
using ContentWriter = std::function<bool(int fd, const std::string& tempPath)>;

// Replaces the file at path with what write puts into a temporary file beside it: the file is
// flushed to disk and renamed into place, so a failure at any step leaves the old file whole and
// removes the temporary file. The new file keeps the old file's permissions (or gets the usual
// ones for a new file). When path is a symbolic link, the file it leads to is replaced and the
// link stays. Any thread.
WriteResult replaceFile(const std::string& path, const ContentWriter& write);

// replaceFile with bytes.
WriteResult writeFileAtomically(const std::string& path, std::string_view bytes);

// writeFileAtomically for a file of the program's own, such as a cache: a symbolic link at path is
// replaced by the new file, never written through (whatever it leads to stays as it was), and
// temporary files that earlier writes to path left behind when their process was killed are
// removed first (those older than a minute, so that a write in progress elsewhere is left alone).
// Any thread.
WriteResult writeOwnFileAtomically(const std::string& path, std::string_view bytes);

// The folder part of path: "." for a bare name, "/" for a name in the root folder.
std::string parentDirectory(const std::string& path);

// True when path names a directory (or a link to one).
bool isDirectory(const std::string& path);

// Creates base + every missing folder of relative (components separated by '/'); true when the
// whole path exists as a directory afterwards. base must exist.
[[nodiscard]] bool makeDirectories(const std::string& base, std::string_view relative);

// Creates every missing folder of path, from the root (or the working folder, for a relative
// path) down; true when path is a directory afterwards.
[[nodiscard]] bool makeDirectoryPath(const std::string& path);

// What createFileAtomically did.
enum class [[nodiscard]] CreateOutcome{
    Created,
    Exists,  // something was at path already; it is left as it was
    Failed,  // no file could be written beside path
};

// Puts a new file with bytes at path without ever replacing anything there: the bytes go to a
// temporary file beside it, flushed to disk, which is then linked to path, so that path either
// does not exist or holds every byte, even when two processes create it at once. Any thread.
CreateOutcome createFileAtomically(const std::string& path, std::string_view bytes);

// Folders whose files this process never writes: the installation's own settings and
// dictionaries, when the program uses them because the user's could not be made. Every write
// through the functions here to a path below one fails (refused, with protectedPathRefusal's
// reason); callers that create or delete files themselves ask isProtectedPath first. Any thread.
void protectDirectory(const std::string& directory);
bool isProtectedPath(const std::string& path);
WriteResult protectedPathRefusal();
void clearProtectedDirectoriesForTesting();

// Appends bytes at the end of the file at path, creating it when missing. Fails when the file
// cannot be opened or not every byte was written.
WriteResult appendToFile(const std::string& path, std::string_view bytes);

// For tests: makes the next writes fail at the given step ("open", "write", "sync", "rename"),
// as a full disk or a vanished directory would. An empty function restores normal writing.
using WriteFaultInjector = std::function<bool(std::string_view step)>;
void setWriteFaultInjectorForTesting(WriteFaultInjector injector);

}  // namespace kjf
