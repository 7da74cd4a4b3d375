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
bool ReadCommonFields(const CtabFields& fields, const std::string& where, PartRule& part,
                      std::vector<std::string>& notes) {
    part.sourceChannel = fields.sourceChannel;
    part.destination = fields.destinationChannel;
    if (part.sourceChannel > 15) {
        notes.push_back(where + " names source channel byte " +
                        std::to_string(fields.sourceChannel) +
                        ", not a MIDI channel; it is not played.");
        return false;
    }
    if (part.destination < 8 || part.destination > 15) {
        notes.push_back(where + " (" + ChannelText(part.sourceChannel) + ") feeds destination " +
                        std::to_string(part.destination) +
                        ", not an accompaniment part (8 to 15); it is not played.");
        return false;
    }
    part.name = Trimmed(fields.name);
    part.noteMute = fields.noteMute;
    part.chordMute = fields.chordMute;
    part.sourceRoot = fields.sourceRoot;
    if (part.sourceRoot > 11) {
        notes.push_back(where + " gives source root " + std::to_string(fields.sourceRoot) +
                        "; it is read as " + std::to_string(fields.sourceRoot % 12) + ".");
        part.sourceRoot %= 12;
    }
    part.sourceChord = fields.sourceChord;
    if (part.sourceChord >= kChordTypeCount) {
        notes.push_back(where + " gives source chord " + std::to_string(fields.sourceChord) +
                        ", not a chord type (0 to 33); it is read as maj7.");
        part.sourceChord = kMaj7Type;
    }
    return true;
}

// The NTT numbers of Ctb2 and Cntt records, which differ from those of a Ctab from 3 on.
struct NewerTable {
    Ntt ntt;
    bool fifth;
};
constexpr NewerTable kNewerTables[] = {
    {Ntt::kBypass, false},       {Ntt::kMelody, false},       {Ntt::kChord, false},
    {Ntt::kMelodicMinor, false}, {Ntt::kMelodicMinor, true},  {Ntt::kHarmonicMinor, false},
    {Ntt::kHarmonicMinor, true}, {Ntt::kNaturalMinor, false}, {Ntt::kNaturalMinor, true},
    {Ntt::kDorian, false},       {Ntt::kDorian, true}};

// The NTT byte of a root-transposition or root-fixed part; false (the part unchanged) when its
// number is unknown.
bool ReadNtt(uint8_t byte, bool newer, PartRule& part) {
    static constexpr Ntt kCtabTables[] = {Ntt::kBypass, Ntt::kMelody,       Ntt::kChord,
                                          Ntt::kBass,   Ntt::kMelodicMinor, Ntt::kHarmonicMinor};
    const size_t table = byte & 0x7F;
    if (table >= (newer ? std::size(kNewerTables) : std::size(kCtabTables))) return false;
    part.ntt = newer ? kNewerTables[table].ntt : kCtabTables[table];
    part.fifthVariation = newer && kNewerTables[table].fifth;
    part.bassOn = (byte & 0x80) != 0;
    return true;
}

// NTR, NTT, high key, low limit, high limit and retrigger rule of one range; `newer`: the NTT
// numbers of a Ctb2 record.
void ReadRuleFields(const RangeFields& fields, bool newer, const std::string& where, PartRule& part,
                    std::vector<std::string>& notes) {
    part.ntr = fields.ntr == 1   ? Ntr::kRootFixed
               : fields.ntr == 2 ? Ntr::kGuitar
                                 : Ntr::kRootTransposition;
    if (fields.ntr > 2) {
        notes.push_back(where + " gives NTR " + std::to_string(fields.ntr) + "; read as 0.");
    }
    if (part.ntr == Ntr::kGuitar) {
        const int mode = fields.ntt & 0x7F;
        if (mode > 2) {
            notes.push_back(where + " gives guitar NTT " + std::to_string(mode) +
                            "; read as All-purpose.");
        }
        part.guitarMode = mode == 1   ? GuitarMode::kStroke
                          : mode == 2 ? GuitarMode::kArpeggio
                                      : GuitarMode::kAllPurpose;
        part.bassOn = (fields.ntt & 0x80) != 0;
    } else if (!ReadNtt(fields.ntt, newer, part)) {
        notes.push_back(where + " gives NTT " + std::to_string(fields.ntt & 0x7F) +
                        "; read as Bypass.");
        part.ntt = Ntt::kBypass;
    }
    part.highKey = fields.highKey % 12;
    part.lowLimit = std::min<int>(fields.lowLimit, 127);
    part.highLimit = std::min<int>(fields.highLimit, 127);
    part.retrigger = fields.retrigger;
    if (part.retrigger > kRetriggerNoteGenerator) {
        notes.push_back(where + " gives retrigger rule " + std::to_string(part.retrigger) +
                        "; read as Stop.");
        part.retrigger = kRetriggerStop;
    }
}

// A Ctb2 record: the middle range's rules, with copies for the low and high ranges.
bool ReadCtb2(const Ctb2Fields& fields, const std::string& where, PartRule& part,
              std::vector<std::string>& notes) {
    if (!ReadCommonFields(fields.common, where, part, notes)) return false;
    PartRule low = part, high = part;
    ReadRuleFields(fields.low, true, where + " (low range)", low, notes);
    ReadRuleFields(fields.middle, true, where, part, notes);
    ReadRuleFields(fields.high, true, where + " (high range)", high, notes);
    part.middleLowest = fields.middleLowest;
    part.middleHighest = fields.middleHighest;
    part.outerRanges = {std::move(low), std::move(high)};
    return true;
}

// A Cntt record: the newer NTT, with the bass-on bit 0x80, for every range of the record before
// it for that channel (a range played by the guitar rule takes only the bass-on bit).
void ApplyCntt(const CnttFields& cntt, const std::string& where, std::vector<PartRule>& parts,
               std::vector<std::string>& notes) {
    auto part = std::find_if(parts.rbegin(), parts.rend(), [&](const PartRule& p) {
        return p.sourceChannel == cntt.sourceChannel;
    });
    if (part == parts.rend()) {
        notes.push_back(where + " refines " + ChannelText(cntt.sourceChannel) +
                        ", which has no record before it; it is ignored.");
        return;
    }
    if (!ReadNtt(cntt.ntt, true, *part)) {
        notes.push_back(where + " gives NTT " + std::to_string(cntt.ntt & 0x7F) +
                        "; it is ignored.");
        return;
    }
    for (PartRule& range : part->outerRanges)
        ReadNtt(cntt.ntt, true, range);
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
                    if (!ReadCommonFields(*record.ctab, where, part, style.notes)) continue;
                    const RangeFields rules{record.ctab->ntr,       record.ctab->ntt,
                                            record.ctab->highKey,   record.ctab->lowLimit,
                                            record.ctab->highLimit, record.ctab->retrigger};
                    ReadRuleFields(rules, false, where, part, style.notes);
                } else if (record.ctb2) {
                    if (!ReadCtb2(*record.ctb2, where, part, style.notes)) continue;
                } else if (record.cntt) {
                    ApplyCntt(*record.cntt, where, segment.parts, style.notes);
                    continue;
                } else {
                    continue;  // a record the player has no use for (or too short: the listing
                               // names it among the CASM problems)
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
