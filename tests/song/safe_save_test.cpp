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

    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
};

struct EndingSignalCase {
    const char* name;
    int signalNumber;
    bool targetExists;
};

void PrintTo(const EndingSignalCase& row, std::ostream* out) {
    *out << row.name;
}

class SaveEndedBySignalTest : public SafeSaveTest,
                              public ::testing::WithParamInterface<EndingSignalCase> {};

TEST_P(SaveEndedBySignalTest, LeavesNoHiddenFileAndTheTargetAsItWas) {
    const EndingSignalCase& row = GetParam();
    const std::string target = PathOf("style.sty");
    if (row.targetExists) dir.Write("style.sty", kUsersBytes);

    EXPECT_EQ(EndingSignal(StartChild(target, kNewBytes, row.signalNumber)), row.signalNumber);

    if (row.targetExists) {
        EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"style.sty"});
        EXPECT_EQ(test::ReadFile(target), kUsersBytes);
    } else {
        EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{});
    }
}

INSTANTIATE_TEST_SUITE_P(EverySignalThatAsksToEnd, SaveEndedBySignalTest,
                         ::testing::Values(EndingSignalCase{"TerminateOverAFile", SIGTERM, true},
                                           EndingSignalCase{"TerminateIntoANewFile", SIGTERM,
                                                            false},
                                           EndingSignalCase{"InterruptOverAFile", SIGINT, true},
                                           EndingSignalCase{"InterruptIntoANewFile", SIGINT, false},
                                           EndingSignalCase{"HangUpOverAFile", SIGHUP, true}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(SafeSaveTest, TheNextSaveOfTheTargetRemovesTheHiddenFileOfAKilledSave) {
    const std::string target = PathOf("style.sty");
    dir.Write("style.sty", kUsersBytes);
    ASSERT_EQ(EndingSignal(StartChild(target, kNewBytes, SIGKILL)), SIGKILL);
    ASSERT_EQ(NamesIn(dir.Path()).size(), 2u) << "the killed save leaves its hidden file";
    EXPECT_EQ(test::ReadFile(target), kUsersBytes);

    s.output = ByteImage(Bytes{'s', 't', 'y'});
    ASSERT_TRUE(SaveStyleFile(s, target));

    EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"style.sty"});
    EXPECT_EQ(test::ReadFile(target), (Bytes{'s', 't', 'y'}));
}

// A save stopped halfway is still running: neither a save of the same target nor one of
// another target in the folder may take or remove its hidden file.
TEST_F(SafeSaveTest, SavesBesideARunningSaveLeaveItsHiddenFileAlone) {
    const std::string target = PathOf("style.sty");
    const pid_t running = StartChild(target, kNewBytes, SIGSTOP);
    int status = 0;
    ASSERT_EQ(::waitpid(running, &status, WUNTRACED), running);
    ASSERT_TRUE(WIFSTOPPED(status));
    const std::vector<std::string> runningSaves = NamesIn(dir.Path());
    ASSERT_EQ(runningSaves.size(), 1u);
    const fs::path hidden = dir.Path() / runningSaves.front();

    s.output = ByteImage(Bytes{'s', 't', 'y'});
    EXPECT_TRUE(SaveStyleFile(s, target));
    EXPECT_TRUE(SaveStyleFile(s, PathOf("other.sty")));

    EXPECT_TRUE(fs::exists(hidden));
    EXPECT_EQ(fs::file_size(hidden), 100u);
    EXPECT_EQ(test::ReadFile(target), (Bytes{'s', 't', 'y'}));
    EXPECT_EQ(test::ReadFile(PathOf("other.sty")), (Bytes{'s', 't', 'y'}));
    EXPECT_EQ(test.platform.messages, std::vector<std::string>{});

    ::kill(running, SIGKILL);
    EXPECT_EQ(EndingSignal(running), SIGKILL);
    // Once the save is dead its file is a leftover like any other.
    EXPECT_TRUE(SaveStyleFile(s, target));
    EXPECT_EQ(NamesIn(dir.Path()), (std::vector<std::string>{"other.sty", "style.sty"}));
}

