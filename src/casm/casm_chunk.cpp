#include "casm/casm_chunk.h"

#include <algorithm>
#include <optional>
#include <span>

#include "song/error.h"
#include "song/text_codec.h"

namespace zephrane {
namespace {

constexpr uint8_t kRhythmChordMute[] = {0x07, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr uint8_t kNoteMute[] = {0x0F, 0xFF};
constexpr int kCtabNameLength = 8;
constexpr int kChunkHeaderLength = 8;

// A CASM field value; anything outside a byte is an overflow.
uint8_t FieldByte(int value) {
    if (value < 0 || value > 255) Fail(error_number::kOverflow);
    return static_cast<uint8_t>(value);
}

void AppendBytes(ChunkOutput output, std::span<const uint8_t> bytes) {
    const int64_t end = output.writePos + static_cast<int64_t>(bytes.size());
    if (end > output.image.Size()) output.image.Resize(end);
    for (uint8_t byte : bytes)
        output.image.Set(output.writePos++, byte);
}

void AppendText(ChunkOutput output, std::string_view text) {
    const std::vector<uint8_t> bytes = EncodeAnsi(text);
    AppendBytes(output, bytes);
}

// Leaves four bytes for a length to be filled in later; their position.
int64_t ReserveLength(ChunkOutput output) {
    const int64_t position = output.writePos;
    const uint8_t zeros[4] = {};
    AppendBytes(output, zeros);
    return position;
}

void AppendLength(ChunkOutput output, int64_t value) {
    const int64_t position = ReserveLength(output);
    output.image.WriteU32BE(position, value);
}

std::vector<uint8_t> CtabData(int channel, const CasmRow& row) {
    const std::string_view partName = kPartList[row.part].text;
    std::vector<uint8_t> data = {FieldByte(channel - 1)};
    std::vector<uint8_t> name = EncodeAnsi(partName);
    name.resize(kCtabNameLength, ' ');
    data.insert(data.end(), name.begin(), name.end());
    data.push_back(FieldByte(kPartList[row.part].code));
    data.push_back(0);  // editable
    data.insert(data.end(), std::begin(kNoteMute), std::end(kNoteMute));
    if (row.part == kSubRhythmPart || row.part == kRhythmPart) {
        data.insert(data.end(), std::begin(kRhythmChordMute), std::end(kRhythmChordMute));
    } else {
        data.insert(data.end(), row.chordMute.begin(), row.chordMute.end());
    }
    for (int value : {row.sourceKey, row.sourceChord, row.ntr, row.ntt, row.highKey,
                      int{row.lowLimit}, int{row.highLimit}, row.retrigger}) {
        data.push_back(FieldByte(value));
    }
    data.push_back(0);  // special feature
    return data;
}

bool HasCtab(const CasmTable& table, const ChannelTable& channels, int channel) {
    const int part = table[channel - 1].part;
    return channels[channel - 1].hasNotes && part >= 0 && part <= kLastAccompanimentPart;
}

struct SourceChord {
    int root = 0;
    int chordType = 0;

    bool operator==(const SourceChord&) const = default;
};

// The sections one CSEG names, and the chord its melodic parts were played over; none for the
// table's own source roots and chords.
struct CsegGroup {
    std::string sections;
    std::optional<SourceChord> chord;

    void Add(std::string_view section) {
        if (!sections.empty()) sections += ',';
        sections += section;
    }
};

std::optional<SourceChord> OwnChordOf(std::string_view section,
                                      std::span<const SectionSourceChord> ownChords) {
    const auto own =
        std::find_if(ownChords.begin(), ownChords.end(),
                     [&](const SectionSourceChord& c) { return c.section == section; });
    if (own == ownChords.end()) return std::nullopt;
    return SourceChord{own->root, own->chordType};
}

// The sections of `sectionList` grouped by their source chord. A list without own chords stays one
// group, as it is.
std::vector<CsegGroup> GroupByOwnChord(std::string_view sectionList,
                                       std::span<const SectionSourceChord> ownChords) {
    std::vector<CsegGroup> groups(1);  // the table's group first
    for (size_t start = 0; !sectionList.empty() && start <= sectionList.size();) {
        const size_t comma = std::min(sectionList.find(',', start), sectionList.size());
        const std::string_view section = sectionList.substr(start, comma - start);
        const std::optional<SourceChord> chord = OwnChordOf(section, ownChords);
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const CsegGroup& g) { return g.chord == chord; });
        if (group == groups.end()) group = groups.insert(groups.end(), {"", chord});
        group->Add(section);
        start = comma + 1;
    }
    if (groups.size() == 1) return {{std::string(sectionList), std::nullopt}};
    if (groups.front().sections.empty()) groups.erase(groups.begin());
    return groups;
}

// The table's row of `channel` as a CSEG of `group` writes it: a melodic part takes the group's
// own chord as its source root and chord.
CasmRow RowForGroup(const CasmRow& row, const CsegGroup& group) {
    CasmRow written = row;
    if (group.chord && row.part != kSubRhythmPart && row.part != kRhythmPart) {
        written.sourceKey = group.chord->root;
        written.sourceChord = group.chord->chordType;
    }
    return written;
}

void AppendCseg(ChunkOutput output, const CasmTable& table, const ChannelTable& channels,
                const CsegGroup& group) {
    AppendText(output, "CSEG");
    const int64_t csegLength = ReserveLength(output);
    const int64_t csegContent = output.writePos;
    AppendText(output, "Sdec");
    AppendLength(output, static_cast<int64_t>(AnsiLength(group.sections)));
    AppendText(output, group.sections);
    for (int channel = 1; channel <= 16; ++channel) {
        if (!HasCtab(table, channels, channel)) continue;
        AppendText(output, "Ctab");
        AppendLength(output, kCtabDataLength);
        AppendBytes(output, CtabData(channel, RowForGroup(table[channel - 1], group)));
    }
    output.image.WriteU32BE(csegLength, output.writePos - csegContent);
}

// Reads CASM data kept from an opened style: tags that do not fit in the bytes match nothing.
class StyleCasmReader {
  public:
    explicit StyleCasmReader(const ByteImage& bytes) : bytes_(bytes) {}
    bool TagAt(int64_t i, std::string_view tag) const {
        if (i < 0 || i + 3 > bytes_.LastIndex()) return false;
        for (int k = 0; k < 4; ++k) {
            if (bytes_.At(i + k) != static_cast<uint8_t>(tag[k])) return false;
        }
        return true;
    }
    int64_t LengthAt(int64_t i) const { return bytes_.ReadU32BE(i); }
    std::string TextAt(int64_t i, int64_t length) const {
        return DecodeAnsi(bytes_.Span(i, length));
    }
    int64_t LastIndex() const { return bytes_.LastIndex(); }
    uint8_t At(int64_t i) const { return bytes_.At(i); }

