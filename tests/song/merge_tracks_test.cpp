#include "song/merge_tracks.h"

#include <gtest/gtest.h>

#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;
using test::MultiTrackFile;
using test::SongFile;

Bytes Merge(const Bytes& file) {
    return MergeToTypeZero(ByteImage(file)).Bytes();
}

const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};  // End of Track, delta 0

struct MergeCase {
    const char* name;
    Bytes file;
    Bytes merged;  // the merged track's events
    uint16_t division = 480;
};

class MergeTest : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeTest, WritesTheExpectedTypeZeroFile) {
    EXPECT_EQ(Merge(GetParam().file), SongFile(GetParam().merged, GetParam().division));
}

Bytes lyric(130, 'a');  // a lyric and a dump whose lengths take two bytes
Bytes Dump() {
    Bytes dump(128, 0x11);
    dump.back() = 0xF7;
    return dump;
}

INSTANTIATE_TEST_SUITE_P(
    Files, MergeTest,
    ::testing::Values(
        // Guards against a tempo change landing after the notes it times, or tracks mixed at a
        // tick: at equal times the conductor track comes first, then the tracks in file order.
        MergeCase{"ConductorFirstThenFileOrder",
                  MultiTrackFile({{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // 0: tempo
                                   0x83, 0x60, 0xFF, 0x51, 0x03, 0x06, 0x1A, 0x80,  // 480: tempo
                                   0x00, 0xFF, 0x2F, 0x00},                         // 480: End
                                  {0x00, 0xC0, 0x05,                                // 0: program
                                   0x83, 0x60, 0x90, 0x3C, 0x64,                    // 480: on C4
                                   0x00, 0xFF, 0x2F, 0x00},                         // 480: End
                                  {0x00, 0x91, 0x40, 0x64,                          // 0: on E4
                                   0x83, 0x60, 0x81, 0x40, 0x00,                    // 480: off E4
                                   0x00, 0xFF, 0x2F, 0x00}}),                       // 480: End
                  {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,                        // 0: tempo
                   0x00, 0xC0, 0x05,                                                // 0: program
                   0x00, 0x91, 0x40, 0x64,                                          // 0: note-on E4
                   0x83, 0x60, 0xFF, 0x51, 0x03, 0x06, 0x1A, 0x80,                  // 480: tempo
                   0x00, 0x90, 0x3C, 0x64,    // 480: note-on C4
                   0x00, 0x81, 0x40, 0x00,    // 480: note-off E4
                   0x00, 0xFF, 0x2F, 0x00}},  // 480: End
        // Guards against copying running-status events raw: between tracks they would take the
        // status of another track's event (here channel 2 instead of channel 1).
        MergeCase{"EveryChannelMessageGetsItsOwnStatusByte",
                  MultiTrackFile({kEnd,
                                  {0x00, 0x90, 0x3C, 0x64,   // 0: note-on C4, channel 1
                                   0x60, 0x3E, 0x64,         // 96: running status, D4
                                   0x60, 0x3C, 0x00,         // 192: running status, C4 off
                                   0x00, 0xFF, 0x2F, 0x00},  // 192: End of Track
                                  {0x30, 0x91, 0x40, 0x64,   // 48: note-on E4, channel 2
                                   0x60, 0x43, 0x64,         // 144: running status, G4
                                   0x00, 0xFF, 0x2F, 0x00}}),
                  {0x00, 0x90, 0x3C, 0x64, 0x30, 0x91, 0x40, 0x64, 0x30, 0x90, 0x3E, 0x64,
                   0x30, 0x91, 0x43, 0x64, 0x30, 0x90, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}},
        // Guards against reading the data bytes after a meta or SysEx event as another such
        // event, lengths read as one byte, and unknown meta types or escapes being lost.
        MergeCase{"RunningStatusGoesOnAcrossMetaAndSysExCopiedByteForByte",
                  MultiTrackFile({Concat({{0x00, 0xC2, 0x05,                    // program 5
                                           0x00, 0xFF, 0x05, 0x81, 0x02},       // lyric...
                                          lyric,                                // ...its text
                                          {0x10, 0x06,                          // 16: program 6
                                           0x00, 0xFF, 0x60, 0x02, 0x01, 0x02,  // unknown meta
                                           0x00, 0x92, 0x3C, 0x64,              // note-on
                                           0x00, 0xF0, 0x81, 0x00},             // dump...
                                          Dump(),                               // ...its data
                                          {0x00, 0xF7, 0x02, 0xF3, 0x01,        // escape
                                           0x10, 0x3C, 0x00},                   // 32: C4 off
                                          kEnd})}),
                  Concat({{0x00, 0xC2, 0x05, 0x00, 0xFF, 0x05, 0x81, 0x02},
                          lyric,
                          {0x10, 0xC2, 0x06, 0x00, 0xFF, 0x60, 0x02, 0x01, 0x02, 0x00, 0x92, 0x3C,
                           0x64, 0x00, 0xF0, 0x81, 0x00},
                          Dump(),
                          {0x00, 0xF7, 0x02, 0xF3, 0x01, 0x10, 0x92, 0x3C, 0x00},
                          kEnd})},
        // Guards against instrument names becoming the song's name, several End of Track events
        // and a song cut at the end of the conductor track.
        MergeCase{"FirstTrackKeepsItsNameAndOneEndOfTrackEndsTheLatestTrack",
                  MultiTrackFile({{0x00, 0xFF, 0x03, 0x01, 'S', 0x00, 0xFF, 0x2F, 0x00},
                                  {0x00, 0xFF, 0x03, 0x01, 'B',  // 0: name "B"
                                   0x00, 0xC1, 0x21,             // 0: program 33
                                   0x8F, 0x00, 0xFF, 0x2F, 0x00},
                                  {0x00, 0x99, 0x24, 0x64,        // 0: note-on
                                   0x83, 0x60, 0x89, 0x24, 0x00,  // 480: note-off
                                   0x00, 0xFF, 0x2F, 0x00}}),
                  {0x00, 0xFF, 0x03, 0x01, 'S',  0x00, 0xC1, 0x21, 0x00, 0x99, 0x24,
                   0x64, 0x83, 0x60, 0x89, 0x24, 0x00, 0x8B, 0x20, 0xFF, 0x2F, 0x00}},
        // Guards against walking on into the next chunk's header and ending the song before the
        // last note-off of a track without End of Track.
        MergeCase{"TrackWithoutEndOfTrackStopsAtItsChunk",
                  MultiTrackFile({kEnd,
                                  {0x00, 0x90, 0x3C, 0x64, 0x87, 0x40, 0x80, 0x3C, 0x00},
                                  {0x00, 0x91, 0x40, 0x64, 0x83, 0x60, 0x81, 0x40, 0x00, 0x00, 0xFF,
                                   0x2F, 0x00}}),
                  {0x00, 0x90, 0x3C, 0x64, 0x00, 0x91, 0x40, 0x64, 0x83, 0x60, 0x81,
                   0x40, 0x00, 0x83, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}},
        // Guards against reading an unknown chunk as a track, assuming a 6-byte header, and
        // resetting an SMPTE division (25 frames a second, 40 ticks a frame).
        MergeCase{"UnknownChunksAreSkippedAndTheDivisionIsKept",
                  Concat({Chunk("MThd", {0, 1, 0, 2, 0xE7, 0x28, 0, 0}),
                          Chunk("XFIH", {1, 2}),
                          Chunk("MTrk", {0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00}),
                          Chunk("Junk", {}),
                          Chunk("MTrk", {0x0A, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}),
                          {0x00, 0x00, 0x00}}),  // padding too short for a chunk
                  {0x00, 0x90, 0x3C, 0x64, 0x0A, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00},
                  0xE728}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(MergeRefusal, EachFaultHasItsMessage) {
    const std::string notMidi = "This file is not a MIDI file.";
    const std::string noTracks = "This MIDI file has no tracks to merge.";
    const struct {
        Bytes file;
        std::string message;
    } cases[] = {
        {{}, notMidi},
        {{'M', 'T', 'h', 'd'}, notMidi},
        {Concat({{'R', 'I', 'F', 'F', 0, 0, 0, 4, 'R', 'M', 'I', 'D'}, MultiTrackFile({kEnd})}),
         notMidi},
        {Concat({Chunk("MThd", {0, 1, 0, 1}), Bytes(6, 0)}), notMidi},
        {MultiTrackFile({kEnd}, 3), notMidi},
        {SongFile(kEnd), kAlreadyTypeZeroMessage},
        {MultiTrackFile({kEnd, kEnd}, 2),
         "Type 2 MIDI files (independent patterns) cannot be merged into one song."},
        {Concat({test::FileHeader(1, 1), Chunk("XFIH", {1})}), noTracks},
        {test::FileHeader(1, 0), noTracks},
        // Track 2 declares 9 bytes, the file holds 4.
        {Concat({MultiTrackFile({kEnd}), {'M', 'T', 'r', 'k', 0, 0, 0, 9}, kEnd}),
         DamagedTrackMessage(2)},
        // A note-on missing its velocity before another chunk.
        {MultiTrackFile({kEnd, {0x00, 0x90, 0x3C}, kEnd}), DamagedTrackMessage(2)},
        // A data byte with no status before it.
        {MultiTrackFile({kEnd, Concat({{0x00, 0x3C, 0x64}, kEnd})}), DamagedTrackMessage(2)},
        // F1 (MIDI time code) is no event of a file.
        {MultiTrackFile({Concat({{0x00, 0xF1, 0x00}, kEnd})}), DamagedTrackMessage(1)},
        // A delta time whose continuation bits run off the file; a sysex longer than the file.
        {MultiTrackFile({kEnd, kEnd, {0x81, 0x80}}), DamagedTrackMessage(3)},
        {MultiTrackFile({{0x00, 0xF0, 0x7F, 0x01}}), DamagedTrackMessage(1)},
    };
    for (const auto& refused : cases) {
        SCOPED_TRACE(refused.message);
        try {
            MergeToTypeZero(ByteImage(refused.file));
            ADD_FAILURE() << "merged";
        } catch (const MergeRefused& refusal) {
            EXPECT_EQ(refusal.what(), refused.message);
        }
    }
    EXPECT_EQ(DamagedTrackMessage(3),
              "This MIDI file is damaged: track 3 is cut short or holds bytes that are not MIDI "
              "events.");
}

}  // namespace
}  // namespace zephrane
