#pragma once
// A quiet platform for the benchmarks: the dialogs answer with the paths the benchmark sets, the
// replace question is answered OK, messages are kept so that a refused command can be told, and
// the working file lives in a folder of its own under the system's temporary folder.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/platform.h"
#include "app/session.h"

namespace zephrane::bench {

class BenchPlatform : public MessageService,
                      public FileDialogService,
                      public WindowService,
                      public ProcessService,
                      public SettingsStore,
                      public PathService {
  public:
    BenchPlatform();

    Platform Services() { return {*this, *this, *this, *this, *this, *this}; }

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskOkCancel(const std::string&) override { return true; }
    std::optional<std::string> ChooseFileToOpen(const FileDialogRequest&) override {
        return fileToOpen;
    }
    std::optional<std::string> ChooseFileToSave(const FileDialogRequest&) override {
        return fileToSave;
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
    std::string ProgramDirectory() const override { return dataDirectory_; }
    std::string SettingsDirectory() const override { return folder_; }
    std::string DataFilePath(const std::string& name) const override {
        return dataDirectory_ + "/" + name;
    }
    std::string WorkingFilePath() const override { return folder_ + "/Zephwork.mid"; }

    // The folder of this platform's files.
    const std::string& Folder() const { return folder_; }

    std::vector<std::string> messages;
    std::string fileToOpen;
    std::string fileToSave;

  private:
    std::string folder_;
    std::string dataDirectory_;
    std::map<std::string, std::string> store_;
};

// A session over its own bench platform, with the menu marks and effect lists of a batch run.
struct BenchSession {
    BenchSession();
    BenchPlatform platform;
    Platform services = platform.Services();
    Session session{services};
};

// The path of the generated song of `bytes` bytes, written once per process into the temporary
// folder; the song itself stays in memory for the benchmarks that load from bytes.
const std::string& BenchSongPath(int64_t bytes);
const std::vector<uint8_t>& BenchSong(int64_t bytes);

}  // namespace zephrane::bench
