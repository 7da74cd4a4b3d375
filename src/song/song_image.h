#pragma once
// The song image: the working type-0 MIDI file as its bytes (index = file offset), never parsed
// into an event list, and the load procedure that fills it.

#include <string>
#include <string_view>

#include "song/byte_image.h"

namespace zephrane {

struct Session;

enum class FileKind { Midi, Style, Other };

struct SongImage {
    ByteImage bytes;
    std::string fileName;  // the file the user opened; "" while none is open
    bool isMidiFile = false;
    bool isStyleFile = false;
    bool bbMode = false;  // the Open dialog offers MIDI files only
    bool hasStyleCasm = false;
    ByteImage styleCasmBytes{std::vector<uint8_t>(2, 0)};  // bytes after a style's track
    std::string lastStyleSaved;
    int16_t displayTempo = 0;  // tempo as shown: quarter-note tempo scaled to the beat unit
};

// Decided by the last three characters of the file name, in any case.
FileKind KindOfFileName(std::string_view path);

// Text after the last folder separator of the platform.
std::string FileNameWithoutFolder(std::string_view path);
// Text up to and including the last folder separator; empty when there is none.
std::string FolderWithSeparator(std::string_view path);

inline constexpr char kResultFailed[] = "failed";
inline constexpr char kResultOk[] = "ok";

// Shows the Open dialog and loads the chosen file. "failed" on cancel or a refused load.
std::string OpenFile(Session& session);

// Loads `path` into the session as the Open command does after its dialog: the caption, the file
// name and the kind flags follow the file only when the load succeeds.
std::string OpenChosenFile(Session& session, const std::string& path);

// Reads the whole file into `bytes`; "failed", with its message, for an empty or unreadable file
// and for one that is not a regular file of at most 256 MB.
std::string GetBinaryFile(Session& session, const std::string& path, ByteImage& bytes);

// The load procedure. A refused load ("failed": empty or unreadable file, not a type-0 file with
// ticks per quarter note and a track chunk, a scan failure) leaves the session exactly as it was;
// its failures are reported under "Entry". The song image starts its track at byte 22 whatever
// came between the header and the track.
std::string LoadSong(Session& session, const std::string& path);

}  // namespace zephrane
