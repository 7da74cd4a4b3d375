#pragma once
// What the fuzz targets share: a session over a quiet platform that records its messages, a
// scratch folder for the files a command reads and writes, and the checks that turn a broken
// promise of the core into a crash libFuzzer keeps.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/platform.h"
#include "app/session.h"

namespace zephrane::fuzz {

// Answers the Open dialog with Cancel, the Save dialog with `saveAnswer` and every question with
// OK, starts no program, and keeps the messages shown. The working file and the settings live in
// the scratch folder.
class FuzzPlatform : public MessageService,
                     public FileDialogService,
                     public WindowService,
                     public ProcessService,
                     public SettingsStore,
                     public PathService {
  public:
    Platform Services() { return {*this, *this, *this, *this, *this, *this}; }

    // With ZEPHRANE_FUZZ_VERBOSE set, every message is printed too (to replay a finding).
    void ShowMessage(const std::string& text) override;
    bool AskOkCancel(const std::string&) override { return true; }
    std::optional<std::string> ChooseFileToOpen(const FileDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<std::string> ChooseFileToSave(const FileDialogRequest&) override {
        return saveAnswer;
    }
    void ShowMainWindow(const MainWindowView&) override {}
    bool ShowDocument(const DocumentRequest&) override { return false; }
    int64_t StartProcess(const std::vector<std::string>&) override;
    bool WaitForExit(int64_t, int) override { return true; }
    void ProcessPendingEvents() override {}
    std::string ReadSetting(const std::string& application, const std::string& section,
                            const std::string& key) override;
    void WriteSetting(const std::string& application, const std::string& section,
                      const std::string& key, const std::string& value) override;
    std::string ProgramDirectory() const override;
    std::string SettingsDirectory() const override;
    std::string DataFilePath(const std::string& name) const override;
    std::string WorkingFilePath() const override;

    std::vector<std::string> messages;
    std::map<std::string, std::string> store;
    std::optional<std::string> saveAnswer;  // the file the Save dialog chooses; none: Cancel
};

// A fresh session with the effect lists read, as the program starts.
struct FuzzSession {
    FuzzSession();
    FuzzSession(const FuzzSession&) = delete;
    FuzzSession& operator=(const FuzzSession&) = delete;

    size_t MessageCount() const { return platform.messages.size(); }

    FuzzPlatform platform;
    Platform services = platform.Services();
    Session session{services};
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
