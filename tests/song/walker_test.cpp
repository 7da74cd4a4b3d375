#include "song/walker.h"

#include <gtest/gtest.h>

#include "song/error.h"
#include "support/error_of.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::Headers;
using test::TrackBuilder;

// The values and the cursor of the variable-length reader are covered in midi_test.
void ReadDeltaOf(const Bytes& bytes) {
    WalkState walk;
    ReadDeltaTime(ByteImage(bytes), walk);
}

using test::ErrorOf;

TEST(ReadDeltaTime, EndlessOrTruncatedQuantitiesFailInsteadOfRunningOn) {
    // Continuation bits on every byte: the value leaves 32 bits before the bytes run out.
    EXPECT_EQ(ErrorOf([] { ReadDeltaOf(Bytes(12, 0xFF)); }), 6);
    // A quantity cut off by the end of the image.
    EXPECT_EQ(ErrorOf([] { ReadDeltaOf({0x81, 0x80}); }), 9);
}

TEST(ReadMetaText, TwoByteLengthMovesTheCursorOverItsContinuationByte) {
    Bytes text(200, 'x');
    ByteImage image(Concat({{0xFF, 0x01, 0x81, 0x48}, text}));
    WalkState walk;
    ReadMetaText(image, walk);
    EXPECT_EQ(walk.dataLength, 200);
    EXPECT_EQ(walk.walkPos, 1);
    EXPECT_EQ(walk.metaText, std::string(200, 'x'));
}

TEST(ReadMetaText, EmptyTextAndTextRunningOffTheImage) {
    WalkState walk;
    walk.metaText = "old";
    ReadMetaText(ByteImage({0xFF, 0x06, 0x00}), walk);
    EXPECT_EQ(walk.dataLength, 0);
    EXPECT_EQ(walk.metaText, "");
    WalkState cut;
    EXPECT_EQ(ErrorOf([&] { ReadMetaText(ByteImage({0xFF, 0x06, 0x05, 'a'}), cut); }), 9);
}

TEST(UpdateTrackLength, CountsTheTrackUpToItsEndOfTrackEvent) {
    ByteImage song(Concat({Headers(0), {0x00, 0xFF, 0x2F, 0x00}}));
    UpdateTrackLength(song);
    EXPECT_EQ(song.ReadU32BE(kTrackLengthPos), 4u);
}

TEST(UpdateTrackLength, IgnoresBytesKeptBehindTheTrack) {
    // A style loaded directly keeps its CASM chunk behind the track in the image.
    const Bytes casm = {'C', 'A', 'S', 'M', 0, 0, 0, 2, 1, 2};
    ByteImage song(Concat({Headers(0), {0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00}, casm}));
    UpdateTrackLength(song);
    EXPECT_EQ(song.ReadU32BE(kTrackLengthPos), 8u);
}

TEST(UpdateTrackLength, WithoutEndOfTrackCountsToTheEndOfTheImage) {
    ByteImage song(Concat({Headers(0), {0x00, 0x90, 60, 100, 0x10, 0x80, 60, 0}}));
    UpdateTrackLength(song);
    EXPECT_EQ(song.ReadU32BE(kTrackLengthPos), 8u);
}

std::vector<TrackEvent> WalkAll(const Bytes& events) {
    ByteImage image(Concat({Headers(static_cast<uint32_t>(events.size())), events}));
    WalkState walk;
    TrackWalker walker(image, walk);
    std::vector<TrackEvent> all;
    while (!walker.AtEnd())
        all.push_back(walker.Next());
    return all;
}

TEST(TrackWalker, RunningStatusKeepsThePreviousStatusAndItsDataBytes) {
    const auto events = WalkAll({
        0x00,
        0x92,
        60,
        100,  // note-on, channel 3, at 22
        0x60,
        64,
        90,  // running status: another note-on at 26
        0x00,
        0xC2,
        5,  // program change: one data byte
        0x00,
        70,  // running status program change
        0x00,
        0xFF,
        0x2F,
        0x00,
    });
    ASSERT_EQ(events.size(), 5u);
    EXPECT_FALSE(events[0].runningStatus);
    EXPECT_TRUE(events[1].runningStatus);
    EXPECT_EQ(events[1].status, 0x92);
    EXPECT_EQ(events[1].Channel(), 3);
    EXPECT_EQ(events[1].dataPos, 27);
    EXPECT_EQ(events[1].lastPos, 28);
    EXPECT_EQ(events[1].absoluteTime, 0x60);
    EXPECT_EQ(events[3].dataPos, 33);
    EXPECT_EQ(events[3].lastPos, 33);
    EXPECT_TRUE(events[4].IsEndOfTrack());
}

