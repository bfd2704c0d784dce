#include "output_file.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>

#include "persistence/beside_name.h"
#include "utf8_path.h"

#if defined(_WIN32)
#include <io.h>
#include <sys/stat.h>

#include "console_interrupt_win32.h"
#include "utf8_arguments.h"
#define QARN_UNLINK _unlink
#else
#include <pthread.h>
#include <unistd.h>
#define QARN_UNLINK unlink
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace qarn::render {
namespace {

// The names of the files beside their targets that are being written. The
// signal handler reads them; each stays valid while registered.
std::array<std::atomic<const char*>, 8> besideNames{};

int Register(const char* name) {
    for (std::size_t i = 0; i < besideNames.size(); ++i) {
        const char* expected = nullptr;
        if (besideNames[i].compare_exchange_strong(expected, name)) return static_cast<int>(i);
    }
    return -1;  // not removed on an interruption; nothing else changes
}

void Unregister(int slot) {
    if (slot >= 0) besideNames[static_cast<std::size_t>(slot)].store(nullptr);
}

extern "C" void RemoveAndStop(int signal) {
    for (auto& name : besideNames) {
        const char* path = name.load();
        if (path != nullptr) QARN_UNLINK(path);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

#if defined(_WIN32)
bool SyncToDisk(std::FILE* file) { return _commit(_fileno(file)) == 0; }
// (A folder cannot be opened to be synced there; NTFS journals the rename.)
bool SyncFolderOf(const std::string&) { return true; }
#else
bool SyncToDisk(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

// Linux makes a rename durable only when the folder is synced.
bool SyncFolderOf(const std::string& path) {
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder.empty()) folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}
#endif

#if !defined(_WIN32)
// A signal ignored at start stays ignored: `nohup` and a shell's background
// job ask that the run outlive a hang-up or a Ctrl-C meant for the terminal.
void HandleUnlessIgnored(int signal) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) return;
    struct sigaction handler {};
    handler.sa_handler = RemoveAndStop;
    sigemptyset(&handler.sa_mask);
    sigaction(signal, &handler, nullptr);
}
#endif

}  // namespace

#if defined(_WIN32)
// The console's handler runs on a thread of its own, and a file still open
// cannot be removed there: it asks the run to stop between bands instead,
// and each file is closed and removed by its owner as the run ends.
void RemovePartialFilesOnInterrupt() { StopRunOnConsoleInterrupt(); }
#else
void RemovePartialFilesOnInterrupt() {
    HandleUnlessIgnored(SIGINT);
    HandleUnlessIgnored(SIGTERM);
#if defined(SIGHUP)
    HandleUnlessIgnored(SIGHUP);
#endif
}
#endif

#if defined(_WIN32)
// Nothing to hold back: the console's handler removes nothing itself.
InterruptionsHeldBack::InterruptionsHeldBack() = default;
InterruptionsHeldBack::~InterruptionsHeldBack() = default;
#else
InterruptionsHeldBack::InterruptionsHeldBack() {
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    sigaddset(&held, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &held, &before_);
}

InterruptionsHeldBack::~InterruptionsHeldBack() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
#endif

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {}

OutputFile::~OutputFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (!beside_.empty() && !committed_) {
        std::error_code ignored;
        std::filesystem::remove(PathOfUtf8(beside_), ignored);
    }
    Unregister(slot_);
}

std::string OutputFile::Failed(const std::string& reason) {
    if (failure_.empty()) failure_ = path_ + ": " + reason;
    return failure_;
}

std::string OutputFile::Open() {
    if (!failure_.empty()) return failure_;
    std::error_code ec;
    if (std::filesystem::is_directory(PathOfUtf8(path_), ec)) return Failed("is a directory");
    for (int attempt = 0; attempt < BesideAttempts; ++attempt) {
        std::string name = BesideName(path_, attempt);
        const InterruptionsHeldBack heldBack;  // until the file is registered
#if defined(_WIN32)
        const int fd = ::_wopen(WideOfUtf8(name).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                                _S_IREAD | _S_IWRITE);
#else
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
#endif
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return Failed(std::string("cannot be created (") + std::strerror(errno) + ")");
        }
        beside_ = std::move(name);
        slot_ = Register(beside_.c_str());
        file_ = ::fdopen(fd, "wb");
        if (file_ == nullptr) {
            ::close(fd);
            return Failed("cannot be written");
        }
        return {};
    }
    return Failed("no free name beside it to write to");
}

std::string OutputFile::Write(std::span<const std::uint8_t> bytes) {
    if (!failure_.empty()) return failure_;
    if (file_ == nullptr) return Failed("not open");
    if (bytes.empty()) return {};
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        return Failed(std::string("write failed (") + std::strerror(errno) + ")");
    return {};
}

std::string OutputFile::WriteAt(std::uint64_t position, std::span<const std::uint8_t> bytes) {
    if (!failure_.empty()) return failure_;
    if (file_ == nullptr) return Failed("not open");
    const bool placed = std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_END) == 0;
    const long end = placed ? std::ftell(file_) : -1;
    if (end < 0 || position + bytes.size() > static_cast<std::uint64_t>(end) ||
        std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0)
        return Failed(std::string("write failed (") + std::strerror(errno) + ")");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    if (std::fflush(file_) != 0 || !written || std::fseek(file_, 0, SEEK_END) != 0)
        return Failed(std::string("write failed (") + std::strerror(errno) + ")");
    return {};
}

std::string OutputFile::Commit() {
    if (!failure_.empty()) return failure_;
    if (file_ == nullptr) return Failed("not open");
    // On the disk before the name points at it: after a crash the name
    // holds the whole file or is not there.
    const bool flushed = std::fflush(file_) == 0 && SyncToDisk(file_);
    const int error = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed)
        return Failed(std::string("write failed (") + std::strerror(flushed ? errno : error) + ")");
    const InterruptionsHeldBack heldBack;  // until the moved file is unregistered
    std::error_code ec;
    std::filesystem::rename(PathOfUtf8(beside_), PathOfUtf8(path_), ec);
    if (ec) return Failed("cannot be replaced (" + ec.message() + ")");
    committed_ = true;
    Unregister(slot_);
    slot_ = -1;
    // The new name on the disk too, so that a resumed run finds the frame.
    if (!SyncFolderOf(path_)) return Failed(std::string("its folder cannot be written (") + std::strerror(errno) + ")");
    return {};
}

}  // namespace qarn::render
