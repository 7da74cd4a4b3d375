// The merges of the CLI's golden digests and of tests/e2e hold what a merge writes; the damaged
// files they do not reach are refused here, each with its message.

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

TEST(MergeToTypeZero, RefusesEachFaultWithItsMessage) {
    const std::string notMidi = kNotMidiFileMessage, noTracks = kNoTracksMessage,
                      track2 = DamagedTrackMessage(2);
    const Bytes riff = {'R', 'I', 'F', 'F', 0, 0, 0, 4, 'R', 'M', 'I', 'D'};
    const std::pair<Bytes, std::string> cases[] = {
        {{'M', 'T', 'h', 'd'}, notMidi},
        {Concat({riff, MultiTrackFile({kEnd})}), notMidi},
        {Concat({Chunk("MThd", {0, 1, 0, 1}), Bytes(6, 0)}), notMidi},
        {MultiTrackFile({kEnd}, 3), notMidi},
        {Concat({test::FileHeader(1, 1), Chunk("XFIH", {1})}), noTracks},
        {test::FileHeader(1, 0), noTracks},
        // Track 2 declares 9 bytes, the file holds 4.
        {Concat({MultiTrackFile({kEnd}), {'M', 'T', 'r', 'k', 0, 0, 0, 9}, kEnd}), track2},
        // A note-on missing its velocity before another chunk; a data byte with no status.
        {MultiTrackFile({kEnd, {0x00, 0x90, 0x3C}, kEnd}), track2},
        {MultiTrackFile({kEnd, Concat({{0x00, 0x3C, 0x64}, kEnd})}), track2},
        // F1 (MIDI time code) is no event of a file.
        {MultiTrackFile({Concat({{0x00, 0xF1, 0x00}, kEnd})}), DamagedTrackMessage(1)},
        // A delta time whose continuation bits run off the file; a sysex longer than the file.
        {MultiTrackFile({kEnd, kEnd, {0x81, 0x80}}), DamagedTrackMessage(3)},
        {MultiTrackFile({{0x00, 0xF0, 0x7F, 0x01}}), DamagedTrackMessage(1)},
    };
    for (const auto& [file, message] : cases) {
        try {
            MergeToTypeZero(ByteImage(file));
            ADD_FAILURE() << "merged; expected " << message;
        } catch (const MergeRefused& refusal) {
            EXPECT_EQ(refusal.what(), message);
        }
    }
    EXPECT_EQ(DamagedTrackMessage(3),
              "This MIDI file is damaged: track 3 is cut short or holds bytes that are not MIDI "
              "events.");
}

}  // namespace
}  // namespace zephrane
