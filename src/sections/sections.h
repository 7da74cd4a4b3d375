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

namespace zephrane {

struct Session;

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

// A press of the section button `key`: marks the section in the working file with its start and
// end marker unless a marker naming it is there already, and shows the button pressed. Refuses
// with a message when no file is open or the file is too short for the section. True when the
// section is marked.
bool PressSectionButton(Session& session, std::string_view key);

// Presses the buttons `keys` one after the other, stopping at the first that marks nothing, and
// leaves the session as those presses would. True when every section is marked.
bool PressSectionButtons(Session& session, std::span<const std::string> keys);

// Marks all fourteen sections in the BB layout, with 8-measure main sections when asked.
void MarkBBSections(Session& session, bool eightMeasureMains);

// The message shown when the working file is too short for the section of `row`.
std::string MinimumMeasuresMessage(const SectionRow& row);

// Inserts a marker event with `text` in front of the first event of `measure`, taking over that
// event's delta time. Refuses with a message when the measure holds no event or lies beyond the
// measure table. Failures go to the common report under "StoreMarker"; false after a refusal or
// a failure.
bool StoreMarker(Session& session, std::string_view text, int measure);

}  // namespace zephrane
