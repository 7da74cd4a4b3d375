#include "analysis/measure_grid.h"

#include <algorithm>
#include <cmath>

#include "analysis/scan_song.h"
#include "song/numbers.h"

namespace zephrane {

void MeasureGrid::FollowTimeSignature(const TrackEvent& event) {
    if (event.dataLength < 2) return;
    const int power = song_.At(int64_t{event.dataPos} + 1);
    SetTimeSignature(song_.At(event.dataPos), CheckedInt16(std::ldexp(1.0, power)));
}

void MeasureGrid::SetTimeSignature(int numerator, int denominator) {
    ticksPerMeasure_ = MeasureLength(song_, numerator, denominator);
    numerator_ = numerator;
    halfBeats_ = (numerator + 1) / 2;
}

MeasureGrid::Place MeasureGrid::PlaceOf(int64_t time) const {
    const int measure = CheckedInt16(MeasureOfTime(time, ticksPerMeasure_));
    const int64_t start = FirstTimeOfMeasure(measure, ticksPerMeasure_);
    const int64_t end = FirstTimeOfMeasure(measure + 1, ticksPerMeasure_);
    if (halfBeats_ >= numerator_) return {measure, start, end, end, 0};
    const int64_t half = start + std::llround(halfBeats_ * ticksPerMeasure_ / numerator_);
    return {measure, start, std::min(half, end), end, halfBeats_ + 1};
}

int MeasureGrid::BeatOf(int64_t time) const {
    const Place place = PlaceOf(time);
    const double beats = static_cast<double>(time - place.start) * numerator_ / ticksPerMeasure_;
    return std::clamp(static_cast<int>(beats) + 1, 1, std::max(numerator_, 1));
}

}  // namespace zephrane
