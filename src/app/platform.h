#pragma once
// The platform services the core needs, as small interfaces: the Qt shell, the command line and
// the tests each implement them. The core never talks to a window system or a terminal directly.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zephrane {

struct MainWindowView;

struct FileDialogRequest {
    std::string initialDirectory;
    std::string title;
    std::string filter;  // "Caption(*.a;*.b)|*.a;*.b|", as the common file dialog takes it
    std::string defaultExtension;
    std::string proposedName;
};

// The answers to a question about unsaved edits.
enum class SaveAnswer { Save, Discard, Cancel };

class MessageService {
  public:
    virtual ~MessageService() = default;
    // A plain message box with an OK button, titled with the program title.
    virtual void ShowMessage(const std::string& text) = 0;
    // A question with OK and Cancel and a warning icon; true for OK.
    virtual bool AskOkCancel(const std::string& text) = 0;
    // A question with Yes and No; closing the box without an answer is No.
    virtual bool AskYesNo(const std::string& text) = 0;
    // A question with Save, Discard and Cancel; closing the box without an answer is Cancel.
    virtual SaveAnswer AskSaveDiscardCancel(const std::string& text) = 0;
};

class FileDialogService {
  public:
    virtual ~FileDialogService() = default;
    // The chosen full path, or nothing when the user cancels.
    virtual std::optional<std::string> ChooseFileToOpen(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> ChooseFileToSave(const FileDialogRequest& request) = 0;
};

// A rich-text document for the information window; a caption or prompt left empty keeps what
// the window shows.
struct DocumentRequest {
    std::string path;
    std::optional<std::string> caption;
    std::optional<std::string> prompt;
};

class WindowService {
  public:
    virtual ~WindowService() = default;
    // Draws the main window's fields, grid rows and buttons as the view model gives them.
    virtual void ShowMainWindow(const MainWindowView& view) = 0;
    // Shows a document in the information window; false when it cannot be loaded.
    virtual bool ShowDocument(const DocumentRequest& request) = 0;
};

// How a program that ran beside the window ended.
struct ProgramEnd {
    int exitStatus = 0;       // its exit status; 128 + the signal's number when one ended it
    std::string errorOutput;  // what it wrote to its standard error (the end of it, when long)

    bool operator==(const ProgramEnd&) const = default;
};

class ProcessService {
  public:
    virtual ~ProcessService() = default;
    // Starts a program (arguments[0]) with its arguments in a normal window with focus; its
    // process id. A program that cannot be started is thrown as a RuntimeError (53 when it
    // does not exist).
    virtual int64_t StartProcess(const std::vector<std::string>& arguments) = 0;
    // Waits up to `timeoutMs` for the process; true once it has ended.
    virtual bool WaitForExit(int64_t processId, int timeoutMs) = 0;
    // Starts a program that runs beside the window, as StartProcess does, with its standard
    // error kept for PollExit.
    virtual int64_t StartWatchedProcess(const std::vector<std::string>& arguments) = 0;
    // How a program started by StartWatchedProcess ended, or nothing while it runs; never
    // blocks. An end is told once.
    virtual std::optional<ProgramEnd> PollExit(int64_t processId) = 0;
    // Asks a watched program to end (SIGTERM); PollExit then tells its end.
    virtual void StopProcess(int64_t processId) = 0;
    // Lets the window handle pending events during a long wait.
    virtual void ProcessPendingEvents() = 0;
};

class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored value, or an empty text when there is none.
    virtual std::string ReadSetting(const std::string& application, const std::string& section,
                                    const std::string& key) = 0;
    virtual void WriteSetting(const std::string& application, const std::string& section,
                              const std::string& key, const std::string& value) = 0;
};

class PathService {
  public:
    virtual ~PathService() = default;
    // The program's own directory, without a trailing separator.
    virtual std::string ProgramDirectory() const = 0;
    // Folder of the four settings files, without a trailing separator.
    virtual std::string SettingsDirectory() const = 0;
    // Full path of a read-only data file shipped with the program ("cbo3.dat", the documents).
    virtual std::string DataFilePath(const std::string& name) const = 0;
    // Full path of the working file that the sequencer edits and every command reloads.
    virtual std::string WorkingFilePath() const = 0;
    // The folders searched for a program named without one ($PATH), separated by ':'.
    virtual std::string ProgramSearchPath() const = 0;
};

// The services one session uses.
struct Platform {
    MessageService& messages;
    FileDialogService& fileDialogs;
    WindowService& window;
    ProcessService& processes;
    SettingsStore& settingsStore;
    PathService& paths;
};

}  // namespace zephrane
