#include "song/merge_tracks.h"

#include <gtest/gtest.h>

#include "app/main_commands.h"
#include "app/stub_platform.h"
#include "song/walker.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;
using test::FileHeader;
using test::MultiTrackFile;
using test::SongFile;

Bytes Merge(const Bytes& file) {
    return MergeToTypeZero(ByteImage(file)).Bytes();
}

// The message of the refusal, or "" when the file is merged.
std::string RefusalOf(const Bytes& file) {
    try {
        MergeToTypeZero(ByteImage(file));
    } catch (const MergeRefused& refusal) {
        return refusal.what();
    }
    return "";
}

// --- Order of the merged events ---

TEST(MergeOrder, AtEqualTimesTheConductorTrackComesFirstThenTheTracksInFileOrder) {
    // Guards against a tempo change landing after the notes it times, or tracks mixed at a tick.
    const Bytes file = MultiTrackFile({
        {
            0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // tick 0: tempo 500000
            0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08,  // tick 0: time signature 4/4
            0x83, 0x60, 0xFF, 0x51, 0x03, 0x06, 0x1A, 0x80,  // tick 480: tempo 400000
            0x00, 0xFF, 0x2F, 0x00,                          // tick 480: End of Track
        },
        {
            0x00, 0xC0, 0x05,              // tick 0: program 5, channel 1
            0x83, 0x60, 0x90, 0x3C, 0x64,  // tick 480: note-on C4, channel 1
            0x00, 0xFF, 0x2F, 0x00,        // tick 480: End of Track
        },
        {
            0x00, 0x91, 0x40, 0x64,        // tick 0: note-on E4, channel 2
            0x83, 0x60, 0x81, 0x40, 0x00,  // tick 480: note-off E4, channel 2
            0x00, 0xFF, 0x2F, 0x00,        // tick 480: End of Track
        },
    });
    EXPECT_EQ(Merge(file), SongFile({
                               0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // 0: tempo
                               0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08,  // 0: 4/4
                               0x00, 0xC0, 0x05,                                // 0: program
                               0x00, 0x91, 0x40, 0x64,                          // 0: note-on E4
                               0x83, 0x60, 0xFF, 0x51, 0x03, 0x06, 0x1A, 0x80,  // 480: tempo
                               0x00, 0x90, 0x3C, 0x64,                          // 480: note-on C4
                               0x00, 0x81, 0x40, 0x00,                          // 480: note-off E4
                               0x00, 0xFF, 0x2F, 0x00,                          // 480: End
                           }));
}

// Track k (1 to 16) plays channel k: program k at tick 0, a note-on at tick 0 and, under running
// status, the same note with velocity 0 at tick 480. Track 1 also holds the tempo; track 16 ends
// at tick 2400, the others at 480.
Bytes SixteenTrackFile() {
    std::vector<Bytes> tracks;
    for (uint8_t k = 1; k <= 16; ++k) {
        Bytes events;
        if (k == 1) events = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};  // 0: tempo 500000
        const auto program = static_cast<uint8_t>(0xC0 + k - 1);
        const auto noteOn = static_cast<uint8_t>(0x90 + k - 1);
        const auto note = static_cast<uint8_t>(47 + k);
        const Bytes endDelta = k == 16 ? Bytes{0x8F, 0x00} : Bytes{0x00};
        tracks.push_back(Concat({events,
                                 {0x00, program, k},          // 0: program k, channel k
                                 {0x00, noteOn, note, 0x64},  // 0: note-on, channel k
                                 {0x83, 0x60, note, 0x00},    // 480: running status, velocity 0
                                 endDelta,
                                 {0xFF, 0x2F, 0x00}}));  // End of Track
    }
    return MultiTrackFile(tracks);
}

TEST(MergeOrder, SixteenTracksKeepTheirFileOrderAtEveryTick) {
    // Guards against an unstable sort: 33 events share tick 0 and 16 share tick 480.
    Bytes expected = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};  // 0: tempo
    for (uint8_t k = 1; k <= 16; ++k) {
        const auto program = static_cast<uint8_t>(0xC0 + k - 1);
        const auto noteOn = static_cast<uint8_t>(0x90 + k - 1);
        expected = Concat({expected,
                           {0x00, program, k},                                    // 0: program
                           {0x00, noteOn, static_cast<uint8_t>(47 + k), 0x64}});  // 0: note-on
    }
    for (uint8_t k = 1; k <= 16; ++k) {
        const auto noteOn = static_cast<uint8_t>(0x90 + k - 1);
        const Bytes delta = k == 1 ? Bytes{0x83, 0x60} : Bytes{0x00};
        // 480: velocity 0, now with its own status byte
        expected = Concat({expected, delta, {noteOn, static_cast<uint8_t>(47 + k), 0x00}});
    }
    expected = Concat({expected, {0x8F, 0x00, 0xFF, 0x2F, 0x00}});  // 2400: the one End of Track
    EXPECT_EQ(Merge(SixteenTrackFile()), SongFile(expected));
}

