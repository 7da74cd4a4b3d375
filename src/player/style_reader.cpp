#include "player/style_reader.h"

#include <algorithm>
#include <cctype>

#include "casm/casm_reader.h"
#include "player/player_error.h"
#include "song/error.h"
#include "song/midi_layout.h"
#include "song/walker.h"

namespace zephrane::player {
namespace {

constexpr size_t kCtabRules = 20;        // NTR of a Ctab record
constexpr size_t kCtb2MiddleRange = 28;  // NTR of the middle range in a Ctb2 record
constexpr int64_t kCtb2Bytes = 34;       // up to the end of the middle range

std::string Trimmed(std::string text) {
    const auto blank = [](char c) { return c == ' ' || c == '\0' || c == '\t'; };
    while (!text.empty() && blank(text.back()))
        text.pop_back();
    size_t first = 0;
    while (first < text.size() && blank(text[first]))
        ++first;
    return text.substr(first);
}

bool NamesSection(const std::string& text) {
    for (std::string_view prefix : {"Intro ", "Main ", "Fill In ", "Ending ", "Break "}) {
        if (text.starts_with(prefix) && text.size() > prefix.size()) return true;
    }
    return text == "Break";
}

// A style is written with its track chunk right after the 6-byte header, where the walk reads it.
void CheckHeaders(const ByteImage& file) {
    if (file.Size() < kFirstEventPos) {
        throw PlayerError("The file has " + std::to_string(file.Size()) +
                          " bytes, too few for a MIDI file: it is not a style.");
    }
    if (!HasChunkTag(file, 0, "MThd")) {
        throw PlayerError(
            "The file does not begin with \"MThd\": it is not a MIDI file, so it "
            "is not a style.");
    }
    const int format = file.ReadU16BE(kFormatPos);
    if (format != 0) {
        throw PlayerError("The file is a MIDI file of type " + std::to_string(format) +
                          "; a style is a type-0 file (a single track).");
    }
    const int division = file.ReadU16BE(kDivisionPos);
    if (!CountsTicksPerQuarter(division)) {
        throw PlayerError("The file's timing (division " + std::to_string(division) +
                          ") is not in ticks per quarter note; a style counts ticks per quarter.");
    }
    if (!HasChunkTag(file, kFirstTrackChunkPos, "MTrk")) {
        throw PlayerError(
            "Offset 14 does not hold the track chunk \"MTrk\": the file is not "
            "a style.");
    }
}

class TrackReader {
  public:
    TrackReader(const ByteImage& file, PlayableStyle& style) : file_(file), style_(style) {}

    void Read() {
        WalkState walk;
        TrackWalker walker(file_, walk);
        int64_t eventStart = kFirstEventPos;
        bool ended = false;
        try {
            // The walk follows the events to End of Track whatever the length field says.
            while (walk.walkPos < file_.LastIndex()) {
                eventStart = int64_t{walk.walkPos} + 1;
                const TrackEvent& event = walker.Next();
                if (event.IsEndOfTrack()) {
                    CloseSection(event.absoluteTime);
                    ended = true;
                    break;
                }
                Take(event, walk);
            }
        } catch (const RuntimeError& error) {
            if (error.Number() == error_number::kSubscriptOutOfRange) {
                throw PlayerError("The style's track is cut short: the event at offset " +
                                  std::to_string(eventStart) + " runs past the end of the file (" +
                                  std::to_string(file_.Size()) + " bytes).");
            }
            throw PlayerError("The style's track cannot be read: the event at offset " +
                              std::to_string(eventStart) + " gives error " +
                              std::to_string(error.Number()) + " (" + error.Description() + ").");
        }
        if (!ended) {
            throw PlayerError(
                "The style's track has no End of Track event before the end of "
                "the file.");
        }
        if (style_.sections.empty()) {
            throw PlayerError(
                "The style has no section markers (\"Main A\", \"Intro A\" …): "
                "there is nothing to play.");
        }
    }