// The hidden file's name does not grow with the target's, so every name the file system takes
// can be saved.
class LongNameTest : public SafeSaveTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(LongNameTest, SavesAndLeavesNothingBeside) {
    const std::string name = std::string(GetParam() - 4, 'n') + ".sty";
    s.output = ByteImage(Bytes{'s', 't', 'y'});
    dir.Write(name, kUsersBytes);

    ASSERT_TRUE(SaveStyleFile(s, PathOf(name)));

    EXPECT_EQ(test.platform.messages, std::vector<std::string>{});
    EXPECT_EQ(test::ReadFile(PathOf(name)), (Bytes{'s', 't', 'y'}));
    EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{name});
}

INSTANTIATE_TEST_SUITE_P(NameLengths, LongNameTest, ::testing::Values(247, 248, 251, 255));

// Whether the user may write the file decides, not only its mode bits: a file another user owns,
// or one whose owner took away their own write right, stays as it is even where the folder would
// let the save replace it.
struct NoWriteRightCase {
    const char* name;
    fs::perms mode;
    bool needsAnotherUser;  // only a file of another user shows the fault
};

void PrintTo(const NoWriteRightCase& row, std::ostream* out) {
    *out << row.name;
}

class NoWriteRightTest : public SafeSaveTest,
                         public ::testing::WithParamInterface<NoWriteRightCase> {};

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

TEST_P(NoWriteRightTest, IsRefusedAsReadOnlyAndTheFileKeepsItsOwner) {
    const NoWriteRightCase& row = GetParam();
    if (row.needsAnotherUser && ::geteuid() != 0) {
        GTEST_SKIP() << "a file owned by another user can only be made when the test runs as root";
    }
    // Everyone may create and rename files in the folder.
    fs::permissions(dir.Path(), fs::perms::all);
    const std::string target = dir.Write("shared.sty", kUsersBytes);
    fs::permissions(target, row.mode);
    struct stat before {};
    ASSERT_EQ(::stat(target.c_str(), &before), 0);

    const int number = SaveWithoutRootRights(target, kNewBytes);
    ASSERT_NE(number, 99) << "could not become another user";

    EXPECT_EQ(number, error_number::kPathFileAccessError);
    EXPECT_EQ(ErrorReportText(RuntimeError(number), "SaveStyleFile"), kReadOnly);
    struct stat after {};
    ASSERT_EQ(::stat(target.c_str(), &after), 0);
    EXPECT_EQ(test::ReadFile(target), kUsersBytes);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(NamesIn(dir.Path()), std::vector<std::string>{"shared.sty"});
}

INSTANTIATE_TEST_SUITE_P(
    Files, NoWriteRightTest,
    ::testing::Values(NoWriteRightCase{"AnotherUsersFile",
                                       fs::perms::owner_read | fs::perms::owner_write |
                                           fs::perms::group_read | fs::perms::others_read,
                                       true},
                      NoWriteRightCase{"OnlyTheGroupMayWrite",
                                       fs::perms::owner_read | fs::perms::group_read |
                                           fs::perms::group_write | fs::perms::others_read,
                                       false}),
    [](const auto& row) { return std::string(row.param.name); });

// A file the user may write through its group or others bits is saved as before.
TEST_F(SafeSaveTest, AFileEveryoneMayWriteIsSavedByAnotherUser) {
    fs::permissions(dir.Path(), fs::perms::all);
    const std::string target = dir.Write("shared.sty", kUsersBytes);
    fs::permissions(target, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec |
                                               fs::perms::others_exec));
    EXPECT_EQ(SaveWithoutRootRights(target, kNewBytes), 0);
    EXPECT_EQ(test::ReadFile(target), kNewBytes);
}

}  // namespace
}  // namespace zephrane
