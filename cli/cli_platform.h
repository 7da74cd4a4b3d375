#pragma once
// The platform of a batch run: messages go to standard error (and are kept for the JSON
// output), no file dialog is ever answered (the commands are given the file arguments), the
// replace question is answered OK only when forced, nothing is started, and the settings store
// lives in memory.

#include <map>
#include <string>
#include <vector>

#include "app/platform.h"
#include "app/standard_paths.h"

namespace zephrane::cli {

class CliPlatform : public MessageService,
                    public FileDialogService,
                    public WindowService,
                    public ProcessService,
                    public SettingsStore {
  public:
    // The working file lives in `workFolder`.
    CliPlatform(const std::string& workFolder, bool answerOk);

    Platform Services() { return {*this, *this, *this, *this, *this, paths_}; }

    const std::vector<std::string>& Messages() const { return messages_; }
    // Creates the working file's folder.
    void CreateFolders() const { paths_.CreateFolders(); }

    void ShowMessage(const std::string& text) override;
    bool AskOkCancel(const std::string& text) override;
    // A batch run asks nobody: what it would ask is decided by its options, so nothing asks
    // this; were it asked, the answer is No, which changes nothing.
    bool AskYesNo(const std::string&) override { return false; }
    // A batch run has no window to close, so nothing asks this; were it asked, nothing is lost.
    SaveAnswer AskSaveDiscardCancel(const std::string&) override { return SaveAnswer::Cancel; }
    std::optional<std::string> ChooseFileToOpen(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> ChooseFileToSave(const FileDialogRequest&) override { return {}; }
    void ShowMainWindow(const MainWindowView&) override {}
    bool ShowDocument(const DocumentRequest&) override { return false; }
    int64_t StartProcess(const std::vector<std::string>& arguments) override;
    bool WaitForExit(int64_t, int) override { return true; }
    void ProcessPendingEvents() override {}
    int64_t StartWatchedProcess(const std::vector<std::string>& arguments) override {
        return StartProcess(arguments);
    }
    // Nothing is ever started, so nothing runs.
    std::optional<ProgramEnd> PollExit(int64_t) override { return ProgramEnd{}; }
    void StopProcess(int64_t) override {}
    std::string ReadSetting(const std::string& application, const std::string& section,
                            const std::string& key) override;
    void WriteSetting(const std::string& application, const std::string& section,
                      const std::string& key, const std::string& value) override;

  private:
    StandardPaths paths_;
    bool answerOk_;
    std::vector<std::string> messages_;
    std::map<std::string, std::string> store_;
};

}  // namespace zephrane::cli
