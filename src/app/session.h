#pragma once
// All state of one running program, passed explicitly to every command. Tests create as many
// sessions as they like.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/scan_song.h"
#include "app/command_result.h"
#include "app/edit_history.h"
#include "app/main_window_view.h"
#include "app/platform.h"
#include "app/recent_files.h"
#include "app/settings.h"
#include "casm/casm_chunk.h"
#include "casm/casm_table.h"
#include "effects/effect_list.h"
#include "effects/effect_settings.h"
#include "sections/sections.h"
#include "song/error.h"
#include "song/song_image.h"
#include "song/walker.h"

namespace zephrane {

// Everything a session holds besides its platform; copyable, so that a refused load can put the
// session back as it was.
struct SessionState {
    SongImage song;
    ByteImage output{std::vector<uint8_t>(5001, 0)};  // the file being prepared or assembled
    int64_t outputWritePos = 0;                       // next free byte of the output image
    int64_t setupTime = 0;  // ticks of the kept events before the music starts, from the last
                            // preparation
    WalkState walk;
    ChannelTable channels;
    SongFacts facts;
    MeasureTable measures;
    MarkerList markers;
    SectionSlots sectionFlags{};          // sections present in the working file, by toolbar slot
    bool sectionMarkedSinceOpen = false;  // a section button pressed since the user opened a file
    CasmTable casm;
    // Per section marked on the song's own measures (its key, "Main A"): the chord its measures
    // were played over, as the player names chords ("Gm7"); the style's CASM gives the section
    // this source root and chord. A section without an entry takes the CASM table's.
    std::map<std::string, std::string> sectionChords;
    int64_t songsOpened = 0;            // files the user opened: a dialog knows its song by it
    bool useStyleCasm = false;          // "Use Style's Casm" selected rather than "Make Casm"
    CasmSnapshot casmSnapshot;          // the CASM settings chord conversion follows
    std::vector<int32_t> notedRecords;  // source roots of the style's Ctabs read in a conversion
    EffectSettings effects;
    EffectLists effectLists;  // the type lists of the effects dialog, from "cbo3.dat"
    Settings settings;
    RecentFiles recentFiles;
    MainWindowView view;

    // The parts of the state that a scan of the song image fills.
    ScanResults ScanParts() { return {walk, channels, facts, measures, markers}; }
};

// What a program running beside the window is, for what its end means to the user.
enum class WatchedProgramKind { StylePlayer, Preview, PreviewToWav };

struct WatchedProgram {
    int64_t processId = 0;
    WatchedProgramKind kind = WatchedProgramKind::StylePlayer;
    std::vector<std::string> arguments;  // as started; a WAV run adds "-o" and its file
    bool stopped = false;                // the user stopped it: its end says nothing
};

struct Session : SessionState {
    explicit Session(Platform& services) : platform(services) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    ChannelInfo& Channel(int midiChannel) { return channels.at(midiChannel - 1); }
    const ChannelInfo& Channel(int midiChannel) const { return channels.at(midiChannel - 1); }

    Platform& platform;
    // Undo and redo: kept out of the state, so that putting the state back leaves the steps.
    EditHistory history;
    // Programs started beside the window and not yet seen ending; a refused load keeps them.
    std::vector<WatchedProgram> watchedPrograms;
    // What the commands said so far: every common error report counts (a command stops at the
    // first one it sees, so that no later step builds a file from a half-processed song), and
    // the running command keeps its first refusal and its first report for its result.
    struct Said {
        int errorReports = 0;
        std::optional<std::string> refusal;
        std::optional<std::string> report;
    } said;
};

// Tells whether a common error report was shown since it was made.
class ErrorReportWatch {
  public:
    explicit ErrorReportWatch(const Session& session)
        : session_(session), shownBefore_(session.said.errorReports) {}
    bool AnyShown() const { return session_.said.errorReports != shownBefore_; }

  private:
    const Session& session_;
    int shownBefore_;
};

// Shows the message box of the common error report for `error` raised in `operationName`.
void ReportError(Session& session, std::string_view operationName, const RuntimeError& error);

// Shows `message`, which says why the running command does not do what was asked.
void Refuse(Session& session, const std::string& message);

// Runs the user action `body` (true when it did what was asked) and says what it came to: failed
// when it showed an error report, else done when it did, refused when it showed a refusal,
// cancelled otherwise. An action run inside another passes what it said on to the outer one.
template <typename Body>
CommandResult RunCommand(Session& session, Body&& body);

// Runs `body` at the boundary of an operation: a run-time failure inside it goes to the common
// error report under `operationName`. True when the body ran to its end.
template <typename Body>
bool Guarded(Session& session, std::string_view operationName, Body&& body);

// Runs `steps`; when they fail, by result, by a thrown failure or by a common error report shown on
// the way, the session is put back as it was before them.
template <typename Steps>
bool AllOrNothing(Session& session, Steps&& steps);

// The run-time error that an exception escaping an operation stands for.
RuntimeError AsRuntimeError(std::exception_ptr failure);

template <typename Body>
bool Guarded(Session& session, std::string_view operationName, Body&& body) {
    try {
        body();
        return true;
    } catch (...) {
        ReportError(session, operationName, AsRuntimeError(std::current_exception()));
        return false;
    }
}

// The result of a command that said `said` and did (or not) what was asked.
CommandResult ResultOf(const Session::Said& said, bool done);

template <typename Body>
CommandResult RunCommand(Session& session, Body&& body) {
    Session::Said outer = std::exchange(session.said, {session.said.errorReports, {}, {}});
    // Hands what this command said on to the command around it, also when the body throws.
    struct PassOn {
        Session& session;
        Session::Said& outer;
        ~PassOn() {
            Session::Said& inner = session.said;
            if (!outer.refusal) outer.refusal = std::move(inner.refusal);
            if (!outer.report) outer.report = std::move(inner.report);
            outer.errorReports = inner.errorReports;
            inner = std::move(outer);
        }
    } passOn{session, outer};
    const bool done = body();
    return ResultOf(session.said, done);
}

template <typename Steps>
bool AllOrNothing(Session& session, Steps&& steps) {
    const SessionState before = session;
    const ErrorReportWatch watch(session);
    bool done = false;
    try {
        done = steps() && !watch.AnyShown();
    } catch (...) {
        static_cast<SessionState&>(session) = before;
        throw;
    }
    if (!done) static_cast<SessionState&>(session) = before;
    return done;
}

}  // namespace zephrane
