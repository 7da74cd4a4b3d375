// Damaged files must end in a report and a refused load, never in a crash or a read outside the
// image; the sanitizer build runs these too.

#include <random>

#include <gtest/gtest.h>

#include "app/session.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::Headers;
using test::TrackBuilder;

Bytes ValidSong() {
    TrackBuilder track;
    track.Text(0, 3, "Name")
        .Tempo(0, 500000)
        .TimeSignature(0, 4, 2)
        .KeySignature(0, 1, 0)
        .SysEx(0, {0x43, 0x10, 0x4C, 0x02, 0x01, 0x0C, 0x50, 0xF7})
        .Controller(0, 1, 0, 0)
        .Program(0, 1, 0)
        .NoteOn(0, 1, 60, 100)
        .Raw({0x83, 0x60, 62, 100})  // running status
        .NoteOff(1920, 1, 60)
        .EndOfTrack();
    return test::SongFile(track);
}

class MalformedFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(OpenChosenFile(s, dir.Write("good.mid", ValidSong())));
        goodBytes = s.song.bytes;
    }
    // Loads `file`; expects a refusal with exactly one message and the good song still loaded.
    std::string LoadRefused(const Bytes& file) {
        test.platform.messages.clear();
        EXPECT_FALSE(OpenChosenFile(s, dir.Write("bad.mid", file)));
        EXPECT_EQ(s.song.bytes, goodBytes);
        EXPECT_EQ(s.view.caption, "Zephrane   good.mid");
        EXPECT_EQ(test.platform.messages.size(), 1u);
        return test.platform.messages.empty() ? "" : test.platform.messages[0];
    }

    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
    ByteImage goodBytes;
};

constexpr char kNotTypeZero[] =
    "This is not a type 0 midi file. Use your sequencer program or your PSR to convert this midi "
    "to the proper form. Ssee Info/Help";

std::string General(int number, const char* description, const char* operation) {
    return "Error #: " + std::to_string(number) + ", " + description +
           ", encountered in Function " + operation +
           ". If the solution is not obvious, please report this to the author.";
}

TEST_F(MalformedFileTest, EveryTruncationIsRefusedWithAReport) {
    const Bytes song = ValidSong();
    for (size_t length = 1; length < song.size(); ++length) {
        SCOPED_TRACE(length);
        const std::string message = LoadRefused(Bytes(song.begin(), song.begin() + length));
        // Without the whole header and track chunk header there is no track; with them the
        // walk runs off the file.
        EXPECT_EQ(message,
                  length < 22 ? kNotTypeZero : General(9, "Subscript out of range", "GetInfo"));
    }
    EXPECT_EQ(LoadRefused({}), "Zephrane cannot read this file");
}

TEST_F(MalformedFileTest, TrackLengthLongerThanTheDataIsRefused) {
    Bytes song = ValidSong();
    song[21] = static_cast<uint8_t>(song[21] + 40);
    // Without End of Track the walk would run on to the declared end.
    Bytes noEnd(song.begin(), song.end() - 4);
    EXPECT_EQ(LoadRefused(noEnd), General(9, "Subscript out of range", "GetInfo"));
}

TEST_F(MalformedFileTest, EndlessVariableLengthQuantityIsAnOverflow) {
    const Bytes endless = Concat({Headers(24), Bytes(24, 0xFF)});
    EXPECT_EQ(LoadRefused(endless), General(6, "Overflow", "GetInfo"));
}

TEST_F(MalformedFileTest, SmpteDivisionIsRefusedBeforeTheMeasureArithmetic) {
    // Frames per second and ticks per frame are no ticks per quarter note to count measures in.
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).NoteOn(0, 1, 60, 1).EndOfTrack();
    EXPECT_EQ(LoadRefused(test::SongFile(track.Events(), 0xE728)), kNotTypeZero);
}

TEST_F(MalformedFileTest, AbsurdMeasureLengthsAreOverflowsNotHugeTables) {
    // 1/64 time at division 1: a measure of 1/16 tick puts the end far beyond 32767 measures.
    TrackBuilder track;
    track.TimeSignature(0, 1, 6).NoteOn(0x0FFFFFFF, 1, 60, 1).EndOfTrack();
    EXPECT_EQ(LoadRefused(test::SongFile(track.Events(), 1)), General(6, "Overflow", "GetInfo"));
}

TEST_F(MalformedFileTest, RandomByteFlipsNeverCrash) {
    const Bytes song = ValidSong();
    std::mt19937 random(20261206);
    for (int round = 0; round < 400; ++round) {
        Bytes damaged = song;
        for (int flips = 0; flips < 3; ++flips) {
            damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
        }
        test.platform.messages.clear();
        const bool opened = OpenChosenFile(s, dir.Write("flip.mid", damaged));
        if (!opened) {
            EXPECT_FALSE(test.platform.messages.empty()) << round;
        }
    }
}

}  // namespace
}  // namespace zephrane
