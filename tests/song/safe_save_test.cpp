// Saving replaces a file through a hidden file beside it. What may go wrong on the way: the save
// is ended by a signal or killed outright, another save runs beside it, the user may not write
// the file although the folder would let the replacement through, and the name is as long as
// the file system allows.

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/error_report.h"
#include "app/save_files.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "song/file_io.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

constexpr char kReadOnly[] =
    "File may have read-only attribute. Change attribute or choose another name.";

const Bytes kUsersBytes = {'u', 's', 'e', 'r', '\'', 's', ' ', 'f', 'i', 'l', 'e'};
const Bytes kNewBytes(5000, 0x5A);

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The signal the next write beyond the file size limit raises instead of SIGXFSZ, so that a
// child process is stopped or ended in the middle of writing its hidden file.
volatile sig_atomic_t signalInsideTheWrite = 0;

extern "C" void RaiseTheChosenSignal(int) {
    ::raise(signalInsideTheWrite);
}

// Runs in a forked child: begins saving `bytes` to `path` and receives `signalNumber` once it
// has written 100 bytes of them. Never returns.
[[noreturn]] void SaveAndReceiveSignalMidway(const std::string& path, const Bytes& bytes,
                                             int signalNumber) {
    signalInsideTheWrite = signalNumber;
    // The test may run where the signal is ignored or blocked; a user's signal is not.
    if (signalNumber != SIGKILL && signalNumber != SIGSTOP) ::signal(signalNumber, SIG_DFL);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    sigaddset(&unblocked, signalNumber);
    ::sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
    struct sigaction action {};
    action.sa_handler = RaiseTheChosenSignal;
    ::sigaction(SIGXFSZ, &action, nullptr);
    const struct rlimit limit { 100, 100 };
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
        WriteWholeFile(path, bytes);
    } catch (...) {
        ::_exit(2);
    }
    ::_exit(0);
}

pid_t StartChild(const std::string& path, const Bytes& bytes, int signalNumber) {
    const pid_t child = ::fork();
    if (child == 0) SaveAndReceiveSignalMidway(path, bytes, signalNumber);
    return child;
}

// The signal that ended the child, or -1 when it exited.
int EndingSignal(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
}

class SafeSaveTest : public ::testing::Test {
  protected:
    std::string PathOf(const std::string& name) const { return (dir.Path() / name).string(); }
    // Saves "sty" to `name` through the session; true when saved.
    bool Save(const std::string& name) {
        s.output = ByteImage(Bytes{'s', 't', 'y'});
        return SaveStyleFile(s, PathOf(name));
    }

    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
};

TEST_F(SafeSaveTest, SaveEndedBySignalLeavesNoHiddenFileAndTheTargetAsItWas) {
    for (const auto& [signalNumber, targetExists] :
         std::vector<std::pair<int, bool>>{{SIGTERM, true}, {SIGINT, false}, {SIGHUP, true}}) {
        SCOPED_TRACE(::strsignal(signalNumber));
        const std::string target = PathOf("style.sty");
        fs::remove(target);
        if (targetExists) dir.Write("style.sty", kUsersBytes);
        EXPECT_EQ(EndingSignal(StartChild(target, kNewBytes, signalNumber)), signalNumber);
        EXPECT_EQ(NamesIn(dir.Path()), targetExists ? std::vector<std::string>{"style.sty"}
                                                    : std::vector<std::string>{});
        EXPECT_EQ(test::ReadFile(target), targetExists ? kUsersBytes : Bytes{});
    }
}

