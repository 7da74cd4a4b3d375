#include "app/section_chord_commands.h"

#include <algorithm>
#include <optional>
#include <tuple>

#include "analysis/find_chords.h"
#include "app/casm_commands.h"
#include "app/convert_commands.h"
#include "app/messages.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "convert/convert.h"
#include "player/chords.h"
#include "player/player_error.h"
#include "sections/section_picture.h"

namespace zephrane {
namespace {

// The measures of the section `key` as the scan found its markers.
std::optional<MeasureRange> MarkedMeasures(const Session& session, std::string_view key) {
    const SectionPicture picture = PictureSections(
        {session.markers, session.measures, session.facts, session.view.sectionPressed, true});
    for (const SectionSpan& span : picture.marked) {
        if (span.label == key) return MeasureRange{span.first, span.end - 1};
    }
    return std::nullopt;
}

// A chord name as the player reads it; "N.C." for one it cannot read.
player::Chord ChordNamed(const std::string& name) {
    try {
        return player::ParseChord(name);
    } catch (const player::PlayerError&) {
        return player::ParseChord("N.C.");
    }
}

// The changes after the first beat of `range`, up to its end, that leave the chord of its first
// beat: to another root, or to a chord with a tone that one lacks (C in a section over Cmaj7
// keeps to its chord). A stretch without a chord (drums alone) moves nothing.
std::vector<ChordChange> ChangesInside(const std::vector<ChordChange>& chords, MeasureRange range) {
    std::vector<ChordChange> inside;
    player::Chord first = ChordNamed("N.C.");
    for (const ChordChange& change : chords) {
        const auto place = std::tuple(change.measure, change.beat);
        if (place <= std::tuple(range.first, 1)) {
            first = ChordNamed(change.chord);
            continue;
        }
        if (change.measure > range.last) break;
        const player::Chord chord = ChordNamed(change.chord);
        if (!chord.noChord && !player::LiesWithin(chord, first)) inside.push_back(change);
    }
    return inside;
}

// The high key of each part that follows the chord's root by transposing ("Root Trans").
PartHighKeys HighKeysOf(const CasmTable& table) {
    PartHighKeys highKeys;
    for (size_t channel = 0; channel < table.size(); ++channel) {
        const CasmRow& row = table[channel];
        highKeys[channel] = row.ntr == kRootFixedNtr ? -1 : row.highKey;
    }
    return highKeys;
}

std::string NotMarkedMessage(std::string_view key) {
    return std::string(key) + " is not marked on the song's measures.";
}

}  // namespace

std::string ChordChangeText(const SectionChordChanges& section) {
    std::string places;
    for (const ChordChange& change : section.changes) {
        if (!places.empty()) places += ", ";
        places += std::to_string(change.measure);
        if (change.beat != 1) places += " beat " + std::to_string(change.beat);
        places += " (" + change.chord + ")";
    }
    const char* measures = section.changes.size() == 1 ? " measure " : " measures ";
    return section.section + " changes chord at" + measures + places + ".";
}

std::vector<SectionChordChanges> SectionsChangingChord(Session& session, const SectionPlan& plan) {
    std::vector<SectionChordChanges> changing;
    if (!ScanSong(session)) return changing;
    Guarded(session, "FindChords", [&] {
        const std::vector<ChordChange> chords = FindChords(session.song.bytes, session.channels);
        for (const PlannedSection& planned : plan.sections) {
            const std::optional<MeasureRange> range = MarkedMeasures(session, planned.section);
            if (!range) continue;
            std::vector<ChordChange> inside = ChangesInside(chords, *range);
            if (!inside.empty()) changing.push_back({planned.section, *range, std::move(inside)});
        }
    });
    return changing;
}

CommandResult ConvertSectionChords(Session& session, std::string_view key) {
    return RunCommand(session, [&] {
        if (session.song.fileName.empty()) {
            Refuse(session, kNoFileOpenMessage);
            return false;
        }
        if (!ScanSong(session)) return false;
        const std::optional<MeasureRange> range = MarkedMeasures(session, key);
        if (!range) {
            Refuse(session, NotMarkedMessage(key));
            return false;
        }
        return AllOrNothing(session, [&] {
            const bool converted = Guarded(session, "ConvertSectionChords", [&] {
                const CasmTable table = CasmOrAutoParts(session);
                CasmSnapshot parts;
                TakeTableSnapshot(table, parts);
                const std::vector<ChordChange> chords =
                    FindChords(session.song.bytes, session.channels);
                ConvertOntoCMaj7(session.song.bytes, parts, HighKeysOf(table), session.channels,
                                 *range, chords);
                session.sectionChords[std::string(key)] = kConvertedSectionChord;
            });
            return converted && ScanSong(session);
        });
    });
}

CommandResult OfferChordConversions(Session& session,
                                    const std::vector<SectionChordChanges>& changing) {
    return RunCommand(session, [&] {
        bool converted = false;
        for (const SectionChordChanges& section : changing) {
            const std::string question = ChordChangeText(section) + "\n" + kConvertSectionQuestion;
            if (!session.platform.messages.AskYesNo(question)) continue;
            if (!ConvertSectionChords(session, section.section)) return false;
            converted = true;
        }
        return converted;
    });
}

CommandResult ConvertChangingSections(Session& session, const SectionPlan& plan) {
    return RunCommand(session, [&] {
        for (const SectionChordChanges& section : SectionsChangingChord(session, plan)) {
            if (!ConvertSectionChords(session, section.section)) return false;
            session.platform.messages.ShowMessage(ChordChangeText(section) +
                                                  " Its measures were converted onto one chord, " +
                                                  kConvertedSectionChord + ".");
        }
        return true;
    });
}

}  // namespace zephrane
