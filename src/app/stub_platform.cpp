#include "app/stub_platform.h"

#include <algorithm>
#include <filesystem>

namespace zephrane {

namespace {

// The front of `queue`, taken off it, or `standing` when it is empty.
template <typename Answer>
Answer NextAnswer(std::deque<Answer>& queue, const Answer& standing) {
    if (queue.empty()) return standing;
    Answer answer = queue.front();
    queue.pop_front();
    return answer;
}

std::string StoreKey(const std::string& application, const std::string& section,
                     const std::string& key) {
    return application + "/" + section + "/" + key;
}

}  // namespace

StubPlatform::StubPlatform()
    : programDirectory(std::filesystem::temp_directory_path().string()),
      settingsDirectory(programDirectory),
      workingFilePath(
          (std::filesystem::temp_directory_path() / "zephrane-test-work.mid").string()) {}

void StubPlatform::ShowMessage(const std::string& text) {
    messages.push_back(text);
    if (onMessage) onMessage(text);
}

bool StubPlatform::AskOkCancel(const std::string& text) {
    questions.push_back(text);
    return NextAnswer(okAnswers, standingOkAnswer);
}

bool StubPlatform::AskYesNo(const std::string& text) {
    questions.push_back(text);
    return NextAnswer(yesAnswers, standingYesAnswer);
}

SaveAnswer StubPlatform::AskSaveDiscardCancel(const std::string& text) {
    questions.push_back(text);
    return NextAnswer(saveDiscardAnswers, standingSaveDiscardAnswer);
}

std::optional<std::string> StubPlatform::ChooseFileToOpen(const FileDialogRequest& request) {
    openRequests.push_back(request);
    return NextAnswer(openAnswers, standingOpenAnswer);
}

std::optional<std::string> StubPlatform::ChooseFileToSave(const FileDialogRequest& request) {
    saveRequests.push_back(request);
    return NextAnswer(saveAnswers, standingSaveAnswer);
}

bool StubPlatform::ShowDocument(const DocumentRequest& request) {
    shownDocuments.push_back(request);
    return true;
}

int64_t StubPlatform::StartProcess(const std::vector<std::string>& arguments) {
    if (startFailure != 0) Fail(startFailure);
    startedCommands.push_back(arguments);
    if (onStart) onStart(arguments);
    return static_cast<int64_t>(startedCommands.size());
}

int64_t StubPlatform::StartWatchedProcess(const std::vector<std::string>& arguments) {
    return StartProcess(arguments);
}

std::optional<ProgramEnd> StubPlatform::PollExit(int64_t processId) {
    const bool stopped = std::find(stoppedProcesses.begin(), stoppedProcesses.end(), processId) !=
                         stoppedProcesses.end();
    if (stopped) return ProgramEnd{128 + 15, ""};
    return NextAnswer(programEnds, std::optional<ProgramEnd>());
}

bool StubPlatform::WaitForExit(int64_t, int) {
    if (watchedSession && watchedSession->view.waitingForSequencer) viewWaitingDuringWait = true;
    if (waitsBeforeExit == 0) return true;
    --waitsBeforeExit;
    return false;
}

std::string StubPlatform::ReadSetting(const std::string& application, const std::string& section,
                                      const std::string& key) {
    const auto found = store.find(StoreKey(application, section, key));
    return found == store.end() ? "" : found->second;
}

void StubPlatform::WriteSetting(const std::string& application, const std::string& section,
                                const std::string& key, const std::string& value) {
    store[StoreKey(application, section, key)] = value;
}

}  // namespace zephrane