// A save stopped halfway is still running: neither a save of the same target nor one of
// another target in the folder may take or remove its hidden file.
TEST_F(SafeSaveTest, SavesBesideARunningSaveLeaveItsHiddenFileAlone) {
    const pid_t running = StartChild(PathOf("style.sty"), kNewBytes, SIGSTOP);
    int status = 0;
    ASSERT_EQ(::waitpid(running, &status, WUNTRACED), running);
    ASSERT_TRUE(WIFSTOPPED(status));
    const std::vector<std::string> runningSaves = NamesIn(dir.Path());
    ASSERT_EQ(runningSaves.size(), 1u);
    const fs::path hidden = dir.Path() / runningSaves.front();

    EXPECT_TRUE(Save("style.sty"));
    EXPECT_TRUE(Save("other.sty"));
    EXPECT_EQ(fs::file_size(hidden), 100u);
    EXPECT_EQ(test::ReadFile(PathOf("style.sty")), (Bytes{'s', 't', 'y'}));
    EXPECT_EQ(test::ReadFile(PathOf("other.sty")), (Bytes{'s', 't', 'y'}));
    EXPECT_EQ(test.platform.messages, std::vector<std::string>{});

    ::kill(running, SIGKILL);
    EXPECT_EQ(EndingSignal(running), SIGKILL);
    // Once the save is dead its file is a leftover, which the next save of the target removes.
    EXPECT_TRUE(Save("style.sty"));
    EXPECT_EQ(NamesIn(dir.Path()), (std::vector<std::string>{"other.sty", "style.sty"}));
}

// The hidden file's name does not grow with the target's, so the longest name the file system
// takes can be saved.
TEST_F(SafeSaveTest, LongestNameIsSavedAndLeavesNothingBeside) {
    const std::string name = std::string(251, 'n') + ".sty";
    dir.Write(name, kUsersBytes);
    ASSERT_TRUE(Save(name));
    EXPECT_EQ(test::ReadFile(PathOf(name)), (Bytes{'s', 't', 'y'}));
    EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{name});
}

constexpr uid_t kNobody = 65534;

// The run-time error number of saving `bytes` to `path` without the administrator's rights: as
// nobody when the test runs as root, else as the user running the test. 0 for success.
int SaveWithoutRootRights(const std::string& path, const Bytes& bytes) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(99);
        try {
            WriteWholeFile(path, bytes);
        } catch (const RuntimeError& error) {
            ::_exit(error.Number());
        } catch (...) {
            ::_exit(98);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whether the user may write the file decides, not only its mode bits: a file another user owns,
// or one whose owner took away their own write right, stays as it is even where the folder would
// let the save replace it; one the user may write through its group or others bits is saved.
TEST_F(SafeSaveTest, OnlyAFileTheUserMayWriteIsReplaced) {
    using fs::perms;
    const struct {
        const char* name;
        perms mode;
        bool needsAnotherUser;  // only a file of another user shows the fault
        bool saved;
    } cases[] = {
        {"another user's file", perms::owner_read | perms::owner_write | perms::group_read, true,
         false},
        {"only the group may write", perms::owner_read | perms::group_read | perms::group_write,
         false, false},
        {"everyone may write",
         perms::owner_read | perms::owner_write | perms::group_read | perms::group_write |
             perms::others_read | perms::others_write,
         false, true},
    };
    fs::permissions(dir.Path(), perms::all);  // everyone may create and rename files in it
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        if (row.needsAnotherUser && ::geteuid() != 0) continue;  // needs root to make the file
        const std::string target = dir.Write("shared.sty", kUsersBytes);
        fs::permissions(target, row.mode);
        struct stat before {};
        ASSERT_EQ(::stat(target.c_str(), &before), 0);
        const int number = SaveWithoutRootRights(target, kNewBytes);
        ASSERT_NE(number, 99) << "could not become another user";
        EXPECT_EQ(test::ReadFile(target), row.saved ? kNewBytes : kUsersBytes);
        EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"shared.sty"});
        struct stat after {};
        ASSERT_EQ(::stat(target.c_str(), &after), 0);
        fs::remove(target);
        if (row.saved) continue;
        // Refused as read-only; the very file, with its owner, is left in place.
        EXPECT_EQ(number, error_number::kPathFileAccessError);
        EXPECT_EQ(ErrorReportText(RuntimeError(number), "SaveStyleFile"), kReadOnly);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_uid, before.st_uid);
    }
}

}  // namespace
}  // namespace zephrane
