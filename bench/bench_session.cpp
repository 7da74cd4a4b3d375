#include "bench_session.h"

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>

#include "app/effect_commands.h"
#include "effects/effect_list.h"
#include "song_generator.h"

namespace zephrane::bench {
namespace {

// The folder of the songs and working files of one benchmark process, removed at its end.
class ScratchFolder {
  public:
    ScratchFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("zephrane-bench-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string Path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

const std::string& SharedFolder() {
    static const ScratchFolder scratch;
    static const std::string folder = scratch.Path();
    return folder;
}

struct GeneratedSong {
    std::vector<uint8_t> bytes;
    std::string path;
};

const GeneratedSong& Generated(int64_t bytes) {
    static std::map<int64_t, std::unique_ptr<GeneratedSong>> songs;
    std::unique_ptr<GeneratedSong>& song = songs[bytes];
    if (!song) {
        song = std::make_unique<GeneratedSong>();
        song->bytes = GenerateSong(bytes);
        song->path = SharedFolder() + "/song-" + std::to_string(bytes) + ".mid";
        std::ofstream out(song->path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(song->bytes.data()),
                  static_cast<std::streamsize>(song->bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + song->path);
    }
    return *song;
}

}  // namespace

BenchSession::BenchSession() {
    platform.programDirectory = ZEPHRANE_DATA_DIR;
    platform.settingsDirectory = SharedFolder();
    platform.workingFilePath = SharedFolder() + "/Zephwork.mid";
    platform.standingOkAnswer = true;
    platform.startFailure = error_number::kDeviceUnavailable;
    SetUpEffectLists(session);
}

const std::string& BenchSession::Folder() {
    return SharedFolder();
}

const std::string& BenchSongPath(int64_t bytes) {
    return Generated(bytes).path;
}

const std::vector<uint8_t>& BenchSong(int64_t bytes) {
    return Generated(bytes).bytes;
}

}  // namespace zephrane::bench
