#pragma once
// The one forward scan over the song image that yields the per-channel facts, the song-wide
// facts, the measure table and the marker list.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "effects/effect_settings.h"
#include "song/byte_image.h"
#include "song/walker.h"

namespace zephrane {

struct ChannelInfo {
    std::string voiceLabel;
    bool hasNotes = false;           // at least one note-on, velocity 0 included
    int16_t firstProgram = 0;        // program of the first program change of the scan
    int16_t programChangeCount = 0;  // program changes in the scan
    int bankMsb = -1;                // last controller 0 before the first program change; -1 none
    int bankLsb = -1;                // last controller 32 before the first program change

    bool operator==(const ChannelInfo&) const = default;
};

using ChannelTable = std::array<ChannelInfo, 16>;  // index = MIDI channel - 1

struct SongFacts {
    // The MIDI defaults stand until a tempo or time-signature event says otherwise.
    int16_t tempoBpm = 120;
    int16_t timeSigNumerator = 4;
    int16_t timeSigDenominator = 4;
    double ticksPerMeasure = 0;  // 4/4 until a time-signature event; 0 in SMPTE time
    std::string keyText;         // key name followed directly by the mode word ("Ebmajor")
    std::string modeWord;
    int32_t keySignaturePos = 0;  // the sharps/flats byte of the last key signature
    std::string styleName;        // last track-name event (meta type 3)
    int32_t styleNamePos = 0;     // its first text byte
    int16_t styleNameLength = 0;
    std::string copyright;  // last copyright event (meta type 2)
    int32_t copyrightPos = 0;
    int16_t copyrightLength = 0;
    int32_t musicStartPos = 0;  // first delta byte of the first note-on or section marker; 0 none
    int32_t endOfTrackPos = 0;  // last delta byte of the End of Track event
    int32_t scanEndPos = 0;     // the FF of the End of Track event, or the end of the track data
    int32_t lastTextEventPos = 0;  // first delta byte of the last text, copyright, track-name or
                                   // marker event, whose text the walk keeps; 0 none
    int16_t measureCount = 0;      // largest measure index in which an event starts

    bool operator==(const SongFacts&) const = default;
};

// Per 0-based measure: the last delta byte of the first event that starts in it (0 = no event
// starts there; entry 0 is always 22) and the status in force when that event has none of its own.
// Entries after 0 also keep the first delta byte and the time of that event.
struct MeasureEntry {
    int32_t position = 0;
    uint8_t runningStatus = 0;
    int32_t firstDeltaPos = 0;
    int32_t tick = 0;

    bool operator==(const MeasureEntry&) const = default;
};

struct MeasureTable {
    std::vector<MeasureEntry> entries = std::vector<MeasureEntry>(11);
    int LastIndex() const { return static_cast<int>(entries.size()) - 1; }
};

struct Marker {
    std::string text;
    int32_t position = 0;  // first delta byte of the marker event
    int32_t tick = 0;

    bool operator==(const Marker&) const = default;
};

// Filled in file order by each scan; entries past `count` keep what earlier scans left there.
struct MarkerList {
    std::vector<Marker> entries = std::vector<Marker>(21);
    int count = 0;
};

// What a scan fills, held by its owner.
struct ScanResults {
    WalkState& walk;
    ChannelTable& channels;
    SongFacts& facts;
    MeasureTable& measures;
    MarkerList& markers;
};

// Whether a scan also imports the song's XG effect messages: the load's first scan does.
enum class XgImport { Skip, Import };

// The scan of `song` into `results`, importing the song's XG effect messages into `effects` when
// asked. Failures are thrown; what was written before them stays.
void ScanSong(const ByteImage& song, ScanResults results, EffectSettings& effects, XgImport xg);

// Ticks of one measure of numerator/denominator. The division is a signed 16-bit number; SMPTE
// time does not fit it (error 6).
double MeasureLength(const ByteImage& song, int numerator, int denominator);
// The measure of a time: floor(time / ticks per measure), worked out in floating point, under the
// measure length in force at that time. A time signature renumbers the measures from its time on
// by the same formula, so numbers may skip.
double MeasureOfTime(int64_t time, double ticksPerMeasure);
// The first time whose measure is `measure` or later.
int64_t FirstTimeOfMeasure(int measure, double ticksPerMeasure);

// Key name of a key signature (sharps/flats byte, mode byte); a minor key is named by its own
// tonic. Empty for a sharps/flats value outside -7..7.
std::string KeyName(uint8_t sharpsFlats, uint8_t mode);
// "major", "minor", or "Mode " and the mode byte as a blank-signed number.
std::string ModeWord(uint8_t mode);

}  // namespace zephrane
