#include "app/error_report.h"

#include <gtest/gtest.h>

#include "app/stub_platform.h"

namespace zephrane {
namespace {

TEST(ErrorReport, FileErrorsShowTheirOwnMessageOthersNameNumberDescriptionAndOperation) {
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
        {9,
         "Error #: 9, Subscript out of range, encountered in Function Entry. If the solution is "
         "not obvious, please report this to the author."},
        {6,
         "Error #: 6, Overflow, encountered in Function Entry. If the solution is not obvious, "
         "please report this to the author."},
        {7,
         "Error #: 7, Out of memory, encountered in Function Entry. If the solution is not "
         "obvious, please report this to the author."},
    };
    for (const auto& [number, message] : cases) {
        EXPECT_EQ(ErrorReportText(RuntimeError(number), "Entry"), message) << number;
    }
}

TEST(ErrorReport, FileSystemErrnoMapsToTheRuntimeErrorOfTheCause) {
    const std::pair<int, int> cases[] = {{ENOENT, 53}, {ENOTDIR, 76}, {EACCES, 75}, {EROFS, 75},
                                         {ENOSPC, 61}, {EIO, 57},     {ENXIO, 68}};
    for (const auto& [cause, number] : cases) {
        EXPECT_EQ(ErrorNumberFromErrno(cause), number) << cause;
    }
}

TEST(ErrorReport, GuardedReportsEveryKindOfFailureUnderTheOperationNameAnd384Silently) {
    StubSession test;
    EXPECT_FALSE(Guarded(test.session, "LoadText", [] { Fail(error_number::kOverflow); }));
    EXPECT_FALSE(Guarded(test.session, "LoadText", [] { throw std::bad_alloc(); }));
    EXPECT_FALSE(Guarded(test.session, "LoadText", [] { throw std::out_of_range("vector::at"); }));
    EXPECT_TRUE(Guarded(test.session, "LoadText", [] {}));
    ReportError(test.session, "Main", RuntimeError(384));
    ASSERT_EQ(test.platform.messages.size(), 3u);
    EXPECT_EQ(test.platform.messages[1],
              "Error #: 7, Out of memory, encountered in Function LoadText. If the solution is "
              "not obvious, please report this to the author.");
    EXPECT_EQ(test.platform.messages[2].substr(0, 36), "Error #: 9, Subscript out of range, ");
}

}  // namespace
}  // namespace zephrane
