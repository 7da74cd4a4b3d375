#include "app/error_report.h"

#include <gtest/gtest.h>

#include "app/stub_platform.h"

namespace zephrane {
namespace {

TEST(ErrorReport, KnownFileErrorsShowTheirOwnMessage) {
    const std::pair<int, const char*> cases[] = {
        {53, "This file is Not found."},
        {54, "Can't open your file"},
        {57, "Internal disk error."},
        {61, "Disk is full."},
        {62, "There was a problem With this file"},
        {68, "That device appears unavailable."},
        {70,
         "Error writing to file- make sure it is not being used by another program and that "
         "the media is available."},
        {71, "Insert a disk in the drive "},
        {75, "File may have read-only attribute. Change attribute or choose another name."},
        {76, "That path doesn't exist."},
    };
    for (const auto& [number, message] : cases) {
        EXPECT_EQ(ErrorReportText(RuntimeError(number), "Entry"), message) << number;
    }
}

TEST(ErrorReport, OtherErrorsNameNumberDescriptionAndOperation) {
    EXPECT_EQ(ErrorReportText(RuntimeError(9), "GetInfo"),
              "Error #: 9, Subscript out of range, encountered in Function GetInfo. If the "
              "solution is not obvious, please report this to the author.");
    EXPECT_EQ(ErrorReportText(RuntimeError(6), "CalcTime"),
              "Error #: 6, Overflow, encountered in Function CalcTime. If the solution is not "
              "obvious, please report this to the author.");
    EXPECT_EQ(ErrorReportText(RuntimeError(7), "SaveStyleFile"),
              "Error #: 7, Out of memory, encountered in Function SaveStyleFile. If the solution "
              "is not obvious, please report this to the author.");
}

TEST(ErrorReport, Error384ShowsNoMessageBox) {
    StubSession test;
    ReportError(test.session, "Main", RuntimeError(384));
    EXPECT_TRUE(test.platform.messages.empty());
}

TEST(ErrorReport, FileSystemErrnoMapsToTheRuntimeErrorOfTheCause) {
    EXPECT_EQ(ErrorNumberFromErrno(ENOENT), 53);
    EXPECT_EQ(ErrorNumberFromErrno(ENOTDIR), 76);
    EXPECT_EQ(ErrorNumberFromErrno(EACCES), 75);
    EXPECT_EQ(ErrorNumberFromErrno(EROFS), 75);
    EXPECT_EQ(ErrorNumberFromErrno(ENOSPC), 61);
    EXPECT_EQ(ErrorNumberFromErrno(EIO), 57);
    EXPECT_EQ(ErrorNumberFromErrno(ENXIO), 68);
}

TEST(ErrorReport, GuardedReportsEveryKindOfFailureUnderTheOperationName) {
    StubSession test;
    EXPECT_FALSE(Guarded(test.session, "LoadText", [] { Fail(error_number::kOverflow); }));
    EXPECT_FALSE(Guarded(test.session, "LoadText", [] { throw std::bad_alloc(); }));
    EXPECT_FALSE(Guarded(test.session, "LoadText", [] { throw std::out_of_range("vector::at"); }));
    EXPECT_TRUE(Guarded(test.session, "LoadText", [] {}));
    ASSERT_EQ(test.platform.messages.size(), 3u);
    EXPECT_EQ(test.platform.messages[1],
              "Error #: 7, Out of memory, encountered in Function LoadText. If the solution is "
              "not obvious, please report this to the author.");
    EXPECT_NE(test.platform.messages[2].find("Error #: 9, Subscript out of range"),
              std::string::npos);
}

}  // namespace
}  // namespace zephrane
