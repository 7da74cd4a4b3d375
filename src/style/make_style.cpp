#include "style/make_style.h"

#include <cmath>
#include <string_view>

#include "app/save_files.h"
#include "app/session.h"
#include "song/numbers.h"
#include "song/walker.h"
#include "style/prep_midi.h"

namespace zephrane {
namespace {

// Markers that open a section: ">" forms put in by the section buttons, plain names as they
// stand in an opened style ("Fill In BA" and the D variations exist on some instruments).
constexpr std::string_view kSectionNames[] = {
    "Main A", "Fill In AA", "Intro A", "Ending A", "Main B", "Fill In BB", "Intro B", "Ending B",
    "Main C", "Fill In CC", "Intro C", "Ending C", "Main D", "Fill In DD", "Intro D", "Ending D"};

bool IsPlainSectionMarker(std::string_view text) {
    if (text == "Fill In BA") return true;
    for (std::string_view name : kSectionNames) {
        if (text == name) return true;
    }
    return false;
}

bool IsStartMarker(std::string_view text) {
    return text.starts_with('>') && IsPlainSectionMarker(text.substr(1)) && text != ">Fill In BA";
}

// The set-up part of a style or BB song ends at its first section marker.
bool NamesASection(std::string_view text) {
    for (std::string_view part : {"Main", "Intr", "Endi", "Fill"}) {
        if (text.find(part) != std::string_view::npos) return true;
    }
    return false;
}

struct EndOfTrack {
    int64_t firstDeltaPos = 0;
    int32_t delta = 0;
};

EndOfTrack FindEndOfTrack(const ByteImage& song) {
    WalkState walk;
    TrackWalker walker(song, walk);
    while (!walker.AtEnd()) {
        const TrackEvent& event = walker.Next();
        if (event.IsEndOfTrack()) return {event.firstDeltaPos, walk.deltaTime};
    }
    Fail(error_number::kSubscriptOutOfRange);
}

int32_t DeltaAt(const ByteImage& song, int64_t firstDeltaPos) {
    WalkState walk;
    walk.walkPos = static_cast<int32_t>(firstDeltaPos);
    ReadDeltaTime(song, walk);
    return walk.deltaTime;
}

// Cuts and assembles byte ranges of the song image into the output image.
class StyleAssembler {
  public:
    explicit StyleAssembler(Session& session) : s_(session) {}

    // False when a step failed (it has shown its report).
    bool Run();
    bool WorkingFileWritten() const { return workingFileWritten_; }
    // After a failure that escaped Run: the song image as it was before the assembly replaced it.
    void PutSongBack() {
        if (songReplaced_) s_.song.bytes = std::move(songBefore_);
    }
    void ForgetSongBefore() { songBefore_ = ByteImage(); }

  private:
    const Marker& MarkerAt(int index) const { return s_.markers.entries[index]; }
    bool AssembleTrack();
    void CopySetUpPart();
    void CopySections();
    void CopyStartMarkerSection(int start);
    void CopyPlainSection(int index);
    void WriteEndOfTrack();
    void Append(std::span<const uint8_t> bytes);
    void CopySong(int64_t first, int64_t end) { Append(s_.song.bytes.Span(first, end - first)); }
    void AppendDelta(int64_t ticks);
    int64_t FirstLeadIn() const;

