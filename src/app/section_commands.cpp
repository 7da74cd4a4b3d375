#include "app/section_commands.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "analysis/find_chords.h"
#include "app/messages.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "player/chords.h"
#include "player/player_error.h"
#include "sections/section_marks.h"
#include "sections/sections.h"
#include "sections/suggest_sections.h"

namespace zephrane {
namespace {

// The markers that mark the section of `row`: its start and end markers, and a style's plain one.
std::vector<std::string> MarkersOfSection(const SectionRow& row) {
    return {StartMarker(row), EndMarker(row), std::string(row.name)};
}

// A section marked, whichever way, is no longer proposed.
void DropProposal(Session& session, std::string_view key) {
    std::erase_if(session.view.proposedSections,
                  [&](const PlannedSection& proposal) { return proposal.section == key; });
}

// What the session's scan results describe once a marker is in.
enum class ScanAfterMarker {
    kSongBefore,  // the song without the marker, as the scan before found it
    kSongAfter,   // the song with the marker, as a scan of it would find it
};

enum class MarkerOutcome {
    kStored,
    kRefused,  // with a message, nothing changed
    kFailed,   // reported; the scan results may no longer describe the song
};

// The StoreMarker steps after its scan; the session holds what ScanSong found in the song image
// as it stands.
MarkerOutcome StoreMarkerAfterScan(Session& session, std::string_view text, int measure,
                                   ScanAfterMarker scanAfter) {
    if (const std::optional<std::string> refusal = MarkerRefusal(session.measures, text, measure)) {
        Refuse(session, *refusal);
        return MarkerOutcome::kRefused;
    }
    bool followed = false;
    const bool stored = Guarded(session, "StoreMarker", [&] {
        followed = InsertMarker(session.song.bytes, session.ScanParts(), text, measure,
                                scanAfter == ScanAfterMarker::kSongAfter);
    });
    if (!stored) return MarkerOutcome::kFailed;
    if (scanAfter == ScanAfterMarker::kSongAfter && !followed && !ScanSong(session)) {
        return MarkerOutcome::kFailed;
    }
    return MarkerOutcome::kStored;
}

// Markers put in one after the other on the scan results the session holds, scanning the song
// again only when they no longer describe it as it stands (a scan of the same bytes would find
// the same): markers put in this way need only one scan.
class MarkerRun {
  public:
    explicit MarkerRun(Session& session) : session_(session) {}

    // StoreMarker on the scan results; `scanAfter` says what they describe afterwards.
    MarkerOutcome Store(std::string_view text, int measure, ScanAfterMarker scanAfter);
    // The start marker of a section on the song's first measure, when it is music: after the
    // set-up events on the first bar line. The scan results then describe the song with it.
    MarkerOutcome StoreOnFirstMeasure(std::string_view text);
    // A press of a section button; `afterStartMarker` says what the scan results describe
    // afterwards.
    bool Press(std::string_view key, ScanAfterMarker afterStartMarker);

