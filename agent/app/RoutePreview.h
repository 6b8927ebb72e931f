// The drawing of each choice row's route, so that users recognise their
// activities by shape: one small SVG per row, written hidden into the page's
// "RoutePreview" element. The page's own script shows the drawing of the row
// under the pointer or the keyboard focus.
#pragma once

#include <string>
#include <vector>

class CGpsDataTrackPoint;
class CHtmlView;

struct SRoutePreviewRow {
  std::string checkId;              // the row's check box; the drawing is "route-" + checkId
  const CGpsDataTrackPoint* first;  // the route runs from first to last along the point list
  const CGpsDataTrackPoint* last;
};

// At most this many positions are drawn per route.
constexpr size_t kRoutePreviewPoints = 300;

// The SVG of one route; empty when it has fewer than two positions.
std::string BuildRouteSvg(const std::string& id, const CGpsDataTrackPoint* first,
                          const CGpsDataTrackPoint* last);
void ShowRoutePreviews(CHtmlView& view, const std::vector<SRoutePreviewRow>& rows);