    Session& s_;
    bool workingFileWritten_ = false;
    bool songReplaced_ = false;
    ByteImage songBefore_;  // the user's song while the assembly works on the song image
    int64_t w_ = 0;
    std::string sectionList_;
    bool startSectionCopied_ = false;
    int64_t pendingDelta_ = 0;  // delta of the next section marker: the previous section's pad
};

void StyleAssembler::Append(std::span<const uint8_t> bytes) {
    const int64_t end = w_ + static_cast<int64_t>(bytes.size());
    if (end > s_.output.Size()) s_.output.Resize(end);
    s_.output.Write(w_, bytes);
    w_ = end;
}

void StyleAssembler::AppendDelta(int64_t ticks) {
    const VariableLengthBytes delta = EncodeVariableLength(ticks);
    Append(delta.Span());
}

void StyleAssembler::CopySetUpPart() {
    int64_t end = s_.facts.musicStartPos;
    if (s_.song.bbMode || s_.song.isStyleFile) {
        for (int i = 0; i < s_.markers.count; ++i) {
            if (NamesASection(MarkerAt(i).text)) {
                end = MarkerAt(i).position;
                break;
            }
        }
    }
    CopySong(0, end);
}

// The first section starts on the bar line after the set-up part: the set-up measure's length
// minus the time the set-up events take, or, when they take longer, the way to the next bar line.
int64_t StyleAssembler::FirstLeadIn() const {
    const auto measure = static_cast<int64_t>(std::llround(s_.facts.ticksPerMeasure));
    if (s_.setupTime <= measure) return measure - s_.setupTime;
    // No measure length: SMPTE time, a division of 0 or a time signature of 0 beats.
    if (measure == 0) Fail(error_number::kDivisionByZero);
    const int64_t into = s_.setupTime % measure;
    return into == 0 ? 0 : measure - into;
}

void StyleAssembler::CopyStartMarkerSection(int start) {
    const Marker& startMarker = MarkerAt(start);
    const std::string_view name = std::string_view(startMarker.text).substr(1);
    int end = start + 1;
    auto sameName = [&](const std::string& text) {
        return !text.empty() && std::string_view(text).substr(1) == name;
    };
    while (end < s_.markers.count && !sameName(MarkerAt(end).text))
        ++end;
    if (end >= s_.markers.count) return;  // no end marker: the name is listed, nothing copied
    const Marker& endMarker = MarkerAt(end);
    const ByteImage& song = s_.song.bytes;

    AppendDelta(startSectionCopied_ ? pendingDelta_ : FirstLeadIn());
    startSectionCopied_ = true;
    // The section marker of the style is the section's name.
    WalkState walk;
    walk.walkPos = startMarker.position;
    ReadDeltaTime(song, walk);
    walk.walkPos += 1;  // on the FF
    ReadMetaText(song, walk);
    const int64_t textEnd = int64_t{walk.walkPos} + 3 + walk.dataLength;
    const auto nameBytes = song.Span(textEnd - walk.dataLength + 1, walk.dataLength - 1);
    Append(std::vector<uint8_t>{kMetaStatus, meta_type::kMarker});
    const VariableLengthBytes nameLength =
        EncodeVariableLength(static_cast<int64_t>(nameBytes.size()));
    Append(nameLength.Span());
    Append(nameBytes);
    CopySong(textEnd, endMarker.position);

    // Pad the section to whole measures after its last event.
    const double measure = s_.facts.ticksPerMeasure;
    const double length = endMarker.tick - startMarker.tick - DeltaAt(song, endMarker.position);
    const double fraction = length / measure - std::floor(length / measure);
    pendingDelta_ = fraction == 0 ? 0 : std::llround((1 - fraction) * measure);
}

void StyleAssembler::CopyPlainSection(int index) {
    const Marker& marker = MarkerAt(index);
    const bool last =
        index + 1 >= s_.markers.count || MarkerAt(index + 1).position < marker.position;
    if (!last) {
        CopySong(marker.position, MarkerAt(index + 1).position);
        pendingDelta_ = 0;
        return;
    }
    // The last section keeps its closing rest: End of Track will carry its delta.
    const EndOfTrack endOfTrack = FindEndOfTrack(s_.song.bytes);
    CopySong(marker.position, endOfTrack.firstDeltaPos);
    pendingDelta_ = endOfTrack.delta;
}

void StyleAssembler::CopySections() {
    for (int i = 0; i < s_.markers.count && !MarkerAt(i).text.empty(); ++i) {
        const std::string& text = MarkerAt(i).text;
        const bool start = IsStartMarker(text);
        if (!start && !IsPlainSectionMarker(text)) continue;
        sectionList_ += (start ? text.substr(1) : text) + ",";
        if (start) {
            CopyStartMarkerSection(i);
        } else {
            CopyPlainSection(i);
        }
    }
}

void StyleAssembler::WriteEndOfTrack() {
    // The last section ends on its bar line too.
    AppendDelta(pendingDelta_);
    Append(std::vector<uint8_t>{kMetaStatus, meta_type::kEndOfTrack, 0x00});
    s_.output.WriteU32BE(kTrackLengthPos, w_ - 1 - kTrackHeaderLastPos);
    s_.output.Resize(w_);
}

bool StyleAssembler::Run() {
    const std::string workingFile = s_.platform.paths.WorkingFilePath();
    if (ScanSong(s_, "") == kResultFailed || !SaveMidiFile(s_, workingFile)) return false;
    workingFileWritten_ = true;
    if (!PrepMidi(s_, s_.useStyleCasm ? PrepOption::AllChannels : PrepOption::AssignedOnly) ||
        !AssembleTrack()) {
        return false;
    }
    if (!PrepMidi(s_, PrepOption::NoSpecialMarkers)) return false;
    if (!sectionList_.empty()) sectionList_.pop_back();
    if (!(s_.useStyleCasm ? AddCasm(s_) : CreateCasm(s_, sectionList_))) return false;
    s_.output.Resize(s_.outputWritePos);
    return true;
}

bool StyleAssembler::AssembleTrack() {
    // The prepared song becomes the song image (a failed scan leaves it in both images), then
    // the assembled track does, each time with a zeroed output image of its size.
    songBefore_ = std::move(s_.song.bytes);
    songReplaced_ = true;
    s_.song.bytes = std::move(s_.output);
    if (ScanSong(s_, "") == kResultFailed) {
        s_.output = s_.song.bytes;
        return false;
    }
    s_.output = ByteImage(std::vector<uint8_t>(s_.song.bytes.Bytes().size(), 0));
    CopySetUpPart();
    CopySections();
    WriteEndOfTrack();
    s_.song.bytes = std::move(s_.output);
    s_.output = ByteImage(std::vector<uint8_t>(s_.song.bytes.Bytes().size(), 0));
    return true;
}

}  // namespace

bool MakeStyleFromMidi(Session& session) {
    StyleAssembler assembler(session);
    bool built = false;
    bool workingFileWritten = false;
    Guarded(session, "MakeStyleFromMidi", [&] {
        built = assembler.Run();
        workingFileWritten = assembler.WorkingFileWritten();
    });
    if (!workingFileWritten) {
        assembler.PutSongBack();
        return false;
    }
    assembler.ForgetSongBefore();
    // The working file written first holds the user's song: load it again whatever happened,
    // so that a failure loses nothing. A failed build leaves no style to save. The style stays
    // in the output image either way.
    // The reload reads the effects back from the working file's set-up, which still holds those
    // of its last preparation: the user's settings, just written into the style, are kept.
    ByteImage style = std::move(session.output);
    const EffectSettings effects = session.effects;
    const bool reloaded =
        LoadSong(session, session.platform.paths.WorkingFilePath()) != kResultFailed;
    if (reloaded) session.effects = effects;
    session.output = std::move(style);
    return reloaded && built;
}

}  // namespace zephrane
