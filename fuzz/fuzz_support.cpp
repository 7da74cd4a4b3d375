#include "fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "app/casm_commands.h"
#include "app/effect_commands.h"
#include "app/main_commands.h"
#include "app/section_commands.h"
#include "app/song_commands.h"
#include "casm/casm_table.h"
#include "effects/effect_list.h"
#include "sections/sections.h"
#include "song/song_image.h"

namespace zephrane::fuzz {
namespace {

std::string MakeScratchFolder() {
    std::error_code ignored;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ignored)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string folder = (base / "zephrane-fuzz-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        std::fprintf(stderr, "cannot create a scratch folder in %s\n", base.c_str());
        std::abort();
    }
    std::atexit([] {
        std::error_code error;
        std::filesystem::remove_all(ScratchFolder(), error);
    });
    return folder;
}

// The stub set up as the fuzz targets' platform.
void SetUpFuzzPlatform(StubPlatform& platform) {
    static const bool verbose = std::getenv("ZEPHRANE_FUZZ_VERBOSE") != nullptr;
    if (verbose) {
        platform.onMessage = [](const std::string& text) {
            std::fprintf(stderr, "message: %s\n", text.c_str());
        };
    }
    platform.standingOkAnswer = true;
    platform.startFailure = error_number::kFileNotFound;
    platform.programDirectory = ZEPHRANE_DATA_DIR;
    platform.settingsDirectory = ScratchFolder();
    platform.workingFilePath = ScratchFolder() + "/Zephwork.mid";
}

// The effect lists come from a data file; read once, copied into every session.
const EffectLists& SharedEffectLists() {
    static const EffectLists lists = [] {
        StubSession stub;
        SetUpFuzzPlatform(stub.platform);
        SetUpEffectLists(stub.session);
        if (!stub.platform.messages.empty()) Finding("the effect lists cannot be read");
        return stub.session.effectLists;
    }();
    return lists;
}

}  // namespace

FuzzSession::FuzzSession() {
    SetUpFuzzPlatform(platform);
    session.effectLists = SharedEffectLists();
}

const std::string& ScratchFolder() {
    // Never destroyed: the exit handler that removes the folder runs after static destructors.
    static const std::string& folder = *new std::string(MakeScratchFolder());
    return folder;
}

std::string WriteInput(const uint8_t* data, size_t size, const std::string& name) {
    const std::string path = ScratchFolder() + "/" + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    if (!file) Finding("cannot write the input to " + path);
    return path;
}

std::string InputName(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    return bytes.find("CASM") == std::string_view::npos ? "input.mid" : "input.sty";
}

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

const std::vector<uint8_t>& GoodSong() {
    static const std::vector<uint8_t> song = {
        'M',  'T',  'h',  'd',  0,    0,    0,    6,
        0,    0,    0,    1,    0x01, 0xE0,              // type 0, one track, 480
        'M',  'T',  'r',  'k',  0,    0,    0,    31,    //
        0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // tempo 120
        0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08,  // 4/4
        0x00, 0xC0, 0x00,                                // program 0
        0x00, 0x90, 0x3C, 0x64,                          // note on
        0x83, 0x60, 0x80, 0x3C, 0x00,                    // note off a beat later
        0x00, 0xFF, 0x2F, 0x00,                          // End of Track
    };
    return song;
}

const SessionState& SessionWithGoodSong() {
    static const SessionState state = [] {
        FuzzSession fuzz;
        const std::string path = WriteInput(GoodSong().data(), GoodSong().size(), "good.mid");
        if (!OpenChosenFile(fuzz.session, path)) {
            Finding("the good song does not load: " +
                    (fuzz.platform.messages.empty() ? "" : fuzz.platform.messages.back()));
        }
        return static_cast<const SessionState&>(fuzz.session);
    }();
    return state;
}

void Finding(const std::string& what) {
    std::error_code ignored;
    std::filesystem::remove_all(ScratchFolder(), ignored);  // abort skips the exit handlers
    std::fprintf(stderr, "==zephrane-fuzz== FINDING: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void CheckSaveStyle(FuzzSession& fuzz) {
    const std::string target = ScratchFolder() + "/saved.sty";
    std::filesystem::remove(target);
    fuzz.platform.standingSaveAnswer = target;
    const ErrorReportWatch watch(fuzz.session);
    const bool saved = SaveStyle(fuzz.session, StyleCommandSource::ToolbarButton);
    fuzz.platform.standingSaveAnswer.reset();
    const bool written = std::filesystem::exists(target);
    if (written && watch.AnyShown()) Finding("a style was written after an error report");
    if (saved != written) Finding(saved ? "Save Style wrote no file" : "a refused save wrote");
}

void RequireReport(const FuzzSession& fuzz, size_t messagesBefore, const std::string& step) {
    if (fuzz.MessageCount() <= messagesBefore) Finding(step + " failed without a report");
}

}  // namespace zephrane::fuzz