// --- Running status ---

TEST(MergeRunningStatus, EveryChannelMessageGetsItsOwnStatusByte) {
    // Guards against copying running-status events raw: between tracks they would take the
    // status of another track's event (here channel 2 instead of channel 1).
    const Bytes file = MultiTrackFile({
        {0x00, 0xFF, 0x2F, 0x00},  // 0: End of Track
        {
            0x00, 0x90, 0x3C, 0x64,  // 0: note-on C4, channel 1
            0x60, 0x3E, 0x64,        // 96: running status, note-on D4
            0x60, 0x3C, 0x00,        // 192: running status, C4 velocity 0
            0x00, 0xFF, 0x2F, 0x00,  // 192: End of Track
        },
        {
            0x30, 0x91, 0x40, 0x64,  // 48: note-on E4, channel 2
            0x60, 0x43, 0x64,        // 144: running status, note-on G4
            0x00, 0xFF, 0x2F, 0x00,  // 144: End of Track
        },
    });
    EXPECT_EQ(Merge(file), SongFile({
                               0x00, 0x90, 0x3C, 0x64,  // 0: note-on C4, channel 1
                               0x30, 0x91, 0x40, 0x64,  // 48: note-on E4, channel 2
                               0x30, 0x90, 0x3E, 0x64,  // 96: note-on D4, channel 1
                               0x30, 0x91, 0x43, 0x64,  // 144: note-on G4, channel 2
                               0x30, 0x90, 0x3C, 0x00,  // 192: C4 velocity 0, channel 1
                               0x00, 0xFF, 0x2F, 0x00,  // 192: End of Track
                           }));
}

TEST(MergeRunningStatus, RunningStatusGoesOnAcrossMetaAndSysExEvents) {
    // Guards against reading the data bytes after a meta event as another meta event: many
    // writers keep the channel's running status across meta events.
    const Bytes file = MultiTrackFile({{
        0x00, 0xC2, 0x05,                                // 0: program 5, channel 3
        0x00, 0xFF, 0x06, 0x01, 'A',                     // 0: marker "A"
        0x10, 0x06,                                      // 16: running status, program 6
        0x00, 0x92, 0x3C, 0x64,                          // 16: note-on C4, channel 3
        0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,  // 16: GM System On
        0x10, 0x3C, 0x00,                                // 32: running status, velocity 0
        0x00, 0xFF, 0x2F, 0x00,                          // 32: End of Track
    }});
    EXPECT_EQ(Merge(file), SongFile({
                               0x00, 0xC2, 0x05,                                // 0: program 5
                               0x00, 0xFF, 0x06, 0x01, 'A',                     // 0: marker
                               0x10, 0xC2, 0x06,                                // 16: program 6
                               0x00, 0x92, 0x3C, 0x64,                          // 16: note-on
                               0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,  // 16: GM On
                               0x10, 0x92, 0x3C, 0x00,                          // 32: velocity 0
                               0x00, 0xFF, 0x2F, 0x00,                          // 32: End
                           }));
}

// --- Meta and system-exclusive events ---

