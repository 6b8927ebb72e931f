// Track points (D300-D304) and track headers (D310-D312) as a host sends
// them, built from the data set's records into a caller's buffer with the
// receivers' "no value" markers for what a point lacks, and the rule that
// thins a track to what a receiver accepts. Link-free, so they are tested
// from byte tables.
#pragma once

#include <cstddef>
#include <cstdint>

class CGpsDataTrack;
class CGpsDataValues;

// Float 1.0e25, the receivers' marker for a missing altitude, depth,
// temperature or distance (bit pattern 0x69045951).
constexpr float TX_INVALID_FLOAT = 1.0e25f;
constexpr int32_t TX_INVALID_SEMICIRCLE = 0x7FFFFFFF;

// The longest ident a D310 or D312 header carries, and the largest records.
constexpr size_t TRACK_IDENT_MAX_LENGTH = 50;
constexpr size_t TRACK_HEADER_MAX_SIZE = TRACK_IDENT_MAX_LENGTH + 3;
constexpr size_t TRACK_POINT_MAX_SIZE = 25;

// Most points a track log carries per track, and a course track (no limit in practice).
constexpr int TRACK_LOG_MAX_POINTS = 500;
constexpr int COURSE_TRACK_MAX_POINTS = 9999999;

// What one track point sends, each field holding its marker until a value is found.
struct TxTrackPointFields {
  int32_t latitude = TX_INVALID_SEMICIRCLE;
  int32_t longitude = TX_INVALID_SEMICIRCLE;
  uint32_t time = 0;  // device time
  float altitude = TX_INVALID_FLOAT;
  float depth = TX_INVALID_FLOAT;
  float temperature = TX_INVALID_FLOAT;
  float distance = TX_INVALID_FLOAT;
  uint8_t heartRate = 0;
  uint8_t cadence = 255;
  uint8_t sensor = 0;  // 1 when the distance came from a wheel sensor
};

// Walks the point's measurements in order; where several fit a field the
// last one that converts wins. A distance is taken whether it is kept as an
// instant (files) or as a sum (receivers): both are the distance from the
// start of the track.
TxTrackPointFields CollectTrackPointFields(const CGpsDataValues& point);

// The record size of a point type (300 to 304); 0 for any other type.
size_t TrackPointRecordSize(uint16_t type);
// Writes the record of type into out; its size, or 0 for an unknown type or
// a buffer too small. D303 and D304 have no new-track field.
size_t EncodeTrackPoint(uint16_t type, const TxTrackPointFields& fields, bool newTrack, uint8_t* out,
                        size_t capacity);

// D310 and D312: display 1, colour 255, the ident cut to 50 bytes and a NUL;
// D311: the low 16 bits of the track's index. The size written, or 0 for an
// unknown type or a buffer too small.
size_t EncodeTrackHeader(uint16_t type, const CGpsDataTrack& track, uint8_t* out, size_t capacity);

// Decides for each point walked along a track whether it is sent, so that a
// track of N points sends at most M of them, the loss spread evenly and the
// first and last points kept. Below twice the limit single points are
// skipped at even intervals; from there on points are picked at even
// intervals.
class CTrackThinning {
public:
  CTrackThinning(int pointCount, int maxPoints);
  // For the next point of the walk: true when it is sent.
  bool Keep();
  int GetSent() const { return m_sent; }
  int GetSkipped() const { return m_skipped; }

private:
  enum class EMode { All, Skip, Pick };
  EMode m_mode = EMode::All;
  int64_t m_index = 0;
  int64_t m_next = 0;
  int64_t m_acc = 0;
  int64_t m_q = 0;
  int64_t m_r = 0;
  int64_t m_period = 1;  // E + 1 when skipping, M - 1 when picking
  int m_sent = 0;
  int m_skipped = 0;
};
