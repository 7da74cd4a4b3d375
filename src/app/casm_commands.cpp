#include "app/casm_commands.h"

#include "app/session.h"

namespace zephrane {
namespace {

constexpr char kLimitMessage[] =
    "This value must be of the form note name & octave (E.g. C3, F6) where note name is C, C#, "
    "D, D#, E, F, F#, G, G#, A, A#, B and octave is from 0 to 10. C0 is minimum and G10 is "
    "maximum.";

SongKeyText KeyOfTheSong(const Session& session) {
    return {session.facts.keyText, session.facts.modeWord};
}

// "Auto CASM Set" into `table`, from the channels' instruments as the grid shows them.
void AutoAssignSessionParts(const Session& session, CasmTable& table) {
    RowVoices voices;
    for (size_t row = 0; row < voices.size(); ++row)
        voices[row] = session.view.rows[row].voice;
    AutoAssignParts(table, voices, session.channels, KeyOfTheSong(session));
}

}  // namespace

CommandResult PickPart(Session& session, int row, int position) {
    return RunCommand(session, [&] {
        PickPart(session.casm, row, position, KeyOfTheSong(session));
        return true;
    });
}

CommandResult ChooseCasmCell(Session& session, int row, int CasmRow::*cell, int position) {
    return RunCommand(session, [&] {
        session.casm.at(row).*cell = position;
        return true;
    });
}

CommandResult SetChordMute(Session& session, int row, const ChordMute& bytes) {
    return RunCommand(session, [&] {
        session.casm.at(row).chordMute = bytes;
        return true;
    });
}

CommandResult LeaveLimitCell(Session& session, int row, LimitCell cell, const std::string& text) {
    return RunCommand(session, [&] {
        CasmRow& casmRow = session.casm.at(row);
        (cell == LimitCell::Low ? casmRow.lowLimitText : casmRow.highLimitText) = text;
        if (text.empty()) return true;
        const std::optional<int16_t> noteNumber = LimitNoteNumber(text);
        if (!noteNumber) {
            Refuse(session, kLimitMessage);
            return false;
        }
        (cell == LimitCell::Low ? casmRow.lowLimit : casmRow.highLimit) = *noteNumber;
        return true;
    });
}

CommandResult AutoSetCasm(Session& session) {
    return RunCommand(session, [&] {
        return Guarded(session, "AutoSetCasm",
                       [&] { AutoAssignSessionParts(session, session.casm); });
    });
}

CasmTable CasmOrAutoParts(const Session& session) {
    if (AnyPartAssigned(session.casm)) return session.casm;
    CasmTable table = session.casm;
    AutoAssignSessionParts(session, table);
    return table;
}

CommandResult ClearCasmSet(Session& session) {
    return RunCommand(session, [&] {
        return Guarded(session, "ClearCasmSet", [&] { ClearCasmTable(session.casm); });
    });
}

}  // namespace zephrane
