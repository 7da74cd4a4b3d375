#include "support/midi_builder.h"

namespace zephrane::test {

Bytes Vlq(uint32_t value) {
    Bytes reversed{static_cast<uint8_t>(value & 0x7F)};
    for (value >>= 7; value != 0; value >>= 7) {
        reversed.push_back(static_cast<uint8_t>(0x80 | (value & 0x7F)));
    }
    return {reversed.rbegin(), reversed.rend()};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TrackBuilder& TrackBuilder::Raw(const Bytes& bytes) {
    events_.insert(events_.end(), bytes.begin(), bytes.end());
    return *this;
}

TrackBuilder& TrackBuilder::Meta(uint32_t delta, uint8_t type, const Bytes& data) {
    return Raw(Concat({Vlq(delta), {0xFF, type}, Vlq(static_cast<uint32_t>(data.size())), data}));
}

TrackBuilder& TrackBuilder::Text(uint32_t delta, uint8_t type, const std::string& latin1) {
    return Meta(delta, type, Bytes(latin1.begin(), latin1.end()));
}

TrackBuilder& TrackBuilder::Tempo(uint32_t delta, uint32_t microsecondsPerQuarter) {
    return Meta(delta, 0x51,
                {static_cast<uint8_t>(microsecondsPerQuarter >> 16),
                 static_cast<uint8_t>(microsecondsPerQuarter >> 8),
                 static_cast<uint8_t>(microsecondsPerQuarter)});
}

TrackBuilder& TrackBuilder::TimeSignature(uint32_t delta, uint8_t numerator,
                                          uint8_t denominatorPower) {
    return Meta(delta, 0x58, {numerator, denominatorPower, 24, 8});
}

TrackBuilder& TrackBuilder::KeySignature(uint32_t delta, int sharpsFlats, uint8_t mode) {
    return Meta(delta, 0x59, {static_cast<uint8_t>(sharpsFlats), mode});
}

TrackBuilder& TrackBuilder::NoteOn(uint32_t delta, int channel, uint8_t note, uint8_t velocity) {
    return Raw(Concat({Vlq(delta), {static_cast<uint8_t>(0x90 + channel - 1), note, velocity}}));
}

TrackBuilder& TrackBuilder::NoteOff(uint32_t delta, int channel, uint8_t note) {
    return Raw(Concat({Vlq(delta), {static_cast<uint8_t>(0x80 + channel - 1), note, 0}}));
}

TrackBuilder& TrackBuilder::Controller(uint32_t delta, int channel, uint8_t controller,
                                       uint8_t value) {
    return Raw(Concat({Vlq(delta), {static_cast<uint8_t>(0xB0 + channel - 1), controller, value}}));
}

TrackBuilder& TrackBuilder::Program(uint32_t delta, int channel, uint8_t program) {
    return Raw(Concat({Vlq(delta), {static_cast<uint8_t>(0xC0 + channel - 1), program}}));
}

TrackBuilder& TrackBuilder::SysEx(uint32_t delta, const Bytes& dataWithF7) {
    return Raw(
        Concat({Vlq(delta), {0xF0}, Vlq(static_cast<uint32_t>(dataWithF7.size())), dataWithF7}));
}

TrackBuilder& TrackBuilder::RunningStatus(uint32_t delta, const Bytes& dataBytes) {
    return Raw(Concat({Vlq(delta), dataBytes}));
}

TrackBuilder& TrackBuilder::EndOfTrack(uint32_t delta) {
    return Meta(delta, 0x2F, {});
}

Bytes Headers(uint32_t trackLength, uint16_t division, uint16_t format) {
    return {'M',
            'T',
            'h',
            'd',
            0,
            0,
            0,
            6,
            static_cast<uint8_t>(format >> 8),
            static_cast<uint8_t>(format),
            0,
            1,
            static_cast<uint8_t>(division >> 8),
            static_cast<uint8_t>(division),
            'M',
            'T',
            'r',
            'k',
            static_cast<uint8_t>(trackLength >> 24),
            static_cast<uint8_t>(trackLength >> 16),
            static_cast<uint8_t>(trackLength >> 8),
            static_cast<uint8_t>(trackLength)};
}

Bytes SongFile(const Bytes& trackEvents, uint16_t division, uint16_t format) {
    return Concat(
        {Headers(static_cast<uint32_t>(trackEvents.size()), division, format), trackEvents});
}

Bytes Chunk(const std::string& type, const Bytes& data) {
    const auto size = static_cast<uint32_t>(data.size());
    return Concat({Bytes(type.begin(), type.end()),
                   {static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
                    static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)},
                   data});
}

Bytes FileHeader(uint16_t format, uint16_t trackCount, uint16_t division) {
    return Chunk("MThd", {static_cast<uint8_t>(format >> 8), static_cast<uint8_t>(format),
                          static_cast<uint8_t>(trackCount >> 8), static_cast<uint8_t>(trackCount),
                          static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)});
}

Bytes MultiTrackFile(const std::vector<Bytes>& trackEvents, uint16_t format, uint16_t division) {
    Bytes file = FileHeader(format, static_cast<uint16_t>(trackEvents.size()), division);
    for (const Bytes& events : trackEvents) {
        const Bytes chunk = Chunk("MTrk", events);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return file;
}

namespace {

TrackBuilder& AppendMeasures(TrackBuilder& track, int measures) {
    track.NoteOn(0, 10, 36, 100);
    for (int m = 1; m < measures; ++m)
        track.NoteOff(960, 10, 36).NoteOn(960, 10, 36, 100);
    return track.NoteOff(960, 10, 36).EndOfTrack(960);
}

}  // namespace

TrackBuilder MeasuresSong(int measures) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2);
    return AppendMeasures(track, measures);
}

TrackBuilder MeasuresSongWithoutTimeSignature(int measures) {
    TrackBuilder track;
    return AppendMeasures(track, measures);
}

}  // namespace zephrane::test
