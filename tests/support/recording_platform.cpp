#include "support/recording_platform.h"

#include <filesystem>

namespace zephrane::test {

RecordingPlatform::RecordingPlatform()
    : programDirectory(std::filesystem::temp_directory_path().string()),
      settingsDirectory(programDirectory),
      workingFilePath(
          (std::filesystem::temp_directory_path() / "zephrane-test-work.mid").string()) {}

bool RecordingPlatform::AskOkCancel(const std::string& text) {
    questions.push_back(text);
    if (okAnswers.empty()) return false;
    const bool answer = okAnswers.front();
    okAnswers.pop_front();
    return answer;
}

std::optional<std::string> RecordingPlatform::ChooseFileToOpen(const FileDialogRequest& request) {
    openRequests.push_back(request);
    if (openAnswers.empty()) return std::nullopt;
    auto answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

std::optional<std::string> RecordingPlatform::ChooseFileToSave(const FileDialogRequest& request) {
    saveRequests.push_back(request);
    if (saveAnswers.empty()) return std::nullopt;
    auto answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

bool RecordingPlatform::ShowDocument(const DocumentRequest& request) {
    shownDocuments.push_back(request);
    return true;
}

int64_t RecordingPlatform::StartProcess(const std::vector<std::string>& arguments) {
    if (startFailure != 0) Fail(startFailure);
    startedCommands.push_back(arguments);
    if (onStart) onStart(arguments);
    return static_cast<int64_t>(startedCommands.size());
}

bool RecordingPlatform::WaitForExit(int64_t, int) {
    if (watchedSession && watchedSession->view.waitingForSequencer) viewWaitingDuringWait = true;
    if (waitsBeforeExit == 0) return true;
    --waitsBeforeExit;
    return false;
}

std::string RecordingPlatform::ReadSetting(const std::string& application,
                                           const std::string& section, const std::string& key) {
    const auto found = store.find(application + "/" + section + "/" + key);
    return found == store.end() ? "" : found->second;
}

void RecordingPlatform::WriteSetting(const std::string& application, const std::string& section,
                                     const std::string& key, const std::string& value) {
    store[application + "/" + section + "/" + key] = value;
}

}  // namespace zephrane::test
