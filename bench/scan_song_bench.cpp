// Speed of the analysis scan, the chord finder, the load and the marker insertion on large songs.

#include <benchmark/benchmark.h>

#include "analysis/find_chords.h"
#include "app/section_commands.h"
#include "app/song_commands.h"
#include "bench_session.h"
#include "sections/sections.h"
#include "song_generator.h"

namespace {

using zephrane::bench::BenchSession;

// A generated song of `measures` measures at about 2 KB a measure: a busy arrangement on every
// channel.
std::vector<uint8_t> BusySong(int measures) {
    return zephrane::bench::GenerateSong(int64_t{measures} * 2048, measures);
}

void BM_ScanSong(benchmark::State& state) {
    BenchSession bench;
    bench.session.song.bytes = zephrane::ByteImage(BusySong(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(zephrane::ScanSong(bench.session));
    }
    state.SetBytesProcessed(state.iterations() * bench.session.song.bytes.Size());
}
BENCHMARK(BM_ScanSong)->Arg(34)->Arg(500)->Unit(benchmark::kMicrosecond);

// Suggesting sections must take under a second on a five-minute song: 150 measures of 4/4 at
// 120 BPM. The chords are found after every command that changes the song.
void BM_FindChords(benchmark::State& state) {
    BenchSession bench;
    zephrane::Session& s = bench.session;
    s.song.bytes = zephrane::ByteImage(BusySong(static_cast<int>(state.range(0))));
    if (!zephrane::ScanSong(s)) state.SkipWithError("the song does not scan");
    for (auto _ : state) {
        benchmark::DoNotOptimize(zephrane::FindChords(s.song.bytes, s.channels));
    }
    state.SetBytesProcessed(state.iterations() * s.song.bytes.Size());
}
BENCHMARK(BM_FindChords)->Arg(150)->Unit(benchmark::kMicrosecond);

void BM_StoreMarker(benchmark::State& state) {
    BenchSession bench;
    const std::vector<uint8_t> song = BusySong(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        bench.session.song.bytes = zephrane::ByteImage(song);
        state.ResumeTiming();
        benchmark::DoNotOptimize(zephrane::StoreMarker(bench.session, ">Main A", 8));
    }
}
BENCHMARK(BM_StoreMarker)->Arg(34)->Arg(500)->Unit(benchmark::kMicrosecond);

}  // namespace
