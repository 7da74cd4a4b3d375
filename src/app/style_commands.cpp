#include "app/style_commands.h"

#include <string>
#include <utility>
#include <vector>

#include "app/save_files.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "casm/casm_chunk.h"
#include "player/chords.h"
#include "sections/sections.h"
#include "style/make_style.h"

namespace zephrane {
namespace {

// The steps of a style build, which works on the song image: the working file is written, the
// song prepared, the track assembled, prepared again without the working markers, and the CASM
// appended.
class StyleBuild {
  public:
    explicit StyleBuild(Session& session) : s_(session) {}

    // False when a step failed (it has shown its report).
    bool Run();
    bool WorkingFileWritten() const { return workingFileWritten_; }
    // After a failure that escaped Run: the song image as it was before the assembly replaced it.
    void PutSongBack() {
        if (songReplaced_) s_.song.bytes = std::move(songBefore_);
    }
    void ForgetSongBefore() { songBefore_ = ByteImage(); }

  private:
    bool AssembleTrack();

    Session& s_;
    bool workingFileWritten_ = false;
    bool songReplaced_ = false;
    ByteImage songBefore_;  // the user's song while the assembly works on the song image
    std::string sectionList_;
};

bool StyleBuild::Run() {
    const std::string workingFile = s_.platform.paths.WorkingFilePath();
    if (!ScanSong(s_) || !SaveMidiFile(s_, workingFile)) return false;
    workingFileWritten_ = true;
    if (!PrepMidi(s_, s_.useStyleCasm ? PrepOption::AllChannels : PrepOption::AssignedOnly) ||
        !AssembleTrack()) {
        return false;
    }
    if (!PrepMidi(s_, PrepOption::NoSpecialMarkers)) return false;
    if (!(s_.useStyleCasm ? AddCasm(s_) : CreateCasm(s_, sectionList_))) return false;
    s_.output.Resize(s_.outputWritePos);
    return true;
}

bool StyleBuild::AssembleTrack() {
    // The prepared song becomes the song image (a failed scan leaves it in both images), then
    // the assembled track does, each time with a zeroed output image of its size.
    songBefore_ = std::move(s_.song.bytes);
    songReplaced_ = true;
    s_.song.bytes = std::move(s_.output);
    if (!ScanSong(s_)) {
        s_.output = s_.song.bytes;
        return false;
    }
    sectionList_ = AssembleStyleTrack({s_.song, s_.facts, s_.markers, s_.setupTime}, s_.output);
    s_.song.bytes = std::move(s_.output);
    s_.output = ByteImage(std::vector<uint8_t>(s_.song.bytes.Bytes().size(), 0));
    return true;
}

ChunkOutput OutputOf(Session& session) {
    return {session.output, session.outputWritePos};
}

// The chords the sections marked on the song's own measures were played over, each section as
// the style names it.
std::vector<SectionSourceChord> OwnSourceChords(const Session& session) {
    std::vector<SectionSourceChord> ownChords;
    for (const auto& [key, name] : session.sectionChords) {
        const SectionRow* row = SectionByKey(key);
        const player::Chord chord = player::ParseChord(name);
        if (row == nullptr || chord.noChord) continue;
        ownChords.push_back({std::string(row->name), chord.root, chord.type});
    }
    return ownChords;
}

}  // namespace

bool PrepMidi(Session& session, PrepOption option) {
    return Guarded(session, "PrepMidi", [&] {
        // A failed scan has shown its report; the preparation goes on over what it found.
        ScanSong(session);
        const Settings& settings = session.settings;
        const PrepSource source{
            session.song,
            session.facts,
            session.markers,
            session.channels,
            session.casm,
            session.effects,
            session.effectLists,
            {settings.panelVoices, settings.xgSystemOn, settings.multipleTempos}};
        PrepareSong(source,
                    {session.output, session.outputWritePos, session.setupTime, session.walk},
                    option);
    });
}

bool CreateCasm(Session& session, std::string_view sectionList) {
    return Guarded(session, "CreateCasm", [&] {
        AppendNewCasm(OutputOf(session), session.casm, session.channels, sectionList,
                      OwnSourceChords(session));
    });
}

bool AddCasm(Session& session) {
    return Guarded(session, "AddCasm",
                   [&] { AppendKeptCasm(OutputOf(session), session.song.styleCasmBytes); });
}

bool MakeStyleFromMidi(Session& session) {
    StyleBuild build(session);
    bool built = false;
    bool workingFileWritten = false;
    Guarded(session, "MakeStyleFromMidi", [&] {
        built = build.Run();
        workingFileWritten = build.WorkingFileWritten();
    });
    if (!workingFileWritten) {
        build.PutSongBack();
        return false;
    }
    build.ForgetSongBefore();
    // The working file written first holds the user's song: load it again whatever happened,
    // so that a failure loses nothing. A failed build leaves no style to save. The style stays
    // in the output image either way.
    // The reload reads the effects back from the working file's set-up, which still holds those
    // of its last preparation: the user's settings, just written into the style, are kept.
    ByteImage style = std::move(session.output);
    const EffectSettings effects = session.effects;
    const bool reloaded = LoadSong(session, session.platform.paths.WorkingFilePath());
    if (reloaded) session.effects = effects;
    session.output = std::move(style);
    return reloaded && built;
}

}  // namespace zephrane
