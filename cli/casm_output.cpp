#include "cli/casm_output.h"

#include <iostream>
#include <sstream>
#include <utility>

#include "app/error_report.h"
#include "cli/run.h"
#include "song/file_io.h"

namespace zephrane::cli {
namespace {

using json = nlohmann::ordered_json;

// nlohmann would take uint8_t arrays for numbers anyway; spelled out so that the JSON never
// depends on that.
template <typename Bytes>
json ByteArray(const Bytes& bytes) {
    json array = json::array();
    for (const uint8_t byte : bytes)
        array.push_back(int{byte});
    return array;
}

// An NTT byte: the table in the low 7 bits, "bass on" in bit 7 (Ctb2 and Cntt records).
void NttJson(json& out, uint8_t ntt) {
    out["ntt"] = ntt & 0x7F;
    out["bassOn"] = (ntt & 0x80) != 0;
}

json RangeJson(const RangeFields& range) {
    json out = {{"ntr", range.ntr}};
    NttJson(out, range.ntt);
    out["highKey"] = range.highKey;
    out["lowLimit"] = range.lowLimit;
    out["highLimit"] = range.highLimit;
    out["retrigger"] = range.retrigger;
    return out;
}

// The first 20 bytes, shared by Ctab and Ctb2 records.
void CommonJson(json& out, const CtabFields& fields) {
    out["sourceChannel"] = fields.sourceChannel;
    out["name"] = fields.name;
    out["destinationChannel"] = fields.destinationChannel;
    out["editable"] = fields.editable;
    out["noteMute"] = ByteArray(fields.noteMute);
    out["chordMute"] = ByteArray(fields.chordMute);
    out["sourceRoot"] = fields.sourceRoot;
    out["sourceChord"] = fields.sourceChord;
}

// Ctb2 and Cntt records keep their data bytes in "bytes" after their fields.
json RecordJson(const CasmRecord& record) {
    json out = {{"tag", record.tag}, {"length", record.length}};
    if (record.ctb2) {
        const Ctb2Fields& ctb2 = *record.ctb2;
        CommonJson(out, ctb2.common);
        out["middleLowest"] = ctb2.middleLowest;
        out["middleHighest"] = ctb2.middleHighest;
        out["ranges"] = {{"low", RangeJson(ctb2.low)},
                         {"middle", RangeJson(ctb2.middle)},
                         {"high", RangeJson(ctb2.high)}};
        out["extra"] = ByteArray(ctb2.extra);
    } else if (record.cntt) {
        out["sourceChannel"] = record.cntt->sourceChannel;
        NttJson(out, record.cntt->ntt);
    }
    if (!record.ctab) {
        out["bytes"] = ByteArray(record.bytes);
        return out;
    }
    const CtabFields& ctab = *record.ctab;
    CommonJson(out, ctab);
    out["ntr"] = ctab.ntr;
    out["ntt"] = ctab.ntt;
    out["highKey"] = ctab.highKey;
    out["lowLimit"] = ctab.lowLimit;
    out["highLimit"] = ctab.highLimit;
    out["retrigger"] = ctab.retrigger;
    out["specialFeature"] = ctab.specialFeature;
    out["extra"] = ByteArray(ctab.extra);
    return out;
}

json SegmentJson(const CasmSegment& segment) {
    json records = json::array();
    for (const CasmRecord& record : segment.records)
        records.push_back(RecordJson(record));
    return {{"length", segment.length},
            {"sections", segment.sections ? json(*segment.sections) : json(nullptr)},
            {"records", std::move(records)}};
}

std::string Numbers(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        if (!text.empty()) text += ' ';
        text += std::to_string(byte);
    }
    return text;
}

template <size_t N>
std::string Numbers(const std::array<uint8_t, N>& bytes) {
    return Numbers(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::string NttText(uint8_t ntt) {
    return "NTT " + std::to_string(ntt & 0x7F) + ((ntt & 0x80) != 0 ? " (bass on)" : "");
}

// The first 20 bytes, shared by Ctab and Ctb2 records, up to the source chord.
void CommonText(std::ostream& out, const CtabFields& c) {
    out << ": source channel " << int{c.sourceChannel} << " \"" << c.name << "\" to destination "
        << int{c.destinationChannel} << ", editable " << int{c.editable} << '\n'
        << "      note mute " << Numbers(c.noteMute) << ", chord mute " << Numbers(c.chordMute)
        << '\n'
        << "      source root " << int{c.sourceRoot} << ", source chord " << int{c.sourceChord};
}

void Ctb2Text(std::ostream& out, const Ctb2Fields& ctb2) {
    CommonText(out, ctb2.common);
    out << ", middle range " << int{ctb2.middleLowest} << " to " << int{ctb2.middleHighest} << '\n';
    for (const auto& [name, range] : {std::pair<const char*, const RangeFields&>{"low", ctb2.low},
                                      {"middle", ctb2.middle},
                                      {"high", ctb2.high}}) {
        out << "      " << name << " range: NTR " << int{range.ntr} << ", " << NttText(range.ntt)
            << ", high key " << int{range.highKey} << ", low limit " << int{range.lowLimit}
            << ", high limit " << int{range.highLimit} << ", retrigger " << int{range.retrigger}
            << '\n';
    }
    if (!ctb2.extra.empty()) out << "      extra " << Numbers(ctb2.extra) << '\n';
}

void RecordText(std::ostream& out, const CasmRecord& record) {
    out << "    " << record.tag << " at " << record.offset << ", length " << record.length;
    if (record.ctb2) return Ctb2Text(out, *record.ctb2);
    if (record.cntt) {
        out << ": source channel " << int{record.cntt->sourceChannel} << ", "
            << NttText(record.cntt->ntt) << '\n';
        return;
    }
    if (!record.ctab) {
        out << ": " << (record.bytes.empty() ? "(no data)" : Numbers(record.bytes)) << '\n';
        return;
    }
    const CtabFields& c = *record.ctab;
    CommonText(out, c);
    out << ", NTR " << int{c.ntr} << ", NTT " << int{c.ntt} << ", high key " << int{c.highKey}
        << '\n'
        << "      low limit " << int{c.lowLimit} << ", high limit " << int{c.highLimit}
        << ", retrigger " << int{c.retrigger} << ", special feature " << int{c.specialFeature}
        << '\n';
    if (!c.extra.empty()) out << "      extra " << Numbers(c.extra) << '\n';
}

}  // namespace

json CasmJson(const std::string& file, const CasmListing& listing) {
    json chunks = json::array();
    for (const StyleChunk& chunk : listing.chunks) {
        json out = {{"tag", chunk.tag}, {"offset", chunk.offset}, {"length", chunk.length}};
        if (chunk.IsCasm()) {
            json csegs = json::array();
            for (const CasmSegment& segment : chunk.csegs)
                csegs.push_back(SegmentJson(segment));
            out["csegs"] = std::move(csegs);
        }
        chunks.push_back(std::move(out));
    }
    return {{"file", file},
            {"trackEnd", listing.trackEnd ? json(*listing.trackEnd) : json(nullptr)},
            {"chunks", std::move(chunks)},
            {"problems", listing.problems}};
}

std::string CasmText(const std::string& file, const CasmListing& listing) {
    std::ostringstream out;
    out << "File: " << file << '\n';
    if (listing.trackEnd) {
        out << "Track ends at offset " << *listing.trackEnd << '\n';
    } else {
        out << "Track end not found\n";
    }
    for (const StyleChunk& chunk : listing.chunks) {
        out << chunk.tag << " at " << chunk.offset << ", length " << chunk.length << '\n';
        for (const CasmSegment& segment : chunk.csegs) {
            out << "  CSEG at " << segment.offset << ", length " << segment.length << ", sections ";
            if (segment.sections) {
                out << '"' << *segment.sections << "\"\n";
            } else {
                out << "(none)\n";
            }
            for (const CasmRecord& record : segment.records)
                RecordText(out, record);
        }
    }
    if (!listing.problems.empty()) {
        out << "Problems:\n";
        for (const std::string& problem : listing.problems)
            out << "  " << problem << '\n';
    }
    return out.str();
}

int RunCasm(const std::string& file, bool asJson) {
    ByteImage bytes;
    try {
        bytes = ByteImage(ReadInputFile(file));
    } catch (const FileRefused& refusal) {
        std::cerr << refusal.what() << '\n';
        return kExitRefused;
    } catch (const RuntimeError& error) {
        std::cerr << ErrorReportText(error, "casm") << '\n';
        return kExitRefused;
    }
    const CasmListing listing = ReadCasmListing(bytes);
    if (asJson) {
        std::cout << CasmJson(file, listing).dump(2, ' ', false, json::error_handler_t::replace)
                  << '\n';
    } else {
        std::cout << CasmText(file, listing);
    }
    return listing.problems.empty() ? kExitSuccess : kExitRefused;
}

}  // namespace zephrane::cli
