#include "app/convert_commands.h"

#include <algorithm>
#include <string>
#include <utility>

#include "app/main_commands.h"
#include "app/messages.h"
#include "app/save_files.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "app/style_commands.h"
#include "sections/section_marks.h"

namespace zephrane {
namespace {

constexpr char kNoPartMessage[] =
    "You must first select parts (bass, chord1, etc) and the key (if other than C) for any "
    "desired channels before performing a Convert operation. This can be done automatically "
    "using Auto Casm Set or individually by clicking on the part box in the appropriate column.";

// The settings at a section marker: from the CASM table, or for a style's own section markers,
// when "Use Style's Casm" is chosen and the style has one, from the style's CASM.
class SessionSectionRules final : public SectionRuleSource {
  public:
    explicit SessionSectionRules(Session& session) : session_(session) {}
    bool TakeTableRules(std::span<const std::string> openSections) override {
        return GetCasmSectionData(session_) && TakeOwnChord(openSections);
    }
    bool TakeSectionRules(std::string_view sectionName) override {
        if (!FollowsStyleCasm()) return GetCasmSectionData(session_);
        // A damaged record is reported, and the conversion goes on with what was read.
        GetChannels(session_, sectionName);
        return true;
    }

  private:
    // A section marked on the song's own measures was played over its own chord: its melodic
    // parts move from that chord's root, not from the table's key.
    bool TakeOwnChord(std::span<const std::string> openSections) {
        for (auto open = openSections.rbegin(); open != openSections.rend(); ++open) {
            const SectionRow* row = SectionByKeyOrName(*open);
            if (row == nullptr) continue;
            const auto own = session_.sectionChords.find(std::string(row->key));
            if (own == session_.sectionChords.end()) continue;
            return Guarded(session_, "GetCasmSectionData",
                           [&] { TakeChordSnapshot(own->second, session_.casmSnapshot); });
        }
        return true;
    }

    bool FollowsStyleCasm() const {
        return session_.useStyleCasm && session_.song.styleCasmBytes.LastIndex() != 1;
    }

    Session& session_;
};

bool AnySectionPressed(const SectionSlots& pressed) {
    return std::any_of(pressed.begin(), pressed.end(), [](bool down) { return down; });
}

// "Un-Mute" counts as a part here; "Mute-Lock" does not.
bool AnyPartChosen(const CasmTable& table) {
    return std::any_of(table.begin(), table.end(), [](const CasmRow& row) {
        return row.part >= 0 && row.part != kMuteLockPart;
    });
}

bool MayConvert(Session& session, SequencerCheck sequencerCheck) {
    if (session.song.fileName.empty()) {
        Refuse(session, kNoFileOpenMessage);
        return false;
    }
    if (!AnySectionPressed(session.view.sectionPressed)) {
        Refuse(session, kNoSectionSelectedMessage);
        return false;
    }
    if (sequencerCheck == SequencerCheck::Required && session.settings.sequencerPath.empty()) {
        Refuse(session, kNoSequencerMessage);
        return false;
    }
    if (!session.song.hasStyleCasm && !AnyPartChosen(session.casm)) {
        Refuse(session, kNoPartMessage);
        return false;
    }
    return true;
}

// The steps after the checks; false once one failed (it has shown its report).
bool ConvertIntoWorkingFile(Session& session, ConvertItem item) {
    const std::string workingFile = session.platform.paths.WorkingFilePath();
    if (!GetCasmSectionData(session)) return false;
    ResetKeySignature(session.song.bytes);
    if (!PrepMidi(session, PrepOption::AllChannels) || !Convert(session, item) ||
        !SaveStyleFile(session, workingFile) || !KeepConvertedData(session) ||
        !LoadSong(session, workingFile)) {
        return false;
    }
    // The phrases now stand over C: the table says so, and the style gets a CASM built from it.
    SetSourceChords(session, item == ConvertItem::Plain ? "major" : "7th");
    // The sections played over chords of their own are written over C as well now.
    session.sectionChords.clear();
    session.useStyleCasm = false;
    session.view.casmOptionsVisible = false;
    return true;
}

}  // namespace

CommandResult ConvertNotes(Session& session, ConvertItem item, SequencerCheck sequencerCheck) {
    return RunCommand(session, [&] {
        bool converted = false;
        Guarded(session, "Toobar1ButtonMenu", [&] {
            if (!MayConvert(session, sequencerCheck)) return;
            converted =
                AllOrNothing(session, [&] { return ConvertIntoWorkingFile(session, item); });
        });
        return converted;
    });
}

bool Convert(Session& session, ConvertItem item) {
    return Guarded(session, "Convert", [&] {
        CasmSnapshot& snapshot = session.casmSnapshot;
        snapshot.part.fill(0);
        snapshot.sourceKey.fill(0);
        session.notedRecords.clear();
        // The prepared song becomes the song image; the output image is refilled with its copy.
        session.song.bytes = std::move(session.output);
        // The scan reports its own failure, which leaves the prepared song in both images.
        if (!ScanSong(session)) {
            session.output = session.song.bytes;
            Fail(error_number::kSilent);
        }
        SessionSectionRules sections(session);
        const ConversionRules rules{item, session.settings.convertSeventhAddB, snapshot, sections};
        session.outputWritePos =
            ConvertSong(session.song.bytes, session.walk, session.output, rules);
    });
}

bool GetCasmSectionData(Session& session) {
    return Guarded(session, "GetCasmSectionData",
                   [&] { TakeTableSnapshot(session.casm, session.casmSnapshot); });
}

void GetChannels(Session& session, std::string_view sectionName) {
    Guarded(session, "GetChannels", [&] {
        ReadSectionChannels(session.song.styleCasmBytes, sectionName, session.casmSnapshot,
                            session.notedRecords);
    });
}

bool KeepConvertedData(Session& session) {
    return Guarded(session, "KeepConvertedData", [&] {
        MarkRecordsConverted(session.song.styleCasmBytes, session.notedRecords);
    });
}

}  // namespace zephrane
