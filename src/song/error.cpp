#include "song/error.h"

#include <cerrno>

namespace zephrane {

RuntimeError::RuntimeError(int number) : RuntimeError(number, ErrorDescription(number)) {}

RuntimeError::RuntimeError(int number, const std::string& description)
    : std::runtime_error(description), number_(number) {}

void Fail(int number) {
    throw RuntimeError(number);
}

std::string ErrorDescription(int number) {
    switch (number) {
        case 5:
            return "Invalid procedure call or argument";
        case 6:
            return "Overflow";
        case 7:
            return "Out of memory";
        case 9:
            return "Subscript out of range";
        case 11:
            return "Division by zero";
        case 13:
            return "Type mismatch";
        case 51:
            return "Internal error";
        case 52:
            return "Bad file name or number";
        case 53:
            return "File not found";
        case 54:
            return "Bad file mode";
        case 55:
            return "File already open";
        case 57:
            return "Device I/O error";
        case 58:
            return "File already exists";
        case 61:
            return "Disk full";
        case 62:
            return "Input past end of file";
        case 67:
            return "Too many files";
        case 68:
            return "Device unavailable";
        case 70:
            return "Permission denied";
        case 71:
            return "Disk not ready";
        case 75:
            return "Path/File access error";
        case 76:
            return "Path not found";
        default:
            return "Application-defined or object-defined error";
    }
}

int ErrorNumberFromErrno(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
            return error_number::kFileNotFound;
        case ENOTDIR:
            return error_number::kPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return error_number::kPathFileAccessError;
        case ENOSPC:
        case EDQUOT:
            return error_number::kDiskFull;
        case EIO:
            return error_number::kDeviceIoError;
        case ENXIO:
        case ENODEV:
            return error_number::kDeviceUnavailable;
        case ENOMEM:
            return error_number::kOutOfMemory;
        case EMFILE:
        case ENFILE:
            return 67;
        case ENAMETOOLONG:
            return error_number::kBadFileName;
        case EBUSY:
        case ETXTBSY:
            return error_number::kPermissionDenied;
        default:
            return error_number::kDeviceIoError;
    }
}

}  // namespace zephrane
