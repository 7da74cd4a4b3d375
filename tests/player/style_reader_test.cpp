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

// A 3/4 style at 480 ticks a quarter (1440 a bar): set-up, "Intro A" one bar, "Main A" two bars.
test::TrackBuilder ThreeFourTrack() {
    test::TrackBuilder track;
    track.Marker(0, "SFF1").Tempo(0, 600000).TimeSignature(0, 3, 2).Program(0, 11, 33);
    track.Marker(1440, "Intro A").NoteOn(0, 11, 40, 90);
    // Running status: a second note-on and a note-on of velocity 0 as the release.
    track.Raw({0x00, 43, 80}).Raw({0x83, 0x60, 40, 0}).NoteOff(0, 11, 43);
    return track.Marker(960, "Main A ").NoteOn(0, 12, 60, 100).NoteOff(2880, 12, 60).EndOfTrack();
}

// The style with a CASM chunk of one CSEG for `sections` holding these records.
Bytes StyleWithCasm(const std::string& sections, const Bytes& records) {
    const Bytes cseg = Concat({Chunk("Sdec", Bytes(sections.begin(), sections.end())), records});
    return Concat({test::SongFile(ThreeFourTrack()), Chunk("CASM", Chunk("CSEG", cseg))});
}

// A Ctab (or Ctb2) record: channel, name, destination (the same channel), editable, note mute,
// chord mute, source root, source chord, then the rule fields.
Bytes Record(const std::string& type, uint8_t channel, std::string name, uint8_t root,
             uint8_t chord, const Bytes& rules) {
    name.resize(8, ' ');
    return Chunk(type, Concat({{channel},
                               Bytes(name.begin(), name.end()),
                               {channel, 0, 0x0F, 0xFE, 0x03, 0xFF, 0xFF, 0xFF, 0xFD, root, chord},
                               rules}));
}

TEST(StyleReaderTest, ReadsTimingSectionsEventsAndTheRecordsOfCtabCnttAndCtb2) {
    // Guards against bars of the wrong length (3/4), a wrong set-up end, section markers with
    // trailing blanks not recognised, running status lost, record fields read from the wrong
    // bytes, a Cntt that does not refine the record before it, a Ctb2 read from its low or high
    // range (notes 48 to 84 are its middle), and a section no CSEG names played with another
    // section's records.
    const Bytes records = Concat(
        {Record("Ctab", 10, "Bass", 2, 8, {1, 3, 5, 28, 100, 4, 0}), Chunk("Cntt", {10, 0x85}),
         Record("Ctb2", 11, "Chord 1", 9, 10, {48, 84, 1,  0,  1,   10, 20, 0, 0, 1, 7, 36, 96, 2,
                                               1,  5,  11, 90, 127, 5,  0,  0, 0, 0, 0, 0,  0})});
    const PlayableStyle style = ReadPlayableStyle(ByteImage(StyleWithCasm("Intro A", records)));
    EXPECT_EQ((std::vector<int64_t>{style.division, style.tempo, style.numerator, style.BarTicks(),
                                    style.setUpEnd, style.hasCasm}),
              (std::vector<int64_t>{480, 600000, 3, 1440, 1440, true}));
    std::string sections;
    for (const StyleSection& section : style.sections)
        sections += section.name + " " + std::to_string(section.start) + "-" +
                    std::to_string(section.end) + ";";
    EXPECT_EQ(sections, "Intro A 1440-2880;Main A 2880-5760;");
    ASSERT_EQ(style.events.size(), 7u);
    const StyleEvent& running = style.events[2];
    EXPECT_EQ((std::vector<int64_t>{running.status, running.data1, style.events[3].IsNoteOff(),
                                    style.events[3].tick}),
              (std::vector<int64_t>{0x9A, 43, true, 1440 + 480}));
    EXPECT_EQ(&DefaultSection(style), &style.sections[1]);
    EXPECT_EQ(FindSection(style, "main a"), &style.sections[1]);

    EXPECT_TRUE(style.notes.empty()) << style.notes.front();
    const auto [parts, defaults] = PartsFor(style, "Intro A");
    EXPECT_FALSE(defaults);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].name + "|" + parts[1].name, "Bass|Chord 1");
    const auto fields = [](const PartRule& p) {
        return std::vector<int>{p.sourceChannel, p.destination,  p.noteMute[0], p.noteMute[1],
                                p.chordMute[0],  p.chordMute[4], p.sourceRoot,  p.sourceChord,
                                p.rootFixed,     int(p.ntt),     p.bassOn,      p.highKey,
                                p.lowLimit,      p.highLimit,    p.retrigger};
    };
    // Cntt 5: harmonic minor with the bass-on bit.
    EXPECT_EQ(fields(parts[0]), (std::vector<int>{10, 10, 0x0F, 0xFE, 0x03, 0xFD, 2, 8, true,
                                                  int(Ntt::kHarmonicMinor), true, 5, 28, 100,
                                                  kRetriggerRetriggerToRoot}));
    EXPECT_EQ(fields(parts[1]),
              (std::vector<int>{11, 11, 0x0F, 0xFE, 0x03, 0xFD, 9, 10, false, int(Ntt::kMelody),
                                false, 7, 36, 96, kRetriggerPitchShiftToRoot}));
    EXPECT_TRUE(PartsFor(style, "Main A").defaults);
}

