#pragma once
// The platform of a batch run: messages go to standard error (and are kept for the JSON
// output), the file dialogs answer with the file arguments, nothing is started or stored.

#include <map>
#include <string>
#include <vector>

#include "app/platform.h"

namespace zephrane::cli {

class CliPlatform : public MessageService,
                    public FileDialogService,
                    public WindowService,
                    public ProcessService,
                    public SettingsStore,
                    public PathService {
  public:
    CliPlatform(std::string workingFilePath, bool answerOk);

    Platform Services() { return {*this, *this, *this, *this, *this, *this}; }

    void SetFileToOpen(std::string path) { fileToOpen_ = std::move(path); }
    void SetFileToSave(std::string path) { fileToSave_ = std::move(path); }
    const std::vector<std::string>& Messages() const { return messages_; }

    void ShowMessage(const std::string& text) override;
    bool AskOkCancel(const std::string& text) override;
    std::optional<std::string> ChooseFileToOpen(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseFileToSave(const FileDialogRequest& request) override;
    void ShowMainWindow(const MainWindowView&) override {}
    std::optional<int64_t> StartProcess(const std::string&) override { return std::nullopt; }
    bool WaitForExit(int64_t, int) override { return true; }
    void ProcessPendingEvents() override {}
    std::string ReadSetting(const std::string& application, const std::string& section,
                            const std::string& key) override;
    void WriteSetting(const std::string& application, const std::string& section,
                      const std::string& key, const std::string& value) override;
    std::string ProgramDirectory() const override;
    std::string WorkingFilePath() const override { return workingFilePath_; }

  private:
    std::string workingFilePath_;
    bool answerOk_;
    std::string fileToOpen_;
    std::string fileToSave_;
    std::vector<std::string> messages_;
    std::map<std::string, std::string> store_;
};

// Where the working file lives when --work-dir is not given: the per-user data directory.
std::string DefaultWorkDirectory();

}  // namespace zephrane::cli
