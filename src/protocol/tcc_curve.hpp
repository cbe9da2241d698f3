// The trip curve of the thermal overload protection: for a trip time setting T (seconds) the
// unit trips after T / i seconds at the overload multiple 1 + i / 10, i = 1..90, that is T at
// 1.1 times the rated current, T / 10 at twice and T / 90 at ten times. Pure.
#pragma once

#include <optional>
#include <vector>

namespace torl7 {

struct TripPoint {
    double overloadMultiple; // current over rated current
    double tripTimeS;
};

inline constexpr int kTripCurvePoints = 90;
// The chart shows the first 70 points, multiples 1.1 to 8.0.
inline constexpr int kShownTripPoints = 70;

// The 90 points for the setting `tripTimeS`, multiples ascending.
std::vector<TripPoint> tripCurve(double tripTimeS);

struct TripTimeRange {
    double shortestS;
    double longestS;
};

// The span of the positive trip times of `curve`, for a logarithmic axis; nothing when no
// point has a positive time (a setting of 0), as a logarithmic axis cannot show any.
std::optional<TripTimeRange> positiveTimeRange(const std::vector<TripPoint>& curve);

// The whole decades that hold `range` (3.3..300 s gives 1..1000 s): a logarithmic axis then
// begins and ends on a labelled line, and no point sits on its edge. `range` must be positive.
TripTimeRange enclosingDecades(const TripTimeRange& range);

} // namespace torl7
