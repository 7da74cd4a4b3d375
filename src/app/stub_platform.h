#pragma once
// A platform without a user, for the tests, the benchmarks and the fuzz targets: it records what
// the core shows and asks, and answers the dialogs and questions from queues, or with a standing
// answer once a queue is empty (Cancel when there is none).

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window_view.h"
#include "app/platform.h"
#include "app/session.h"

namespace zephrane {

class StubPlatform : public MessageService,
                     public FileDialogService,
                     public WindowService,
                     public ProcessService,
                     public SettingsStore,
                     public PathService {
  public:
    // The data files, the settings and the working file are in the system's temporary folder
    // until the user of the stub says otherwise.
    StubPlatform();

    Platform Services() { return {*this, *this, *this, *this, *this, *this}; }

    void ShowMessage(const std::string& text) override;
    bool AskOkCancel(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    SaveAnswer AskSaveDiscardCancel(const std::string& text) override;
    std::optional<std::string> ChooseFileToOpen(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseFileToSave(const FileDialogRequest& request) override;
    void ShowMainWindow(const MainWindowView& view) override { shownViews.push_back(view); }
    bool ShowDocument(const DocumentRequest& request) override;
    int64_t StartProcess(const std::vector<std::string>& arguments) override;
    bool WaitForExit(int64_t processId, int timeoutMs) override;
    void ProcessPendingEvents() override {
        ++pendingEventPasses;
        if (onPendingEvents) onPendingEvents();
    }
    int64_t StartWatchedProcess(const std::vector<std::string>& arguments) override;
    std::optional<ProgramEnd> PollExit(int64_t processId) override;
    void StopProcess(int64_t processId) override { stoppedProcesses.push_back(processId); }
    std::string ReadSetting(const std::string& application, const std::string& section,
                            const std::string& key) override;
    void WriteSetting(const std::string& application, const std::string& section,
                      const std::string& key, const std::string& value) override;
    std::string ProgramDirectory() const override { return programDirectory; }
    std::string SettingsDirectory() const override { return settingsDirectory; }
    std::string DataFilePath(const std::string& name) const override {
        return programDirectory + "/" + name;
    }
    std::string WorkingFilePath() const override { return workingFilePath; }
    std::string ProgramSearchPath() const override { return programSearchPath; }

    // What the core did.
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<FileDialogRequest> openRequests;
    std::vector<FileDialogRequest> saveRequests;
    std::vector<MainWindowView> shownViews;
    std::vector<std::vector<std::string>> startedCommands;  // awaited and watched ones
    std::vector<int64_t> stoppedProcesses;
    std::vector<DocumentRequest> shownDocuments;
    bool viewWaitingDuringWait = false;  // the view said "waiting" while the process ran
    const Session* watchedSession = nullptr;
    int pendingEventPasses = 0;
    std::map<std::string, std::string> store;  // "application/section/key" -> value

    // How the platform answers.
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<bool> okAnswers;
    std::deque<bool> yesAnswers;
    std::deque<SaveAnswer> saveDiscardAnswers;
    std::optional<std::string> standingOpenAnswer;
    std::optional<std::string> standingSaveAnswer;
    bool standingOkAnswer = false;
    bool standingYesAnswer = false;
    SaveAnswer standingSaveDiscardAnswer = SaveAnswer::Cancel;
    int waitsBeforeExit = 0;
    int startFailure = 0;  // a run-time error number StartProcess throws, 0 for none
    // What PollExit tells, one answer a poll of any program: nothing while it runs. A stopped
    // program ends at its next poll, by SIGTERM (status 143).
    std::deque<std::optional<ProgramEnd>> programEnds;
    std::function<void(const std::vector<std::string>&)> onStart;  // what the program does
    std::function<void(const std::string&)> onMessage;             // besides keeping it
    std::function<void()> onPendingEvents;  // what the user does while the program runs
    std::string programDirectory;
    std::string settingsDirectory;
    std::string workingFilePath;
    std::string programSearchPath;
};

// A session over its own stub platform.
struct StubSession {
    StubPlatform platform;
    Platform services = platform.Services();
    Session session{services};
};

}  // namespace zephrane
