#include "song/walker.h"

#include <gtest/gtest.h>

#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::Headers;
using test::TrackBuilder;

TEST(TrackWalker, StepsOverEveryKindOfEventToItsLastByte) {
    const Bytes events = Concat({
        {0x00, 0x92, 60, 100},                             // 22: note-on, channel 3
        {0x81, 0x48, 64, 90},                              // 26: running status, delta 200
        {0x00, 0xC2, 5, 0x00, 70},                         // 30: program change, then running
        {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7},  // 35: GM System On
        Concat({{0x00, 0xF0, 0x81, 0x00}, Bytes(127, 0x11), {0xF7}}),  // 43: a 128-byte dump
        Concat({{0x00, 0xFF, 0x01, 0x81, 0x02}, Bytes(130, 'a')}),     // 175: a text of 130 bytes
        {0x00, 0xFF, 0x06, 0x00},                                      // 310: a marker without text
        {0x00, 71},                      // 314: running status on across SysEx and meta
        {0x00, 0xF7, 0x02, 0xF3, 0x01},  // 316: an escape
        {0x00, 72},                      // 321: running status on across the escape
        {0x00, 0xFF, 0x2F, 0x00},        // 323: End of Track
        {0x00, 0x90, 61, 1},             // behind the end: never read
    });
    // Each event's first and last delta byte, status, data and last byte positions, time, status
    // in force, whether under running status, meta type and data length.
    const std::vector<std::vector<int64_t>> expected = {
        {22, 22, 23, 24, 25, 0, 0x92, false, 0, 2},
        {26, 27, 28, 28, 29, 200, 0x92, true, 0, 2},
        {30, 30, 31, 32, 32, 200, 0xC2, false, 0, 1},
        {33, 33, 34, 34, 34, 200, 0xC2, true, 0, 1},
        {35, 35, 36, 38, 42, 200, 0xF0, false, 0, 5},
        {43, 43, 44, 47, 174, 200, 0xF0, false, 0, 128},
        {175, 175, 176, 180, 309, 200, 0xFF, false, 0x01, 130},
        {310, 310, 311, 314, 313, 200, 0xFF, false, 0x06, 0},
        {314, 314, 315, 315, 315, 200, 0xC2, true, 0, 1},
        {316, 316, 317, 319, 320, 200, 0xF7, false, 0, 2},
        {321, 321, 322, 322, 322, 200, 0xC2, true, 0, 1},
        {323, 323, 324, 327, 326, 200, 0xFF, false, 0x2F, 0},
    };
    const ByteImage image(Concat({Headers(uint32_t(events.size())), events}));
    WalkState walk;
    TrackWalker walker(image, walk);
    std::vector<std::vector<int64_t>> walked;
    while (!walker.AtEnd()) {
        const TrackEvent& e = walker.Next();
        walked.push_back({e.firstDeltaPos, e.lastDeltaPos, e.statusPos, e.dataPos, e.lastPos,
                          e.absoluteTime, e.status, e.runningStatus, e.metaType, e.dataLength});
    }
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(walk.walkPos, 324);  // the walk ends on the FF of End of Track
}

// Strict readers cancel running status at a meta or SysEx event: the status byte goes back in
// there and the track length grows with it; running status after a channel message stays, and so
// do the bytes behind the track. The CLI's golden digests hold it after a text and a SysEx event,
// here the escape; safe_save_test saves an image the walk cannot read as it is.
TEST(WriteStatusAfterMetaAndSysEx, SpellsOutTheStatusWhereStrictReadersNeedIt) {
    const Bytes escape = {0x00, 0xF7, 0x02, 0xF3, 0x01}, casm = {'C', 'A', 'S', 'M', 0, 0, 0, 1, 7};
    const auto track = [&](const Bytes& statusAfter) {
        TrackBuilder builder;
        builder.NoteOn(0, 3, 60, 100).RunningStatus(5, {61, 100}).Raw(escape);
        builder.Raw(Concat({{10}, statusAfter, {62, 100}})).RunningStatus(10, {64, 0});
        builder.Raw(escape).Program(0, 3, 5).EndOfTrack();
        return Concat(
            {Headers(static_cast<uint32_t>(builder.Events().size())), builder.Events(), casm});
    };
    ByteImage song(track({}));
    EXPECT_EQ(WriteStatusAfterMetaAndSysEx(song), 1);
    EXPECT_EQ(song.Bytes(), track({0x92}));
    EXPECT_EQ(WriteStatusAfterMetaAndSysEx(song), 0);
}

TEST(UpdateTrackLength, CountsTheTrackUpToItsEndOfTrackOrTheEndOfTheImage) {
    // A style loaded directly keeps its CASM chunk behind the track in the image.
    const Bytes casm = {'C', 'A', 'S', 'M', 0, 0, 0, 2, 1, 2}, note = {0x00, 0x90, 60, 100},
                end = {0x00, 0xFF, 0x2F, 0x00};
    for (const auto& [track, length] : std::vector<std::pair<Bytes, uint32_t>>{
             {end, 4}, {Concat({note, end, casm}), 8}, {Concat({note, {0x10, 0x80, 60, 0}}), 8}}) {
        ByteImage song(Concat({Headers(0), track}));
        UpdateTrackLength(song);
        EXPECT_EQ(song.ReadU32BE(kTrackLengthPos), length);
    }
}

}  // namespace
}  // namespace zephrane
