#pragma once
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <span>
#include <string>

namespace qarn::render {

// Writes a file beside its final name, piece by piece, and moves it into
// place only when every byte is written, so a failure never leaves a partial
// output file. The file beside the target gets a name that no file has yet,
// by the viewer's rule (persistence/beside_name.h: TARGET.saving,
// TARGET.saving1, ...), created exclusively: no file the user did not name
// is ever written, replaced or removed.
class OutputFile {
public:
    explicit OutputFile(std::string path);
    ~OutputFile();  // closes and removes the file beside the target unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Each returns an empty string on success, else the reason. After a
    // failure the later calls fail too. Commit syncs the file to the disk
    // before it moves it into place, and (POSIX) its folder after.
    [[nodiscard]] std::string Open();
    [[nodiscard]] std::string Write(std::span<const std::uint8_t> bytes);
    // Writes over bytes already written, from `position` on, for formats
    // that fill in a table at the start once the rest is known; the next
    // Write appends at the end again.
    [[nodiscard]] std::string WriteAt(std::uint64_t position, std::span<const std::uint8_t> bytes);
    [[nodiscard]] std::string Commit();

    const std::string& Path() const { return path_; }

private:
    std::string Failed(const std::string& reason);

    std::string path_;
    std::string beside_;
    std::FILE* file_ = nullptr;
    std::string failure_;
    int slot_ = -1;  // where the name beside is registered for an interruption
    bool committed_ = false;
};

// Removes the files beside their targets when the process is interrupted
// (Ctrl-C, a termination request or a hang-up), so that an interrupted run
// leaves only complete files. A signal ignored at start-up (nohup, a shell's
// background job) stays ignored. Call once at start-up.
void RemovePartialFilesOnInterrupt();

// Holds interruptions back on this thread while it lives; they arrive when
// it ends. Threads made meanwhile hold them back for good, leaving them to
// the thread that made them, which holds them back itself while a file beside
// its target is created or moved into place: an interruption then never
// falls between a file's creation (or its move) and its registration.
class InterruptionsHeldBack {
public:
    InterruptionsHeldBack();
    ~InterruptionsHeldBack();
    InterruptionsHeldBack(const InterruptionsHeldBack&) = delete;
    InterruptionsHeldBack& operator=(const InterruptionsHeldBack&) = delete;

private:
#if !defined(_WIN32)
    sigset_t before_;
#endif
};

}  // namespace qarn::render
