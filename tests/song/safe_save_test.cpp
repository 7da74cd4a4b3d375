// Saving replaces a file through a hidden file beside it. What may go wrong on the way: the save
// is ended by a signal or killed outright, or another save runs beside it.

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/save_files.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "song/file_io.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

const Bytes kUsersBytes = {'u', 's', 'e', 'r'}, kNewBytes(5000, 0x5A), kSty = {'s', 't', 'y'};

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The signal the next write beyond the file size limit raises instead of SIGXFSZ, so that a
// child process is stopped or ended in the middle of writing its hidden file.
volatile sig_atomic_t signalInsideTheWrite = 0;

extern "C" void RaiseTheChosenSignal(int) {
    ::raise(signalInsideTheWrite);
}

// A forked child that begins saving kNewBytes to `path` and receives `signalNumber` once it has
// written 100 bytes of them.
pid_t StartSaveReceivingSignalMidway(const std::string& path, int signalNumber) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    signalInsideTheWrite = signalNumber;
    // The test may run where the signal is ignored or blocked; a user's signal is not.
    ::signal(signalNumber, SIG_DFL);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    sigaddset(&unblocked, signalNumber);
    ::sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
    ::signal(SIGXFSZ, RaiseTheChosenSignal);
    const struct rlimit limit { 100, 100 };
    ::setrlimit(RLIMIT_FSIZE, &limit);
    WriteWholeFile(path, kNewBytes);  // a failure ends the child by SIGABRT
    ::_exit(0);
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
    bool Save(const std::string& name) {
        test.session.output = ByteImage(kSty);
        return SaveStyleFile(test.session, PathOf(name));
    }

    test::TempDir dir;
    StubSession test;
};

TEST_F(SafeSaveTest, SaveEndedBySignalLeavesNoHiddenFileAndTheTargetAsItWas) {
    for (const auto& [signalNumber, targetExists] :
         std::vector<std::pair<int, bool>>{{SIGTERM, true}, {SIGINT, false}, {SIGHUP, true}}) {
        SCOPED_TRACE(::strsignal(signalNumber));
        const std::string target = PathOf("style.sty");
        fs::remove(target);
        if (targetExists) dir.Write("style.sty", kUsersBytes);
        EXPECT_EQ(EndingSignal(StartSaveReceivingSignalMidway(target, signalNumber)), signalNumber);
        EXPECT_EQ(NamesIn(dir.Path()).size(), size_t{targetExists});  // style.sty, read below
        EXPECT_EQ(test::ReadFile(target), targetExists ? kUsersBytes : Bytes{});
    }
}

// A save stopped halfway is still running: neither a save of the same target nor one of
// another target in the folder may take or remove its hidden file.
TEST_F(SafeSaveTest, SavesBesideARunningSaveLeaveItsHiddenFileAlone) {
    const pid_t running = StartSaveReceivingSignalMidway(PathOf("style.sty"), SIGSTOP);
    int status = 0;
    ASSERT_EQ(::waitpid(running, &status, WUNTRACED), running);
    ASSERT_TRUE(WIFSTOPPED(status));
    const std::vector<std::string> runningSaves = NamesIn(dir.Path());
    ASSERT_EQ(runningSaves.size(), 1u);
    const fs::path hidden = dir.Path() / runningSaves.front();

    EXPECT_TRUE(Save("style.sty"));
    EXPECT_TRUE(Save("other.sty"));
    EXPECT_EQ(fs::file_size(hidden), 100u);
    EXPECT_EQ(test::ReadFile(PathOf("style.sty")), kSty);
    EXPECT_EQ(test::ReadFile(PathOf("other.sty")), kSty);
    EXPECT_TRUE(test.platform.messages.empty());

    ::kill(running, SIGKILL);
    EXPECT_EQ(EndingSignal(running), SIGKILL);
    // Once the save is dead its file is a leftover, which the next save of the target removes.
    EXPECT_TRUE(Save("style.sty"));
    EXPECT_EQ(NamesIn(dir.Path()), (std::vector<std::string>{"other.sty", "style.sty"}));
}

}  // namespace
}  // namespace zephrane
