// Speed of every step from a song to a saved style, on generated songs of about 100 KB, 1 MB and
// 16 MB (bench/song_generator.h). Each benchmark counts the song's size as its bytes processed,
// so Google Benchmark reports the throughput; scripts/benchmark.sh turns the figures into MB/s
// and into the ratio of the 16 MB cost to the 1 MB cost.

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/casm_commands.h"
#include "app/convert_commands.h"
#include "app/main_commands.h"
#include "app/section_commands.h"
#include "app/song_commands.h"
#include "app/style_commands.h"
#include "bench_session.h"
#include "song_generator.h"

namespace {

using zephrane::bench::BenchSession;
using zephrane::bench::BenchSong;
using zephrane::bench::BenchSongPath;

constexpr int64_t k100K = 100 * 1024;
constexpr int64_t k1M = 1024 * 1024;
constexpr int64_t k16M = 16 * 1024 * 1024;

void Sizes(benchmark::internal::Benchmark* bench) {
    bench->Arg(k100K)->Arg(k1M)->Arg(k16M)->Unit(benchmark::kMillisecond);
}

// The commands that touch files are timed by the clock on the wall.
void SizesWallClock(benchmark::internal::Benchmark* bench) {
    Sizes(bench);
    bench->UseRealTime();
}

int64_t SongSize(const benchmark::State& state) {
    return state.range(0);
}

void CountBytes(benchmark::State& state) {
    const auto size = static_cast<int64_t>(BenchSong(SongSize(state)).size());
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["song_bytes"] = static_cast<double>(size);
}

// A command or step that was not done (its bool or CommandResult says so), or said something on
// the way: the benchmark stops with the first message.
template <typename Result>
bool Refused(benchmark::State& state, const BenchSession& bench, const Result& result) {
    if (static_cast<bool>(result) && bench.platform.messages.empty()) return false;
    const std::string message =
        bench.platform.messages.empty() ? "command failed" : bench.platform.messages.front();
    state.SkipWithError(message.c_str());
    return true;
}

// "Open": the song is loaded, prepared, written as the working file and loaded again.
bool Open(benchmark::State& state, BenchSession& bench) {
    return !Refused(state, bench,
                    zephrane::OpenFileByPath(bench.session, BenchSongPath(SongSize(state))));
}

// Opened, all fourteen section buttons pressed and "Auto CASM Set": ready for "Save Style".
bool ReadyForStyle(benchmark::State& state, BenchSession& bench) {
    if (!Open(state, bench)) return false;
    if (Refused(state, bench,
                zephrane::PressSectionButtons(bench.session, zephrane::AllSectionKeys()))) {
        return false;
    }
    zephrane::AutoSetCasm(bench.session);
    return !Refused(state, bench, true);
}

// The load procedure on a file: read, scan with the XG import, the two set-up markers put in,
// scan again.
void BM_LoadAndScan(benchmark::State& state) {
    BenchSession bench;
    const std::string& path = BenchSongPath(SongSize(state));
    for (auto _ : state) {
        if (Refused(state, bench, zephrane::LoadSong(bench.session, path))) break;
    }
    CountBytes(state);
}
BENCHMARK(BM_LoadAndScan)->Apply(SizesWallClock);

// The analysis scan alone over the loaded song.
void BM_Scan(benchmark::State& state) {
    BenchSession bench;
    bench.session.song.bytes = zephrane::ByteImage(BenchSong(SongSize(state)));
    for (auto _ : state) {
        if (Refused(state, bench, zephrane::ScanSong(bench.session))) break;
    }
    CountBytes(state);
}
BENCHMARK(BM_Scan)->Apply(Sizes);

// One marker put in front of the first event of measure 8, as a section button does twice.
void BM_StoreMarker(benchmark::State& state) {
    BenchSession bench;
    const zephrane::ByteImage song(BenchSong(SongSize(state)));
    for (auto _ : state) {
        state.PauseTiming();
        bench.session.song.bytes = song;
        state.ResumeTiming();
        if (Refused(state, bench, zephrane::StoreMarker(bench.session, ">Main A", 8))) break;
    }
    CountBytes(state);
}
BENCHMARK(BM_StoreMarker)->Apply(Sizes);

// "Suggest Sections" on a song of five minutes at 120 beats a minute (150 measures of 4/4), as
// dense as the 1 MB and the 16 MB songs: the walk over its notes, the measure patterns, the plan.
void BM_SuggestSections(benchmark::State& state) {
    constexpr int kFiveMinutesOfMeasures = 150;
    BenchSession bench;
    const std::vector<uint8_t> song =
        zephrane::bench::GenerateSong(SongSize(state), kFiveMinutesOfMeasures);
    bench.session.song.bytes = zephrane::ByteImage(song);
    bench.session.song.fileName = "five-minutes.mid";
    if (Refused(state, bench, zephrane::ScanSong(bench.session))) return;
    for (auto _ : state) {
        if (Refused(state, bench, zephrane::SuggestSections(bench.session).has_value())) break;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(song.size()));
}
BENCHMARK(BM_SuggestSections)->Arg(k1M)->Arg(k16M)->Unit(benchmark::kMillisecond);

// The preparation with every channel, as "Open" and "To Sequencer" run it.
void BM_PrepMidi(benchmark::State& state) {
    BenchSession bench;
    if (!Open(state, bench)) return;
    for (auto _ : state) {
        if (Refused(state, bench,
                    zephrane::PrepMidi(bench.session, zephrane::PrepOption::AllChannels))) {
            break;
        }
    }
    CountBytes(state);
}
BENCHMARK(BM_PrepMidi)->Apply(Sizes);

// The style assembly with all fourteen sections and the CASM of "Auto CASM Set"; it writes and
// reloads the working file.
void BM_MakeStyleFromMidi(benchmark::State& state) {
    BenchSession bench;
    if (!ReadyForStyle(state, bench)) return;
    for (auto _ : state) {
        if (Refused(state, bench, zephrane::MakeStyleFromMidi(bench.session))) break;
    }
    CountBytes(state);
}
BENCHMARK(BM_MakeStyleFromMidi)->Apply(SizesWallClock);

// The note conversion walk over the prepared song.
void BM_Convert(benchmark::State& state) {
    BenchSession bench;
    if (!ReadyForStyle(state, bench)) return;
    if (Refused(state, bench,
                zephrane::PrepMidi(bench.session, zephrane::PrepOption::AllChannels))) {
        return;
    }
    const zephrane::ByteImage prepared = bench.session.output;
    for (auto _ : state) {
        state.PauseTiming();
        bench.session.output = prepared;
        state.ResumeTiming();
        if (Refused(state, bench, zephrane::Convert(bench.session, zephrane::ConvertItem::Plain))) {
            break;
        }
    }
    CountBytes(state);
}
BENCHMARK(BM_Convert)->Apply(Sizes);

// The interactive commands, one at a time as the user gives them.

// "Open" through its dialog.
void BM_OpenCommand(benchmark::State& state) {
    BenchSession bench;
    bench.platform.standingOpenAnswer = BenchSongPath(SongSize(state));
    for (auto _ : state) {
        if (Refused(state, bench, zephrane::OpenFileCommand(bench.session))) break;
    }
    CountBytes(state);
}
BENCHMARK(BM_OpenCommand)->Apply(SizesWallClock);

// One section button ("Main A") on the opened song: a scan and two markers put in.
void BM_SectionButton(benchmark::State& state) {
    BenchSession bench;
    if (!Open(state, bench)) return;
    const zephrane::SessionState opened = bench.session;
    for (auto _ : state) {
        state.PauseTiming();
        static_cast<zephrane::SessionState&>(bench.session) = opened;
        state.ResumeTiming();
        if (Refused(state, bench, zephrane::PressSectionButton(bench.session, "Main A"))) break;
    }
    CountBytes(state);
}
BENCHMARK(BM_SectionButton)->Apply(Sizes);

// The fourteen section buttons pressed one after the other on the opened song.
void BM_AllSectionButtons(benchmark::State& state) {
    BenchSession bench;
    if (!Open(state, bench)) return;
    const zephrane::SessionState opened = bench.session;
    const std::vector<std::string> keys = zephrane::AllSectionKeys();
    for (auto _ : state) {
        state.PauseTiming();
        static_cast<zephrane::SessionState&>(bench.session) = opened;
        state.ResumeTiming();
        if (Refused(state, bench, zephrane::PressSectionButtons(bench.session, keys))) break;
    }
    CountBytes(state);
}
BENCHMARK(BM_AllSectionButtons)->Apply(Sizes);

// "Save Style" from the toolbar with all fourteen sections, the style written over the last one.
void BM_SaveStyle(benchmark::State& state) {
    BenchSession bench;
    if (!ReadyForStyle(state, bench)) return;
    bench.platform.standingSaveAnswer = BenchSession::Folder() + "/bench.sty";
    for (auto _ : state) {
        if (Refused(
                state, bench,
                zephrane::SaveStyle(bench.session, zephrane::StyleCommandSource::ToolbarButton))) {
            break;
        }
    }
    CountBytes(state);
}
BENCHMARK(BM_SaveStyle)->Apply(SizesWallClock);

// The whole road of `zephrane-cli style --all-sections --auto-casm`: open and prepare, the
// fourteen section buttons, "Auto CASM Set", "Save Style".
void BM_SongToStyle(benchmark::State& state) {
    for (auto _ : state) {
        BenchSession bench;
        bench.platform.standingSaveAnswer = BenchSession::Folder() + "/road.sty";
        if (!ReadyForStyle(state, bench)) break;
        if (Refused(
                state, bench,
                zephrane::SaveStyle(bench.session, zephrane::StyleCommandSource::ToolbarButton))) {
            break;
        }
    }
    CountBytes(state);
}
BENCHMARK(BM_SongToStyle)->Apply(SizesWallClock);

}  // namespace
