#include "cli/edit_files.h"

#include <fstream>

#include <nlohmann/json.hpp>

#include "app/session.h"

namespace zephrane::cli {
namespace {

using nlohmann::json;

json ReadJson(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw UsageError("cannot read " + path);
    try {
        return json::parse(in);
    } catch (const json::exception& error) {
        throw UsageError(path + " is not valid JSON: " + error.what());
    }
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
// prints it.
std::optional<int> PositionCell(const json& object, const char* field) {
    if (!object.contains(field) || object[field].is_null()) return std::nullopt;
    const json& value =
        object[field].is_object() ? object[field].value("position", json()) : object[field];
    if (!value.is_number_integer() || value.get<int>() < 0) {
        throw UsageError(std::string(field) + " must be a list position");
    }
    return value.get<int>();
}

CasmRowEdit ReadCasmRow(const json& row) {
    if (!row.is_object() || !row.contains("channel") || !row["channel"].is_number_integer() ||
        row["channel"].get<int>() < 1 || row["channel"].get<int>() > 16) {
        throw UsageError("every CASM row needs a \"channel\" from 1 to 16");
    }
    CasmRowEdit edit;
    edit.channel = row["channel"].get<int>();
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
        if (!bytes.is_array() || bytes.size() != 5) {
            throw UsageError("chordMute must be five bytes");
        }
        std::vector<int> values;
        for (const json& byte : bytes) {
            if (!byte.is_number_integer() || byte.get<int>() < 0 || byte.get<int>() > 255) {
                throw UsageError("chordMute must be five bytes");
            }
            values.push_back(byte.get<int>());
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
        if (edit.part) PickPart(session, row, *edit.part);
        CasmRow& casmRow = session.casm[row];
        for (auto [value, cell] : {std::pair{edit.key, &casmRow.sourceKey},
                                   {edit.chord, &casmRow.sourceChord},
                                   {edit.ntr, &casmRow.ntr},
                                   {edit.ntt, &casmRow.ntt},
                                   {edit.highKey, &casmRow.highKey},
                                   {edit.retrigger, &casmRow.retrigger}}) {
            if (value) *cell = *value;
        }
        if (edit.lowLimit && !LeaveLimitCell(session, row, LimitCell::Low, *edit.lowLimit)) {
            return false;
        }
        if (edit.highLimit && !LeaveLimitCell(session, row, LimitCell::High, *edit.highLimit)) {
            return false;
        }
        if (edit.chordMute) {
            for (size_t i = 0; i < casmRow.chordMute.size(); ++i) {
                casmRow.chordMute[i] = static_cast<uint8_t>((*edit.chordMute)[i]);
            }
        }
    }
    return true;
}

void ApplyEffectsEdit(Session& session, const EffectsEdit& edit) {
    EffectSettings& effects = session.effects;
    if (edit.connection) {
        const auto connection = *edit.connection == "Insertion" ? VariationConnection::Insertion
                                                                : VariationConnection::System;
        if (connection != effects.connection) ChangeVariationConnection(session, connection);
    }
    const EffectLists& lists = session.effectLists;
    const auto choose = [](int& field, std::optional<int> position,
                           const std::vector<EffectListEntry>& list, const char* name) {
        if (!position) return;
        if (*position >= static_cast<int>(list.size())) {
            throw UsageError(std::string(name) + " position " + std::to_string(*position) +
                             " is not in its list of " + std::to_string(list.size()));
        }
        field = *position;
    };
    choose(effects.reverb, edit.reverb, lists.reverb, "reverb");
    choose(effects.chorus, edit.chorus, lists.chorus, "chorus");
    choose(effects.variation, edit.variation, lists.Variation(effects.connection), "variation");
    for (auto [value, field] : {std::pair{&edit.reverbReturn, &effects.reverbReturn},
                                {&edit.chorusReturn, &effects.chorusReturn},
                                {&edit.insertionPart, &effects.insertionPart},
                                {&edit.variationReturn, &effects.variationReturn},
                                {&edit.pan, &effects.pan},
                                {&edit.sendToReverb, &effects.sendToReverb},
                                {&edit.sendToChorus, &effects.sendToChorus}}) {
        if (*value) *field = **value;
    }
}

}  // namespace zephrane::cli
