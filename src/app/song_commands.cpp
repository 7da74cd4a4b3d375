#include "app/song_commands.h"

#include <utility>

#include "app/recent_files.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "casm/casm_reader.h"
#include "sections/sections.h"
#include "song/file_io.h"
#include "song/midi_layout.h"
#include "song/numbers.h"

namespace zephrane {
namespace {

// A style keeps what follows its End of Track event (FF 2F 00) only when more than 28 bytes follow.
constexpr int64_t kStyleTrailerThreshold = 30;

std::string DamagedStyleCasmMessage(const std::string& problem) {
    return "The CASM data of this style is damaged: " + problem +
           " \"Use Style's Casm\" is not available for it; Save Style makes a new CASM from the "
           "grid.";
}

// The layout every walk relies on can be made of it: a header, ticks per quarter note and a
// track chunk. Only the low byte of the format word decides the type, so a format word of 256
// still opens as a single track.
bool IsTypeZeroSong(const MidiFileLayout& layout) {
    return layout.hasHeaderChunk && (layout.format & 0xFF) == 0 &&
           CountsTicksPerQuarter(layout.division) && layout.trackChunkPos.has_value();
}

void ResetChannels(Session& s) {
    for (ChannelInfo& channel : s.channels) {
        channel.voiceLabel.clear();
        channel.hasNotes = false;
        channel.firstProgram = 0;
        channel.bankMsb = -1;
        channel.bankLsb = -1;
    }
    for (ChannelRowView& row : s.view.rows)
        row.voice.clear();
}

void ResetPerSongState(Session& s, bool isWorkingFile) {
    s.sectionFlags.fill(false);
    s.view.sectionPressed.fill(false);
    // Proposals were read from the song as it was.
    s.view.proposedSections.clear();
    ResetChannels(s);
    for (Marker& marker : s.markers.entries)
        marker = Marker{};
    if (!isWorkingFile) {
        // The chord mutes belong to the CASM table: reloading the working file keeps both.
        ClearCasmTable(s.casm);
        ResetChordMute(s.casm);
        s.song.hasStyleCasm = false;
        // The choice belongs to the style it was made for.
        s.useStyleCasm = false;
        ++s.songsOpened;
        s.sectionMarkedSinceOpen = false;
        s.sectionChords.clear();
        s.song.styleCasmBytes = ByteImage(std::vector<uint8_t>(2, 0));
        s.view.txtKey.clear();
    }
    SongFacts& facts = s.facts;
    facts.copyright.clear();
    facts.keyText.clear();
    facts.styleName.clear();
    facts.styleNamePos = 0;
    facts.copyrightPos = 0;
    // A song without tempo or time-signature event plays at the MIDI defaults.
    facts.tempoBpm = 120;
    facts.timeSigNumerator = 4;
    facts.timeSigDenominator = 4;
    s.song.displayTempo = 0;
    ResetEffects(s.effects);
}

void ShowSongFields(Session& s) {
    const SongFacts& facts = s.facts;
    MainWindowView& view = s.view;
    view.txtFileName = FileNameWithoutFolder(s.song.fileName) + "(modified)";
    view.txtCopyright = facts.copyright;
    view.txtTempo = std::to_string(s.song.displayTempo);
    view.txtTimeSig =
        BlankSigned(facts.timeSigNumerator) + "/" + std::to_string(facts.timeSigDenominator);
    const auto first = facts.styleName.find_first_not_of(' ');
    view.txtStyleName =
        first == std::string::npos
            ? ""
            : facts.styleName.substr(first, facts.styleName.find_last_not_of(' ') - first + 1);
    view.txtKey = facts.keyText;
    view.lblMaxMeasures = "Measures: " + BlankSigned(facts.measureCount);
}

void ShowChannelRows(Session& s) {
    for (int channel = 1; channel <= 16; ++channel) {
        ChannelInfo& info = s.Channel(channel);
        ChannelRowView& row = s.view.rows[channel - 1];
        row.visible = info.hasNotes;
        if (!info.hasNotes) continue;
        if (channel == 10 && info.voiceLabel.empty()) info.voiceLabel = "Drum Kit-GM no PC";
        row.voice = info.voiceLabel;
    }
}

void KeepStyleCasm(Session& s, const std::string& path) {
    SongImage& song = s.song;
    if (KindOfFileName(path) == FileKind::Style) {
        const int64_t endOfTrack = s.facts.scanEndPos;
        if (song.bytes.LastIndex() > endOfTrack + kStyleTrailerThreshold) {
            // A CASM carried over must be one the instrument can read: a damaged one is never
            // offered, and the style gets a new CASM from the grid.
            const CasmListing listing = ReadCasmListing(song.bytes);
            if (!listing.problems.empty()) {
                s.platform.messages.ShowMessage(DamagedStyleCasmMessage(listing.problems.front()));
                return;
            }
            const int64_t first = endOfTrack + 3;
            const auto trailer = song.bytes.Span(first, song.bytes.Size() - first);
            song.styleCasmBytes = ByteImage({trailer.begin(), trailer.end()});
            song.hasStyleCasm = true;
            s.view.casmOptionsVisible = true;
        }
    } else if (KindOfFileName(song.fileName) == FileKind::Style) {
        s.view.casmOptionsVisible = song.hasStyleCasm;
    } else {
        s.view.casmOptionsVisible = false;
    }
}

// Presses the section buttons of the markers found; true where "SInt"/"SFF1" are present.
std::pair<bool, bool> ShowSectionsFromMarkers(Session& s) {
    bool hasSInt = false;
    bool hasSff1 = false;
    for (const Marker& marker : s.markers.entries) {
        if (marker.text == "SFF1") hasSff1 = true;
        if (marker.text == "SInt") hasSInt = true;
        if (const SectionRow* row = SectionByMarker(marker.text)) {
            s.sectionFlags[row->slot] = true;
            s.view.sectionPressed[row->slot] = true;
        }
    }
    return {hasSInt, hasSff1};
}

// The load's steps: the file into the song image, the scan, and what the window shows of it.
// A refused step may leave the session half changed; LoadSong puts it back.
bool ReadAndShowSong(Session& s, const std::string& path) {
    ByteImage bytes;
    if (!GetBinaryFile(s, path, bytes)) return false;
    const MidiFileLayout layout = ReadMidiFileLayout(bytes);
    if (!IsTypeZeroSong(layout)) {
        s.platform.messages.ShowMessage(
            "This is not a type 0 midi file. Use your sequencer program or your PSR to convert "
            "this midi to the proper form. Ssee Info/Help");
        return false;
    }
    s.song.bytes = WithTrackAfterHeader(std::move(bytes), *layout.trackChunkPos);
    ResetPerSongState(s, path == s.platform.paths.WorkingFilePath());
    if (!ScanSong(s, XgImport::Import)) return false;
    // A tempo of thousands of beats a minute in eighths or shorter notes is shown, not refused.
    s.song.displayTempo = CheckedInt32(s.facts.tempoBpm * s.facts.timeSigDenominator / 4.0);
    ShowSongFields(s);
    ShowChannelRows(s);
    KeepStyleCasm(s, path);
    const auto [hasSInt, hasSff1] = ShowSectionsFromMarkers(s);
    // Each marker lands in front of the first event, so "SFF1" ends up before "SInt".
    if (!hasSInt) StoreMarker(s, "SInt", 0);
    if (!hasSff1) StoreMarker(s, "SFF1", 0);
    // The positions and the marker list then describe the song with its set-up markers.
    return (hasSInt && hasSff1) || ScanSong(s);
}

}  // namespace

bool ScanSong(Session& session, XgImport xg) {
    return Guarded(session, "GetInfo",
                   [&] { ScanSong(session.song.bytes, session.ScanParts(), session.effects, xg); });
}

bool SameScanResults(const SessionState& a, const SessionState& b) {
    return a.song.bytes.Bytes() == b.song.bytes.Bytes() && a.facts == b.facts &&
           a.measures.entries == b.measures.entries && a.markers.count == b.markers.count &&
           a.markers.entries == b.markers.entries && a.walk == b.walk && a.channels == b.channels;
}

bool OpenFile(Session& session, const std::optional<std::string>& path) {
    // A failure of the dialog's own steps has shown its report and counts as no refusal.
    bool opened = true;
    Guarded(session, "OpenFile", [&] {
        const std::string& defaultDirectory = session.settings.defaultDirectory;
        FileDialogRequest request;
        request.initialDirectory = defaultDirectory.empty()
                                       ? session.platform.paths.ProgramDirectory()
                                       : FolderWithSeparator(defaultDirectory);
        request.title = "Select File to open";
        request.filter = session.song.bbMode
                             ? "Style Files(*.mid)|*.mid|"
                             : "Style Files(*.sty;*.pcs;*.sst;*.pst;*.mid;*.prs;*.bcs)|"
                               "*.sty;*.pcs;*.sst;*.pst;*.mid;*.prs;*.bcs|";
        const auto chosen = path ? path : session.platform.fileDialogs.ChooseFileToOpen(request);
        if (!chosen) {
            opened = false;
        } else if (!chosen->empty()) {
            opened = OpenChosenFile(session, *chosen);
        }
    });
    return opened;
}

bool OpenChosenFile(Session& session, const std::string& path) {
    const std::string previousCaption = session.view.caption;
    const std::string previousFileName = session.song.fileName;
    session.view.caption = std::string(kProgramTitle) + "   " + FileNameWithoutFolder(path);
    session.song.fileName = path;
    if (!LoadSong(session, path)) {
        session.view.caption = previousCaption;
        session.song.fileName = previousFileName;
        return false;
    }
    AddRecentFile(session, path);
    switch (KindOfFileName(path)) {
        case FileKind::Midi:
            session.song.isMidiFile = true;
            session.song.isStyleFile = false;
            break;
        case FileKind::Style:
            session.song.isStyleFile = true;
            session.song.isMidiFile = false;
            break;
        case FileKind::Other:
            break;
    }
    return true;
}

bool GetBinaryFile(Session& session, const std::string& path, ByteImage& bytes) {
    std::vector<uint8_t> content;
    bool refused = false;
    const bool read = Guarded(session, "GetBinaryFile", [&] {
        try {
            content = ReadInputFile(path);
        } catch (const FileRefused& refusal) {
            session.platform.messages.ShowMessage(refusal.what());
            refused = true;
        }
    });
    if (!read || refused) return false;
    if (content.empty()) {
        session.platform.messages.ShowMessage("Zephrane cannot read this file");
        return false;
    }
    bytes = ByteImage(std::move(content));
    return true;
}

bool LoadSong(Session& session, const std::string& path) {
    // A refused load puts the whole session back as it was. The load replaces the song image
    // without reading it and never touches the output image, so these two, the bulk of the
    // state, are set aside rather than copied.
    ByteImage previousSong = std::move(session.song.bytes);
    ByteImage output = std::move(session.output);
    SessionState before = session;
    bool loaded = false;
    Guarded(session, "Entry", [&] { loaded = ReadAndShowSong(session, path); });
    if (!loaded) {
        before.song.bytes = std::move(previousSong);
        before.output = std::move(output);
        static_cast<SessionState&>(session) = std::move(before);
        return false;
    }
    session.output = std::move(output);
    session.platform.window.ShowMainWindow(session.view);
    return true;
}

}  // namespace zephrane
