// Writes a generated benchmark song, the same bytes the benchmarks measure.
//
// Usage: make_bench_song SIZE OUTPUT.mid [MEASURES]
//   SIZE: bytes, or with a suffix k or m (100k, 1m, 16m).

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "song_generator.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::cerr << "usage: make_bench_song SIZE OUTPUT.mid [MEASURES]\n";
        return 2;
    }
    const int64_t size = zephrane::bench::ParseSize(argv[1]);
    int measures = zephrane::bench::kDefaultMeasures;
    if (argc == 4) {
        try {
            measures = std::stoi(argv[3]);
        } catch (const std::exception&) {
            measures = 0;
        }
    }
    // Measure numbers of the song model are 16-bit.
    if (size <= 0 || measures < 1 || measures > 32000) {
        std::cerr << "make_bench_song: bad size or measure count\n";
        return 2;
    }
    const std::vector<uint8_t> song = zephrane::bench::GenerateSong(size, measures);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(song.data()),
              static_cast<std::streamsize>(song.size()));
    out.close();
    if (!out) {
        std::cerr << "make_bench_song: cannot write " << argv[2] << "\n";
        return 1;
    }
    std::cout << argv[2] << ": " << song.size() << " bytes, " << measures << " measures\n";
    return 0;
}
