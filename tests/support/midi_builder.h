#pragma once
// Byte builders for test songs: each call appends one event, its bytes spelled out.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace zephrane::test {

using Bytes = std::vector<uint8_t>;

Bytes Vlq(uint32_t value);
Bytes Concat(std::initializer_list<Bytes> parts);

class TrackBuilder {
  public:
    TrackBuilder& Raw(const Bytes& bytes);
    TrackBuilder& Meta(uint32_t delta, uint8_t type, const Bytes& data);
    TrackBuilder& Text(uint32_t delta, uint8_t type, const std::string& latin1);
    TrackBuilder& Marker(uint32_t delta, const std::string& text) { return Text(delta, 6, text); }
    TrackBuilder& Tempo(uint32_t delta, uint32_t microsecondsPerQuarter);
    TrackBuilder& TimeSignature(uint32_t delta, uint8_t numerator, uint8_t denominatorPower);
    TrackBuilder& KeySignature(uint32_t delta, int sharpsFlats, uint8_t mode);
    // A channel message: status nibble `kind`, channel 1 to 16, its data bytes.
    TrackBuilder& Channel(uint32_t delta, int kind, int channel, const Bytes& data);
    TrackBuilder& NoteOn(uint32_t delta, int channel, uint8_t note, uint8_t velocity) {
        return Channel(delta, 0x9, channel, {note, velocity});
    }
    TrackBuilder& NoteOff(uint32_t delta, int channel, uint8_t note) {
        return Channel(delta, 0x8, channel, {note, 0});
    }
    TrackBuilder& Controller(uint32_t delta, int channel, uint8_t controller, uint8_t value) {
        return Channel(delta, 0xB, channel, {controller, value});
    }
    TrackBuilder& Program(uint32_t delta, int channel, uint8_t program) {
        return Channel(delta, 0xC, channel, {program});
    }
    TrackBuilder& SysEx(uint32_t delta, const Bytes& dataWithF7);
    // A channel message without its status byte: the data bytes under running status.
    TrackBuilder& RunningStatus(uint32_t delta, const Bytes& dataBytes);
    TrackBuilder& EndOfTrack(uint32_t delta = 0);

    const Bytes& Events() const { return events_; }

  private:
    Bytes events_;
};

// A whole Standard MIDI File of one track: MThd (format, 1 track, division) and MTrk.
Bytes SongFile(const Bytes& trackEvents, uint16_t division = 480, uint16_t format = 0);
inline Bytes SongFile(const TrackBuilder& track, uint16_t division = 480) {
    return SongFile(track.Events(), division);
}

// The 22 header bytes of such a file (MThd chunk, "MTrk" and the track length).
Bytes Headers(uint32_t trackLength, uint16_t division = 480, uint16_t format = 0);

// A chunk: the 4-character type, the big-endian length of the data, the data.
Bytes Chunk(const std::string& type, const Bytes& data);

Bytes FileHeader(uint16_t format, uint16_t trackCount, uint16_t division = 480);

// A whole Standard MIDI File of several tracks: MThd, then one MTrk chunk for each track's events.
Bytes MultiTrackFile(const std::vector<Bytes>& trackEvents, uint16_t format = 1,
                     uint16_t division = 480);

// `measures` 4/4 measures at division 480, a note on the first beat of each on channel 10, ending
// on the bar line after the last.
TrackBuilder MeasuresSong(int measures);
// The same song without its time-signature event: 4/4 only by the MIDI default.
TrackBuilder MeasuresSongWithoutTimeSignature(int measures);
// `measures` 4/4 measures at division 480 that each play the same groove: a drum hit (channel 10,
// key 36) and a piano C (channel 1) on the first beat, held through the measure.
TrackBuilder GrooveSong(int measures);

}  // namespace zephrane::test
