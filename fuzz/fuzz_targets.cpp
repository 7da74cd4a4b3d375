// The libFuzzer targets, one function each; ZEPHRANE_FUZZ_TARGET names the one a program runs.
// Each feeds its input to the core as a file a user opens and checks the core's promises besides
// the sanitizers; a broken one aborts with "==zephrane-fuzz== FINDING: ..." so that libFuzzer
// keeps the input.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>

#include "app/casm_commands.h"
#include "app/convert_commands.h"
#include "app/effect_commands.h"
#include "app/main_commands.h"
#include "app/save_files.h"
#include "app/section_commands.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "app/style_commands.h"
#include "casm/casm_reader.h"
#include "sections/sections.h"
#include "support/midi_builder.h"

namespace zephrane::fuzz {
namespace {

namespace fs = std::filesystem;

// A scan whose song has more measures (or a longer text, a faster tempo) than its 16-bit counts
// hold: a song built or prepared from a sound one may legitimately come to that.
constexpr char kScanOverflowReport[] =
    "Error #: 6, Overflow, encountered in Function GetInfo. If the solution is not obvious, "
    "please report this to the author.";

// A folder of this process, removed at exit after static destructors: so never destroyed.
const std::string& ScratchFolder() {
    static const std::string& folder = *new std::string([] {
        std::error_code ignored;
        const bool shm = fs::is_directory("/dev/shm", ignored);
        std::string made = (shm ? "/dev/shm" : fs::temp_directory_path()) / "zephrane-fuzz-XXXXXX";
        if (::mkdtemp(made.data()) == nullptr) std::abort();
        std::atexit([] {
            std::error_code error;
            fs::remove_all(ScratchFolder(), error);
        });
        return made;
    }());
    return folder;
}

[[noreturn]] void Finding(const std::string& what) {
    std::error_code ignored;
    fs::remove_all(ScratchFolder(), ignored);  // abort skips the exit handlers
    std::fprintf(stderr, "==zephrane-fuzz== FINDING: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// A fresh session, as the program starts, on a platform that answers the Open dialog with Cancel
// and every question with OK, starts no program and keeps the messages shown (printed too with
// ZEPHRANE_FUZZ_VERBOSE set, to replay a finding); its files live in the scratch folder.
struct FuzzSession : StubSession {
    explicit FuzzSession(bool withEffectLists = true) {
        if (std::getenv("ZEPHRANE_FUZZ_VERBOSE") != nullptr) {
            platform.onMessage = [](const std::string& text) {
                std::fprintf(stderr, "message: %s\n", text.c_str());
            };
        }
        platform.standingOkAnswer = true;
        platform.startFailure = error_number::kFileNotFound;
        platform.programDirectory = ZEPHRANE_DATA_DIR;
        platform.settingsDirectory = ScratchFolder();
        platform.workingFilePath = ScratchFolder() + "/Zephwork.mid";
        if (!withEffectLists) return;
        static const EffectLists lists = [] {  // the data file, read once
            FuzzSession reader(false);
            SetUpEffectLists(reader.session);
            if (!reader.platform.messages.empty()) Finding("the effect lists cannot be read");
            return reader.session.effectLists;
        }();
        session.effectLists = lists;
    }
    size_t Messages() const { return platform.messages.size(); }
    std::string LastMessage() const {
        return platform.messages.empty() ? "no report" : platform.messages.back();
    }
    void RequireReport(size_t before, const std::string& step) const {
        if (Messages() <= before) Finding(step + " failed without a report");
    }
};

// Without a name, a style (a CASM tag anywhere) is written as "input.sty", so that a mutation
// keeps it one, anything else as "input.mid".
std::string WriteInput(const uint8_t* data, size_t size, std::string name = "") {
    if (name.empty()) {
        const std::string_view bytes(reinterpret_cast<const char*>(data), size);
        name = bytes.find("CASM") == bytes.npos ? "input.mid" : "input.sty";
    }
    const std::string path = ScratchFolder() + "/" + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    file.close();
    if (!file) Finding("cannot write the input to " + path);
    return path;
}

// Open File, "Auto CASM Set" and, with no section marked, "Intro A"; false when refused.
bool OpenWithAPartAndASection(Session& session, const std::string& path) {
    const ErrorReportWatch watch(session);
    if (!OpenFileByPath(session, path)) return false;
    if (watch.AnyShown()) Finding("Open File went on after an error report");
    AutoSetCasm(session);
    const SectionSlots& pressed = session.view.sectionPressed;
    if (std::none_of(pressed.begin(), pressed.end(), [](bool down) { return down; })) {
        PressSectionButton(session, "Intro A");
    }
    return true;
}

// A built style must load unless it has more measures than the scan counts (a section marked
// twice is copied twice); a CASM built from the table must read back without a problem. The
// header is the opened file's (the load reads only its format byte): put right first.
void CheckBuiltStyle(const ByteImage& style, bool casmFromTable) {
    std::vector<uint8_t> bytes = style.Bytes();
    if (bytes.size() < 22) Finding("the built style is shorter than its headers");
    const test::Bytes header = test::FileHeader(0, 1);
    std::copy(header.begin(), header.begin() + 12, bytes.begin());  // the division stays
    std::copy_n("MTrk", 4, bytes.begin() + 14);
    const CasmListing listing = ReadCasmListing(ByteImage(bytes));
    if (casmFromTable && !listing.problems.empty()) {
        Finding("the built style's CASM: " + listing.problems.front());
    }
    FuzzSession reader;
    if (!OpenChosenFile(reader.session,
                        WriteInput(style.Bytes().data(), style.Bytes().size(), "built.sty")) &&
        reader.platform.messages != std::vector<std::string>{kScanOverflowReport}) {
        Finding("the built style does not load: " + reader.LastMessage());
    }
}

}  // namespace

// Opened as a song and as a style over a good song: a refused load keeps that song; an accepted
// one has the 6-byte header and the track chunk at 14 every walk relies on, and scans again.
void Load(const uint8_t* data, size_t size) {
    static const SessionState good = [] {  // a tempo, 4/4 and one note
        FuzzSession fuzz;
        test::TrackBuilder track;
        track.Tempo(0, 500000).TimeSignature(0, 4, 2).Program(0, 1, 0).NoteOn(0, 1, 60, 100);
        const test::Bytes song = test::SongFile(track.NoteOff(480, 1, 60).EndOfTrack());
        if (!OpenChosenFile(fuzz.session, WriteInput(song.data(), song.size(), "good.mid"))) {
            Finding("the good song does not load: " + fuzz.LastMessage());
        }
        return static_cast<const SessionState&>(fuzz.session);
    }();
    for (const std::string name : {"input.mid", "input.sty"}) {
        FuzzSession fuzz;
        Session& s = fuzz.session;
        static_cast<SessionState&>(s) = good;
        const size_t messages = fuzz.Messages();
        if (!OpenChosenFile(s, WriteInput(data, size, name))) {
            fuzz.RequireReport(messages, "loading " + name);
            if (!(s.song.bytes == good.song.bytes) || s.song.fileName != good.song.fileName ||
                s.view.caption != good.view.caption) {
                Finding("a refused load of " + name + " changed the session");
            }
            continue;
        }
        const ByteImage& image = s.song.bytes;
        if (image.Size() < 22 || image.ReadU32BE(4) != 6 || image.ReadU32BE(14) != 0x4D54726B) {
            Finding("the loaded " + name + " has no track chunk at 14");
        }
        if (!ScanSong(s)) Finding("the loaded " + name + " does not scan again");
    }
}

// Prepared with each option and written as the working file, which must load again unless it has
// more measures than the scan counts (only the first time signature is kept).
void Prepare(const uint8_t* data, size_t size) {
    FuzzSession fuzz;
    Session& s = fuzz.session;
    if (!OpenChosenFile(s, WriteInput(data, size))) return;
    for (PrepOption option :
         {PrepOption::AssignedOnly, PrepOption::NoSpecialMarkers, PrepOption::AllChannels}) {
        const size_t messages = fuzz.Messages();
        if (!PrepMidi(s, option)) return fuzz.RequireReport(messages, "the preparation");
    }
    const std::string workingFile = s.platform.paths.WorkingFilePath();
    if (!SaveStyleFile(s, workingFile)) Finding("the working file cannot be written");
    const size_t messages = fuzz.Messages();
    if (!LoadSong(s, workingFile) &&
        (fuzz.Messages() != messages + 1 || fuzz.LastMessage() != kScanOverflowReport)) {
        Finding("the prepared working file does not load: " + fuzz.LastMessage());
    }
}

// The style built with the table's CASM and with a style's own; then Save Style, which writes
// no file after an error report and says it saved exactly when the file is there.
void Style(const uint8_t* data, size_t size) {
    FuzzSession fuzz;
    Session& s = fuzz.session;
    if (!OpenWithAPartAndASection(s, WriteInput(data, size))) return;
    for (bool useStyleCasm : {false, true}) {
        if (useStyleCasm && !s.song.hasStyleCasm) break;
        s.useStyleCasm = useStyleCasm;
        if (!CheckStyleCommand(s, StyleCommandSource::MenuItem)) return;
        const size_t messages = fuzz.Messages();
        if (!MakeStyleFromMidi(s)) return fuzz.RequireReport(messages, "the style assembly");
        CheckBuiltStyle(s.output, !useStyleCasm);
    }
    const std::string target = ScratchFolder() + "/saved.sty";
    fs::remove(target);
    fuzz.platform.standingSaveAnswer = target;
    const ErrorReportWatch watch(s);
    const bool saved = static_cast<bool>(SaveStyle(s, StyleCommandSource::ToolbarButton));
    const bool written = fs::exists(target);
    if (written && watch.AnyShown()) Finding("a style was written after an error report");
    if (saved != written) Finding(saved ? "Save Style wrote no file" : "a refused save wrote");
}

// "Convert Notes" with both items; a failed one keeps the song, parts and source chords.
void Convert(const uint8_t* data, size_t size) {
    FuzzSession fuzz;
    Session& s = fuzz.session;
    if (!OpenWithAPartAndASection(s, WriteInput(data, size))) return;
    for (ConvertItem item : {ConvertItem::Plain, ConvertItem::Sevenths}) {
        const SessionState before = s;
        const size_t messages = fuzz.Messages();
        if (ConvertNotes(s, item, SequencerCheck::Skipped)) continue;
        fuzz.RequireReport(messages, "the conversion");
        const auto sameParts = [](const CasmRow& a, const CasmRow& b) {
            return a.part == b.part && a.sourceKey == b.sourceKey && a.sourceChord == b.sourceChord;
        };
        if (!(s.song.bytes == before.song.bytes) ||
            !std::equal(s.casm.begin(), s.casm.end(), before.casm.begin(), sameParts)) {
            Finding("a failed conversion changed the session");
        }
        return;
    }
}

// The inspection reader of style chunks, then the kept CASM of the loaded style read for every
// section and appended to the output, as a build does.
void Casm(const uint8_t* data, size_t size) {
    for (const StyleChunk& chunk :
         ReadCasmListing(ByteImage(std::vector<uint8_t>(data, data + size))).chunks) {
        if (chunk.offset < 0 || size_t(chunk.offset) >= size)
            Finding("a chunk listed outside the file");
    }
    FuzzSession fuzz;
    Session& s = fuzz.session;
    if (!OpenChosenFile(s, WriteInput(data, size, "input.sty")) || !s.song.hasStyleCasm) return;
    for (const SectionRow& row : kSectionTable)
        GetChannels(s, row.name);
    GetChannels(s, "Fill In BA");
    const size_t messages = fuzz.Messages();
    if (!AddCasm(s)) fuzz.RequireReport(messages, "appending the kept CASM");
}

// Loaded as it is, the section buttons pressed in toolbar order and in reverse, one by one and in
// a row (which works the scan out from the scan before): both must end alike.
// A proposed section names a section button and lies inside the song, at most eight measures
// long, with a confidence from 0 to 1.
void CheckSuggestedSections(Session& session) {
    const std::optional<SectionPlan> plan = SuggestSections(session);
    if (!plan) return;
    for (const PlannedSection& section : plan->sections) {
        if (SectionByKey(section.section) == nullptr || section.first < 0 ||
            section.last < section.first || section.last >= plan->measures ||
            section.last - section.first >= 8 || !(section.confidence >= 0) ||
            !(section.confidence <= 1)) {
            Finding("a suggested section outside the song or its bounds: " + section.section);
        }
    }
}

void Sections(const uint8_t* data, size_t size) {
    FuzzSession loaded;
    if (!OpenChosenFile(loaded.session, WriteInput(data, size))) return;
    CheckSuggestedSections(loaded.session);
    std::vector<std::string> keys = AllSectionKeys();
    for (int order = 0; order < 2; ++order, std::reverse(keys.begin(), keys.end())) {
        FuzzSession single, row;
        static_cast<SessionState&>(single.session) = loaded.session;
        static_cast<SessionState&>(row.session) = loaded.session;
        for (const std::string& key : keys) {
            if (!PressSectionButton(single.session, key)) break;
        }
        PressSectionButtons(row.session, keys);
        if (!SameScanResults(row.session, single.session) ||
            row.session.sectionFlags != single.session.sectionFlags ||
            row.platform.messages != single.platform.messages) {
            Finding("a row of section buttons ends otherwise than single presses");
        }
    }
}

}  // namespace zephrane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zephrane::fuzz::ZEPHRANE_FUZZ_TARGET(data, size);
    return 0;
}
