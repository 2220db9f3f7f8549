#include "platform/safe_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>

namespace rw::safefile {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const fs::path& path, int error) {
    throw Error(path, std::strerror(error), error);
}

[[noreturn]] void refuse(const fs::path& path, const std::string& why) {
    throw Error(path, why, 0);
}

// --- The test seam ---------------------------------------------------------------------------------------

int writesUntilFailure = 0;
int injectedError = 0;
bool namedDraftsOnly = false;

// --- The name being written, for the signal handler ------------------------------------------------------

// Set only while the three signals are blocked; the handler reads them.
volatile std::sig_atomic_t draftNamed = 0;
int draftFolder = -1;
std::array<char, 32> draftName{};

constexpr std::array kStopSignals = {SIGINT, SIGTERM, SIGHUP};

void onStopSignal(int signal) {
    if (draftNamed != 0) {
        ::unlinkat(draftFolder, draftName.data(), 0);
        draftNamed = 0;
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Holds off the stop signals for its lifetime, so that a name and its record come and go together.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (int s : kStopSignals) {
            sigaddset(&set, s);
        }
        pthread_sigmask(SIG_BLOCK, &set, &before_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t before_;
};

// --- Small helpers ---------------------------------------------------------------------------------------

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_;
};

// The process's file creation mask, as the kernel reports it (reading it with umask() would change it for
// a moment under other threads); the usual 022 where it cannot be read.
mode_t creationMask() {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    unsigned mask = 022;
    if (status != nullptr) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                break;
            }
        }
        std::fclose(status);
    }
    return static_cast<mode_t>(mask & 0777);
}

// A short name nobody can guess: 12 characters of 36, some 62 bits from the system's random source.
std::string draftNameDrawn() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device source;
    std::string name = ".rw-";
    for (int i = 0; i < 12; ++i) {
        name += kChars[source() % 36];
    }
    return name + ".tmp";
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "it is a folder";
    }
    if (S_ISFIFO(mode)) {
        return "it is a FIFO (named pipe), not a regular file";
    }
    if (S_ISSOCK(mode)) {
        return "it is a socket, not a regular file";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "it is a device, not a regular file";
    }
    return "it is not a regular file";
}

// What sits at the target now. Refuses anything that is neither a regular file nor a link.
struct Existing {
    bool present = false;
    bool regular = false;
    struct stat st {};
};

Existing lookAt(int folder, const std::string& name, const fs::path& target) {
    Existing found;
    if (::fstatat(folder, name.c_str(), &found.st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) {
            fail(target, errno);
        }
        return found;
    }
    found.present = true;
    found.regular = S_ISREG(found.st.st_mode);
    if (!found.regular && !S_ISLNK(found.st.st_mode)) {
        refuse(target, kindOf(found.st.st_mode));
    }
    return found;
}

class FileOutput : public Output {
  public:
    FileOutput(int fd, const fs::path& target) : fd_(fd), target_(target) {}
    void write(std::span<const std::uint8_t> bytes) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            if (writesUntilFailure > 0 && --writesUntilFailure == 0) {
                fail(target_, injectedError);
            }
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                fail(target_, errno);
            }
            done += static_cast<std::size_t>(n);
        }
    }

  private:
    int fd_;
    const fs::path& target_;
};

