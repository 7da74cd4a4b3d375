#include "app/main_commands.h"

#include <algorithm>

#include "app/messages.h"
#include "app/session.h"
#include "song/file_writer.h"

namespace zephrane {
namespace {

constexpr int kMainASlot = 2;

// Parts 0-7 of the part list are accompaniment channels; "Mute-Lock" and "Un-Mute" are not.
bool AnyPartAssigned(const CasmTable& table) {
    return std::any_of(table.begin(), table.end(),
                       [](const CasmRow& row) { return row.part >= 0 && row.part <= 7; });
}

}  // namespace

bool CheckStyleCommand(Session& session, StyleCommandSource source) {
    bool mayBuild = false;
    const bool toolbar = source == StyleCommandSource::ToolbarButton;
    Guarded(session, toolbar ? "Toolbar1" : "mnusave", [&] {
        MessageService& messages = session.platform.messages;
        if (session.song.fileName.empty()) {
            messages.ShowMessage(kNoFileOpenMessage);
            return;
        }
        const SectionSlots& pressed = session.view.sectionPressed;
        const bool anyPressed =
            std::any_of(pressed.begin(), pressed.end(), [](bool b) { return b; });
        if (!session.sectionFlags[kMainASlot] && (toolbar || anyPressed)) {
            messages.ShowMessage(
                "WARNING- Your style does not have a Main A section. This will cause some PSR's "
                "(e.g. 2000/9000) to act strangely.");
        }
        if (!anyPressed) {
            messages.ShowMessage(kNoSectionSelectedMessage);
            return;
        }
        if (!session.useStyleCasm && !AnyPartAssigned(session.casm)) {
            messages.ShowMessage(toolbar ? "At least one Part In the CASM must be assigned for a "
                                           "style to be created"
                                         : "At least one Part in the CASM must be assigned for a "
                                           "style to be created");
            return;
        }
        if (toolbar && GetInfo(session, "") == kResultFailed) return;
        mayBuild = true;
    });
    return mayBuild;
}

bool SaveWorkingMidiFile(Session& session) {
    bool saved = false;
    Guarded(session, "mnuSaveMidi", [&] {
        if (session.song.fileName.empty()) {
            session.platform.messages.ShowMessage(kNoFileOpenMessage);
            return;
        }
        const auto path = SaveAs(session, SaveKind::Midi);
        if (!path) return;
        session.view.caption = std::string(kProgramTitle) + "   " + FileNameWithoutFolder(*path);
        session.song.fileName = *path;
        session.view.txtFileName = FileNameWithoutFolder(*path) + "(modified)";
        saved = true;
    });
    return saved;
}

}  // namespace zephrane
