#pragma once
// The section buttons and the marker insertion as commands on the session: each marker goes in
// on a scan of the song as it stands.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/command_result.h"
#include "sections/section_plan.h"

namespace zephrane {

struct Session;

// A press of the section button `key`: marks the section in the working file with its start and
// end marker unless a marker naming it is there already (its chord from a mark on other measures
// is then dropped), and shows the button pressed; a proposal of the section is dropped. Refuses
// with a message when no file is open or the file is too short for the section; done when the
// section is marked.
CommandResult PressSectionButton(Session& session, std::string_view key);

// Presses the buttons `keys` one after the other, stopping at the first that marks nothing, and
// leaves the session as those presses would; done when every section is marked.
CommandResult PressSectionButtons(Session& session, std::span<const std::string> keys);

// "Remove section" on the button `key` or its bar on the section map: takes the section's start
// and end markers (and a style's plain section marker) out of the working file, drops its chord
// and shows the button up. Refuses with a message when no file is open; failures go to the common
// report under "RemoveSection" and leave the song as it was.
CommandResult RemoveSection(Session& session, std::string_view key);

// Marks each section of `plan` on its measures, `first` to `last`, with its start and end marker,
// in place of any marker of that section already in the working file (a fixed place included),
// and shows its button pressed; the proposals of those sections are dropped. Each section keeps the
// chord it was played over for the style's CASM (session.sectionChords): the plan's, else the one
// the song plays at its first measure; none over "N.C." or where no chord is found. Refuses with a
// message when no file is open, the plan cannot go into the song (PlanRefusal) or names a chord
// that cannot be read, changing nothing; failures go to the common report under "MarkSections" and
// leave the song as it was.
CommandResult MarkSections(Session& session, const SectionPlan& plan);
// "Suggest Sections": the plan Zephrane proposes from the open song's grooves, each section with
// its confidence and reason. Refuses with a message when no file is open; a walk that fails goes
// to the common report under "SuggestSections". Nothing after a refusal or a failure.
std::optional<SectionPlan> SuggestSections(Session& session);

// The window's "Suggest Sections": puts the sections SuggestSections proposes into the view
// (view.proposedSections) in place of those shown before, for the user to accept, move or drop;
// the song stays as it is. Refuses with a message when the song repeats no groove; refused and
// failed otherwise as SuggestSections is, the proposals shown before then kept.
CommandResult ProposeSections(Session& session);

// "Accept": marks the proposed sections `keys` (all of them when `keys` is empty) as MarkSections
// marks a plan, each then no longer proposed; `marked` holds the plan marked. Refuses with a
// message when none of them is proposed; refused and failed as MarkSections is, nothing changed.
CommandResult AcceptProposedSections(Session& session, std::span<const std::string> keys,
                                     SectionPlan& marked);

// "Drop": the proposed section `key` is no longer proposed. Done also when it was not.
CommandResult DropProposedSection(Session& session, std::string_view key);

// `--suggested`: marks the sections SuggestSections proposes, with their chords, as MarkSections
// marks a plan; the plan marked. Refuses with a message when the song repeats no groove; refused
// and failed otherwise as those two are: nothing then.
std::optional<SectionPlan> MarkSuggestedSections(Session& session);

// Marks all fourteen sections in the BB layout, with 8-measure main sections when asked.
void MarkBBSections(Session& session, bool eightMeasureMains);

// Inserts a marker event with `text` in front of the first event of `measure`, taking over that
// event's delta time. Refuses with a message when the measure holds no event or lies beyond the
// measure table. Failures go to the common report under "StoreMarker"; false after a refusal or
// a failure.
bool StoreMarker(Session& session, std::string_view text, int measure);

}  // namespace zephrane