  private:
    void Take(const TrackEvent& event, const WalkState& walk) {
        if (event.IsMeta()) {
            TakeMeta(event, walk);
        } else if (event.IsChannelMessage()) {
            StyleEvent message;
            message.tick = event.absoluteTime;
            message.status = event.status;
            message.data1 = file_.At(event.dataPos) & 0x7F;
            if (event.dataLength > 1) message.data2 = file_.At(event.dataPos + 1) & 0x7F;
            style_.events.push_back(message);
        }
    }

    void TakeMeta(const TrackEvent& event, const WalkState& walk) {
        if (event.metaType == meta_type::kTempo && event.dataLength == 3 && !tempoSeen_) {
            const int64_t tempo = (int64_t{file_.At(event.dataPos)} << 16) |
                                  (int64_t{file_.At(event.dataPos + 1)} << 8) |
                                  file_.At(event.dataPos + 2);
            if (tempo > 0) {
                style_.tempo = tempo;
                tempoSeen_ = true;
            }
        } else if (event.metaType == meta_type::kTimeSignature && event.dataLength >= 2 &&
                   !meterSeen_) {
            const int numerator = file_.At(event.dataPos);
            const int power = file_.At(event.dataPos + 1);
            if (numerator >= 1 && power <= 6) {
                style_.numerator = numerator;
                style_.denominatorPower = power;
                meterSeen_ = true;
            }
        } else if (event.metaType == meta_type::kMarker) {
            const std::string text = Trimmed(walk.metaText);
            if (NamesSection(text)) {
                CloseSection(event.absoluteTime);
                if (style_.sections.empty()) style_.setUpEnd = event.absoluteTime;
                style_.sections.push_back({text, event.absoluteTime, event.absoluteTime});
                open_ = true;
            }
        }
    }

    void CloseSection(int64_t tick) {
        if (open_) style_.sections.back().end = tick;
        open_ = false;
    }

