#pragma once
// Sections marked on a song's own measures whose chord changes inside them: a style gives each
// section one source chord, so such a section is either written over C maj7 measure by measure
// (or half measure, where the chord changes at the half), or left as it was played.

#include <string>
#include <string_view>
#include <vector>

#include "app/command_result.h"
#include "convert/onto_one_chord.h"
#include "sections/section_plan.h"

namespace zephrane {

struct Session;

// The chord a converted section is written over, as the player names chords.
inline constexpr char kConvertedSectionChord[] = "Cmaj7";
inline constexpr char kConvertSectionQuestion[] =
    "Convert its measures onto one chord (C maj7)? No leaves them as they were played.";
inline constexpr char kConvertSectionChordsCaption[] = "Convert Section Chords";

// A marked section and the chord changes after its first beat.
struct SectionChordChanges {
    std::string section;  // its button key, "Main A"
    MeasureRange measures;
    std::vector<ChordChange> changes;
};

// "Main A changes chord at measures 10 (G7), 11 beat 3 (C)."
std::string ChordChangeText(const SectionChordChanges& section);

// The sections of `plan`, as the working file marks them, whose chord changes inside them, in
// the plan's order. A failed scan or walk is reported, and none are found.
std::vector<SectionChordChanges> SectionsChangingChord(Session& session, const SectionPlan& plan);

// Writes the measures of the section `key`, as the working file marks them, over C maj7, span by
// span, with the parts of the CASM table (those "Auto CASM Set" would choose while it has none),
// and gives the section the source chord "Cmaj7". Refuses with a message when no file is open or
// the section is not marked; a failure goes to the common report under "ConvertSectionChords"
// and leaves the session as it was.
CommandResult ConvertSectionChords(Session& session, std::string_view key);

// The window, after marking sections: for each of `changing`, a question tells where its chord
// changes and asks whether to convert it; Yes converts it. Done when one was converted, cancelled
// when each answer was No; stops at a refusal or failure.
CommandResult OfferChordConversions(Session& session,
                                    const std::vector<SectionChordChanges>& changing);

// A batch run, after `plan` was marked: nobody is there to ask, so each of its sections whose
// chord changes is converted, with a message saying so. Done unless a conversion is not.
CommandResult ConvertChangingSections(Session& session, const SectionPlan& plan);

}  // namespace zephrane