TEST(StyleReaderTest, DamagedOrUnusableCasmFallsBackToTheDefaultParts) {
    // Guards against a damaged CASM chunk stopping the player, a record for a destination outside
    // 8-15 played on a keyboard channel, and a section left silent (or played with another
    // section's records) when no CSEG holds a usable record for it.
    Bytes file =
        StyleWithCasm("Intro A,Main A", Record("Ctab", 3, "Lost", 0, 2, {0, 2, 7, 0, 127, 1, 0}));
    const PlayableStyle style = ReadPlayableStyle(ByteImage(file));
    ASSERT_EQ(style.notes.size(), 1u);
    EXPECT_NE(style.notes[0].find("feeds destination 3"), std::string::npos) << style.notes[0];
    const auto [parts, defaults] = PartsFor(style, "Main A");
    EXPECT_TRUE(defaults);
    ASSERT_EQ(parts.size(), 8u);
    EXPECT_EQ(parts[0].destination, 8);
    EXPECT_TRUE(parts[1].rootFixed);
    EXPECT_EQ((std::vector<Ntt>{parts[2].ntt, parts[3].ntt, parts[6].ntt}),
              (std::vector<Ntt>{Ntt::kBass, Ntt::kChord, Ntt::kMelody}));

    file[test::SongFile(ThreeFourTrack()).size() + 7] += 10;  // CASM claims 10 bytes too many
    const PlayableStyle damaged = ReadPlayableStyle(ByteImage(file));
    ASSERT_FALSE(damaged.notes.empty());
    EXPECT_EQ(damaged.notes[0].rfind("CASM: \"CASM\" at offset", 0), 0u) << damaged.notes[0];
    EXPECT_TRUE(PartsFor(damaged, "Main A").defaults);
}

TEST(StyleReaderTest, DamagedFilesAreRefusedWithAMessage) {
    // Guards against undefined behaviour or an unexplained failure on files that are not styles.
    const Bytes good = test::SongFile(ThreeFourTrack()), wave = {'R', 'I', 'F', 'F', '0', '0'};
    for (const auto& [file, part] : std::vector<std::pair<Bytes, std::string>>{
             {Bytes(good.begin(), good.begin() + 40), "is cut short"},
             {Bytes(good.begin(), good.begin() + 10), "too few for a MIDI file"},
             {Concat({wave, Bytes(26, '0')}), "does not begin with \"MThd\""},
             {test::SongFile(ThreeFourTrack().Events(), 480, 1), "of type 1"},
             {test::SongFile(ThreeFourTrack().Events(), 0xE728), "ticks per quarter"},
             {Bytes(good.begin(), good.end() - 4), "no End of Track event"}}) {
        try {
            ReadPlayableStyle(ByteImage(file));
            ADD_FAILURE() << "no refusal; expected " << part;
        } catch (const PlayerError& error) {
            EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace zephrane::player
