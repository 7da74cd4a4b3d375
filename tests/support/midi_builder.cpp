#include "support/midi_builder.h"

namespace zephrane::test {

// The last `bytes` bytes of `value`, most significant first.
static Bytes BigEndian(uint32_t value, int bytes) {
    Bytes out;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
    return out;
}

Bytes Vlq(uint32_t value) {
    Bytes reversed{static_cast<uint8_t>(value & 0x7F)};
    for (value >>= 7; value != 0; value >>= 7)
        reversed.push_back(static_cast<uint8_t>(0x80 | (value & 0x7F)));
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
    return Meta(delta, 0x51, BigEndian(microsecondsPerQuarter, 3));
}

TrackBuilder& TrackBuilder::TimeSignature(uint32_t delta, uint8_t numerator,
                                          uint8_t denominatorPower) {
    return Meta(delta, 0x58, {numerator, denominatorPower, 24, 8});
}

TrackBuilder& TrackBuilder::KeySignature(uint32_t delta, int sharpsFlats, uint8_t mode) {
    return Meta(delta, 0x59, {static_cast<uint8_t>(sharpsFlats), mode});
}

TrackBuilder& TrackBuilder::Channel(uint32_t delta, int kind, int channel, const Bytes& data) {
    return Raw(Concat({Vlq(delta), {static_cast<uint8_t>((kind << 4) + channel - 1)}, data}));
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
    return Concat(
        {FileHeader(format, 1, division), {'M', 'T', 'r', 'k'}, BigEndian(trackLength, 4)});
}

Bytes SongFile(const Bytes& trackEvents, uint16_t division, uint16_t format) {
    return Concat({FileHeader(format, 1, division), Chunk("MTrk", trackEvents)});
}

Bytes Chunk(const std::string& type, const Bytes& data) {
    return Concat(
        {Bytes(type.begin(), type.end()), BigEndian(static_cast<uint32_t>(data.size()), 4), data});
}

Bytes FileHeader(uint16_t format, uint16_t trackCount, uint16_t division) {
    return Chunk("MThd",
                 Concat({BigEndian(format, 2), BigEndian(trackCount, 2), BigEndian(division, 2)}));
}

Bytes MultiTrackFile(const std::vector<Bytes>& trackEvents, uint16_t format, uint16_t division) {
    Bytes file = FileHeader(format, static_cast<uint16_t>(trackEvents.size()), division);
    for (const Bytes& events : trackEvents)
        file = Concat({file, Chunk("MTrk", events)});
    return file;
}

TrackBuilder MeasuresSongWithoutTimeSignature(int measures) {
    TrackBuilder track;
    track.NoteOn(0, 10, 36, 100);
    for (int m = 1; m < measures; ++m)
        track.NoteOff(960, 10, 36).NoteOn(960, 10, 36, 100);
    return track.NoteOff(960, 10, 36).EndOfTrack(960);
}

TrackBuilder MeasuresSong(int measures) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2);
    return track.Raw(MeasuresSongWithoutTimeSignature(measures).Events());
}

TrackBuilder GrooveSong(int measures) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2);
    for (int m = 0; m < measures; ++m)
        track.NoteOn(0, 10, 36, 100).NoteOn(0, 1, 60, 80).NoteOff(1920, 10, 36).NoteOff(0, 1, 60);
    return track.EndOfTrack();
}

}  // namespace zephrane::test
