#include "app/style_commands.h"

#include <filesystem>
#include <tuple>

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/effect_commands.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

class MakeStyleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test.platform.programDirectory = ZEPHRANE_DATA_DIR;
        test.platform.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        SetUpEffectLists(s);
    }
    // Opens a 12-measure song with Main A marked and channel 10 playing the rhythm part.
    void OpenMainASong() {
        ASSERT_TRUE(
            OpenChosenFile(s, dir.Write("song.mid", test::SongFile(test::MeasuresSong(12)))));
        ASSERT_TRUE(PressSectionButton(s, "Main A"));
        PickPart(s, 9, kRhythmPart);
    }
    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
};

TEST_F(MakeStyleTest, EffectSettingsOutliveTheReloadAfterABuild) {
    // The working file reloaded after a build still holds the set-up of its last preparation,
    // made before the user chose these effects: a second style must get them all the same.
    OpenMainASong();
    s.effects.reverb = 3;
    s.effects.reverbReturn = "80";
    s.effects.connection = VariationConnection::Insertion;
    s.effects.variation = 2;
    s.effects.pan = "64";
    const EffectSettings chosen = s.effects;
    for (int build = 1; build <= 2; ++build) {
        ASSERT_TRUE(MakeStyleFromMidi(s));
        const EffectSettings& e = s.effects;
        EXPECT_EQ(std::tie(e.reverb, e.reverbReturn, e.connection, e.variation, e.pan),
                  std::tie(chosen.reverb, chosen.reverbReturn, chosen.connection, chosen.variation,
                           chosen.pan))
            << "build " << build;
    }
}

}  // namespace
}  // namespace zephrane
