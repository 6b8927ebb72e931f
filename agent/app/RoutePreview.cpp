#include "app/RoutePreview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/PageText.h"
#include "data/GpsDataTrackPoint.h"
#include "data/GpsDataValue.h"
#include "data/GpsUnits.h"
#include "platform/HtmlView.h"
#include "util/Util.h"

namespace {

struct SPosition {
  double lat;
  double lon;
};

constexpr double kSize = 200.0;   // the drawing's square, in SVG units
constexpr double kMargin = 10.0;  // room for the start and end marks

std::vector<SPosition> Positions(const CGpsDataTrackPoint* first, const CGpsDataTrackPoint* last) {
  std::vector<SPosition> positions;
  for (const CGpsDataTrackPoint* point = first; point != nullptr; point = point->GetNext()) {
    const CGpsDataValue* value = point->FindValue(QUANTITY_POSITION, MODIFIER_INSTANT);
    float lat = 0;
    float lon = 0;
    if (value != nullptr && value->GetPairFloat(UNIT_DEGREES, &lat, &lon) && std::isfinite(lat) &&
        std::isfinite(lon) && std::fabs(lat) <= 90 && std::fabs(lon) <= 180) {
      positions.push_back({lat, lon});
    }
    if (point == last) break;
  }
  return positions;
}

// Every n-th position, always keeping the last one.
std::vector<SPosition> Thin(const std::vector<SPosition>& positions) {
  if (positions.size() <= kRoutePreviewPoints) return positions;
  std::vector<SPosition> kept;
  const double step =
      static_cast<double>(positions.size() - 1) / static_cast<double>(kRoutePreviewPoints - 1);
  for (size_t i = 0; i < kRoutePreviewPoints; ++i) {
    kept.push_back(positions[std::min(positions.size() - 1, static_cast<size_t>(std::lround(i * step)))]);
  }
  return kept;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

}  // namespace

std::string BuildRouteSvg(const std::string& id, const CGpsDataTrackPoint* first,
                          const CGpsDataTrackPoint* last) {
  const std::vector<SPosition> positions = Thin(Positions(first, last));
  if (positions.size() < 2) return {};
  double minLat = positions[0].lat, maxLat = minLat, minLon = positions[0].lon, maxLon = minLon;
  for (const SPosition& p : positions) {
    minLat = std::min(minLat, p.lat);
    maxLat = std::max(maxLat, p.lat);
    minLon = std::min(minLon, p.lon);
    maxLon = std::max(maxLon, p.lon);
  }
  // Equal-area enough for one activity: longitudes shrink with the cosine of
  // the middle latitude; the longer side fills the square, the route centred.
  const double shrink = std::cos((minLat + maxLat) / 2 * M_PI / 180);
  const double width = (maxLon - minLon) * shrink;
  const double height = maxLat - minLat;
  const double span = std::max({width, height, 1e-9});
  const double scale = (kSize - 2 * kMargin) / span;
  const double left = kMargin + (kSize - 2 * kMargin - width * scale) / 2;
  const double top = kMargin + (kSize - 2 * kMargin - height * scale) / 2;
  auto x = [&](const SPosition& p) { return Number(left + (p.lon - minLon) * shrink * scale); };
  auto y = [&](const SPosition& p) { return Number(top + (maxLat - p.lat) * scale); };

  std::string svg = "<svg id=\"route-" + CUtil::EscapeMarkup(id) +
                    "\" class=\"route\" viewBox=\"0 0 200 200\" role=\"img\" aria-label=\"Route\" hidden>"
                    "<polyline class=\"route-line\" points=\"";
  for (const SPosition& p : positions) svg += x(p) + "," + y(p) + " ";
  svg += "\"/><circle class=\"route-start\" r=\"6\" cx=\"" + x(positions.front()) + "\" cy=\"" +
         y(positions.front()) + "\"/><circle class=\"route-end\" r=\"6\" cx=\"" + x(positions.back()) +
         "\" cy=\"" + y(positions.back()) + "\"/></svg>";
  return svg;
}

void ShowRoutePreviews(CHtmlView& view, const std::vector<SRoutePreviewRow>& rows) {
  std::string html;
  for (const SRoutePreviewRow& row : rows) html += BuildRouteSvg(row.checkId, row.first, row.last);
  view.SetInnerHtml("RoutePreview", html);
}
