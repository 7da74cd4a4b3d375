#include "app/main_window_view.h"

#include <gtest/gtest.h>

#include "app/session.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

// Guards against chords left from the song before an edit, or from a file no longer open.
TEST(MainWindowViewTest, ChordsFollowTheSongBytesAndLeaveWithTheFile) {
    StubSession test;
    Session& s = test.session;
    s.song.fileName = "song.mid";
    s.song.bytes = ByteImage(test::SongFile(test::TrackBuilder()
                                                .NoteOn(0, 1, 48, 90)  // 22: C3
                                                .NoteOn(0, 1, 64, 90)  // 26: E4, its key at 28
                                                .NoteOn(0, 1, 67, 90)  // 30: G4
                                                .EndOfTrack(1920)));
    RefreshMainWindowView(s);
    EXPECT_EQ(s.view.chords, (std::vector<ChordChange>{{0, 1, "C"}}));
    s.song.bytes.Set(28, 63);  // E4 made Eb4
    RefreshMainWindowView(s);
    EXPECT_EQ(s.view.chords, (std::vector<ChordChange>{{0, 1, "Cm"}}));
    s.song.fileName.clear();
    RefreshMainWindowView(s);
    EXPECT_TRUE(s.view.chords.empty());
}

}  // namespace
}  // namespace zephrane