TEST(TrackWalker, SysExLengthsAreVariableLengthQuantities) {
    Bytes dump(128, 0x11);
    dump.back() = 0xF7;
    const auto events = WalkAll(Concat({
        {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7},  // GM System On, one-byte length
        {0x00, 0xF0, 0x81, 0x00},
        dump,  // a 128-byte dump
        {0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00},
    }));
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].dataLength, 5);
    EXPECT_EQ(events[0].lastPos, 29);
    EXPECT_EQ(events[1].dataLength, 128);
    EXPECT_EQ(events[1].dataPos, 34);
    EXPECT_EQ(events[2].Kind(), 0x9);
}

TEST(TrackWalker, MetaLengthsOfEveryTypeAreVariableLengthQuantities) {
    const Bytes lyric(130, 'a');
    const auto events = WalkAll(Concat({
        {0x00, 0xFF, 0x05, 0x81, 0x02},
        lyric,  // lyric of 130 bytes
        {0x00, 0xFF, 0x7F, 0x81, 0x02},
        Bytes(130, 0x43),  // sequencer-specific of 130 bytes
        {0x00, 0xFF, 0x2F, 0x00},
    }));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].dataLength, 130);
    EXPECT_EQ(events[1].metaType, 0x7F);
    EXPECT_TRUE(events[2].IsEndOfTrack());
}

// Guards against the data bytes after a meta or system-exclusive event being read as another
// such event: those carry their own status and leave the channel's running status in force.
TEST(TrackWalker, RunningStatusGoesOnAcrossMetaAndSysExEvents) {
    const struct {
        const char* name;
        Bytes event;  // with delta 0
    } interruptions[] = {
        {"text", TrackBuilder().Text(0, 1, "mid").Events()},
        {"marker", TrackBuilder().Marker(0, "Main A").Events()},
        {"tempo", TrackBuilder().Tempo(0, 500000).Events()},
        {"end of a zero-length meta", TrackBuilder().Meta(0, 0x7F, {}).Events()},
        {"sysex", TrackBuilder().SysEx(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).Events()},
        {"escape", {0x00, 0xF7, 0x02, 0xF3, 0x01}},
    };
    for (const auto& interruption : interruptions) {
        TrackBuilder track;
        track
            .NoteOn(0, 3, 60, 100)  // 22: channel 3 in force
            .Raw(interruption.event)
            .RunningStatus(10, {62, 100})
            .RunningStatus(10, {64, 0})
            .EndOfTrack();
        const auto events = WalkAll(track.Events());
        ASSERT_EQ(events.size(), 5u) << interruption.name;
        EXPECT_FALSE(events[1].IsChannelMessage()) << interruption.name;
        const auto after = static_cast<int32_t>(26 + interruption.event.size());
        for (int i : {2, 3}) {
            const TrackEvent& note = events[i];
            EXPECT_TRUE(note.runningStatus) << interruption.name;
            EXPECT_EQ(note.status, 0x92) << interruption.name;
            EXPECT_EQ(note.statusPos, after + 1 + 3 * (i - 2)) << interruption.name;
            EXPECT_EQ(note.dataPos, note.statusPos) << interruption.name;
            EXPECT_EQ(note.lastPos, note.statusPos + 1) << interruption.name;
            EXPECT_EQ(note.absoluteTime, 10 * (i - 1)) << interruption.name;
        }
        EXPECT_TRUE(events[4].IsEndOfTrack()) << interruption.name;
    }
}

