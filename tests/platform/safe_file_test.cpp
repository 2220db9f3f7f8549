#include "platform/safe_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

// Every file the program writes goes through replace(): these tests throw faults at it (a full disk, the
// file-size limit, a failing writer, a stop signal) and special targets, and check that the user's file
// keeps its bytes and that nothing is left beside it.
namespace rw::safefile {
namespace {

namespace fs = std::filesystem;

class SafeFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/rw-safe-file-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        failNthWriteForTesting(0, 0);
        useNamedDraftsForTesting(false);
        fs::remove_all(dir_);
    }

    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) {
            names.insert(e.path().filename().string());
        }
        return names;
    }
    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void put(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }
    static mode_t modeOf(const fs::path& path) {
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0);
        return st.st_mode;
    }

    fs::path dir_;
};

// Ten pieces of 64 KiB, written one by one, so a fault can strike in the middle.
const Writer kLargeWriter = [](Output& out) {
    const std::string piece(64 * 1024, 'n');
    for (int i = 0; i < 10; ++i) {
        out.write(piece);
    }
};

TEST_F(SafeFile, AFailedWriteKeepsTheOldFileAndLeavesNothingBeside) {
    struct Fault {
        const char* name;
        std::function<void()> arm;
        std::function<void()> disarm;
        std::string reason;
    };
    struct rlimit usual {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &usual), 0);
    const std::vector<Fault> faults = {
        {"disk full on the third write", [] { failNthWriteForTesting(3, ENOSPC); },
         [] { failNthWriteForTesting(0, 0); }, "No space left on device"},
        {"file-size limit with SIGXFSZ ignored",
         [&] {
             std::signal(SIGXFSZ, SIG_IGN);
             struct rlimit low = usual;
             low.rlim_cur = 100'000;
             ::setrlimit(RLIMIT_FSIZE, &low);
         },
         [&] {
             ::setrlimit(RLIMIT_FSIZE, &usual);
             std::signal(SIGXFSZ, SIG_DFL);
         },
         "File too large"},
        {"the writer gives up", [] {}, [] {}, "the source went away"},
    };
    const fs::path target = dir_ / "family.xls";
    for (const Fault& fault : faults) {
        for (const bool existed : {true, false}) {
            // Both ways of writing: an unnamed file (O_TMPFILE), and a draft name where there is none.
            useNamedDraftsForTesting(existed);
            fs::remove(target);
            if (existed) {
                put(target, "the user's workbook");
            }
            fault.arm();
            std::string message;
            try {
                replace(target, [&](Output& out) {
                    if (fault.reason == "the source went away") {
                        out.write(std::string(1000, 'x'));
                        throw Failure(fault.reason);
                    }
                    kLargeWriter(out);
                });
            } catch (const Failure& e) {
                message = e.what();
            }
            fault.disarm();
            EXPECT_NE(message.find(fault.reason), std::string::npos) << fault.name << ": " << message;
            if (existed) {
                EXPECT_EQ(read(target), "the user's workbook") << fault.name;
                EXPECT_EQ(entries(), std::set<std::string>{"family.xls"}) << fault.name;
            } else {
                EXPECT_TRUE(entries().empty()) << fault.name;
            }
        }
    }
    // And without a fault the same write goes through.
    replace(target, kLargeWriter);
    EXPECT_EQ(fs::file_size(target), 10u * 64 * 1024);
}

