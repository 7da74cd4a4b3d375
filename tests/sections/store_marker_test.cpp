#include "sections/sections.h"

#include <gtest/gtest.h>

#include "app/section_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::TrackBuilder;

// A style's CASM behind the track: the track length must not count it, nor the marker move it.
const Bytes kCasm = {'C', 'A', 'S', 'M', 0, 0, 0, 4, 'C', 'S', 'E', 'G'};

// The marker takes the delta of the measure's first event, which follows at delta 0 with its
// status byte written out, also where it had running status after a text event.
TEST(StoreMarker, RunningStatusEventAtTheBarLineGetsItsStatusByteWrittenOut) {
    for (bool textBefore : {false, true}) {
        SCOPED_TRACE(textBefore);
        TrackBuilder song;
        TrackBuilder expected;
        for (TrackBuilder* track : {&song, &expected}) {
            track->TimeSignature(0, 4, 2).NoteOn(0, 2, 60, 100);
            if (textBefore) track->Text(0, 1, "on");
        }
        song.RunningStatus(1920, {60, 0}).EndOfTrack();
        expected.Marker(1920, ">Main A").NoteOn(0, 2, 60, 0).EndOfTrack();
        StubSession test;
        test.session.song.bytes = ByteImage(Concat({test::SongFile(song), kCasm}));
        ASSERT_TRUE(StoreMarker(test.session, ">Main A", 1));
        EXPECT_EQ(test.session.song.bytes.Bytes(), Concat({test::SongFile(expected), kCasm}));
    }
}

}  // namespace
}  // namespace zephrane
