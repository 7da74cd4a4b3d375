// What a command comes to, as the window and the command line read it: done, cancelled, refused
// with the message shown, or failed with the report shown; a command run inside another passes
// its refusal on.

#include "app/command_result.h"

#include <gtest/gtest.h>

#include "app/main_commands.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

TEST(CommandResultTest, SaysWhatTheCommandCameToWithTheMessageShown) {
    test::TempDir dir;
    StubSession stub;
    Session& s = stub.session;
    stub.platform.workingFilePath = (dir.Path() / "Zephwork.mid").string();
    const auto expect = [&](const CommandResult& result, Outcome outcome, const std::string& text) {
        EXPECT_EQ(result.outcome, outcome) << text;
        EXPECT_EQ(result.message, text);
        EXPECT_EQ(static_cast<bool>(result), outcome == Outcome::Done);
        EXPECT_EQ(stub.platform.messages,
                  text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text});
        stub.platform.messages.clear();
    };
    expect(PressSectionButton(s, "Main A"), Outcome::Refused,
           "A file has not yet been opened. Click on Open File to identify the file to use.");
    expect(OpenFileCommand(s), Outcome::Cancelled, "");  // the Open dialog closed unanswered
    const std::string song = dir.Write("song.mid", test::SongFile(test::MeasuresSong(12)));
    expect(OpenFileCommand(s, song), Outcome::Done, "");
    expect(SaveWorkingMidiFile(s, (dir.Path() / "no folder" / "x.mid").string()), Outcome::Failed,
           "That path doesn't exist.");
    // The merge inside "Convert Type 1 MIDI..." refuses a type-0 file; the command says so.
    stub.platform.openAnswers.push_back(song);
    stub.platform.saveAnswers.push_back((dir.Path() / "merged.mid").string());
    expect(ConvertTypeOneMidi(s), Outcome::Refused,
           "This MIDI file is already type 0 (a single track): it needs no merge and can be opened "
           "as it is.");
}

}  // namespace
}  // namespace zephrane
