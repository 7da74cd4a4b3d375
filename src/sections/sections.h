#pragma once
// The fourteen accompaniment sections, their fixed places in the working file, and the insertion
// of marker events into the song image.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/scan_song.h"
#include "song/byte_image.h"

namespace zephrane {

inline constexpr int kSectionSlotCount = 26;
// One flag per slot of the section toolbar; only the slots of the table below are used.
using SectionSlots = std::array<bool, kSectionSlotCount>;

struct SectionRow {
    std::string_view key;   // key and caption of the section's toolbar button
    int slot;               // the button's position on the toolbar, index into the flags
    std::string_view name;  // the section marker of a style; ">"/"<" + name mark start/end
    int start;              // standard layout: first measure
    int end;                // standard layout: the measure after the last one
    int minimumMeasures;    // measures the working file needs for the section
    int bbStart;
    int bbEnd;
    int bbEndEightMeasureMains;
};

// In the order of the section toolbar's keys: intros, mains, endings, fills.
extern const std::array<SectionRow, 14> kSectionTable;

// The keys of the fourteen section buttons, in toolbar order.
std::vector<std::string> AllSectionKeys();

// The row whose button key is `key`, if any.
const SectionRow* SectionByKey(std::string_view key);
// The row of a marker text that names a section, plain or as a start marker (">Main A").
const SectionRow* SectionByMarker(std::string_view markerText);

// The message shown when the working file is too short for the section of `row`.
std::string MinimumMeasuresMessage(const SectionRow& row);

// Why the section of `row` cannot be marked in a song of these measures: its first measure or
// the one after it holds no event. Nothing when it can.
std::optional<std::string> SectionRefusal(const MeasureTable& measures, const SectionRow& row);

// True when a marker of the list (stale entries past the count included) names the section.
bool SectionIsMarked(const MarkerList& markers, const SectionRow& row);

// The markers a section button puts in: ">" and "<" followed by the section's name.
std::string StartMarker(const SectionRow& row);
std::string EndMarker(const SectionRow& row);

// The sections of the BB layout in the order they are marked, and where each one ends, with
// 8-measure main sections when asked.
extern const std::array<std::string_view, 14> kBbSectionOrder;
int BbSectionEnd(const SectionRow& row, bool eightMeasureMains);

// Why a marker cannot go in front of the first event of `measure`: the measure holds no event
// or lies beyond the measure table. Nothing when it can.
std::optional<std::string> MarkerRefusal(const MeasureTable& measures, std::string_view text,
                                         int measure);

// Inserts a marker event with `text` in front of the first event of `measure`, which
// MarkerRefusal accepts, taking over that event's delta time, and sets the track length. The
// scan results in `scan` describe the song before the marker; with `followScan` they are made
// to describe it with the marker where that needs no second walk: true then. Otherwise they are
// left as they were. Failures are thrown.
bool InsertMarker(ByteImage& song, ScanResults scan, std::string_view text, int measure,
                  bool followScan);

// A song that starts playing at once has music in its first measure, not a set-up measure: a
// section marked on it starts on the song's first bar line, in front of the first note there or of
// the first event after the bar line, so that the events on the bar line before the music (tempo,
// time signature, the GM and XG messages, the first program changes) stay the style's set-up
// part. Where its start marker goes, as a measure entry; nothing when no note starts in the first
// measure, which is then the set-up measure. Failures of the walk are thrown.
std::optional<MeasureEntry> FirstMeasureSectionStart(const ByteImage& song, double ticksPerMeasure);

// Inserts a marker event with `text` in front of the event of `entry`, which
// FirstMeasureSectionStart found, and sets the track length; the scan results no longer describe
// the song. Failures are thrown.
void InsertFirstMeasureMarker(ByteImage& song, const SongFacts& facts, std::string_view text,
                              const MeasureEntry& entry);

// Takes every marker event whose text is one of `texts` out of the track, handing its delta time
// on to the event after it so that every later event keeps its time, and sets the track length.
// The number of markers taken out. Failures are thrown, with the image as the last whole removal
// left it.
int RemoveMarkers(ByteImage& song, std::span<const std::string> texts);

}  // namespace zephrane
