#pragma once
// Proposes the sections of a style from a song's own structure: the grooves it repeats become the
// main sections, the busier measure before a change of groove the fill into the next one, what
// plays before the first groove the intro and what plays after the last one the ending.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "analysis/scan_song.h"
#include "sections/section_plan.h"
#include "song/byte_image.h"

namespace zephrane {

// What one measure's groove is made of, its onsets quantised to a sixteenth-note grid.
struct MeasurePattern {
    std::vector<uint16_t> drumHits;  // drum instrument (note) and step, one entry each
    std::vector<uint16_t> bassLine;  // bass onsets: step and interval to the measure's first one
    uint64_t otherOnsets = 0;        // steps where any other melodic note starts
    int drumNoteCount = 0;           // drum notes struck, repeats on a step included
    bool melodic = false;            // a note of a melodic channel starts in it

    bool operator==(const MeasurePattern&) const = default;
};

// The pattern of every measure of `song` from the first to the last that a note starts in. Drums
// are channel 10 and channels set to an XG drum kit; the bass is the melodic channel whose notes
// lie lowest on average. Empty when the song counts its time in SMPTE frames. Failures of the walk
// are thrown.
std::vector<MeasurePattern> ReadMeasurePatterns(const ByteImage& song, const SongFacts& facts,
                                                const ChannelTable& channels);

// The plan proposed for a song of these measures, each section with its confidence and reason,
// in the section table's order. `chords` become the plan's chords, and each section's chord is
// the one sounding on its first measure.
SectionPlan SuggestSections(std::span<const MeasurePattern> measures,
                            std::span<const ChordChange> chords = {});

// The plan as text, one line per section: its key, its measures, the confidence and the reason.
std::string PlanText(const SectionPlan& plan);

// One proposed section in a sentence: "Main A, measures 1-4, chord Dm7, confidence 0.66: repeats
// 4 times from measure 1"; the chord is left out when none is known.
std::string ProposalText(const PlannedSection& section);

// The chord in force at the start of `measure`: the last change at or before its first beat;
// empty when the chords start later or there are none.
std::string ChordAtMeasure(std::span<const ChordChange> chords, int measure);

}  // namespace zephrane
