#include "garmin/TrackDistances.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "data/GpsDataTrack.h"
#include "data/GpsUnits.h"

namespace {

constexpr double kEarthMeanRadiusMetres = 6371008.8;

bool IsDistance(const CGpsDataValue& value) {
  return value.GetQuantity() == QUANTITY_DISTANCE &&
         (value.GetModifier() == MODIFIER_INSTANT || value.GetModifier() == MODIFIER_SUM);
}

// The point's last instant position that reads in degrees.
bool FindPositionDegrees(const CGpsDataTrackPoint& point, double& lat, double& lon) {
  bool found = false;
  for (const CGpsDataValue* value : point.GetValues()) {
    if (value->GetQuantity() != QUANTITY_POSITION || value->GetModifier() != MODIFIER_INSTANT) continue;
    float first = 0.0f;
    float second = 0.0f;
    // Semicircles read straight as integers keep their full precision.
    int firstInt = 0;
    int secondInt = 0;
    if (value->GetUnit() == UNIT_SEMICIRCLES && value->GetPairInt(UNIT_SEMICIRCLES, &firstInt, &secondInt)) {
      lon = firstInt * SEMICIRCLES_TO_DEGREES;
      lat = secondInt * SEMICIRCLES_TO_DEGREES;
      found = true;
    } else if (value->GetPairFloat(UNIT_DEGREES, &first, &second)) {
      lon = first;
      lat = second;
      found = true;
    }
  }
  return found;
}

template <class Visit>
void ForEachIncludedPoint(const CGpsDataTrack& track, Visit visit) {
  for (const CGpsDataSegment* segment : track.GetSegments()) {
    if (segment->included == 0 || segment->first == nullptr || segment->last == nullptr) continue;
    for (CGpsDataTrackPoint* point = segment->first; point != nullptr; point = point->GetNext()) {
      visit(*point);
      if (point == segment->last) break;
    }
  }
}

}  // namespace

double GreatCircleMetres(double lat1, double lon1, double lat2, double lon2) {
  const double toRadians = std::numbers::pi / 180.0;
  const double dLat = (lat2 - lat1) * toRadians;
  const double dLon = (lon2 - lon1) * toRadians;
  const double a = std::sin(dLat / 2) * std::sin(dLat / 2) + std::cos(lat1 * toRadians) *
                                                                 std::cos(lat2 * toRadians) *
                                                                 std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2.0 * kEarthMeanRadiusMetres * std::asin(std::sqrt(std::min(1.0, a)));
}

bool TrackHasDistances(const CGpsDataTrack& track) {
  for (const CGpsDataTrackPoint* point : track.GetPoints()) {
    for (const CGpsDataValue* value : point->GetValues()) {
      if (IsDistance(*value)) return true;
    }
  }
  return false;
}

bool AddComputedDistances(CGpsDataTrack& track) {
  if (TrackHasDistances(track)) return true;
  bool hasPositions = false;
  ForEachIncludedPoint(track, [&](const CGpsDataTrackPoint& point) {
    double lat = 0.0;
    double lon = 0.0;
    if (!hasPositions) hasPositions = FindPositionDegrees(point, lat, lon);
  });
  if (!hasPositions) return true;

  bool ok = true;
  bool havePrevious = false;
  double previousLat = 0.0;
  double previousLon = 0.0;
  double metres = 0.0;
  ForEachIncludedPoint(track, [&](CGpsDataTrackPoint& point) {
    if (!ok) return;
    double lat = 0.0;
    double lon = 0.0;
    if (FindPositionDegrees(point, lat, lon)) {
      if (havePrevious) metres += GreatCircleMetres(previousLat, previousLon, lat, lon);
      previousLat = lat;
      previousLon = lon;
      havePrevious = true;
    }
    CGpsDataFloat* distance =
        point.AddFloat(QUANTITY_DISTANCE, MODIFIER_INSTANT, UNIT_METRES, static_cast<float>(metres));
    if (distance == nullptr) {
      ok = false;
      return;
    }
    distance->SetSource(SOURCE_GPS);
  });
  return ok;
}
