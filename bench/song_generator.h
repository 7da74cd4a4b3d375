#pragma once
// Large type-0 songs for the speed measurements, shared by the benchmarks and by
// `make_bench_song`, which writes them for the comparison scripts.
//
// A song is `measures` measures of 4/4 at division 480. Measure 0 opens with the set-up (names,
// tempo, time and key signature, GM and XG resets, XG effect messages, bank selects, programs
// and mixer controllers on all sixteen channels); every measure is sixteen steps of a sixteenth
// note, each step a burst of events at the same tick: note-offs of the previous step, drums on
// channel 10, then chords, controllers, pitch bends, aftertouch and now and then a SysEx or a
// text event on the fifteen other channels, written with running status wherever the status
// repeats. The first event of every measure lies on its first beat, so every section button
// finds its measures. The number of bursts a step holds is chosen so that the file comes close
// to the requested size; the same arguments always give the same bytes.

#include <cstdint>
#include <string>
#include <vector>

namespace zephrane::bench {

// At least the 35 measures (0 to 34) that all fourteen sections need, and room to spare.
inline constexpr int kDefaultMeasures = 40;

// The whole file, within a few percent of `targetBytes` (at least one burst a step).
std::vector<uint8_t> GenerateSong(int64_t targetBytes, int measures = kDefaultMeasures);

// "100k" -> 102400, "1m" -> 1048576, "16M" -> 16777216, "5000" -> 5000; 0 for a text of another
// form.
int64_t ParseSize(const std::string& text);

}  // namespace zephrane::bench
