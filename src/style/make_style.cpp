#include "style/make_style.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "sections/sections.h"
#include "song/numbers.h"
#include "song/walker.h"

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

// Where a section comes in a working file's style: the fixed layout's order (intros, mains,
// endings, fills); sections the section buttons do not mark come after them.
size_t UsualPlace(std::string_view startMarker) {
    const SectionRow* row = SectionByMarker(startMarker);
    return row == nullptr ? kSectionTable.size() : static_cast<size_t>(row - kSectionTable.data());
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

// Cuts and assembles byte ranges of the prepared song into the output image.
class StyleAssembler {
  public:
    StyleAssembler(const StyleSource& source, ByteImage& output)
        : source_(source), song_(source.song.bytes), output_(output) {}

    std::string Run();

  private:
    const Marker& MarkerAt(int index) const { return source_.markers.entries[index]; }
    int MarkerCount() const { return source_.markers.count; }
    void CopySetUpPart();
    void CopySections();
    void CopyStartMarkerSection(int start);
    std::vector<int> SectionOrder() const;
    void CopyPlainSection(int index);
    void WriteEndOfTrack();
    void Append(std::span<const uint8_t> bytes);
    void CopySong(int64_t first, int64_t end) { Append(song_.Span(first, end - first)); }
    void AppendDelta(int64_t ticks);
    int64_t FirstLeadIn() const;

    const StyleSource& source_;
    const ByteImage& song_;
    ByteImage& output_;
    int64_t w_ = 0;
    std::string sectionList_;
    bool startSectionCopied_ = false;
    int64_t pendingDelta_ = 0;  // delta of the next section marker: the previous section's pad
};

void StyleAssembler::Append(std::span<const uint8_t> bytes) {
    const int64_t end = w_ + static_cast<int64_t>(bytes.size());
    if (end > output_.Size()) output_.Resize(end);
    output_.Write(w_, bytes);
    w_ = end;
}

void StyleAssembler::AppendDelta(int64_t ticks) {
    const VariableLengthBytes delta = EncodeVariableLength(ticks);
    Append(delta.Span());
}

void StyleAssembler::CopySetUpPart() {
    int64_t end = source_.facts.musicStartPos;
    if (source_.song.bbMode || source_.song.isStyleFile) {
        for (int i = 0; i < MarkerCount(); ++i) {
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
    const auto measure = static_cast<int64_t>(std::llround(source_.facts.ticksPerMeasure));
    if (source_.setupTime <= measure) return measure - source_.setupTime;
    // No measure length: SMPTE time, a division of 0 or a time signature of 0 beats.
    if (measure == 0) Fail(error_number::kDivisionByZero);
    const int64_t into = source_.setupTime % measure;
    return into == 0 ? 0 : measure - into;
}

void StyleAssembler::CopyStartMarkerSection(int start) {
    const Marker& startMarker = MarkerAt(start);
    const std::string_view name = std::string_view(startMarker.text).substr(1);
    int end = start + 1;
    auto sameName = [&](const std::string& text) {
        return !text.empty() && std::string_view(text).substr(1) == name;
    };
    while (end < MarkerCount() && !sameName(MarkerAt(end).text))
        ++end;
    if (end >= MarkerCount()) return;  // no end marker: the name is listed, nothing copied
    const Marker& endMarker = MarkerAt(end);

    AppendDelta(startSectionCopied_ ? pendingDelta_ : FirstLeadIn());
    startSectionCopied_ = true;
    // The section marker of the style is the section's name.
    WalkState walk;
    walk.walkPos = startMarker.position;
    ReadDeltaTime(song_, walk);
    walk.walkPos += 1;  // on the FF
    ReadMetaText(song_, walk);
    const int64_t textEnd = int64_t{walk.walkPos} + 3 + walk.dataLength;
    const auto nameBytes = song_.Span(textEnd - walk.dataLength + 1, walk.dataLength - 1);
    Append(std::vector<uint8_t>{kMetaStatus, meta_type::kMarker});
    const VariableLengthBytes nameLength =
        EncodeVariableLength(static_cast<int64_t>(nameBytes.size()));
    Append(nameLength.Span());
    Append(nameBytes);
    // Markers of other sections marked on shared measures come along; the preparation after
    // the assembly takes every ">" and "<" marker out, keeping its time.
    CopySong(textEnd, endMarker.position);

    // Pad the section to whole measures after its last event.
    const double measure = source_.facts.ticksPerMeasure;
    const double length = endMarker.tick - startMarker.tick - DeltaAt(song_, endMarker.position);
    const double fraction = length / measure - std::floor(length / measure);
    pendingDelta_ = fraction == 0 ? 0 : std::llround((1 - fraction) * measure);
}

void StyleAssembler::CopyPlainSection(int index) {
    const Marker& marker = MarkerAt(index);
    const bool last = index + 1 >= MarkerCount() || MarkerAt(index + 1).position < marker.position;
    if (!last) {
        CopySong(marker.position, MarkerAt(index + 1).position);
        pendingDelta_ = 0;
        return;
    }
    // The last section keeps its closing rest: End of Track will carry its delta.
    const EndOfTrack endOfTrack = FindEndOfTrack(song_);
    CopySong(marker.position, endOfTrack.firstDeltaPos);
    pendingDelta_ = endOfTrack.delta;
}

// The section markers in file order; a working file's sections, all between start and end
// markers, in the usual order whatever their measures. A BB song keeps its own order.
std::vector<int> StyleAssembler::SectionOrder() const {
    std::vector<int> order;
    bool onlyStartMarkers = !source_.song.bbMode;
    for (int i = 0; i < MarkerCount() && !MarkerAt(i).text.empty(); ++i) {
        const std::string& text = MarkerAt(i).text;
        if (IsStartMarker(text)) {
            order.push_back(i);
        } else if (IsPlainSectionMarker(text)) {
            order.push_back(i);
            onlyStartMarkers = false;
        }
    }
    if (onlyStartMarkers) {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return UsualPlace(MarkerAt(a).text) < UsualPlace(MarkerAt(b).text);
        });
    }
    return order;
}

void StyleAssembler::CopySections() {
    for (const int i : SectionOrder()) {
        const std::string& text = MarkerAt(i).text;
        const bool start = IsStartMarker(text);
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
    output_.WriteU32BE(kTrackLengthPos, w_ - 1 - kTrackHeaderLastPos);
    output_.Resize(w_);
}

std::string StyleAssembler::Run() {
    output_ = ByteImage(std::vector<uint8_t>(song_.Bytes().size(), 0));
    CopySetUpPart();
    CopySections();
    WriteEndOfTrack();
    if (!sectionList_.empty()) sectionList_.pop_back();
    return sectionList_;
}

}  // namespace

std::string AssembleStyleTrack(const StyleSource& source, ByteImage& output) {
    return StyleAssembler(source, output).Run();
}

}  // namespace zephrane
