// What the merges of the CLI's golden digests and of tests/e2e do not reach: chunks of other
// types, a long header, an SMPTE division, the SysEx escape, and the damaged files, each refused
// with its message.

#include "song/merge_tracks.h"

#include <gtest/gtest.h>

#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;
using test::MultiTrackFile;

const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};  // End of Track, delta 0

// Guards against an unknown chunk read as a track, a 6-byte header assumed, an SMPTE division (25
// frames a second, 40 ticks a frame) reset, the escape F7 not copied byte for byte or taken for
// a running status, and the song ended with the track that ends last in the file.
TEST(MergeToTypeZero, SkipsOtherChunksAndKeepsTheDivisionAndTheEscape) {
    const Bytes file = Concat({Chunk("MThd", {0, 1, 0, 2, 0xE7, 0x28, 0, 0}),
                               Chunk("XFIH", {1}),
                               Chunk("MTrk", {0x00, 0xFF, 0x03, 0x01, 'S', 0x40, 0xFF, 0x2F, 0x00}),
                               Chunk("Junk", {}),
                               Chunk("MTrk", {0x00, 0x92, 0x3C, 0x64, 0x00, 0xF7, 0x02, 0xF3, 0x01,
                                              0x10, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}),
                               {0x00, 0x00, 0x00}});  // padding too short for a chunk
    const Bytes merged = {0x00, 0xFF, 0x03, 0x01, 'S',  0x00, 0x92, 0x3C, 0x64, 0x00, 0xF7,
                          0x02, 0xF3, 0x01, 0x10, 0x92, 0x3C, 0x00, 0x30, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(MergeToTypeZero(ByteImage(file)).Bytes(), test::SongFile(merged, 0xE728));
}

TEST(MergeToTypeZero, RefusesEachFaultWithItsMessage) {
    const std::string notMidi = kNotMidiFileMessage, noTracks = kNoTracksMessage;
    const struct {
        Bytes file;
        std::string message;
    } cases[] = {
        {{'M', 'T', 'h', 'd'}, notMidi},
        {Concat({{'R', 'I', 'F', 'F', 0, 0, 0, 4, 'R', 'M', 'I', 'D'}, MultiTrackFile({kEnd})}),
         notMidi},
        {Concat({Chunk("MThd", {0, 1, 0, 1}), Bytes(6, 0)}), notMidi},
        {MultiTrackFile({kEnd}, 3), notMidi},
        {Concat({test::FileHeader(1, 1), Chunk("XFIH", {1})}), noTracks},
        {test::FileHeader(1, 0), noTracks},
        // Track 2 declares 9 bytes, the file holds 4.
        {Concat({MultiTrackFile({kEnd}), {'M', 'T', 'r', 'k', 0, 0, 0, 9}, kEnd}),
         DamagedTrackMessage(2)},
        // A note-on missing its velocity before another chunk; a data byte with no status.
        {MultiTrackFile({kEnd, {0x00, 0x90, 0x3C}, kEnd}), DamagedTrackMessage(2)},
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
