#pragma once
// The song in the session: the scan over it, the Open dialog, the file read, and the load
// procedure that fills the song image and shows what the scan found in it.

#include <optional>
#include <string>

#include "analysis/scan_song.h"
#include "song/byte_image.h"
#include "song/song_image.h"

namespace zephrane {

struct Session;
struct SessionState;

// The scan of the song image, importing the song's XG effect messages when asked. False after a
// run-time failure, which goes to the common report under "GetInfo"; what was written before the
// failure stays.
bool ScanSong(Session& session, XgImport xg = XgImport::Skip);

// True when two sessions hold the same song bytes and the same results of the scan over them:
// channel, song and walk facts, the measure table and the marker list, stale entries included.
bool SameScanResults(const SessionState& a, const SessionState& b);

// Shows the Open dialog, unless `path` names the file already, and loads the chosen file. False
// on cancel or a refused load.
bool OpenFile(Session& session, const std::optional<std::string>& path = std::nullopt);

// Loads `path` into the session as the Open command does after its dialog: the caption, the file
// name and the kind flags follow the file only when the load succeeds. False when refused.
bool OpenChosenFile(Session& session, const std::string& path);

// Reads the whole file into `bytes`; false, with its message, for an empty or unreadable file
// and for one that is not a regular file of at most 256 MB.
bool GetBinaryFile(Session& session, const std::string& path, ByteImage& bytes);

// The load procedure. A refused load (false: empty or unreadable file, not a type-0 file with
// ticks per quarter note and a track chunk, a scan failure) leaves the session exactly as it was;
// its failures are reported under "Entry". The song image starts its track at byte 22 whatever
// came between the header and the track.
bool LoadSong(Session& session, const std::string& path);

}  // namespace zephrane
