#pragma once
// Run-time failures.
//
// Inside a procedure every failure is thrown as a RuntimeError carrying the error number the
// platform would give (9 for a read outside an image, 6 for an overflow, 53 for a missing file…).
// The procedure's boundary catches it and shows the common error report under its own name.

#include <stdexcept>
#include <string>

namespace zephrane {

namespace error_number {
inline constexpr int kInvalidProcedureCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kInternalError = 51;
inline constexpr int kBadFileName = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kBadFileMode = 54;
inline constexpr int kDeviceIoError = 57;
inline constexpr int kDiskFull = 61;
inline constexpr int kInputPastEndOfFile = 62;
inline constexpr int kDeviceUnavailable = 68;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kDiskNotReady = 71;
inline constexpr int kPathFileAccessError = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kSilent = 384;
}  // namespace error_number

// A run-time failure: the error number and the platform's description of it.
class RuntimeError : public std::runtime_error {
  public:
    explicit RuntimeError(int number);
    RuntimeError(int number, const std::string& description);
    int Number() const { return number_; }
    std::string Description() const { return what(); }

  private:
    int number_;
};

// Throws RuntimeError(number).
[[noreturn]] void Fail(int number);

// The platform's description of a run-time error number ("Overflow" for 6).
std::string ErrorDescription(int number);

// Maps an errno value of a failed file operation to the run-time error number.
int ErrorNumberFromErrno(int errnoValue);

}  // namespace zephrane
