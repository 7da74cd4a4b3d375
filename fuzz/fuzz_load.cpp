// Load and scan: the input opened as a song and as a style by a session that holds a good song.
// A refused load must show its report and leave the session with the song it had; an accepted
// one must hold the 6-byte header and its track chunk at 14, and scan again.

#include "app/song_commands.h"
#include "fuzz_support.h"
#include "song/song_image.h"

using namespace zephrane;
using namespace zephrane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const char* name : {"input.mid", "input.sty"}) {
        FuzzSession fuzz;
        Session& s = fuzz.session;
        static_cast<SessionState&>(s) = SessionWithGoodSong();
        const std::string path = WriteInput(data, size, name);
        const size_t messages = fuzz.MessageCount();
        if (!OpenChosenFile(s, path)) {
            RequireReport(fuzz, messages, std::string("loading ") + name);
            if (!(s.song.bytes == SessionWithGoodSong().song.bytes) ||
                s.song.fileName != SessionWithGoodSong().song.fileName ||
                s.view.caption != SessionWithGoodSong().view.caption) {
                Finding(std::string("a refused load of ") + name + " changed the session");
            }
            continue;
        }
        // Every walk relies on the 6-byte header and the track chunk at 14.
        const ByteImage& image = s.song.bytes;
        if (image.Size() < 22 || image.ReadU32BE(4) != 6 || image.At(14) != 'M' ||
            image.At(15) != 'T' || image.At(16) != 'r' || image.At(17) != 'k') {
            Finding(std::string("the loaded ") + name + " has no track chunk at 14");
        }
        if (!ScanSong(s)) {
            Finding(std::string("the loaded ") + name + " does not scan again");
        }
    }
    return 0;
}
