// Track points (D300-D304) and track headers (D310-D312) decoded straight
// from a packet's bytes into the data set, with the receivers' "no value"
// markers applied. Link-free, so they are tested and fuzzed from byte tables.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

class CGpsDataSet;
class CGpsDataTrack;

// What a record decoder did with one packet. The transfer maps the failures
// onto its error code and message.
enum class EGarminDecode {
  Stored,       // the record was created
  Skipped,      // nothing usable in it: not an error
  BadData,      // shorter than its type allows
  OutOfMemory,  // a record or a measurement could not be created
};

// The receivers' markers for "no value".
inline bool IsValidDeviceTime(uint32_t time) {
  return time != 0 && time != 0x7FFFFFFFu && time != 0xFFFFFFFFu;
}
inline bool IsValidDevicePosition(int32_t lat, int32_t lon) {
  return !(lat == 0x7FFFFFFF && lon == 0x7FFFFFFF);
}
// 1e24 and above marks a missing altitude, depth or temperature. A value that
// is not a number at all cannot be measured either.
inline bool IsValidDeviceFloat(float value) {
  return std::isfinite(value) && static_cast<double>(value) < 1e24;
}
inline bool IsValidHeartRate(uint8_t bpm) {
  return bpm != 0 && bpm != 255;
}
inline bool IsValidCadence(uint8_t rpm) {
  return rpm != 255;
}
// All bits set marks a missing distance; receivers also send the float
// marker of the other measurements for it.
bool IsValidDeviceDistance(uint32_t bits);

// Where the fields of one track point type lie; -1 for a field the type lacks.
struct TrackPointLayout {
  uint16_t type;
  uint32_t minimumSize;
  int altitude;
  int depth;
  int temperature;
  int distance;
  int heartRate;
  int cadence;
  int sensor;
  int newTrack;
};

// The layout of D300 to D304; nullptr for any other type.
const TrackPointLayout* FindTrackPointLayout(uint16_t type);

// One track point appended to track, or skipped when its time is invalid or
// it holds nothing but a time.
EGarminDecode DecodeTrackPoint(const TrackPointLayout& layout, const uint8_t* data, size_t size,
                               CGpsDataTrack& track);
EGarminDecode DecodeD300TrackPoint(const uint8_t* data, size_t size, CGpsDataTrack& track);
EGarminDecode DecodeD301TrackPoint(const uint8_t* data, size_t size, CGpsDataTrack& track);
EGarminDecode DecodeD302TrackPoint(const uint8_t* data, size_t size, CGpsDataTrack& track);
EGarminDecode DecodeD303TrackPoint(const uint8_t* data, size_t size, CGpsDataTrack& track);
EGarminDecode DecodeD304TrackPoint(const uint8_t* data, size_t size, CGpsDataTrack& track);

// One track added to set per header.
EGarminDecode DecodeD310TrackHeader(const uint8_t* data, size_t size, CGpsDataSet& set);
EGarminDecode DecodeD311TrackHeader(const uint8_t* data, size_t size, CGpsDataSet& set);
EGarminDecode DecodeD312TrackHeader(const uint8_t* data, size_t size, CGpsDataSet& set);
// By type number (310 to 312); BadData for any other type.
EGarminDecode DecodeTrackHeader(uint16_t type, const uint8_t* data, size_t size, CGpsDataSet& set);

// A device ident up to its first byte that is not an ASCII letter, digit,
// white space or '-'.
std::string CutTrackIdent(const std::string& ident);
