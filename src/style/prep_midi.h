#pragma once
// Preparing the song for a style: the single track of the song image is copied into the output
// image event by event, keeping what a style plays (notes, program changes, a few controllers,
// the first tempo and time signature, the section markers) and dropping the rest without moving
// the music. Bank selects go in front of program changes of a MIDI file that has none, and the
// style's set-up messages follow the "SInt" marker.

namespace zephrane {

struct Session;

enum class PrepOption {
    AllChannels,       // every channel; the set-up block names the channel assignments
    AssignedOnly,      // only channels that feed an accompaniment part ("SubRhythm".."Phrase 2")
    NoSpecialMarkers,  // every channel; the working markers (with "<" or ">") are dropped
};

// Re-runs the analysis scan, then fills the output image with the prepared file, cut to its
// length, with `outputWritePos` just after its last byte and `setupTime` set. A failure goes to
// the common report under "PrepMidi"; the output image then holds what was written before it.
// True when the preparation ran to its end.
bool PrepMidi(Session& session, PrepOption option);

}  // namespace zephrane
