#pragma once
// The session the benchmarks drive the core with, and the generated songs they use.

#include <cstdint>
#include <string>
#include <vector>

#include "app/stub_platform.h"

namespace zephrane::bench {

// A session over a stub platform for the benchmarks: the replace question is answered OK, the
// messages are kept so that a refused command can be told, the data files come from the source
// tree and the working file lives in a folder of this process under the system's temporary
// folder. The effect lists are read as the program reads them at start.
struct BenchSession : StubSession {
    BenchSession();
    // The folder of this process's files.
    static const std::string& Folder();
};

// The path of the generated song of `bytes` bytes, written once per process into the temporary
// folder; the song itself stays in memory for the benchmarks that load from bytes.
const std::string& BenchSongPath(int64_t bytes);
const std::vector<uint8_t>& BenchSong(int64_t bytes);

}  // namespace zephrane::bench
