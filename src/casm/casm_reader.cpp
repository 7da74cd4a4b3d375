#include "casm/casm_reader.h"

#include <functional>
#include <span>
#include <string_view>

#include "song/error.h"
#include "song/midi_layout.h"
#include "song/text_codec.h"
#include "song/walker.h"

namespace zephrane {
namespace {

constexpr uint8_t kLastMidiChannelIndex = 15;  // channels 1-16 as 0-15

std::string Offset(int64_t offset) {
    return std::to_string(offset);
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The four tag bytes at `offset` (all inside the file): printable ASCII as it is, every other byte
// as "\xNN", so that a damaged tag still prints as readable text.
std::string TagText(const ByteImage& file, int64_t offset) {
    static constexpr std::string_view kHex = "0123456789ABCDEF";
    std::string text;
    for (const uint8_t byte : file.Span(offset, 4)) {
        if (byte >= 0x20 && byte < 0x7F) {
            text += static_cast<char>(byte);
        } else {
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 0x0F];
        }
    }
    return text;
}

// A run of chunks: the file after the track, the content of a CASM chunk or of a CSEG.
struct Container {
    int64_t begin = 0;  // first content byte
    int64_t end = 0;    // one past the last content byte
    std::string name;   // "the file", "the CSEG at offset 4419"
    std::string that;   // "the file", "that CSEG": what is left unread after damage
};

Container ContentOf(const std::string& kind, int64_t offset, uint32_t length) {
    const int64_t begin = offset + kChunkHeaderSize;
    return {begin, begin + length, "the " + kind + " at offset " + Offset(offset), "that " + kind};
}

struct ChunkHeader {
    std::string tag;
    int64_t offset = 0;
    uint32_t length = 0;
    int64_t dataBegin() const { return offset + kChunkHeaderSize; }
};

// Visits the chunks of `container` in order. A header cut short or a length running past the end
// of the container is described in `problems` and ends the run: the bytes behind it cannot be
// told apart from the damaged chunk's own.
void ForEachChunk(const ByteImage& file, const Container& container,
                  std::vector<std::string>& problems,
                  const std::function<void(const ChunkHeader&)>& visit) {
    int64_t pos = container.begin;
    while (pos < container.end) {
        const int64_t left = container.end - pos;
        if (left < kChunkHeaderSize) {
            problems.push_back("The last " + std::to_string(left) + " bytes of " + container.name +
                               ", from offset " + Offset(pos) +
                               ", are too few for a chunk header (a 4-character tag and a 4-byte "
                               "length); they are not read.");
            return;
        }
        ChunkHeader header{TagText(file, pos), pos, file.ReadU32BE(pos + kChunkLengthOffset)};
        const int64_t available = left - kChunkHeaderSize;
        if (header.length > available) {
            problems.push_back(Quoted(header.tag) + " at offset " + Offset(pos) + " declares " +
                               std::to_string(header.length) + " data bytes, but only " +
                               std::to_string(available) + " remain in " + container.name +
                               "; the rest of " + container.that + " is not read.");
            return;
        }
        visit(header);
        pos = header.dataBegin() + header.length;
    }
}

// Bytes 0-19, shared by Ctab and Ctb2 records.
CtabFields ReadCommonFields(std::span<const uint8_t> data) {
    CtabFields ctab;
    ctab.sourceChannel = data[0];
    ctab.name = DecodeAnsi(data.subspan(1, 8));
    ctab.destinationChannel = data[9];
    ctab.editable = data[10];
    ctab.noteMute = {data[11], data[12]};
    ctab.chordMute = {data[13], data[14], data[15], data[16], data[17]};
    ctab.sourceRoot = data[18];
    ctab.sourceChord = data[19];
    return ctab;
}

RangeFields ReadRangeFields(std::span<const uint8_t> data) {
    return {data[0], data[1], data[2], data[3], data[4], data[5]};
}

CtabFields ReadCtabFields(std::span<const uint8_t> data) {
    CtabFields ctab = ReadCommonFields(data);
    const RangeFields rules = ReadRangeFields(data.subspan(20));
    ctab.ntr = rules.ntr;
    ctab.ntt = rules.ntt;
    ctab.highKey = rules.highKey;
    ctab.lowLimit = rules.lowLimit;
    ctab.highLimit = rules.highLimit;
    ctab.retrigger = rules.retrigger;
    ctab.specialFeature = data[26];
    const auto extra = data.subspan(kCtabFieldBytes);
    ctab.extra.assign(extra.begin(), extra.end());
    return ctab;
}

Ctb2Fields ReadCtb2Fields(std::span<const uint8_t> data) {
    Ctb2Fields ctb2{ReadCommonFields(data),
                    data[20],
                    data[21],
                    ReadRangeFields(data.subspan(22)),
                    ReadRangeFields(data.subspan(28)),
                    ReadRangeFields(data.subspan(34)),
                    {}};
    const auto extra = data.subspan(kCtb2FieldBytes);
    ctb2.extra.assign(extra.begin(), extra.end());
    return ctb2;
}

// The source channel is 0-based: an instrument has 16 channels to read from.
void CheckSourceChannel(const ChunkHeader& record, uint8_t channel,
                        std::vector<std::string>& problems) {
    if (channel <= kLastMidiChannelIndex) return;
    problems.push_back(Quoted(record.tag) + " at offset " + Offset(record.offset) +
                       " names source channel " + std::to_string(channel + 1) +
                       ", beyond the 16 MIDI channels.");
}

// A record of a known tag too short for its fields.
void CheckFieldBytes(const ChunkHeader& record, int fieldBytes,
                     std::vector<std::string>& problems) {
    problems.push_back(Quoted(record.tag) + " at offset " + Offset(record.offset) + " has " +
                       std::to_string(record.length) + " data bytes, fewer than the " +
                       std::to_string(fieldBytes) +
                       " of its fields; its bytes are listed as they are.");
}

CasmSegment ReadSegment(const ByteImage& file, const ChunkHeader& header,
                        std::vector<std::string>& problems) {
    CasmSegment segment{header.offset, header.length, std::nullopt, {}};
    ForEachChunk(file, ContentOf("CSEG", header.offset, header.length), problems,
                 [&](const ChunkHeader& record) {
                     const std::span<const uint8_t> data =
                         file.Span(record.dataBegin(), record.length);
                     if (record.tag == "Sdec" && !segment.sections) {
                         segment.sections = DecodeAnsi(data);
                         return;
                     }
                     CasmRecord entry{record.tag, record.offset, record.length, {}, {}, {}, {}};
                     const auto fits = [&](int fieldBytes) {
                         if (record.length >= static_cast<uint32_t>(fieldBytes)) return true;
                         CheckFieldBytes(record, fieldBytes, problems);
                         return false;
                     };
                     if (record.tag == "Ctab" && fits(kCtabFieldBytes)) {
                         entry.ctab = ReadCtabFields(data);
                         CheckSourceChannel(record, entry.ctab->sourceChannel, problems);
                         segment.records.push_back(std::move(entry));
                         return;
                     }
                     if (record.tag == "Ctb2" && fits(kCtb2FieldBytes)) {
                         entry.ctb2 = ReadCtb2Fields(data);
                         CheckSourceChannel(record, entry.ctb2->common.sourceChannel, problems);
                     } else if (record.tag == "Cntt" && fits(kCnttFieldBytes)) {
                         entry.cntt = CnttFields{data[0], data[1]};
                         CheckSourceChannel(record, entry.cntt->sourceChannel, problems);
                     }
                     entry.bytes.assign(data.begin(), data.end());
                     segment.records.push_back(std::move(entry));
                 });
    if (!segment.sections) {
        problems.push_back("The CSEG at offset " + Offset(header.offset) +
                           " holds no \"Sdec\" chunk: no sections are named for its records.");
    }
    return segment;
}

void ReadCasmContent(const ByteImage& file, StyleChunk& casm, std::vector<std::string>& problems) {
    ForEachChunk(file, ContentOf("CASM chunk", casm.offset, casm.length), problems,
                 [&](const ChunkHeader& header) {
                     if (header.tag == "CSEG") {
                         casm.csegs.push_back(ReadSegment(file, header, problems));
                     } else {
                         problems.push_back(Quoted(header.tag) + " at offset " +
                                            Offset(header.offset) + " inside the CASM chunk at " +
                                            "offset " + Offset(casm.offset) +
                                            " is not a CSEG; it is skipped.");
                     }
                 });
}

// The offset just after the End of Track event, or a description of why the track cannot be
// walked to it. The walk follows the events to the End of Track whatever the track length field
// says (the field may be stale); a disagreement is reported, the events decide.
std::optional<int64_t> FindTrackEnd(const ByteImage& file, std::vector<std::string>& problems) {
    const std::string nothingRead = "; no chunks are read.";
    if (file.Size() < kFirstEventPos) {
        problems.push_back("The file has " + std::to_string(file.Size()) +
                           " bytes, too few for the MIDI header and the track header (22 bytes)" +
                           nothingRead);
        return std::nullopt;
    }
    if (!HasChunkTag(file, 0, "MThd")) {
        problems.push_back("The file does not begin with \"MThd\" (it begins with " +
                           Quoted(TagText(file, 0)) + "): it is not a Standard MIDI File" +
                           nothingRead);
        return std::nullopt;
    }
    const MidiFileLayout layout = ReadMidiFileLayout(file);
    if (!layout.hasHeaderChunk) {
        problems.push_back("The header chunk \"MThd\" declares " +
                           std::to_string(file.ReadU32BE(kChunkLengthOffset)) +
                           " data bytes, too few for the format, the track count and the "
                           "division (6 bytes)" +
                           nothingRead);
        return std::nullopt;
    }
    if (layout.format != 0) {
        problems.push_back("The MIDI file is of type " + std::to_string(layout.format) +
                           ", not type 0 (a single track)" + nothingRead);
        return std::nullopt;
    }
    if (!layout.trackChunkPos) {
        const int64_t first = layout.firstChunkPos;
        problems.push_back(first + 4 <= file.Size()
                               ? "Offset " + Offset(first) + " holds " +
                                     Quoted(TagText(file, first)) +
                                     " where the track chunk \"MTrk\" must begin" + nothingRead
                               : "No track chunk \"MTrk\" follows the header chunk" + nothingRead);
        return std::nullopt;
    }

    // Chunks of other tags before the track are skipped, as by every MIDI reader.
    const int64_t trackChunkPos = *layout.trackChunkPos;
    const int64_t firstEventPos = trackChunkPos + kChunkHeaderSize;
    WalkState walk;
    TrackWalker walker(file, walk, trackChunkPos);
    std::optional<int64_t> trackEnd;
    int64_t eventStart = firstEventPos;
    try {
        while (walk.walkPos < file.LastIndex()) {
            eventStart = int64_t{walk.walkPos} + 1;
            const TrackEvent& event = walker.Next();
            if (event.IsEndOfTrack()) {
                trackEnd = int64_t{event.lastPos} + 1;
                break;
            }
        }
    } catch (const RuntimeError& error) {
        if (error.Number() == error_number::kSubscriptOutOfRange) {
            problems.push_back("The file ends inside the track: the event at offset " +
                               Offset(eventStart) + " runs past the end of the file (" +
                               std::to_string(file.Size()) + " bytes)" + nothingRead);
        } else {
            problems.push_back("The track cannot be walked: the event at offset " +
                               Offset(eventStart) + " gives error " +
                               std::to_string(error.Number()) + " (" + error.Description() + ")" +
                               nothingRead);
        }
        return std::nullopt;
    }
    if (!trackEnd) {
        problems.push_back("The track has no End of Track event before the end of the file (" +
                           std::to_string(file.Size()) + " bytes)" + nothingRead);
        return std::nullopt;
    }
    const int64_t declared = file.ReadU32BE(trackChunkPos + kChunkLengthOffset);
    const int64_t walked = *trackEnd - firstEventPos;
    if (declared != walked) {
        problems.push_back(
            "The track length at offset " + Offset(trackChunkPos + kChunkLengthOffset) +
            " declares " + std::to_string(declared) +
            " bytes, but the End of Track event ends the track after " + std::to_string(walked) +
            " bytes, at offset " + Offset(*trackEnd) + "; the chunks are read from there.");
    }
    return trackEnd;
}

}  // namespace

CasmListing ReadCasmListing(const ByteImage& file) {
    CasmListing listing;
    listing.trackEnd = FindTrackEnd(file, listing.problems);
    if (!listing.trackEnd) return listing;

    const Container rest{*listing.trackEnd, file.Size(), "the file", "the file"};
    ForEachChunk(file, rest, listing.problems, [&](const ChunkHeader& header) {
        StyleChunk chunk{header.tag, header.offset, header.length, {}};
        if (chunk.IsCasm()) ReadCasmContent(file, chunk, listing.problems);
        listing.chunks.push_back(std::move(chunk));
    });

    if (*listing.trackEnd == file.Size()) {
        listing.problems.push_back("No chunk follows the track, which ends at offset " +
                                   Offset(*listing.trackEnd) +
                                   " with the file: there is no CASM data.");
    } else if (!listing.chunks.empty()) {
        bool hasCasm = false;
        for (const StyleChunk& chunk : listing.chunks)
            hasCasm = hasCasm || chunk.IsCasm();
        if (!hasCasm && listing.chunks.size() == 1) {
            listing.problems.push_back(
                "The only chunk after the track is not a \"CASM\" chunk: there is no CASM data.");
        } else if (!hasCasm) {
            listing.problems.push_back("None of the " + std::to_string(listing.chunks.size()) +
                                       " chunks after the track is a \"CASM\" chunk: there is "
                                       "no CASM data.");
        }
    }
    return listing;
}

std::vector<StyleChunk> ReadChunksAfterTrack(const ByteImage& bytesAfterTrack) {
    std::vector<StyleChunk> chunks;
    std::vector<std::string> problems;
    const Container all{0, bytesAfterTrack.Size(), "the file", "the file"};
    ForEachChunk(bytesAfterTrack, all, problems, [&](const ChunkHeader& header) {
        StyleChunk chunk{header.tag, header.offset, header.length, {}};
        if (chunk.IsCasm()) ReadCasmContent(bytesAfterTrack, chunk, problems);
        chunks.push_back(std::move(chunk));
    });
    return chunks;
}

}  // namespace zephrane
