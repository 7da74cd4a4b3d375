// Reading a style for playing: timing, section markers, channel events and the part rules of
// the CASM records (Ctab, Cntt, the middle range of Ctb2), and clear refusals of damaged files.

#include "player/style_reader.h"

#include <gtest/gtest.h>

#include "player/player_error.h"
#include "support/midi_builder.h"

namespace zephrane::player {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A 3/4 style at 480 ticks a quarter (1440 a bar): set-up, "Intro A" one bar, "Main A" two bars.
test::TrackBuilder ThreeFourTrack() {
    test::TrackBuilder track;
    track.Marker(0, "SFF1").Tempo(0, 600000).TimeSignature(0, 3, 2).Program(0, 11, 33);
    track.Marker(1440, "Intro A").NoteOn(0, 11, 40, 90);
    // Running status: a second note-on and a note-on of velocity 0 as the release.
    track.Raw({0x00, 43, 80}).Raw({0x83, 0x60, 40, 0}).NoteOff(0, 11, 43);
    track.Marker(960, "Main A ").NoteOn(0, 12, 60, 100).NoteOff(2880, 12, 60);
    track.EndOfTrack();
    return track;
}

// The data of a Ctab record before its rule fields: channel, name, destination, editable, note
// mute, chord mute, source root, source chord.
Bytes RecordHead(uint8_t channel, const std::string& name, uint8_t destination, uint8_t root,
                 uint8_t chord) {
    Bytes data = {channel};
    std::string padded = name;
    padded.resize(8, ' ');
    data.insert(data.end(), padded.begin(), padded.end());
    data.insert(data.end(),
                {destination, 0, 0x0F, 0xFE, 0x03, 0xFF, 0xFF, 0xFF, 0xFD, root, chord});
    return data;
}

TEST(StyleReaderTest, ReadsTimingSectionsAndEvents) {
    // Guards against bars of the wrong length (3/4), a wrong set-up end, section markers with
    // trailing blanks not recognised, and running status lost.
    const PlayableStyle style = ReadPlayableStyle(ByteImage(test::SongFile(ThreeFourTrack())));
    EXPECT_EQ((std::vector<int64_t>{style.division, style.tempo, style.numerator, style.BarTicks(),
                                    style.setUpEnd, style.hasCasm}),
              (std::vector<int64_t>{480, 600000, 3, 1440, 1440, false}));
    ASSERT_EQ(style.sections.size(), 2u);
    const StyleSection& intro = style.sections[0];
    EXPECT_EQ(intro.name + " " + std::to_string(intro.start) + "-" + std::to_string(intro.end),
              "Intro A 1440-2880");
    EXPECT_EQ(style.sections[1].name + " " + std::to_string(style.sections[1].end), "Main A 5760");
    ASSERT_EQ(style.events.size(), 7u);
    EXPECT_EQ(style.events[2].status, 0x9A);  // under running status
    EXPECT_EQ(style.events[2].data1, 43);
    EXPECT_TRUE(style.events[3].IsNoteOff());
    EXPECT_EQ(style.events[3].tick, 1440 + 480);
    EXPECT_EQ(&DefaultSection(style), &style.sections[1]);
    EXPECT_EQ(FindSection(style, "main a"), &style.sections[1]);
}

TEST(StyleReaderTest, ReadsCtabCnttAndTheMiddleRangeOfCtb2) {
    // Guards against fields read from the wrong bytes, a Cntt that does not refine the record
    // before it, a Ctb2 read from its low or high range, and a section no CSEG names played
    // with another section's records.
    Bytes ctab = RecordHead(10, "Bass", 10, 2, 8);
    ctab.insert(ctab.end(), {1, 3, 5, 28, 100, 4, 0});
    Bytes ctb2 = RecordHead(11, "Chord 1", 11, 9, 10);
    ctb2.insert(ctb2.end(), {48, 84});                // middle range: notes 48 to 84
    ctb2.insert(ctb2.end(), {1, 0, 1, 10, 20, 0});    // low range
    ctb2.insert(ctb2.end(), {0, 1, 7, 36, 96, 2});    // middle range
    ctb2.insert(ctb2.end(), {1, 5, 11, 90, 127, 5});  // high range
    ctb2.insert(ctb2.end(), {0, 0, 0, 0, 0, 0, 0});
    const Bytes cseg = Concat({Chunk("Sdec", Text("Intro A")), Chunk("Ctab", ctab),
                               Chunk("Cntt", {10, 0x85}), Chunk("Ctb2", ctb2)});
    const Bytes file =
        Concat({test::SongFile(ThreeFourTrack()), Chunk("CASM", Chunk("CSEG", cseg))});
    const PlayableStyle style = ReadPlayableStyle(ByteImage(file));
    EXPECT_TRUE(style.notes.empty()) << style.notes.front();
    const auto [parts, defaults] = PartsFor(style, "Intro A");
    EXPECT_FALSE(defaults);
    ASSERT_EQ(parts.size(), 2u);
    const PartRule& bass = parts[0];
    EXPECT_EQ(bass.name, "Bass");
    EXPECT_EQ(bass.noteMute, (std::array<uint8_t, 2>{0x0F, 0xFE}));
    EXPECT_EQ(bass.chordMute, (std::array<uint8_t, 5>{0x03, 0xFF, 0xFF, 0xFF, 0xFD}));
    // Cntt 5: harmonic minor with the bass-on bit.
    const auto fields = [](const PartRule& p) {
        return std::vector<int>{p.sourceChannel, p.destination, p.sourceRoot,
                                p.sourceChord,   p.rootFixed,   static_cast<int>(p.ntt),
                                p.bassOn,        p.highKey,     p.lowLimit,
                                p.highLimit,     p.retrigger};
    };
    EXPECT_EQ(fields(bass), (std::vector<int>{10, 10, 2, 8, true, int(Ntt::kHarmonicMinor), true, 5,
                                              28, 100, kRetriggerRetriggerToRoot}));
    EXPECT_EQ(fields(parts[1]), (std::vector<int>{11, 11, 9, 10, false, int(Ntt::kMelody), false, 7,
                                                  36, 96, kRetriggerPitchShiftToRoot}));
    EXPECT_TRUE(PartsFor(style, "Main A").defaults);
}

TEST(StyleReaderTest, DamagedOrUnusableCasmFallsBackToTheDefaultParts) {
    // Guards against a damaged CASM chunk stopping the player, a record for a destination outside
    // 8-15 played on a keyboard channel, and a section left silent (or played with another
    // section's records) when no CSEG holds a usable record for it.
    Bytes lost = RecordHead(3, "Lost", 3, 0, 2);
    lost.insert(lost.end(), {0, 2, 7, 0, 127, 1, 0});
    Bytes casm =
        Chunk("CASM",
              Chunk("CSEG", Concat({Chunk("Sdec", Text("Intro A,Main A")), Chunk("Ctab", lost)})));
    const PlayableStyle style =
        ReadPlayableStyle(ByteImage(Concat({test::SongFile(ThreeFourTrack()), casm})));
    ASSERT_EQ(style.notes.size(), 1u);
    EXPECT_NE(style.notes[0].find("feeds destination 3"), std::string::npos) << style.notes[0];
    const auto [parts, defaults] = PartsFor(style, "Main A");
    EXPECT_TRUE(defaults);
    ASSERT_EQ(parts.size(), 8u);
    EXPECT_EQ(parts[0].destination, 8);
    EXPECT_TRUE(parts[1].rootFixed);
    EXPECT_EQ((std::vector<Ntt>{parts[2].ntt, parts[3].ntt, parts[6].ntt}),
              (std::vector<Ntt>{Ntt::kBass, Ntt::kChord, Ntt::kMelody}));

    casm[7] += 10;  // the CASM chunk claims 10 bytes more than the file holds
    const PlayableStyle damaged =
        ReadPlayableStyle(ByteImage(Concat({test::SongFile(ThreeFourTrack()), casm})));
    ASSERT_FALSE(damaged.notes.empty());
    EXPECT_EQ(damaged.notes[0].rfind("CASM: \"CASM\" at offset", 0), 0u) << damaged.notes[0];
    EXPECT_TRUE(PartsFor(damaged, "Main A").defaults);
}

void ExpectRefusal(const Bytes& file, const std::string& part) {
    try {
        ReadPlayableStyle(ByteImage(file));
        FAIL() << "no refusal; expected " << part;
    } catch (const PlayerError& error) {
        EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what();
    }
}

TEST(StyleReaderTest, DamagedFilesAreRefusedWithAMessage) {
    // Guards against undefined behaviour or an unexplained failure on files that are not styles.
    const Bytes good = test::SongFile(ThreeFourTrack());
    ExpectRefusal(Bytes(good.begin(), good.begin() + 40), "is cut short");
    ExpectRefusal(Bytes(good.begin(), good.begin() + 10), "too few for a MIDI file");
    ExpectRefusal(Text("RIFF0000WAVEfmt 0000000000000000"), "does not begin with \"MThd\"");
    ExpectRefusal(test::SongFile(ThreeFourTrack().Events(), 480, 1), "of type 1");
    ExpectRefusal(test::SongFile(ThreeFourTrack().Events(), 0xE728), "ticks per quarter");
    test::TrackBuilder plain;
    plain.NoteOn(0, 1, 60, 100).NoteOff(480, 1, 60).EndOfTrack();
    ExpectRefusal(test::SongFile(plain), "no section markers");
    Bytes noEnd = test::SongFile(ThreeFourTrack());
    noEnd.resize(noEnd.size() - 4);  // without its End of Track event
    ExpectRefusal(noEnd, "no End of Track event");
}

}  // namespace
}  // namespace zephrane::player
