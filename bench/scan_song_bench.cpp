// Speed of the analysis scan, the load and the marker insertion on large songs.

#include <benchmark/benchmark.h>

#include "app/session.h"
#include "support/midi_builder.h"
#include "support/recording_platform.h"

namespace {

using zephrane::test::TrackBuilder;

// `measures` 4/4 measures with a busy six-channel arrangement: 8th notes on every channel.
TrackBuilder BusySong(int measures) {
    TrackBuilder track;
    track.Tempo(0, 500000).TimeSignature(0, 4, 2).KeySignature(0, 0, 0);
    for (int channel : {1, 2, 3, 4, 5})
        track.Program(0, channel, static_cast<uint8_t>(channel * 8));
    for (int eighth = 0; eighth < measures * 8; ++eighth) {
        for (int channel : {1, 2, 3, 4, 5, 10}) {
            track.NoteOn(0, channel, static_cast<uint8_t>(40 + channel), 90);
        }
        for (int channel : {1, 2, 3, 4, 5, 10}) {
            track.NoteOff(channel == 1 ? 240 : 0, channel, static_cast<uint8_t>(40 + channel));
        }
    }
    track.EndOfTrack(0);
    return track;
}

void LoadImage(zephrane::Session& session, const TrackBuilder& track) {
    session.song.bytes = zephrane::ByteImage(zephrane::test::SongFile(track));
}

void BM_ScanSong(benchmark::State& state) {
    zephrane::test::TestSession test;
    LoadImage(test.session, BusySong(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(zephrane::ScanSong(test.session, ""));
    }
    state.SetBytesProcessed(state.iterations() * test.session.song.bytes.Size());
}
BENCHMARK(BM_ScanSong)->Arg(34)->Arg(500)->Unit(benchmark::kMicrosecond);

void BM_StoreMarker(benchmark::State& state) {
    zephrane::test::TestSession test;
    const TrackBuilder song = BusySong(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        LoadImage(test.session, song);
        state.ResumeTiming();
        benchmark::DoNotOptimize(zephrane::StoreMarker(test.session, ">Main A", 8));
    }
}
BENCHMARK(BM_StoreMarker)->Arg(34)->Arg(500)->Unit(benchmark::kMicrosecond);

}  // namespace
