#include "app/settings_files.h"

#include <filesystem>

#include "app/effect_commands.h"
#include "app/recent_files.h"
#include "app/session.h"
#include "song/file_io.h"
#include "song/text_codec.h"

namespace zephrane {
namespace {

constexpr char kLineEnd[] = "\r\n";

// A program's command as stored: the text without its line end.
std::string WithoutLineEnd(std::string text) {
    if (text.ends_with(kLineEnd)) {
        text.resize(text.size() - 2);
    } else if (text.ends_with('\n') || text.ends_with('\r')) {
        text.pop_back();
    }
    return text;
}

bool MarkIsChecked(const std::string& marks, size_t index) {
    return marks.size() > index && marks[index] == '1';
}

void StoreOptionMarks(Session& session) {
    const Settings& settings = session.settings;
    WriteTextFileContents(
        session,
        std::string(settings.panelVoices ? "1" : "0") + (settings.eightMeasureBbMains ? "1" : "0"),
        SettingsFilePath(session, kOptionMarksFile));
}

bool& CheckMark(Settings& settings, OptionMark mark) {
    switch (mark) {
        case OptionMark::PanelVoices:
            return settings.panelVoices;
        case OptionMark::EightMeasureBbMains:
            return settings.eightMeasureBbMains;
        case OptionMark::XgSystemOn:
            return settings.xgSystemOn;
        case OptionMark::ConvertSeventhAddB:
            return settings.convertSeventhAddB;
        case OptionMark::MultipleTempos:
            break;
    }
    return settings.multipleTempos;
}

}  // namespace

std::string SettingsFilePath(const Session& session, const std::string& name) {
    return (std::filesystem::path(session.platform.paths.SettingsDirectory()) / name).string();
}

std::string ReadTextFileContents(Session& session, const std::string& path) {
    std::string text;
    Guarded(session, "ReadTextFileContents", [&] {
        try {
            text = DecodeAnsi(ReadWholeFile(path));
        } catch (const RuntimeError& error) {
            if (error.Number() != error_number::kFileNotFound) throw;
        }
    });
    return text;
}

bool WriteTextFileContents(Session& session, const std::string& text, const std::string& path) {
    return Guarded(session, "WriteTextFileContents", [&] {
        std::vector<uint8_t> bytes = EncodeAnsi(text);
        bytes.push_back('\r');
        bytes.push_back('\n');
        WriteWholeFile(path, bytes);
    });
}

void StartUp(Session& session) {
    Guarded(session, "Main", [&] {
        LoadRecentFiles(session);
        Settings& settings = session.settings;
        settings.sequencerPath = WithoutLineEnd(
            ReadTextFileContents(session, SettingsFilePath(session, kSequencerFile)));
        settings.stylePlayerPath = WithoutLineEnd(
            ReadTextFileContents(session, SettingsFilePath(session, kStylePlayerFile)));
        settings.defaultDirectory =
            ReadTextFileContents(session, SettingsFilePath(session, kDefaultDirectoryFile));
        const std::string marks =
            ReadTextFileContents(session, SettingsFilePath(session, kOptionMarksFile));
        if (!marks.empty()) {
            settings.panelVoices = MarkIsChecked(marks, 0);
            settings.eightMeasureBbMains = MarkIsChecked(marks, 1);
        }
    });
    SetUpEffectLists(session);
}

void ToggleOptionMark(Session& session, OptionMark mark) {
    bool& checked = CheckMark(session.settings, mark);
    checked = !checked;
    if (mark == OptionMark::PanelVoices || mark == OptionMark::EightMeasureBbMains) {
        StoreOptionMarks(session);
    }
}

void SetOptionMarkForRun(Session& session, OptionMark mark, bool checked) {
    CheckMark(session.settings, mark) = checked;
}

namespace {

const char* WindowLayoutKey(WindowLayoutItem item) {
    return item == WindowLayoutItem::Geometry ? "Geometry" : "CasmColumns";
}

}  // namespace

std::string ReadWindowLayout(Session& session, WindowLayoutItem item) {
    return session.platform.settingsStore.ReadSetting(kProgramTitle, "Window",
                                                      WindowLayoutKey(item));
}

void StoreWindowLayout(Session& session, WindowLayoutItem item, const std::string& value) {
    session.platform.settingsStore.WriteSetting(kProgramTitle, "Window", WindowLayoutKey(item),
                                                value);
}

}  // namespace zephrane
