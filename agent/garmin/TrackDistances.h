// Distances for tracks that carry none. A receiver that takes courses needs
// each point's distance from the start, which files such as GPX and KML
// never hold; it is measured here along the track instead.
#pragma once

class CGpsDataTrack;

// True when some point of the track holds a distance (instant or sum).
bool TrackHasDistances(const CGpsDataTrack& track);

// For a track with positions but no distances: gives every point of its
// included segments an instant distance in metres, the great-circle length
// of the way from the first included point over each included point in
// turn. A point without a position keeps the distance reached so far.
// Nothing changes for a track that has distances or no positions. False
// when memory ran out (the points that got a distance keep it).
bool AddComputedDistances(CGpsDataTrack& track);

// Great-circle distance in metres between two positions in degrees, on a
// sphere of the Earth's mean radius.
double GreatCircleMetres(double lat1, double lon1, double lat2, double lon2);