TEST(MergeEvents, SysExAndMetaEventsOfEveryKindAreCopiedByteForByte) {
    // Guards against lengths read as one byte (the lyric and the dump have two-byte lengths) and
    // against meta types the program does not know being lost.
    const Bytes lyric(130, 'a');
    Bytes dump(128, 0x11);
    dump.back() = 0xF7;
    const Bytes conductor = Concat({
        {0x00, 0xFF, 0x00, 0x02, 0x00, 0x01},                    // sequence number 1
        {0x00, 0xFF, 0x01, 0x04, 'T', 'e', 'x', 't'},            // text
        {0x00, 0xFF, 0x02, 0x03, '(', 'c', ')'},                 // copyright
        {0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g'},            // track name
        {0x00, 0xFF, 0x04, 0x05, 'P', 'i', 'a', 'n', 'o'},       // instrument name
        {0x00, 0xFF, 0x05, 0x81, 0x02},                          // lyric of 130 bytes...
        lyric,                                                   // ...its text
        {0x00, 0xFF, 0x06, 0x05, 'I', 'n', 't', 'r', 'o'},       // marker
        {0x00, 0xFF, 0x07, 0x03, 'c', 'u', 'e'},                 // cue point
        {0x00, 0xFF, 0x08, 0x02, 'P', '1'},                      // program name
        {0x00, 0xFF, 0x09, 0x02, 'D', '1'},                      // device name
        {0x00, 0xFF, 0x20, 0x01, 0x00},                          // channel prefix
        {0x00, 0xFF, 0x21, 0x01, 0x00},                          // port
        {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},              // tempo
        {0x00, 0xFF, 0x54, 0x05, 0x60, 0x00, 0x00, 0x00, 0x00},  // SMPTE offset
        {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08},        // time signature
        {0x00, 0xFF, 0x59, 0x02, 0xFD, 0x00},                    // key signature: 3 flats
        {0x00, 0xFF, 0x7F, 0x03, 0x43, 0x7B, 0x00},              // data for one sequencer (type 7F)
        {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7},        // GM System On
        {0x00, 0xF0, 0x81, 0x00},                                // a 128-byte dump...
        dump,                                                    // ...its data
        {0x00, 0xF7, 0x02, 0xF3, 0x01},                          // escape: song select
    });
    const Bytes instrument = Concat({
        {0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7},  // XG System On
        {0x00, 0xFF, 0x60, 0x02, 0x01, 0x02},                                // unassigned type
        {0x00, 0x90, 0x3C, 0x64},                                            // note-on C4
    });
    const Bytes file = MultiTrackFile({
        Concat({conductor, {0x00, 0xFF, 0x2F, 0x00}}),   // End of Track at 0
        Concat({instrument, {0x10, 0xFF, 0x2F, 0x00}}),  // End of Track at 16
    });
    const Bytes end = {0x10, 0xFF, 0x2F, 0x00};  // 16: the one End of Track
    EXPECT_EQ(Merge(file), SongFile(Concat({conductor, instrument, end})));
}

TEST(MergeEvents, OnlyTheFirstTrackKeepsItsNameAndOneEndOfTrackEndsTheLatestTrack) {
    // Guards against instrument names becoming the song's name, several End of Track events, and
    // a song cut at the end of the conductor track.
    const Bytes file = MultiTrackFile({
        {
            0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g',  // 0: track name "Song"
            0x00, 0xFF, 0x2F, 0x00,                      // 0: End of Track
        },
        {
            0x00, 0xFF, 0x03, 0x04, 'B', 'a', 's', 's',  // 0: track name "Bass"
            0x00, 0xC1, 0x21,                            // 0: program 33, channel 2
            0x8F, 0x00, 0xFF, 0x2F, 0x00,                // 1920: End of Track
        },
        {
            0x00, 0xFF, 0x03, 0x05, 'D',  'r', 'u', 'm', 's',  // 0: track name "Drums"
            0x00, 0x99, 0x24, 0x64,                            // 0: note-on, channel 10
            0x83, 0x60, 0x89, 0x24, 0x00,                      // 480: note-off, channel 10
            0x00, 0xFF, 0x2F, 0x00,                            // 480: End of Track
        },
    });
    EXPECT_EQ(Merge(file), SongFile({
                               0x00, 0xFF, 0x03, 0x04, 'S',  'o', 'n', 'g',  // 0: "Song"
                               0x00, 0xC1, 0x21,                             // 0: program
                               0x00, 0x99, 0x24, 0x64,                       // 0: note-on
                               0x83, 0x60, 0x89, 0x24, 0x00,                 // 480: note-off
                               0x8B, 0x20, 0xFF, 0x2F, 0x00,                 // 1920: End
                           }));
}

TEST(MergeEvents, TrackWithoutEndOfTrackStopsAtItsChunkAndEndsAtItsLastEvent) {
    // Guards against walking on into the next chunk's header and against ending the song before
    // the last note-off of such a track.
    const Bytes file = MultiTrackFile({
        {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // 0: tempo
         0x00, 0xFF, 0x2F, 0x00},                   // 0: End of Track
        {0x00, 0x90, 0x3C, 0x64,                    // 0: note-on C4, channel 1
         0x87, 0x40, 0x80, 0x3C, 0x00},             // 960: note-off C4; no End of Track
        {0x00, 0x91, 0x40, 0x64,                    // 0: note-on E4, channel 2
         0x83, 0x60, 0x81, 0x40, 0x00,              // 480: note-off E4
         0x00, 0xFF, 0x2F, 0x00},                   // 480: End of Track
    });
    EXPECT_EQ(Merge(file), SongFile({
                               0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // 0: tempo
                               0x00, 0x90, 0x3C, 0x64,                    // 0: note-on C4
                               0x00, 0x91, 0x40, 0x64,                    // 0: note-on E4
                               0x83, 0x60, 0x81, 0x40, 0x00,              // 480: note-off E4
                               0x83, 0x60, 0x80, 0x3C, 0x00,              // 960: note-off C4
                               0x00, 0xFF, 0x2F, 0x00,                    // 960: End of Track
                           }));
}

TEST(MergeEvents, UnknownChunksAreSkippedAndTheDivisionIsKept) {
    // Guards against reading an unknown chunk as a track, assuming a 6-byte header, and
    // resetting an SMPTE division (25 frames a second, 40 ticks a frame).
    const Bytes file = Concat({
        {'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 1, 0, 2, 0xE7, 0x28, 0, 0},  // 8-byte header
        Chunk("XFIH", {0x01, 0x02, 0x03}),                               // unknown chunk
        Chunk("MTrk", {0x00, 0x90, 0x3C, 0x64,                           // 0: note-on
                       0x00, 0xFF, 0x2F, 0x00}),                         // 0: End of Track
        Chunk("Junk", {}),                                               // empty unknown chunk
        Chunk("MTrk", {0x0A, 0x80, 0x3C, 0x00,                           // 10: note-off
                       0x00, 0xFF, 0x2F, 0x00}),                         // 10: End of Track
        {0x00, 0x00, 0x00},  // padding too short for a chunk
    });
    EXPECT_EQ(Merge(file), SongFile(
                               {
                                   0x00, 0x90, 0x3C, 0x64,  // 0: note-on
                                   0x0A, 0x80, 0x3C, 0x00,  // 10: note-off
                                   0x00, 0xFF, 0x2F, 0x00,  // 10: End of Track
                               },
                               0xE728));
}

// --- Refusals ---

TEST(MergeRefusal, FilesThatAreNotMidiAreRefusedWithAPlainMessage) {
    // Guards against reading past the end of short files and merging other files' bytes.
    const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!'};
    const Bytes riff = Concat({{'R', 'I', 'F', 'F', 0, 0, 0, 4, 'R', 'M', 'I', 'D'},
                               MultiTrackFile({{0x00, 0xFF, 0x2F, 0x00}})});
    const Bytes shortHeader = Concat({Chunk("MThd", {0, 1, 0, 1}), Bytes(6, 0)});
    const Bytes format3 = MultiTrackFile({{0x00, 0xFF, 0x2F, 0x00}}, 3);
    for (const Bytes& file :
         {Bytes{}, Bytes{'M', 'T', 'h', 'd'}, text, riff, shortHeader, format3}) {
        EXPECT_EQ(RefusalOf(file), "This file is not a MIDI file.");
    }
}

TEST(MergeRefusal, TypeZeroAndTypeTwoFilesAreRefused) {
    // Guards against rewriting a file that opens as it is and against playing independent
    // patterns at once.
    EXPECT_EQ(RefusalOf(SongFile({0x00, 0xFF, 0x2F, 0x00})),
              "This MIDI file is already type 0 (a single track): it needs no merge and can be "
              "opened as it is.");
    EXPECT_EQ(RefusalOf(MultiTrackFile({{0x00, 0xFF, 0x2F, 0x00}, {0x00, 0xFF, 0x2F, 0x00}}, 2)),
              "Type 2 MIDI files (independent patterns) cannot be merged into one song.");
}

TEST(MergeRefusal, FileWithoutTrackChunksIsRefused) {
    // Guards against writing an empty song.
    EXPECT_EQ(RefusalOf(Concat({FileHeader(1, 1), Chunk("XFIH", {1})})),
              "This MIDI file has no tracks to merge.");
    EXPECT_EQ(RefusalOf(FileHeader(1, 0)), "This MIDI file has no tracks to merge.");
}

TEST(MergeRefusal, DamagedTracksAreRefusedNamingTheTrack) {
    // Guards against reading beyond the file or the chunk and against inventing a status.
    const Bytes good = {0x00, 0xFF, 0x2F, 0x00};  // 0: End of Track
    const struct {
        Bytes file;
        int track;
    } cases[] = {
        // Track 2 declares 9 bytes, the file holds 4.
        {Concat({MultiTrackFile({good}), {'M', 'T', 'r', 'k', 0, 0, 0, 9}, good}), 2},
        // Note-on missing its velocity at the end of the chunk, before another chunk.
        {MultiTrackFile({good, {0x00, 0x90, 0x3C}, good}), 2},
        // A data byte with no status before it.
        {MultiTrackFile({good, {0x00, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00}}), 2},
        // F1 (MIDI time code) is no event of a file.
        {MultiTrackFile({{0x00, 0xF1, 0x00, 0x00, 0xFF, 0x2F, 0x00}}), 1},
        // A delta time whose continuation bits run off the file.
        {MultiTrackFile({good, good, {0x81, 0x80}}), 3},
        // A sysex longer than the file.
        {MultiTrackFile({{0x00, 0xF0, 0x7F, 0x01}}), 1},
    };
    for (const auto& damaged : cases) {
        EXPECT_EQ(RefusalOf(damaged.file), DamagedTrackMessage(damaged.track));
    }
    EXPECT_EQ(DamagedTrackMessage(3),
              "This MIDI file is damaged: track 3 is cut short or holds bytes that are not MIDI "
              "events.");
}

// --- Walking a track chunk at any offset ---

TEST(TrackWalkerOfAChunk, WalksTheChunkWhereverItStands) {
    // Guards against the walk starting at the single track of a type-0 song (offset 14).
    const Bytes file =
        MultiTrackFile({{0x00, 0xFF, 0x2F, 0x00}, {0x00, 0x90, 0x3C, 0x64, 0x10, 0x3E, 0x64}});
    const ByteImage image(file);
    WalkState walk;
    TrackWalker walker(image, walk, 26);  // second MTrk
    EXPECT_EQ(walk.walkPos, 33);          // the last byte of its length field
    EXPECT_EQ(walker.TrackEnd(), 40);
    const TrackEvent first = walker.Next();
    EXPECT_EQ(first.statusPos, 35);
    const TrackEvent second = walker.Next();
    EXPECT_TRUE(second.runningStatus);
    EXPECT_EQ(second.status, 0x90);
    EXPECT_EQ(second.absoluteTime, 16);
    EXPECT_TRUE(walker.AtEnd());
}

// --- The merge command ---

TEST(MergeMidiFileCommand, WritesTheMergedFile) {
    // Guards against a command that merges but writes nothing or something else.
    test::TempDir dir;
    StubSession t;
    const Bytes file = MultiTrackFile({{0x00, 0xFF, 0x2F, 0x00}, {0x00, 0x90, 0x3C, 0x64}});
    const std::string in = dir.Write("in.mid", file);
    const std::string out = (dir.Path() / "out.mid").string();
    EXPECT_TRUE(MergeMidiFile(t.session, in, out));
    EXPECT_EQ(test::ReadFile(out), Merge(file));
    EXPECT_TRUE(t.platform.messages.empty());
    EXPECT_TRUE(t.platform.questions.empty());
}

TEST(MergeMidiFileCommand, RefusalShowsItsMessageAndWritesNothing) {
    // Guards against a refusal reported as a run-time error or leaving a file behind.
    test::TempDir dir;
    StubSession t;
    const std::string in = dir.Write("type0.mid", SongFile({0x00, 0xFF, 0x2F, 0x00}));
    const std::string out = (dir.Path() / "out.mid").string();
    EXPECT_FALSE(MergeMidiFile(t.session, in, out));
    EXPECT_EQ(t.platform.messages, std::vector<std::string>{kAlreadyTypeZeroMessage});
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(MergeMidiFileCommand, ExistingFileIsReplacedOnlyWhenAnsweredOk) {
    // Guards against overwriting a file without asking.
    test::TempDir dir;
    StubSession t;
    const Bytes file = MultiTrackFile({{0x00, 0x90, 0x3C, 0x64}});
    const std::string in = dir.Write("in.mid", file);
    const std::string out = dir.Write("out.mid", {1, 2, 3});
    t.platform.okAnswers = {false};
    EXPECT_FALSE(MergeMidiFile(t.session, in, out));
    EXPECT_EQ(test::ReadFile(out), (Bytes{1, 2, 3}));
    t.platform.okAnswers = {true};
    EXPECT_TRUE(MergeMidiFile(t.session, in, out));
    EXPECT_EQ(test::ReadFile(out), Merge(file));
    EXPECT_EQ(t.platform.questions, std::vector<std::string>(2, "This will replace existing file"));
}

TEST(MergeMidiFileCommand, MissingInputGetsTheCommonReport) {
    // Guards against a missing file passing as an empty song.
    test::TempDir dir;
    StubSession t;
    EXPECT_FALSE(MergeMidiFile(t.session, (dir.Path() / "none.mid").string(),
                               (dir.Path() / "out.mid").string()));
    EXPECT_EQ(t.platform.messages, std::vector<std::string>{"This file is Not found."});
}

}  // namespace
}  // namespace zephrane
