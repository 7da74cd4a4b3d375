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

}  // namespace

void PickPart(Session& session, int row, int position) {
    PickPart(session.casm, row, position, KeyOfTheSong(session));
}

bool LeaveLimitCell(Session& session, int row, LimitCell cell, const std::string& text) {
    CasmRow& casmRow = session.casm.at(row);
    (cell == LimitCell::Low ? casmRow.lowLimitText : casmRow.highLimitText) = text;
    if (text.empty()) return true;
    const std::optional<int16_t> noteNumber = LimitNoteNumber(text);
    if (!noteNumber) {
        session.platform.messages.ShowMessage(kLimitMessage);
        return false;
    }
    (cell == LimitCell::Low ? casmRow.lowLimit : casmRow.highLimit) = *noteNumber;
    return true;
}

void AutoSetCasm(Session& session) {
    Guarded(session, "AutoSetCasm", [&] {
        RowVoices voices;
        for (size_t row = 0; row < voices.size(); ++row)
            voices[row] = session.view.rows[row].voice;
        AutoAssignParts(session.casm, voices, session.channels, KeyOfTheSong(session));
    });
}

void ClearCasmSet(Session& session) {
    Guarded(session, "ClearCasmSet", [&] { ClearCasmTable(session.casm); });
}

}  // namespace zephrane