// Guards against a written file that strict readers misread: they cancel running status at a meta
// or SysEx event, so the status byte goes back in there and the track length grows with it, while
// running status after a channel message stays, and so do the bytes behind the track.
TEST(WriteStatusAfterMetaAndSysEx, SpellsOutTheStatusWhereStrictReadersNeedIt) {
    const Bytes casm = {'C', 'A', 'S', 'M', 0, 0, 0, 2, 1, 2};
    const struct {
        const char* name;
        Bytes event;  // with delta 0
    } interruptions[] = {
        {"text", TrackBuilder().Text(0, 1, "mid").Events()},
        {"sysex", TrackBuilder().SysEx(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).Events()},
        {"escape", {0x00, 0xF7, 0x02, 0xF3, 0x01}},
    };
    for (const auto& interruption : interruptions) {
        const auto track = [&](const Bytes& statusAfter) {
            TrackBuilder builder;
            builder.NoteOn(0, 3, 60, 100)
                .RunningStatus(5, {61, 100})
                .Raw(interruption.event)
                .Raw(Concat({{10}, statusAfter, {62, 100}}))
                .RunningStatus(10, {64, 0})
                .Raw(interruption.event)
                .Program(0, 3, 5)
                .EndOfTrack();
            return builder.Events();
        };
        const Bytes loose = track({}), strict = track({0x92});
        ByteImage song(Concat({Headers(static_cast<uint32_t>(loose.size())), loose, casm}));
        EXPECT_EQ(WriteStatusAfterMetaAndSysEx(song), 1) << interruption.name;
        EXPECT_EQ(song.Bytes(),
                  Concat({Headers(static_cast<uint32_t>(strict.size())), strict, casm}))
            << interruption.name;
        EXPECT_EQ(WriteStatusAfterMetaAndSysEx(song), 0) << interruption.name;
    }
}

// Guards against a save that fails, or writes something else, for an image the walk cannot read
// (the output before any style is made) or a data byte with no channel status in force.
TEST(WriteStatusAfterMetaAndSysEx, LeavesWhatItCannotMendAsItIs) {
    for (const Bytes& bytes :
         {Bytes{'s', 't', 'y'},
          Concat({Headers(10), TrackBuilder().Tempo(0, 500000).Events(), {0x00, 0x3C, 0x64}}),
          Concat({Headers(40), TrackBuilder().Text(0, 1, "cut").NoteOn(0, 1, 60, 9).Events()})}) {
        ByteImage song(bytes);
        EXPECT_EQ(WriteStatusAfterMetaAndSysEx(song), 0);
        EXPECT_EQ(song.Bytes(), bytes);
    }
}

// Guards against a data byte at the start of a track, or after meta events only, taking a
// status from nowhere or from a meta event.
TEST(TrackWalker, RunningStatusWithoutAChannelStatusYetHasStatusZero) {
    for (const Bytes& before : {Bytes{}, TrackBuilder().Tempo(0, 500000).Events()}) {
        const auto events = WalkAll(Concat({before, {0x00, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00}}));
        const size_t orphan = before.empty() ? 0 : 1;
        ASSERT_GT(events.size(), orphan);
        EXPECT_TRUE(events[orphan].runningStatus);
        EXPECT_EQ(events[orphan].status, 0);
        EXPECT_FALSE(events[orphan].IsChannelMessage());
        EXPECT_TRUE(events.back().IsEndOfTrack());
    }
}

TEST(TrackWalker, ZeroLengthMetaLeavesTheCursorOnItsLengthByte) {
    const auto events = WalkAll({0x00, 0xFF, 0x01, 0x00, 0x00, 0xFF, 0x2F, 0x00});
    EXPECT_EQ(events[0].lastPos, 25);
}

TEST(TrackWalker, EndOfTrackLeavesTheCursorOnItsStatusByte) {
    Bytes events = {0x00, 0x90, 60, 1, 0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90, 61, 1};
    ByteImage image(Concat({Headers(static_cast<uint32_t>(events.size())), events}));
    WalkState walk;
    TrackWalker walker(image, walk);
    walker.Next();
    const TrackEvent end = walker.Next();
    EXPECT_TRUE(walker.AtEnd());
    EXPECT_EQ(walk.walkPos, 27);
    EXPECT_EQ(end.lastPos, 29);
}

TEST(TrackWalker, EventsRunningPastTheImageAreSubscriptErrors) {
    const Bytes cuts[] = {
        {0x00, 0x90, 60},             // note-on missing its velocity
        {0x00, 0xF0, 0x10, 0x01},     // sysex shorter than its length
        {0x00, 0xFF, 0x51, 0x03, 7},  // tempo cut inside its data
    };
    for (const Bytes& cut : cuts) {
        ByteImage image(Concat({Headers(100), cut}));
        WalkState walk;
        TrackWalker walker(image, walk);
        EXPECT_EQ(ErrorOf([&] {
                      while (!walker.AtEnd())
                          walker.Next();
                  }),
                  9);
    }
}

}  // namespace
}  // namespace zephrane
