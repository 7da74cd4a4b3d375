#include "app/effect_commands.h"

#include <string>

#include "app/session.h"
#include "app/settings_files.h"

namespace zephrane {
namespace {

std::string ReadListFile(Session& session) {
    return ReadTextFileContents(session, session.platform.paths.DataFilePath(kEffectListFileName));
}

}  // namespace

void SetUpEffectLists(Session& session) {
    const std::string text = ReadListFile(session);
    session.effectLists = EffectLists{};
    Guarded(session, "SetUpTextBox", [&] { ParseEffectListFile(text, session.effectLists); });
    session.effects.reverb = session.effects.chorus = session.effects.variation = -1;
}

CommandResult ChangeVariationConnection(Session& session, VariationConnection connection) {
    return RunCommand(session, [&] {
        session.effects.connection = connection;
        session.effects.variation = -1;
        const std::string text = ReadListFile(session);
        EffectLists reread;
        const bool read = Guarded(session, "VarType1", [&] { ParseEffectListFile(text, reread); });
        std::vector<EffectListEntry>& variation = connection == VariationConnection::System
                                                      ? session.effectLists.systemVariation
                                                      : session.effectLists.insertionVariation;
        variation = reread.Variation(connection);  // on a failure, the entries read before it
        return read;
    });
}

CommandResult ChooseEffectType(Session& session, int EffectSettings::*type, int position) {
    return RunCommand(session, [&] {
        session.effects.*type = position;
        return true;
    });
}

CommandResult SetEffectValue(Session& session, std::string EffectSettings::*value,
                             const std::string& text) {
    return RunCommand(session, [&] {
        session.effects.*value = text;
        return true;
    });
}

}  // namespace zephrane
