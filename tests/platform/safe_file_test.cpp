#include "platform/safe_file.h"

#include <gtest/gtest.h>
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

TEST_F(SafeFile, ALinkIsReplacedNeverFollowed) {
    put(dir_ / "precious.txt", "keep me");
    fs::create_symlink(dir_ / "precious.txt", dir_ / "chart.xls");
    fs::create_symlink(dir_ / "nowhere", dir_ / "dangling.xls");
    for (const char* name : {"chart.xls", "dangling.xls"}) {
        replace(dir_ / name, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("new"), 3));
        EXPECT_TRUE(S_ISREG(modeOf(dir_ / name))) << name;
        EXPECT_EQ(modeOf(dir_ / name) & 0777, 0600u) << name;
        EXPECT_EQ(read(dir_ / name), "new");
    }
    EXPECT_EQ(read(dir_ / "precious.txt"), "keep me");
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
    EXPECT_EQ(entries().size(), 3u);
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