  private:
    const ByteImage& bytes_;
};

void ReadSectionRecords(const StyleCasmReader& casm, std::string_view name, CasmSnapshot& snapshot,
                        std::vector<int32_t>& sourceRoots) {
    // The chunk tag stands within the first eleven bytes; reading starts behind its length.
    int64_t i = 0;
    while (i <= 10 && !casm.TagAt(i, "CASM"))
        ++i;
    i += kChunkHeaderLength;
    while (i < casm.LastIndex() && casm.TagAt(i, "CSEG")) {
        i += kChunkHeaderLength;
        while (i < casm.LastIndex() && casm.TagAt(i, "Sdec")) {
            const int64_t listLength = casm.LengthAt(i + 4);
            const std::string sections = casm.TextAt(i + kChunkHeaderLength, listLength);
            i += kChunkHeaderLength + listLength;
            const bool applies = sections.find(name) != std::string::npos;
            while (i < casm.LastIndex() && casm.TagAt(i, "Ctab")) {
                const int64_t start = i;
                const int64_t data = start + kChunkHeaderLength;
                if (applies) {
                    const int channel = casm.At(data + kCtabSourceChannel) + 1;
                    if (channel > 16) Fail(error_number::kSubscriptOutOfRange);
                    snapshot.part[channel] =
                        static_cast<int16_t>(casm.At(data + kCtabDestination) + 1);
                    snapshot.sourceKey[channel] = casm.At(data + kCtabSourceRoot);
                    sourceRoots.push_back(static_cast<int32_t>(data + kCtabSourceRoot));
                }
                i = start + kChunkHeaderLength + casm.LengthAt(start + 4);
            }
        }
    }
}

}  // namespace

void AppendNewCasm(ChunkOutput output, const CasmTable& table, const ChannelTable& channels,
                   std::string_view sectionList, std::span<const SectionSourceChord> ownChords) {
    AppendText(output, "CASM");
    const int64_t casmLength = ReserveLength(output);
    const int64_t casmContent = output.writePos;
    for (const CsegGroup& group : GroupByOwnChord(sectionList, ownChords))
        AppendCseg(output, table, channels, group);
    output.image.WriteU32BE(casmLength, output.writePos - casmContent);
}

void AppendKeptCasm(ChunkOutput output, const ByteImage& styleCasm) {
    AppendBytes(output, styleCasm.Bytes());
}

void ReadSectionChannels(const ByteImage& styleCasm, std::string_view sectionName,
                         CasmSnapshot& snapshot, std::vector<int32_t>& sourceRoots) {
    if (styleCasm.LastIndex() == 1) return;  // no CASM kept
    ReadSectionRecords(StyleCasmReader(styleCasm), sectionName, snapshot, sourceRoots);
}

}  // namespace zephrane
