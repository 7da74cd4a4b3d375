#pragma once
// What the fuzz targets share: a session over a quiet platform that records its messages, a
// scratch folder for the files a command reads and writes, and the checks that turn a broken
// promise of the core into a crash libFuzzer keeps.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/stub_platform.h"

namespace zephrane::fuzz {

// A fresh session with the effect lists read, as the program starts, over a stub platform that
// answers the Open dialog with Cancel and every question with OK, starts no program and keeps the
// messages shown (printed too with ZEPHRANE_FUZZ_VERBOSE set, to replay a finding). The working
// file and the settings live in the scratch folder.
struct FuzzSession : StubSession {
    FuzzSession();
    FuzzSession(const FuzzSession&) = delete;
    FuzzSession& operator=(const FuzzSession&) = delete;

    size_t MessageCount() const { return platform.messages.size(); }
};

// A folder of this process (under /dev/shm when there is one), removed at exit.
const std::string& ScratchFolder();

// Writes the fuzz input to `name` in the scratch folder; its full path.
std::string WriteInput(const uint8_t* data, size_t size, const std::string& name);

// "input.sty" for an input that holds a CASM tag anywhere, else "input.mid": a style is opened as
// a style, and a mutation keeps it one.
std::string InputName(const uint8_t* data, size_t size);

// Open File on `path`, then "Auto CASM Set" and, when no section is marked, "Intro A": the
// song as a style or a conversion needs it. False when the open is refused.
bool OpenWithAPartAndASection(Session& session, const std::string& path);

// A small valid type-0 song: a tempo, a 4/4 time signature and one note.
const std::vector<uint8_t>& GoodSong();

// The state of a session that loaded GoodSong() as "good.mid".
const SessionState& SessionWithGoodSong();

// Prints `what` and aborts, so that libFuzzer keeps the input.
[[noreturn]] void Finding(const std::string& what);

// The report of a scan whose song has more measures (or a longer text, a faster tempo) than its
// 16-bit counts hold: a song built or prepared from a sound one may legitimately come to that.
inline constexpr char kScanOverflowReport[] =
    "Error #: 6, Overflow, encountered in Function GetInfo. If the solution is not obvious, "
    "please report this to the author.";

// "Save Style" into the scratch folder: a save that showed an error report must have written no
// file, and the command says it saved exactly when the file is there.
void CheckSaveStyle(FuzzSession& fuzz);

// A step that returned failure must have shown a message since `messagesBefore`.
void RequireReport(const FuzzSession& fuzz, size_t messagesBefore, const std::string& step);

}  // namespace zephrane::fuzz
