#pragma once
// What a user action came to, as the window and the command line read it: done; cancelled (a
// dialog was closed without an answer); refused with the message the user was shown; or failed
// with the text of the common error report.

#include <string>

namespace zephrane {

enum class Outcome { Done, Cancelled, Refused, Failed };

struct CommandResult {
    Outcome outcome = Outcome::Done;
    std::string message;  // the refusal's message or the error report; empty otherwise

    explicit operator bool() const { return outcome == Outcome::Done; }
};

}  // namespace zephrane
