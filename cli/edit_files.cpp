#include "cli/edit_files.h"

#include <cstdint>
#include <fstream>
#include <limits>

#include <nlohmann/json.hpp>

#include "app/casm_commands.h"
#include "app/effect_commands.h"
#include "app/session.h"

namespace zephrane::cli {
namespace {

using nlohmann::json;

constexpr uint64_t kChannelCount = std::tuple_size_v<CasmTable>;
constexpr size_t kChordMuteBytes = std::tuple_size_v<ChordMute>;

json ReadJson(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw UsageError("cannot read " + path);
    try {
        return json::parse(in);
    } catch (const json::exception& error) {
        throw UsageError(path + " is not valid JSON: " + error.what());
    }
}

// The value as a whole number from `lowest` to `highest`, or nothing for anything else: a
// fraction, a text, a negative number, or one out of the range however large (taken as an int,
// 4294967297 would wrap round to 1).
std::optional<uint64_t> WholeNumberIn(const json& value, uint64_t lowest, uint64_t highest) {
    uint64_t number = 0;
    if (value.is_number_unsigned()) {
        number = value.get<uint64_t>();
    } else if (value.is_number_integer() && value.get<int64_t>() >= 0) {
        number = static_cast<uint64_t>(value.get<int64_t>());  // "-0" is read as signed
    } else {
        return std::nullopt;
    }
    if (number < lowest || number > highest) return std::nullopt;
    return number;
}

template <typename List, typename TextOf>
int PositionOfText(const List& list, const std::string& text, const char* field, TextOf textOf) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (textOf(list[i]) == text) return static_cast<int>(i);
    }
    throw UsageError("unknown " + std::string(field) + " \"" + text + "\"");
}

template <typename List>
std::optional<int> ListCell(const json& row, const char* field, const List& list) {
    if (!row.contains(field) || row[field].is_null()) return std::nullopt;
    if (!row[field].is_string()) throw UsageError(std::string(field) + " must be a list text");
    return PositionOfText(list, row[field].get<std::string>(), field,
                          [](std::string_view text) { return text; });
}

std::optional<std::string> TextCell(const json& object, const char* field) {
    if (!object.contains(field) || object[field].is_null()) return std::nullopt;
    if (!object[field].is_string()) throw UsageError(std::string(field) + " must be a text");
    return object[field].get<std::string>();
}

// A list field of the effects: a position number, or an object with "position" as `info`
// prints it. Whether the position lies in its list is known only once the lists are read.
std::optional<size_t> PositionCell(const json& object, const char* field) {
    if (!object.contains(field) || object[field].is_null()) return std::nullopt;
    const json& value =
        object[field].is_object() ? object[field].value("position", json()) : object[field];
    const auto position = WholeNumberIn(value, 0, std::numeric_limits<size_t>::max());
    if (!position) {
        throw UsageError(std::string(field) + " must be a list position, a whole number from 0");
    }
    return *position;
}

CasmRowEdit ReadCasmRow(const json& row) {
    const auto channel = row.is_object() && row.contains("channel")
                             ? WholeNumberIn(row["channel"], 1, kChannelCount)
                             : std::nullopt;
    if (!channel) throw UsageError("every CASM row needs a \"channel\" from 1 to 16");
    CasmRowEdit edit;
    edit.channel = static_cast<int>(*channel);
    if (row.contains("part") && !row["part"].is_null()) {
        if (!row["part"].is_string()) throw UsageError("part must be a list text");
        edit.part = PositionOfText(kPartList, row["part"].get<std::string>(), "part",
                                   [](const ListEntry& entry) { return entry.text; });
    }
    edit.key = ListCell(row, "key", kKeyList);
    edit.chord = ListCell(row, "chord", kChordTypeList);
    edit.ntr = ListCell(row, "ntr", kNtrList);
    edit.ntt = ListCell(row, "ntt", kNttList);
    edit.highKey = ListCell(row, "highKey", kKeyList);
    edit.lowLimit = TextCell(row, "lowLimit");
    edit.highLimit = TextCell(row, "highLimit");
    edit.retrigger = ListCell(row, "retrigger", kRetriggerList);
    if (row.contains("chordMute") && !row["chordMute"].is_null()) {
        const json& bytes = row["chordMute"];
        const std::string problem = "chordMute must be five bytes, each from 0 to 255";
        if (!bytes.is_array() || bytes.size() != kChordMuteBytes) throw UsageError(problem);
        std::vector<int> values;
        for (const json& byte : bytes) {
            const auto value = WholeNumberIn(byte, 0, 255);
            if (!value) throw UsageError(problem);
            values.push_back(static_cast<int>(*value));
        }
        edit.chordMute = values;
    }
    return edit;
}

}  // namespace

