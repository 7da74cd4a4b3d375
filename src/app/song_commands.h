#pragma once
// Loading a song into the session: the Open dialog, the file read, the load procedure that fills
// the song image and shows what the scan found in it.

#include <string>

#include "song/byte_image.h"
#include "song/song_image.h"

namespace zephrane {

struct Session;

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
