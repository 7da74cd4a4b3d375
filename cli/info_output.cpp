#include "cli/info_output.h"

#include <sstream>

namespace zephrane::cli {
namespace {

using json = nlohmann::ordered_json;

template <typename List>
json ListCell(const List& list, int position) {
    if (position < 0 || position >= static_cast<int>(list.size())) return nullptr;
    return std::string(list[position]);
}

json PartCell(int position) {
    if (position < 0 || position >= static_cast<int>(kPartList.size())) return nullptr;
    return std::string(kPartList[position].text);
}

json ChannelsJson(const Session& session) {
    json channels = json::array();
    for (int channel = 1; channel <= 16; ++channel) {
        const ChannelInfo& info = session.Channel(channel);
        const ChannelRowView& row = session.view.rows[channel - 1];
        channels.push_back({{"channel", channel},
                            {"hasNotes", info.hasNotes},
                            {"visible", row.visible},
                            {"voice", row.voice},
                            {"firstProgram", info.firstProgram},
                            {"programChanges", info.programChangeCount},
                            {"bankMsb", info.bankMsb},
                            {"bankLsb", info.bankLsb}});
    }
    return channels;
}

json MarkersJson(const Session& session) {
    json markers = json::array();
    for (int i = 0; i < session.markers.count; ++i) {
        const Marker& marker = session.markers.entries[i];
        markers.push_back(
            {{"text", marker.text}, {"position", marker.position}, {"tick", marker.tick}});
    }
    return markers;
}

std::vector<std::string> PressedSectionKeys(const Session& session) {
    std::vector<std::string> keys;
    for (int slot = 0; slot < kSectionSlotCount; ++slot) {
        if (!session.view.sectionPressed[slot]) continue;
        for (const SectionRow& row : kSectionTable) {
            if (row.slot == slot) keys.emplace_back(row.key);
        }
    }
    return keys;
}

json CasmJson(const Session& session) {
    json rows = json::array();
    for (int channel = 1; channel <= 16; ++channel) {
        const CasmRow& row = session.casm[channel - 1];
        rows.push_back({{"channel", channel},
                        {"part", PartCell(row.part)},
                        {"key", ListCell(kKeyList, row.sourceKey)},
                        {"chord", ListCell(kChordTypeList, row.sourceChord)},
                        {"ntr", ListCell(kNtrList, row.ntr)},
                        {"ntt", ListCell(kNttList, row.ntt)},
                        {"highKey", ListCell(kKeyList, row.highKey)},
                        {"lowLimit", row.lowLimitText},
                        {"highLimit", row.highLimitText},
                        {"retrigger", ListCell(kRetriggerList, row.retrigger)},
                        {"chordMute", row.chordMute}});
    }
    return rows;
}

// A chosen effect type: its list position, name and code.
json EffectTypeJson(const std::vector<EffectListEntry>& list, int position) {
    if (position < 0) return nullptr;
    if (position >= static_cast<int>(list.size())) return {{"position", position}};
    return {{"position", position}, {"text", list[position].name}, {"code", list[position].code}};
}

json EffectsJson(const EffectSettings& effects, const EffectLists& lists) {
    const bool system = effects.connection == VariationConnection::System;
    return {{"reverb", EffectTypeJson(lists.reverb, effects.reverb)},
            {"reverbReturn", effects.reverbReturn},
            {"chorus", EffectTypeJson(lists.chorus, effects.chorus)},
            {"chorusReturn", effects.chorusReturn},
            {"connection", system ? "System" : "Insertion"},
            {"variation", EffectTypeJson(lists.Variation(effects.connection), effects.variation)},
            {"insertionPart", effects.insertionPart},
            {"variationReturn", effects.variationReturn},
            {"pan", effects.pan},
            {"sendToReverb", effects.sendToReverb},
            {"sendToChorus", effects.sendToChorus}};
}

}  // namespace

json ChordChangesJson(const std::vector<ChordChange>& changes) {
    json list = json::array();
    for (const ChordChange& change : changes) {
        list.push_back(
            {{"measure", change.measure}, {"beat", change.beat}, {"chord", change.chord}});
    }
    return list;
}

json InfoJson(const Session& session, const std::vector<std::string>& messages) {
    const MainWindowView& view = session.view;
    const SongFacts& facts = session.facts;
    return {{"caption", view.caption},
            {"fileBox", view.txtFileName},
            {"tempo", view.txtTempo},
            {"timeSignature", view.txtTimeSig},
            {"key", view.txtKey},
            {"measuresLabel", view.lblMaxMeasures},
            {"styleName", view.txtStyleName},
            {"copyright", view.txtCopyright},
            {"isMidiFile", session.song.isMidiFile},
            {"isStyleFile", session.song.isStyleFile},
            {"hasStyleCasm", session.song.hasStyleCasm},
            {"casmOptionsVisible", view.casmOptionsVisible},
            {"ticksPerMeasure", facts.ticksPerMeasure},
            {"measureCount", facts.measureCount},
            {"musicStartPos", facts.musicStartPos},
            {"endOfTrackPos", facts.endOfTrackPos},
            {"channels", ChannelsJson(session)},
            {"markers", MarkersJson(session)},
            {"sections", PressedSectionKeys(session)},
            {"casm", CasmJson(session)},
            {"effects", EffectsJson(session.effects, session.effectLists)},
            {"messages", messages},
            {"chords", ChordChangesJson(view.chords)}};
}

std::string InfoText(const Session& session) {
    const MainWindowView& view = session.view;
    std::ostringstream out;
    out << view.caption << '\n'
        << "File: " << view.txtFileName << '\n'
        << "Style name: " << view.txtStyleName << '\n'
        << "Copyright: " << view.txtCopyright << '\n'
        << "Tempo: " << view.txtTempo << "   Time signature: " << view.txtTimeSig
        << "   Key: " << view.txtKey << '\n'
        << view.lblMaxMeasures << '\n';
    for (int channel = 1; channel <= 16; ++channel) {
        const ChannelRowView& row = view.rows[channel - 1];
        if (row.visible) out << "Channel " << channel << ": " << row.voice << '\n';
    }
    out << "Markers:";
    for (int i = 0; i < session.markers.count; ++i) {
        const Marker& marker = session.markers.entries[i];
        out << (i == 0 ? " " : ", ") << '"' << marker.text << "\" at tick " << marker.tick;
    }
    out << "\nSections:";
    const std::vector<std::string> keys = PressedSectionKeys(session);
    for (size_t i = 0; i < keys.size(); ++i)
        out << (i == 0 ? " " : ", ") << keys[i];
    out << '\n';
    return out.str();
}

}  // namespace zephrane::cli
