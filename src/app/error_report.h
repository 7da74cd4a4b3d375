#pragma once
// The common error report: what a user reads when a procedure stops on a run-time failure.

#include <string>
#include <string_view>

#include "song/error.h"

namespace zephrane {

// The text of the common error report for `number` raised in `operationName`; empty for 384,
// which shows nothing.
std::string ErrorReportText(const RuntimeError& error, std::string_view operationName);

}  // namespace zephrane
