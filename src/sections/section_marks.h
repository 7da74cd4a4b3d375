#pragma once
// Sections marked on any run of whole measures of a song, beside the fixed layouts: what a mark
// may cover, and why a plan of marks cannot go into the song.

#include <optional>
#include <string>
#include <string_view>

#include "analysis/scan_song.h"
#include "sections/section_plan.h"
#include "sections/sections.h"
#include "song/byte_image.h"

namespace zephrane {

// The longest section a style holds: an instrument plays a style part of 1 to 128 measures, and
// a Fill In of exactly one. Our style track itself sets no limit (its sections are cut at marker
// events, and times are 28-bit delta times), so the instruments' limit is the one kept.
inline constexpr int kLongestSection = 128;
inline constexpr int kLongestFill = 1;

// The row of a section named as a button names it ("End A") or as a style names it ("Ending A").
const SectionRow* SectionByKeyOrName(std::string_view name);

// The most measures a mark of the section of `row` may cover.
int LongestMark(const SectionRow& row);

// Why the marks of `plan` cannot go into `song`, of these measures, for the first mark that
// cannot: an unknown section, first after last, a set-up measure (measure 0 where no note starts
// in it; see FirstMeasureSectionStart), too many measures, a range
// past the song's end, a measure line without an event to put a marker in front of, or a second
// mark of the same section. Nothing when every mark can. Marks of different sections may share
// measures.
std::optional<std::string> PlanRefusal(const ByteImage& song, const MeasureTable& measures,
                                       const SongFacts& facts, const SectionPlan& plan);

}  // namespace zephrane
