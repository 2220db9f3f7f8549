#include "platform/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
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

// --- The name being written, and files to remove, for the signal handler -----------------------------

// Set only while the three signals are blocked; the handler reads them.
volatile std::sig_atomic_t draftNamed = 0;
int draftFolder = -1;
std::array<char, 32> draftName{};

// Files (and empty folders) that a stop signal removes: a few at a time are all the program needs.
struct Removal {
    volatile std::sig_atomic_t used = 0;
    std::array<char, PATH_MAX> path{};
};
std::array<Removal, 8> removals;

constexpr std::array kStopSignals = {SIGINT, SIGTERM, SIGHUP};

void onStopSignal(int signal) {
    const int saved = errno;
    if (draftNamed != 0) {
        ::unlinkat(draftFolder, draftName.data(), 0);
        draftNamed = 0;
    }
    // Files first, then the folders they were in.
    for (const Removal& r : removals) {
        if (r.used != 0) {
            ::unlink(r.path.data());
        }
    }
    for (const Removal& r : removals) {
        if (r.used != 0) {
            ::rmdir(r.path.data());
        }
    }
    errno = saved;
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

bool isDraftName(std::string_view name) {
    static constexpr std::string_view kChars = "abcdefghijklmnopqrstuvwxyz0123456789";
    return name.size() == 20 && name.starts_with(".rw-") && name.ends_with(".tmp") &&
           name.substr(4, 12).find_first_not_of(kChars) == std::string_view::npos;
}

// What sits at the target now. Refuses anything that is not a regular file.
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
    if (!found.regular) {
        refuse(target, "it is " + kindOf(found.st.st_mode));
    }
    return found;
}

// The file a chain of links ends at, each link read relative to its own folder; `target` itself when it is
// no link. Refuses a chain that dangles or ends at anything but a regular file, naming where it ends.
fs::path followLinks(const fs::path& target) {
    fs::path current = target;
    std::string lastText;  // what the last link holds, as it holds it
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            break;
        }
        if (hops >= 40) {
            fail(target, ELOOP);
        }
        std::string to(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), to.data(), to.size());
        if (n < 0) {
            fail(target, errno);
        }
        to.resize(static_cast<std::size_t>(n));
        lastText = to;
        const fs::path next(to);
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    if (current == target) {
        return target;
    }
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            refuse(target,
                   "it is a link to \"" + current.lexically_normal().string() + "\", which does not exist");
        }
        fail(target, errno);
    }
    // The system's own links (/dev/stdout, /proc/self/fd/N) may name what is no path ("pipe:[4242]").
    struct stat end {};
    const bool named = ::lstat(current.c_str(), &end) == 0;
    const std::string linked =
        "it is a link to \"" + (named ? current.lexically_normal().string() : lastText) + "\", ";
    if (!S_ISREG(st.st_mode)) {
        refuse(target, linked + "which is " + kindOf(st.st_mode));
    }
    // A link of the system's own may also name a file that has no name to replace.
    if (!named || end.st_ino != st.st_ino || end.st_dev != st.st_dev) {
        refuse(target, linked + "which cannot be replaced by name");
    }
    return current;
}

// Removes the drafts in `folder` that a writer killed while naming its file left behind: names of our own
// draft pattern only, regular files only, and only when no writer holds the lock it took when it made the
// file (a writer that is gone holds none).
void removeAbandonedDrafts(int folder) {
    const int scan = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (scan < 0) {
        return;
    }
    DIR* dir = ::fdopendir(scan);
    if (dir == nullptr) {
        ::close(scan);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (!isDraftName(entry->d_name)) {
            continue;
        }
        const int fd =
            ::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat st {};
        struct stat now {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folder, entry->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_ino == st.st_ino &&
            now.st_dev == st.st_dev) {
            ::unlinkat(folder, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(dir);
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
                lock();
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
                lock();
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
        if (name_.empty() && targetAbsent) {
            // A new file takes its name in one step and never has a draft name.
            if (::linkat(AT_FDCWD, self().data(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                return;
            }
            if (errno != EEXIST) {
                fail(target_, errno);
            }
            lookAt(folder_, name,
                   target_);  // something turned up meanwhile: refuses what may not be replaced
            targetAbsent = false;
        }
        // Linux cannot put an unnamed file in place of an existing name: it gets a draft name, moved over
        // the target at once. Only a kill between the two steps leaves the draft, which the next write into
        // this folder removes (removeAbandonedDrafts).
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
    std::array<char, 64> self() const {
        std::array<char, 64> path{};
        std::snprintf(path.data(), path.size(), "/proc/self/fd/%d", fd_.get());
        return path;
    }
    // Held until the file is closed: while it is, no other writer takes a draft of ours for abandoned.
    void lock() {
        if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
            fail(target_, errno);
        }
    }
    void giveName() {
        const std::array<char, 64> path = self();
        for (int draw = 0;; ++draw) {
            const std::string name = draftNameDrawn();
            if (::linkat(AT_FDCWD, path.data(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
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

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO (named pipe), not a regular file";
    }
    if (S_ISSOCK(mode)) {
        return "a socket, not a regular file";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device, not a regular file";
    }
    if (S_ISLNK(mode)) {
        return "a link that changed while it was followed";
    }
    return "not a regular file";
}

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

void replace(const std::filesystem::path& given, const Writer& writer, Flush flush) {
    if (given.filename().empty()) {
        refuse(given, "no file name");
    }
    // Through a link, the file it ends at is replaced, in that file's own folder; messages name both.
    const fs::path target = followLinks(given);
    const bool linked = target != given;
    const std::string viaLink = linked ? "it is a link to \"" + target.string() + "\", " : std::string();
    const std::string name = target.filename().string();
    if (name.empty() || name == "." || name == "..") {
        refuse(given, viaLink + (linked ? "which is a folder" : "it is a folder"));
    }
    const fs::path folderPath = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const Fd folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        if (linked) {
            refuse(given, viaLink + "whose folder cannot be opened: " + std::strerror(errno));
        }
        fail(given, errno);
    }
    if (linked && ::faccessat(folder.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        refuse(given, viaLink + "whose folder you cannot write: " + std::strerror(errno));
    }
    const Existing before = lookAt(folder.get(), name, given);
    removeAbandonedDrafts(folder.get());

    NewFile file(folder.get(), given);
    FileOutput out(file.fd(), given);
    writer(out);
    mode_t mode = 0666 & ~creationMask();
    if (before.regular) {
        mode = before.st.st_mode & 0777;
        // Root replacing someone's file gives it back to them; anyone else keeps what they may.
        if (::fchown(file.fd(), before.st.st_uid, before.st.st_gid) != 0) {
            errno = 0;
        }
    }
    if (::fchmod(file.fd(), mode) != 0) {
        fail(given, errno);
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

void removeOnStopSignal(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.empty() || text.size() >= PATH_MAX) {
        return;
    }
    const SignalsHeld held;
    for (Removal& r : removals) {
        if (r.used == 0) {
            std::memcpy(r.path.data(), text.c_str(), text.size() + 1);
            r.used = 1;
            return;
        }
    }
}

void keepOnStopSignal(const std::filesystem::path& path) {
    const SignalsHeld held;
    for (Removal& r : removals) {
        if (r.used != 0 && path.native() == r.path.data()) {
            r.used = 0;
        }
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
