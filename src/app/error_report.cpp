#include "app/error_report.h"

namespace zephrane {

std::string ErrorReportText(const RuntimeError& error, std::string_view operationName) {
    switch (error.Number()) {
        case 53:
            return "This file is Not found.";
        case 54:
            return "Can't open your file";
        case 57:
            return "Internal disk error.";
        case 61:
            return "Disk is full.";
        case 62:
            return "There was a problem With this file";
        case 68:
            return "That device appears unavailable.";
        case 70:
            return "Error writing to file- make sure it is not being used by another program and "
                   "that the media is available.";
        case 71:
            return "Insert a disk in the drive ";
        case 75:
            return "File may have read-only attribute. Change attribute or choose another name.";
        case 76:
            return "That path doesn't exist.";
        case 384:
            return "";
        default:
            return "Error #: " + std::to_string(error.Number()) + ", " + error.Description() +
                   ", encountered in Function " + std::string(operationName) +
                   ". If the solution is not obvious, please report this to the author.";
    }
}

}  // namespace zephrane