TEST_F(SafeFile, SpecialTargetsAreRefusedAndStayWhatTheyWere) {
    ASSERT_TRUE(fs::create_directory(dir_ / "folder.xls"));
    ASSERT_EQ(::mkfifo((dir_ / "fifo.xls").c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (dir_ / "socket.xls").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    struct Case {
        std::string name;
        bool (*stillIs)(fs::file_status);
        std::string reason;
    };
    std::vector<Case> cases = {
        {"folder.xls", [](fs::file_status s) { return fs::is_directory(s); }, "it is a folder"},
        {"fifo.xls", [](fs::file_status s) { return fs::is_fifo(s); }, "FIFO"},
        {"socket.xls", [](fs::file_status s) { return fs::is_socket(s); }, "socket"},
    };
    if (::mknod((dir_ / "null.xls").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {  // root only
        cases.push_back({"null.xls", [](fs::file_status s) { return fs::is_character_file(s); }, "device"});
    }
    for (const Case& c : cases) {
        try {
            replace(dir_ / c.name, kLargeWriter);
            ADD_FAILURE() << c.name << " was replaced";
        } catch (const Error& e) {
            EXPECT_NE(e.reason().find(c.reason), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()),
                      "Cannot write \"" + (dir_ / c.name).string() + "\": " + e.reason());
        }
        EXPECT_TRUE(c.stillIs(fs::symlink_status(dir_ / c.name))) << c.name;
    }
    ::close(sock);
    EXPECT_EQ(entries().size(), cases.size()) << "nothing left beside them";
}

// A user's link (a workbook kept elsewhere and linked in) gets the new bytes in the file it names; a link
// that leads nowhere writable is refused with both names, and nothing is written anywhere.
TEST_F(SafeFile, ALinkIsFollowedToTheFileItNamesOrRefused) {
    const fs::path synced = dir_ / "synced";
    fs::create_directory(synced);
    put(synced / "family.xls", "old");
    ::chmod((synced / "family.xls").c_str(), 0640);
    fs::create_symlink("synced/family.xls", dir_ / "relative.xls");
    fs::create_symlink(dir_ / "relative.xls", dir_ / "chain.xls");
    fs::create_symlink(dir_ / "nowhere", dir_ / "dangling.xls");
    ASSERT_EQ(::mkfifo((synced / "pipe").c_str(), 0600), 0);
    fs::create_symlink(synced / "pipe", dir_ / "to-pipe.xls");
    fs::create_symlink(synced, dir_ / "to-folder.xls");
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);  // what /dev/stdout names when the output goes to a pipe
    const fs::path standardOutput = "/proc/self/fd/" + std::to_string(pipeEnds[1]);

    struct Case {
        fs::path given;
        std::string refusal;  // empty: written through
    };
    const Case cases[] = {
        {dir_ / "relative.xls", ""},
        {dir_ / "chain.xls", ""},
        {dir_ / "dangling.xls",
         "it is a link to \"" + (dir_ / "nowhere").string() + "\", which does not exist"},
        {dir_ / "to-pipe.xls", "it is a link to \"" + (synced / "pipe").string() + "\", which is a FIFO"},
        {dir_ / "to-folder.xls", "it is a link to \"" + synced.string() + "\", which is a folder"},
        {standardOutput, "which is a FIFO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given.string());
        put(synced / "family.xls", "old");
        try {
            replace(c.given, kLargeWriter);
            EXPECT_TRUE(c.refusal.empty()) << "written";
            EXPECT_EQ(fs::file_size(synced / "family.xls"), 10u * 64 * 1024);
            EXPECT_EQ(modeOf(synced / "family.xls") & 0777, 0640u);
        } catch (const Error& e) {
            EXPECT_NE(e.reason().find(c.refusal), std::string::npos) << e.what();
            EXPECT_FALSE(c.refusal.empty()) << e.what();
            EXPECT_EQ(read(synced / "family.xls"), "old");
        }
        EXPECT_TRUE(fs::is_symlink(c.given));
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    EXPECT_EQ(entries().size(), 6u) << "nothing written beside the links";
    std::set<std::string> inSynced;
    for (const auto& e : fs::directory_iterator(synced)) {
        inSynced.insert(e.path().filename().string());
    }
    EXPECT_EQ(inSynced, (std::set<std::string>{"family.xls", "pipe"}));
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
}

// A link into a folder the user may not write is refused, naming the link and its file; as root the same
// folder is written (checked in a child that gives up root, as an ordinary user would run).
TEST_F(SafeFile, ALinkIntoAFolderTheUserCannotWriteIsRefused) {
    const fs::path locked = dir_ / "locked";
    fs::create_directory(locked);
    put(locked / "family.xls", "old");
    ::chmod((locked / "family.xls").c_str(), 0666);
    ::chmod(locked.c_str(), 0555);
    ::chmod(dir_.c_str(), 0777);
    fs::create_symlink(locked / "family.xls", dir_ / "link.xls");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)) {
            std::_Exit(3);
        }
        try {
            replace(dir_ / "link.xls", kLargeWriter);
        } catch (const Error& e) {
            const std::string expected = "Cannot write \"" + (dir_ / "link.xls").string() +
                                         "\": it is a link to \"" + (locked / "family.xls").string() +
                                         "\", whose folder you cannot write: Permission denied";
            std::_Exit(e.what() == expected ? 0 : 2);
        }
        std::_Exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(read(locked / "family.xls"), "old");
    ::chmod(locked.c_str(), 0755);
}

TEST_F(SafeFile, AReplacedFileKeepsItsModeAndANewOneFollowsTheUmask) {
    for (const mode_t mode : {0600u, 0640u, 0664u}) {
        put(dir_ / "kept.xls", "old");
        ::chmod((dir_ / "kept.xls").c_str(), mode);
        replace(dir_ / "kept.xls", kLargeWriter);
        EXPECT_EQ(modeOf(dir_ / "kept.xls") & 0777, mode);
    }
    const mode_t before = ::umask(027);
    replace(dir_ / "new.xls", kLargeWriter);
    ::umask(before);
    EXPECT_EQ(modeOf(dir_ / "new.xls") & 0777, 0640u);
}

TEST_F(SafeFile, NamesOfAnyBytesUpToTheFolderLimit) {
    const std::vector<std::string> names = {std::string(251, 'n') + ".xls", "caf\xe9 \xff\xfe.xls",
                                            "-rf .xls"};
    for (const std::string& name : names) {
        put(dir_ / name, "old");
        replace(dir_ / name, kLargeWriter);
        EXPECT_EQ(fs::file_size(dir_ / name), 10u * 64 * 1024);
    }
    EXPECT_EQ(entries(), std::set<std::string>(names.begin(), names.end()));
    // One byte too long is the system's refusal, with its words, and leaves nothing.
    try {
        replace(dir_ / (std::string(252, 'n') + ".xls"), kLargeWriter);
        ADD_FAILURE() << "a 256-byte name was written";
    } catch (const Error& e) {
        EXPECT_EQ(e.reason(), "File name too long");
    }
    EXPECT_EQ(entries().size(), names.size());
    // A missing folder says so.
    try {
        replace(dir_ / "missing" / "a.xls", kLargeWriter);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.reason(), "No such file or directory");
    }
}

TEST_F(SafeFile, AStopSignalWhileWritingLeavesTheOldFileAndNothingElse) {
    const fs::path target = dir_ / "family.xls";
    put(target, "the user's workbook");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        useNamedDraftsForTesting(true);  // an unnamed file would vanish with the process anyway
        removeDraftsOnSignals();
        replace(target, [](Output& out) {
            out.write(std::string(100'000, 'x'));
            ::kill(::getpid(), SIGTERM);
            out.write(std::string(100'000, 'x'));
        });
        std::_Exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(read(target), "the user's workbook");
    EXPECT_EQ(entries(), std::set<std::string>{"family.xls"});
}

// A draft left by a writer killed while naming its file is removed by the next write into that folder; a
// draft whose writer still holds it, and every other name, stay.
TEST_F(SafeFile, TheNextWriteRemovesDraftsWhoseWriterIsGone) {
    const std::vector<std::pair<std::string, bool>> files = {
        {".rw-abandoned001.tmp", false},  // a draft of ours, nobody holds it
        {".rw-inuse0000001.tmp", true},   // a draft of ours a writer still holds
        {".rw-short.tmp", true},          // not our pattern
        {".rw-ABANDONED001.tmp", true},   // not our pattern either
        {"family.xls", true},
    };
    for (const auto& [name, stays] : files) {
        put(dir_ / name, "bytes");
    }
    fs::create_directory(dir_ / ".rw-afolder00001.tmp");
    const int held = ::open((dir_ / ".rw-inuse0000001.tmp").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    replace(dir_ / "other.xls", kLargeWriter);
    ::close(held);
    std::set<std::string> expected = {"other.xls", ".rw-afolder00001.tmp"};
    for (const auto& [name, stays] : files) {
        if (stays) {
            expected.insert(name);
        }
    }
    EXPECT_EQ(entries(), expected);
}

// SIGINT, SIGTERM and SIGHUP remove the files and folders the program registered, and only those, then end
// the program as the signal would have.
TEST_F(SafeFile, AStopSignalRemovesRegisteredFilesInAChildProcess) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const fs::path folder = dir_ / "picture";
        fs::create_directory(folder);
        put(dir_ / "qarlow12345678.xls", "workbook");
        put(folder / "qarlow12345678.bmp", "picture");
        put(dir_ / "kept.xls", "deleted by the program itself, then made again by someone else");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            removeDraftsOnSignals();
            removeOnStopSignal(dir_ / "qarlow12345678.xls");
            removeOnStopSignal(folder);
            removeOnStopSignal(folder / "qarlow12345678.bmp");
            removeOnStopSignal(dir_ / "kept.xls");
            keepOnStopSignal(dir_ / "kept.xls");
            ::raise(signal);
            std::_Exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(entries(), std::set<std::string>{"kept.xls"});
        fs::remove(dir_ / "kept.xls");
    }
}

TEST_F(SafeFile, CreateExclusiveDrawsAgainWhileANameIsTaken) {
    put(dir_ / "precious.txt", "keep me");
    fs::create_symlink(dir_ / "precious.txt", dir_ / "a.xls");
    fs::create_symlink(dir_ / "nowhere", dir_ / "b.xls");
    put(dir_ / "c.xls", "");
    fs::create_directory(dir_ / "d.xls");
    std::vector<std::string> drawn;
    const auto next = [&] {
        drawn.push_back(std::string(1, static_cast<char>('a' + drawn.size())) + ".xls");
        return drawn.back();
    };
    EXPECT_EQ(createExclusive(dir_, next, 10), dir_ / "e.xls");
    EXPECT_EQ(drawn.size(), 5u);
    EXPECT_EQ(modeOf(dir_ / "e.xls") & 0777, 0600u);
    EXPECT_EQ(fs::file_size(dir_ / "e.xls"), 0u);
    EXPECT_EQ(read(dir_ / "precious.txt"), "keep me");
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));

    drawn.clear();
    try {
        createExclusive(dir_, next, 3);
        ADD_FAILURE() << "a taken name was used";
    } catch (const Error& e) {
        EXPECT_EQ(e.error(), EEXIST);
    }
}

}  // namespace
}  // namespace rw::safefile
