#pragma once
// Merging the tracks of a type-1 Standard MIDI File (one track per instrument) into the single
// track of a type-0 file, the form the program opens.
//
// A MIDI file is a list of chunks: a 4-byte type, a 4-byte big-endian length, the data. The
// header chunk "MThd" holds the format (0 one track, 1 simultaneous tracks, 2 independent
// patterns), the number of tracks and the division; each "MTrk" chunk holds events, each a
// variable-length delta time followed by a channel message, a system-exclusive event (F0 or F7,
// variable-length length, data) or a meta event (FF, type, variable-length length, data).
//
// The merge:
// - takes every MTrk chunk in file order and skips chunks of other types;
// - orders the events by absolute time; at equal times the events of the first track (the
//   conductor track of a type-1 file: tempo map, time and key signatures) come first, then those
//   of the other tracks in file order, each track's own events in file order;
// - writes every channel message with its own status byte (the running status of the input, which
//   may span meta events, is resolved), meta and system-exclusive events byte for byte;
// - keeps the track names (meta 03) of the first track only;
// - drops the End of Track of every track and writes one at the latest end: the latest End of
//   Track or, for a track without one, its last event;
// - keeps the division and writes a type-0 header.
// A type-0 file is refused rather than copied: it needs no merge and opens as it is.

#include <string>

#include "song/byte_image.h"
#include "song/file_io.h"

namespace zephrane {

// A file the merge refuses; the message is written for the musician (shown as it is in a message
// box or on standard error). Error number 5 for callers that only know run-time errors.
class MergeRefused : public FileRefused {
  public:
    explicit MergeRefused(const std::string& message)
        : FileRefused(message, error_number::kInvalidProcedureCall) {}
};

inline constexpr char kNotMidiFileMessage[] = "This file is not a MIDI file.";
inline constexpr char kAlreadyTypeZeroMessage[] =
    "This MIDI file is already type 0 (a single track): it needs no merge and can be opened as "
    "it is.";
inline constexpr char kTypeTwoMessage[] =
    "Type 2 MIDI files (independent patterns) cannot be merged into one song.";
inline constexpr char kNoTracksMessage[] = "This MIDI file has no tracks to merge.";

// "This MIDI file is damaged: track 3 is cut short or holds bytes that are not MIDI events."
// Tracks are numbered from 1 in file order.
std::string DamagedTrackMessage(int trackNumber);

// The type-1 `file` as a type-0 file; a refusal is thrown as MergeRefused: not a MIDI file (no
// MThd header, or a format other than 0, 1 and 2), type 0, type 2, no track, or a damaged track
// (cut short, a data byte without a status before it, bytes that are not MIDI events). Bytes too
// few for a chunk header at the end of the file are ignored.
ByteImage MergeToTypeZero(const ByteImage& file);

}  // namespace zephrane
