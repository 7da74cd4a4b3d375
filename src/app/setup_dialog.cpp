#include "app/setup_dialog.h"

#include "app/session.h"
#include "app/settings_files.h"

namespace zephrane {
namespace {

// Programs: Windows keeps them as .exe files under Program Files; elsewhere any file will do.
#ifdef _WIN32
constexpr char kProgramsFolder[] = "C:\\Program Files";
constexpr char kProgramFilter[] = "Program Files(*.exe)|*.exe|";
#else
constexpr char kProgramsFolder[] = "/usr/bin";
constexpr char kProgramFilter[] = "Program Files(*)|*|";
#endif

std::optional<std::string> ChooseProgram(Session& session, const char* title) {
    FileDialogRequest request;
    request.initialDirectory = kProgramsFolder;
    request.filter = kProgramFilter;
    request.title = title;
    auto chosen = session.platform.fileDialogs.ChooseFileToOpen(request);
    if (chosen && chosen->empty()) chosen.reset();
    return chosen;
}

std::string ProgramSetting(Session& session, const char* file) {
    std::string text = ReadTextFileContents(session, SettingsFilePath(session, file));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

}  // namespace

SetupTexts OpenSetup(Session& session) {
    SetupTexts texts;
    texts.sequencer = ProgramSetting(session, kSequencerFile);
    texts.stylePlayer = ProgramSetting(session, kStylePlayerFile);
    texts.defaultDirectory = FolderWithSeparator(
        ReadTextFileContents(session, SettingsFilePath(session, kDefaultDirectoryFile)));
    return texts;
}

void BrowseSequencer(Session& session, SetupTexts& texts) {
    Guarded(session, "cmdBrowse", [&] {
        const auto chosen = ChooseProgram(session, "Select Location of Sequencer Program");
        if (!chosen) return;
        texts.sequencer = *chosen;
        session.settings.sequencerPath = *chosen;
        WriteTextFileContents(session, *chosen, SettingsFilePath(session, kSequencerFile));
    });
}

void BrowseStylePlayer(Session& session, SetupTexts& texts) {
    Guarded(session, "cmdBrowse2", [&] {
        const auto chosen = ChooseProgram(session, "Select Location of the StylePlayer Program");
        if (chosen) texts.stylePlayer = *chosen;
    });
}

void CloseSetup(Session& session, const SetupTexts& texts) {
    Settings& settings = session.settings;
    settings.defaultDirectory = texts.defaultDirectory;
    WriteTextFileContents(session, texts.defaultDirectory,
                          SettingsFilePath(session, kDefaultDirectoryFile));
    WriteTextFileContents(session, texts.stylePlayer, SettingsFilePath(session, kStylePlayerFile));
    settings.stylePlayerPath = texts.stylePlayer;
    WriteTextFileContents(session, texts.sequencer, SettingsFilePath(session, kSequencerFile));
    settings.sequencerPath = texts.sequencer;
}

}  // namespace zephrane
