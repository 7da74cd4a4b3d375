#pragma once
// The measures, half measures and beats of a song as the scan numbers them, under the time
// signature in force: 4/4 until the song says otherwise. A walk hands the grid each
// time-signature event as it passes it.

#include <cstdint>

#include "song/byte_image.h"
#include "song/walker.h"

namespace zephrane {

class MeasureGrid {
  public:
    // Where a time lies: its measure, that measure's first tick, the tick its second half starts
    // on, the tick after it, and the beat its second half starts on (0 for a measure of one
    // span). 4/4 and 3/4 split at beat 3, 6/8 at beat 4; a measure of one beat does not split.
    struct Place {
        int measure;
        int64_t start;
        int64_t halfStart;
        int64_t end;
        int secondHalfBeat;
    };

    explicit MeasureGrid(const ByteImage& song) : song_(song) { SetTimeSignature(4, 4); }

    // A time-signature event of the song (numerator, power of two of the denominator); a shorter
    // one is left alone. Error 6 for a song in SMPTE time.
    void FollowTimeSignature(const TrackEvent& event);
    void SetTimeSignature(int numerator, int denominator);
    // A numerator of 0 leaves the song without measures, as the scan finds it.
    bool HasMeasures() const { return ticksPerMeasure_ > 0; }

    // Only while the song has measures.
    Place PlaceOf(int64_t time) const;
    // The beat of the measure `time` lies in, 1 being its first; only while the song has measures.
    int BeatOf(int64_t time) const;

  private:
    const ByteImage& song_;
    double ticksPerMeasure_ = 0;
    int numerator_ = 4;
    int halfBeats_ = 2;
};

}  // namespace zephrane