  private:
    Session& session_;
    bool scanIsCurrent_ = false;
};

MarkerOutcome MarkerRun::Store(std::string_view text, int measure, ScanAfterMarker scanAfter) {
    if (!scanIsCurrent_ && !ScanSong(session_)) return MarkerOutcome::kFailed;
    const MarkerOutcome outcome = StoreMarkerAfterScan(session_, text, measure, scanAfter);
    scanIsCurrent_ =
        outcome == MarkerOutcome::kRefused ||
        (outcome == MarkerOutcome::kStored && scanAfter == ScanAfterMarker::kSongAfter);
    return outcome;
}

MarkerOutcome MarkerRun::StoreOnFirstMeasure(std::string_view text) {
    if (!scanIsCurrent_ && !ScanSong(session_)) return MarkerOutcome::kFailed;
    scanIsCurrent_ = false;
    const bool stored = Guarded(session_, "StoreMarker", [&] {
        const std::optional<MeasureEntry> start =
            FirstMeasureSectionStart(session_.song.bytes, session_.facts.ticksPerMeasure);
        // The plan was checked against this song: a start is there.
        if (!start) Fail(error_number::kInvalidProcedureCall);
        InsertFirstMeasureMarker(session_.song.bytes, session_.facts, text, *start);
    });
    if (!stored || !ScanSong(session_)) return MarkerOutcome::kFailed;
    scanIsCurrent_ = true;
    return MarkerOutcome::kStored;
}

bool MarkerRun::Press(std::string_view key, ScanAfterMarker afterStartMarker) {
    Session& session = session_;
    bool marked = false;
    const bool completed = Guarded(session, "Toobar2", [&] {
        if (session.song.fileName.empty()) {
            Refuse(session, kNoFileOpenMessage);
            return;
        }
        if (!scanIsCurrent_ && !ScanSong(session)) return;
        scanIsCurrent_ = true;
        const SectionRow* row = SectionByKey(key);
        if (row == nullptr) return;
        if (const std::optional<std::string> refusal = SectionRefusal(session.measures, *row)) {
            Refuse(session, *refusal);
            return;
        }
        if (!SectionIsMarked(session.markers, *row)) {
            // Each marker goes in on a scan of the song as it stands, the start marker on the
            // scan of the song with the end marker in.
            if (Store(EndMarker(*row), row->end, ScanAfterMarker::kSongAfter) !=
                    MarkerOutcome::kStored ||
                Store(StartMarker(*row), row->start, afterStartMarker) != MarkerOutcome::kStored) {
                return;
            }
            // At its fixed place the section plays other measures than those it was marked on.
            session.sectionChords.erase(std::string(row->key));
        }
        session.view.sectionPressed[row->slot] = true;
        session.sectionFlags[row->slot] = true;
        session.sectionMarkedSinceOpen = true;
        DropProposal(session, row->key);
        marked = true;
    });
    if (!completed) scanIsCurrent_ = false;
    return marked;
}

}  // namespace

CommandResult PressSectionButton(Session& session, std::string_view key) {
    return RunCommand(session,
                      [&] { return MarkerRun(session).Press(key, ScanAfterMarker::kSongBefore); });
}

CommandResult PressSectionButtons(Session& session, std::span<const std::string> keys) {
    return RunCommand(session, [&] {
        // Each press but the last leaves the scan results describing the song with both its
        // markers, which is what the next press would scan: it starts from them instead. The
        // last leaves them as a single press does.
        MarkerRun run(session);
        for (size_t i = 0; i < keys.size(); ++i) {
            const ScanAfterMarker after =
                i + 1 < keys.size() ? ScanAfterMarker::kSongAfter : ScanAfterMarker::kSongBefore;
            if (!run.Press(keys[i], after)) return false;
        }
        return true;
    });
}

CommandResult RemoveSection(Session& session, std::string_view key) {
    return RunCommand(session, [&] {
        if (session.song.fileName.empty()) {
            Refuse(session, kNoFileOpenMessage);
            return false;
        }
        const SectionRow* row = SectionByKey(key);
        if (row == nullptr) return false;
        const std::vector<std::string> markers = MarkersOfSection(*row);
        return AllOrNothing(session, [&] {
            const bool removed = Guarded(session, "RemoveSection",
                                         [&] { RemoveMarkers(session.song.bytes, markers); });
            session.sectionFlags[row->slot] = false;
            session.view.sectionPressed[row->slot] = false;
            session.sectionChords.erase(std::string(row->key));
            return removed && ScanSong(session);
        });
    });
}

namespace {

// Takes out the markers the plan's sections have now, then puts in those of the plan, each on a
// scan of the song as it stands.
bool PutInMarks(Session& session, const SectionPlan& plan) {
    std::vector<std::string> replaced;
    for (const PlannedSection& mark : plan.sections) {
        const std::vector<std::string> texts = MarkersOfSection(*SectionByKeyOrName(mark.section));
        replaced.insert(replaced.end(), texts.begin(), texts.end());
    }
    if (!Guarded(session, "MarkSections", [&] { RemoveMarkers(session.song.bytes, replaced); })) {
        return false;
    }
    MarkerRun run(session);
    for (const PlannedSection& mark : plan.sections) {
        const SectionRow& row = *SectionByKeyOrName(mark.section);
        const MarkerOutcome start =
            run.Store(EndMarker(row), mark.last + 1, ScanAfterMarker::kSongAfter) !=
                    MarkerOutcome::kStored
                ? MarkerOutcome::kFailed
            : mark.first == 0
                ? run.StoreOnFirstMeasure(StartMarker(row))
                : run.Store(StartMarker(row), mark.first, ScanAfterMarker::kSongAfter);
        if (start != MarkerOutcome::kStored) return false;
        session.sectionFlags[row.slot] = true;
        session.view.sectionPressed[row.slot] = true;
        DropProposal(session, row.key);
    }
    session.sectionMarkedSinceOpen = true;
    return true;
}

// Why a chord the plan names cannot be read, for the first that cannot; nothing when each can.
// The plan's sections are known ones.
std::optional<std::string> PlanChordRefusal(const SectionPlan& plan) {
    for (const PlannedSection& mark : plan.sections) {
        if (mark.chord.empty()) continue;
        try {
            player::ParseChord(mark.chord);
        } catch (const player::PlayerError& error) {
            return std::string(SectionByKeyOrName(mark.section)->key) + ": " + error.what();
        }
    }
    return std::nullopt;
}

// Notes the chord each marked section was played over, which the style's CASM gives it as its
// source chord: the plan's, else the one the song plays at the section's first measure. A section
// over "N.C." or without a chord found has none.
bool NoteSectionChords(Session& session, const SectionPlan& plan) {
    return Guarded(session, "MarkSections", [&] {
        std::optional<std::vector<ChordChange>> songChords;  // found when the plan leaves one out
        for (const PlannedSection& mark : plan.sections) {
            const std::string key(SectionByKeyOrName(mark.section)->key);
            std::string chord = mark.chord;
            if (chord.empty()) {
                if (!songChords) songChords = FindChords(session.song.bytes, session.channels);
                chord = ChordAtMeasure(*songChords, mark.first);
            }
            if (chord.empty() || player::ParseChord(chord).noChord) {
                session.sectionChords.erase(key);
            } else {
                session.sectionChords[key] = chord;
            }
        }
    });
}

}  // namespace

CommandResult MarkSections(Session& session, const SectionPlan& plan) {
    return RunCommand(session, [&] {
        if (session.song.fileName.empty()) {
            Refuse(session, kNoFileOpenMessage);
            return false;
        }
        if (!ScanSong(session)) return false;
        std::optional<std::string> refusal =
            PlanRefusal(session.song.bytes, session.measures, session.facts, plan);
        if (!refusal) refusal = PlanChordRefusal(plan);
        if (refusal) {
            Refuse(session, *refusal);
            return false;
        }
        return AllOrNothing(
            session, [&] { return PutInMarks(session, plan) && NoteSectionChords(session, plan); });
    });
}

std::optional<SectionPlan> SuggestSections(Session& session) {
    std::optional<SectionPlan> plan;
    RunCommand(session, [&] {
        if (session.song.fileName.empty()) {
            Refuse(session, kNoFileOpenMessage);
            return false;
        }
        return Guarded(session, "SuggestSections", [&] {
            // Each section is proposed with the chord the song plays on its first beat.
            plan = SuggestSections(
                ReadMeasurePatterns(session.song.bytes, session.facts, session.channels),
                FindChords(session.song.bytes, session.channels));
        });
    });
    return plan;
}

CommandResult ProposeSections(Session& session) {
    return RunCommand(session, [&] {
        std::optional<SectionPlan> plan = SuggestSections(session);
        if (!plan) return false;
        if (plan->sections.empty()) {
            Refuse(session, kNoGrooveRepeatsMessage);
            return false;
        }
        session.view.proposedSections = std::move(plan->sections);
        return true;
    });
}

CommandResult AcceptProposedSections(Session& session, std::span<const std::string> keys,
                                     SectionPlan& marked) {
    return RunCommand(session, [&] {
        SectionPlan plan;
        for (const PlannedSection& proposal : session.view.proposedSections) {
            if (keys.empty() || std::find(keys.begin(), keys.end(), proposal.section) != keys.end())
                plan.sections.push_back(proposal);
        }
        if (plan.sections.empty()) {
            Refuse(session, kNoSectionsProposedMessage);
            return false;
        }
        // Marking drops the proposals marked.
        if (!MarkSections(session, plan)) return false;
        marked = std::move(plan);
        return true;
    });
}

CommandResult DropProposedSection(Session& session, std::string_view key) {
    return RunCommand(session, [&] {
        DropProposal(session, key);
        return true;
    });
}

std::optional<SectionPlan> MarkSuggestedSections(Session& session) {
    std::optional<SectionPlan> marked;
    RunCommand(session, [&] {
        std::optional<SectionPlan> plan = SuggestSections(session);
        if (!plan) return false;
        if (plan->sections.empty()) {
            Refuse(session, kNoGrooveRepeatsMessage);
            return false;
        }
        if (!MarkSections(session, *plan)) return false;
        marked = std::move(plan);
        return true;
    });
    return marked;
}

void MarkBBSections(Session& session, bool eightMeasureMains) {
    MarkerRun run(session);
    for (std::string_view key : kBbSectionOrder) {
        const SectionRow& row = *SectionByKey(key);
        // As StoreMarker calls in a row, the last leaving the scan it was put in on.
        const ScanAfterMarker afterStart = key == kBbSectionOrder.back()
                                               ? ScanAfterMarker::kSongBefore
                                               : ScanAfterMarker::kSongAfter;
        run.Store(EndMarker(row), BbSectionEnd(row, eightMeasureMains),
                  ScanAfterMarker::kSongAfter);
        run.Store(StartMarker(row), row.bbStart, afterStart);
        session.view.sectionPressed[row.slot] = true;
    }
}

bool StoreMarker(Session& session, std::string_view text, int measure) {
    return MarkerRun(session).Store(text, measure, ScanAfterMarker::kSongBefore) ==
           MarkerOutcome::kStored;
}

}  // namespace zephrane