    const ByteImage& file_;
    PlayableStyle& style_;
    bool open_ = false;
    bool tempoSeen_ = false;
    bool meterSeen_ = false;
};

std::vector<std::string> SplitSections(const std::string& list) {
    std::vector<std::string> names;
    size_t pos = 0;
    while (pos <= list.size()) {
        const size_t comma = std::min(list.find(',', pos), list.size());
        std::string name = Trimmed(list.substr(pos, comma - pos));
        if (!name.empty()) names.push_back(std::move(name));
        pos = comma + 1;
    }
    return names;
}

std::string ChannelText(int channel) {
    return "channel " + std::to_string(channel + 1);
}

// The fields shared by Ctab and Ctb2 records; false (with a note) when the record feeds no part.
bool ReadCommonFields(const std::vector<uint8_t>& data, const std::string& where, PartRule& part,
                      std::vector<std::string>& notes) {
    part.sourceChannel = data[0];
    part.destination = data[9];
    if (part.sourceChannel > 15) {
        notes.push_back(where + " names source channel byte " + std::to_string(data[0]) +
                        ", not a MIDI channel; it is not played.");
        return false;
    }
    if (part.destination < 8 || part.destination > 15) {
        notes.push_back(where + " (" + ChannelText(part.sourceChannel) + ") feeds destination " +
                        std::to_string(part.destination) +
                        ", not an accompaniment part (8 to 15); it is not played.");
        return false;
    }
    part.name = Trimmed(std::string(data.begin() + 1, data.begin() + 9));
    part.noteMute = {data[11], data[12]};
    part.chordMute = {data[13], data[14], data[15], data[16], data[17]};
    part.sourceRoot = data[18];
    if (part.sourceRoot > 11) {
        notes.push_back(where + " gives source root " + std::to_string(data[18]) +
                        "; it is read as " + std::to_string(data[18] % 12) + ".");
        part.sourceRoot %= 12;
    }
    part.sourceChord = data[19];
    if (part.sourceChord >= kChordTypeCount) {
        notes.push_back(where + " gives source chord " + std::to_string(data[19]) +
                        ", not a chord type (0 to 33); it is read as maj7.");
        part.sourceChord = kMaj7Type;
    }
    return true;
}

// NTR, NTT, high key, low limit, high limit and retrigger rule from `first` on.
void ReadRuleFields(const std::vector<uint8_t>& data, size_t first, const std::string& where,
                    PartRule& part, std::vector<std::string>& notes) {
    const uint8_t ntr = data[first];
    if (ntr > 1) notes.push_back(where + " gives NTR " + std::to_string(ntr) + "; read as 0.");
    part.rootFixed = ntr == 1;
    const uint8_t ntt = data[first + 1];
    part.bassOn = (ntt & 0x80) != 0;
    static constexpr Ntt kTables[] = {Ntt::kBypass, Ntt::kMelody,       Ntt::kChord,
                                      Ntt::kBass,   Ntt::kMelodicMinor, Ntt::kHarmonicMinor};
    if ((ntt & 0x7F) < 6) {
        part.ntt = kTables[ntt & 0x7F];
    } else {
        notes.push_back(where + " gives NTT " + std::to_string(ntt & 0x7F) + "; read as Bypass.");
        part.ntt = Ntt::kBypass;
    }
    part.highKey = data[first + 2] % 12;
    part.lowLimit = std::min<int>(data[first + 3], 127);
    part.highLimit = std::min<int>(data[first + 4], 127);
    part.retrigger = data[first + 5];
    if (part.retrigger > kRetriggerNoteGenerator) {
        notes.push_back(where + " gives retrigger rule " + std::to_string(part.retrigger) +
                        "; read as Stop.");
        part.retrigger = kRetriggerStop;
    }
}

// A Cntt record: the NTT of the newer styles, with the bass-on bit 0x80.
void ApplyCntt(const std::vector<uint8_t>& data, const std::string& where,
               std::vector<PartRule>& parts, std::vector<std::string>& notes) {
    auto part = std::find_if(parts.rbegin(), parts.rend(),
                             [&](const PartRule& p) { return p.sourceChannel == data[0]; });
    if (part == parts.rend()) {
        notes.push_back(where + " refines " + ChannelText(data[0]) +
                        ", which has no record before it; it is ignored.");
        return;
    }
    struct Table {
        Ntt ntt;
        bool fifth;
    };
    static constexpr Table kTables[] = {
        {Ntt::kBypass, false},       {Ntt::kMelody, false},       {Ntt::kChord, false},
        {Ntt::kMelodicMinor, false}, {Ntt::kMelodicMinor, true},  {Ntt::kHarmonicMinor, false},
        {Ntt::kHarmonicMinor, true}, {Ntt::kNaturalMinor, false}, {Ntt::kNaturalMinor, true},
        {Ntt::kDorian, false},       {Ntt::kDorian, true}};
    const int table = data[1] & 0x7F;
    if (table >= static_cast<int>(std::size(kTables))) {
        notes.push_back(where + " gives NTT " + std::to_string(table) + "; it is ignored.");
        return;
    }
    part->ntt = kTables[table].ntt;
    part->fifthVariation = kTables[table].fifth;
    part->bassOn = (data[1] & 0x80) != 0;
}

// The fields of a Ctab record back in their byte order, so that Ctab and Ctb2 records are read
// by the same code (the name is taken from the fields, as text).
std::vector<uint8_t> CtabBytes(const CtabFields& f) {
    std::vector<uint8_t> data = {f.sourceChannel};
    data.resize(9, ' ');
    data.insert(data.end(), {f.destinationChannel, f.editable, f.noteMute[0], f.noteMute[1]});
    data.insert(data.end(), f.chordMute.begin(), f.chordMute.end());
    data.insert(data.end(), {f.sourceRoot, f.sourceChord, f.ntr, f.ntt, f.highKey, f.lowLimit,
                             f.highLimit, f.retrigger});
    return data;
}

void ReadCasm(const ByteImage& file, PlayableStyle& style) {
    const CasmListing listing = ReadCasmListing(file);
    for (const std::string& problem : listing.problems)
        style.notes.push_back("CASM: " + problem);
    for (const StyleChunk& chunk : listing.chunks) {
        if (!chunk.IsCasm()) continue;
        for (const CasmSegment& cseg : chunk.csegs) {
            PartSegment segment;
            if (cseg.sections) segment.sections = SplitSections(*cseg.sections);
            for (const CasmRecord& record : cseg.records) {
                const std::string where =
                    "The \"" + record.tag + "\" at offset " + std::to_string(record.offset);
                PartRule part;
                if (record.ctab) {
                    const std::vector<uint8_t> data = CtabBytes(*record.ctab);
                    if (!ReadCommonFields(data, where, part, style.notes)) continue;
                    part.name = Trimmed(record.ctab->name);
                    ReadRuleFields(data, kCtabRules, where, part, style.notes);
                } else if (record.tag == "Ctb2") {
                    if (static_cast<int64_t>(record.bytes.size()) < kCtb2Bytes) {
                        style.notes.push_back(where + " has " +
                                              std::to_string(record.bytes.size()) +
                                              " data bytes, too few for its middle range; it is "
                                              "not played.");
                        continue;
                    }
                    if (!ReadCommonFields(record.bytes, where, part, style.notes)) continue;
                    ReadRuleFields(record.bytes, kCtb2MiddleRange, where, part, style.notes);
                } else if (record.tag == "Cntt") {
                    if (record.bytes.size() < 2) {
                        style.notes.push_back(where + " is too short; it is ignored.");
                    } else {
                        ApplyCntt(record.bytes, where, segment.parts, style.notes);
                    }
                    continue;
                } else {
                    continue;  // a record the player has no use for
                }
                const bool taken = std::any_of(
                    segment.parts.begin(), segment.parts.end(),
                    [&](const PartRule& p) { return p.sourceChannel == part.sourceChannel; });
                if (taken) {
                    style.notes.push_back(where + " names " + ChannelText(part.sourceChannel) +
                                          " a second time in its CSEG; the first record is used.");
                    continue;
                }
                segment.parts.push_back(std::move(part));
            }
            style.segments.push_back(std::move(segment));
        }
    }
    style.hasCasm = !style.segments.empty();
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

int64_t PlayableStyle::BarTicks() const {
    return int64_t{division} * 4 * numerator / (int64_t{1} << denominatorPower);
}

PlayableStyle ReadPlayableStyle(const ByteImage& file) {
    PlayableStyle style;
    CheckHeaders(file);
    style.division = file.ReadU16BE(kDivisionPos);
    TrackReader(file, style).Read();
    ReadCasm(file, style);
    return style;
}

const StyleSection* FindSection(const PlayableStyle& style, std::string_view name) {
    for (const StyleSection& section : style.sections) {
        if (section.name == name) return &section;
    }
    for (const StyleSection& section : style.sections) {
        if (SameIgnoringCase(section.name, name)) return &section;
    }
    return nullptr;
}

const StyleSection& DefaultSection(const PlayableStyle& style) {
    const StyleSection* mainA = FindSection(style, "Main A");
    return mainA ? *mainA : style.sections.front();
}

SectionParts PartsFor(const PlayableStyle& style, std::string_view section) {
    for (const PartSegment& segment : style.segments) {
        for (const std::string& name : segment.sections) {
            if (name == section && !segment.parts.empty()) return {segment.parts, false};
        }
    }
    SectionParts defaults{{}, true};
    for (int channel = 8; channel <= 15; ++channel)
        defaults.rules.push_back(DefaultPart(channel));
    return defaults;
}

}  // namespace zephrane::player
