#include "protocol/tcc_curve.hpp"

#include <algorithm>
#include <cmath>

namespace torl7 {

std::vector<TripPoint> tripCurve(double tripTimeS) {
    std::vector<TripPoint> curve;
    curve.reserve(kTripCurvePoints);
    for (int i = 1; i <= kTripCurvePoints; ++i) {
        curve.push_back({1.0 + i / 10.0, tripTimeS / i});
    }
    return curve;
}

std::optional<TripTimeRange> positiveTimeRange(const std::vector<TripPoint>& curve) {
    std::optional<TripTimeRange> range;
    for (const TripPoint& point : curve) {
        if (!(point.tripTimeS > 0)) {
            continue;
        }
        if (!range) {
            range = TripTimeRange{point.tripTimeS, point.tripTimeS};
        } else {
            range->shortestS = std::min(range->shortestS, point.tripTimeS);
            range->longestS = std::max(range->longestS, point.tripTimeS);
        }
    }
    return range;
}

TripTimeRange enclosingDecades(const TripTimeRange& range) {
    return {std::pow(10.0, std::floor(std::log10(range.shortestS))),
            std::pow(10.0, std::ceil(std::log10(range.longestS)))};
}

} // namespace torl7