// The new file while it is written: without a name (O_TMPFILE) or under a draft name that is removed
// unless it was moved over the target.
class NewFile {
  public:
    NewFile(int folder, const fs::path& target) : folder_(folder), target_(target) {
        // Naming an unnamed file later needs /proc (linkat through /proc/self/fd); without it, or where the
        // file system has no O_TMPFILE, the file gets a draft name from the start.
        if (!namedDraftsOnly && ::access("/proc/self/fd", X_OK) == 0) {
            fd_.reset(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
            if (fd_.get() >= 0) {
                return;
            }
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) {
                fail(target_, errno);
            }
        }
        for (int draw = 0; fd_.get() < 0; ++draw) {
            const SignalsHeld held;
            const std::string name = draftNameDrawn();
            fd_.reset(
                ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (fd_.get() < 0 && (errno != EEXIST || draw >= 100)) {
                fail(target_, errno);
            }
            if (fd_.get() >= 0) {
                name_ = name;
                remember();
            }
        }
    }
    ~NewFile() {
        if (!name_.empty()) {
            const SignalsHeld held;
            ::unlinkat(folder_, name_.c_str(), 0);
            forget();
        }
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    int fd() const { return fd_.get(); }

    // Flushes the data and moves the file over `name` in the folder; `targetAbsent` says nothing was there
    // when the write began, so nothing that turned up since is replaced unseen.
    void moveOver(const std::string& name, bool targetAbsent, Flush flush) {
        if (flush == Flush::ToDisk && ::fsync(fd_.get()) != 0) {
            fail(target_, errno);
        }
        const SignalsHeld held;
        if (name_.empty()) {
            giveName();
        }
        int moved = targetAbsent
                        ? ::renameat2(folder_, name_.c_str(), folder_, name.c_str(), RENAME_NOREPLACE)
                        : ::renameat(folder_, name_.c_str(), folder_, name.c_str());
        if (moved != 0 && targetAbsent && (errno == EEXIST || errno == EINVAL)) {
            if (errno == EEXIST) {
                lookAt(folder_, name, target_);  // refuses what may not be replaced
            }
            moved = ::renameat(folder_, name_.c_str(), folder_, name.c_str());
        }
        if (moved != 0) {
            fail(target_, errno);
        }
        name_.clear();
        forget();
    }

  private:
    void giveName() {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_.get());
        for (int draw = 0;; ++draw) {
            const std::string name = draftNameDrawn();
            if (::linkat(AT_FDCWD, self, folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                name_ = name;
                remember();
                return;
            }
            if (errno != EEXIST || draw >= 100) {
                fail(target_, errno);
            }
        }
    }
    void remember() {
        draftFolder = folder_;
        std::snprintf(draftName.data(), draftName.size(), "%s", name_.c_str());
        draftNamed = 1;
    }
    static void forget() { draftNamed = 0; }

    int folder_;
    const fs::path& target_;
    Fd fd_;
    std::string name_;
};

}  // namespace

Error::Error(const std::filesystem::path& path, std::string reason, int error)
    : Failure("Cannot write \"" + path.string() + "\": " + reason),
      reason_(std::move(reason)),
      error_(error) {}

void replace(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
    replace(target, bytes, Flush::ToDisk);
}

void replace(const std::filesystem::path& target, const Writer& writer) {
    replace(target, writer, Flush::ToDisk);
}

void replace(const std::filesystem::path& target, std::span<const std::uint8_t> bytes, Flush flush) {
    replace(
        target, [bytes](Output& out) { out.write(bytes); }, flush);
}

void replace(const std::filesystem::path& target, const Writer& writer, Flush flush) {
    const std::string name = target.filename().string();
    if (name.empty()) {
        refuse(target, "no file name");
    }
    if (name == "." || name == "..") {
        refuse(target, "it is a folder");
    }
    const fs::path folderPath = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const Fd folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        fail(target, errno);
    }
    const Existing before = lookAt(folder.get(), name, target);

    NewFile file(folder.get(), target);
    FileOutput out(file.fd(), target);
    writer(out);
    mode_t mode = 0666 & ~creationMask();
    if (before.regular) {
        mode = before.st.st_mode & 0777;
        // Root replacing someone's file gives it back to them; anyone else keeps what they may.
        if (::fchown(file.fd(), before.st.st_uid, before.st.st_gid) != 0) {
            errno = 0;
        }
    } else if (before.present) {
        mode = 0600;  // a link planted under the name says nothing about who may read the file
    }
    if (::fchmod(file.fd(), mode) != 0) {
        fail(target, errno);
    }
    file.moveOver(name, !before.present, flush);
    // The move itself reaches the disk with the folder. A folder that cannot be flushed (some file systems
    // refuse) does not undo a replace that has happened.
    if (flush == Flush::ToDisk) {
        ::fsync(folder.get());
    }
}

std::filesystem::path createExclusive(const std::filesystem::path& folder,
                                      const std::function<std::string()>& nextName, int maxDraws) {
    const Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        fail(folder, errno);
    }
    for (int draw = 0; draw < maxDraws; ++draw) {
        const std::string name = nextName();
        if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
            refuse(folder / name, "not a plain file name");
        }
        const int fd =
            ::openat(dir.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return folder / name;
        }
        if (errno != EEXIST) {
            fail(folder / name, errno);
        }
    }
    fail(folder, EEXIST);
}

void removeDraftsOnSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int s : kStopSignals) {
        sigaddset(&action.sa_mask, s);
    }
    for (int s : kStopSignals) {
        ::sigaction(s, &action, nullptr);
    }
}

void failNthWriteForTesting(int n, int error) {
    writesUntilFailure = n;
    injectedError = error;
}

}  // namespace rw::safefile

namespace rw::safefile {

void useNamedDraftsForTesting(bool on) {
    namedDraftsOnly = on;
}

}  // namespace rw::safefile