std::vector<CasmRowEdit> ReadCasmEdits(const std::string& path) {
    const json rows = ReadJson(path);
    if (!rows.is_array()) throw UsageError(path + " must hold an array of CASM rows");
    std::vector<CasmRowEdit> edits;
    for (const json& row : rows)
        edits.push_back(ReadCasmRow(row));
    return edits;
}

EffectsEdit ReadEffectsEdit(const std::string& path) {
    const json object = ReadJson(path);
    if (!object.is_object()) throw UsageError(path + " must hold an effects object");
    EffectsEdit edit;
    edit.reverb = PositionCell(object, "reverb");
    edit.reverbReturn = TextCell(object, "reverbReturn");
    edit.chorus = PositionCell(object, "chorus");
    edit.chorusReturn = TextCell(object, "chorusReturn");
    edit.connection = TextCell(object, "connection");
    if (edit.connection && *edit.connection != "System" && *edit.connection != "Insertion") {
        throw UsageError("connection must be \"System\" or \"Insertion\"");
    }
    edit.variation = PositionCell(object, "variation");
    edit.insertionPart = TextCell(object, "insertionPart");
    edit.variationReturn = TextCell(object, "variationReturn");
    edit.pan = TextCell(object, "pan");
    edit.sendToReverb = TextCell(object, "sendToReverb");
    edit.sendToChorus = TextCell(object, "sendToChorus");
    return edit;
}

bool ApplyCasmEdits(Session& session, const std::vector<CasmRowEdit>& rows) {
    for (const CasmRowEdit& edit : rows) {
        const int row = edit.channel - 1;
        if (edit.part && !PickPart(session, row, *edit.part)) return false;
        for (auto [value, cell] : {std::pair{edit.key, &CasmRow::sourceKey},
                                   {edit.chord, &CasmRow::sourceChord},
                                   {edit.ntr, &CasmRow::ntr},
                                   {edit.ntt, &CasmRow::ntt},
                                   {edit.highKey, &CasmRow::highKey},
                                   {edit.retrigger, &CasmRow::retrigger}}) {
            if (value && !ChooseCasmCell(session, row, cell, *value)) return false;
        }
        if (edit.lowLimit && !LeaveLimitCell(session, row, LimitCell::Low, *edit.lowLimit)) {
            return false;
        }
        if (edit.highLimit && !LeaveLimitCell(session, row, LimitCell::High, *edit.highLimit)) {
            return false;
        }
        if (edit.chordMute) {
            ChordMute bytes{};
            for (size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<uint8_t>((*edit.chordMute)[i]);
            if (!SetChordMute(session, row, bytes)) return false;
        }
    }
    return true;
}

bool ApplyEffectsEdit(Session& session, const EffectsEdit& edit) {
    if (edit.connection) {
        const auto connection = *edit.connection == "Insertion" ? VariationConnection::Insertion
                                                                : VariationConnection::System;
        if (connection != session.effects.connection &&
            !ChangeVariationConnection(session, connection)) {
            return false;
        }
    }
    const EffectLists& lists = session.effectLists;
    const auto choose = [&](int EffectSettings::*type, std::optional<size_t> position,
                            const std::vector<EffectListEntry>& list, const char* name) {
        if (!position) return true;
        if (*position >= list.size()) {
            throw UsageError(std::string(name) + " position " + std::to_string(*position) +
                             " is not in its list of " + std::to_string(list.size()));
        }
        return static_cast<bool>(ChooseEffectType(session, type, static_cast<int>(*position)));
    };
    if (!choose(&EffectSettings::reverb, edit.reverb, lists.reverb, "reverb") ||
        !choose(&EffectSettings::chorus, edit.chorus, lists.chorus, "chorus") ||
        !choose(&EffectSettings::variation, edit.variation,
                lists.Variation(session.effects.connection), "variation")) {
        return false;
    }
    for (auto [text, value] : {std::pair{&edit.reverbReturn, &EffectSettings::reverbReturn},
                               {&edit.chorusReturn, &EffectSettings::chorusReturn},
                               {&edit.insertionPart, &EffectSettings::insertionPart},
                               {&edit.variationReturn, &EffectSettings::variationReturn},
                               {&edit.pan, &EffectSettings::pan},
                               {&edit.sendToReverb, &EffectSettings::sendToReverb},
                               {&edit.sendToChorus, &EffectSettings::sendToChorus}}) {
        if (*text && !SetEffectValue(session, value, **text)) return false;
    }
    return true;
}

}  // namespace zephrane::cli
