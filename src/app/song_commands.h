#pragma once
// The song in the session: the scan over it, the Open dialog, the file read, and the load
// procedure that fills the song image and shows what the scan found in it.

#include <string>
#include <string_view>

#include "song/byte_image.h"
#include "song/song_image.h"

namespace zephrane {

struct Session;
struct SessionState;

inline constexpr char kDecodeXg[] = "yes";

// The scan. `decodeXg` "yes" also imports the song's XG effect messages. Returns "ok", or
// "failed" after a run-time failure, which goes to the common report under "GetInfo"; what was
// written before the failure stays.
std::string ScanSong(Session& session, std::string_view decodeXg);

// True when two sessions hold the same song bytes and the same results of the scan over them:
// channel, song and walk facts, the measure table and the marker list, stale entries included.
bool SameScanResults(const SessionState& a, const SessionState& b);

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
