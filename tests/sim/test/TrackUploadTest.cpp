// Tracks sent by a host come back as the scenario's model: every point type
// decodes what the receiver's own encoder writes, and short records fail.
#include <gtest/gtest.h>

#include "sim/Receiver.h"
#include "sim/TrackUpload.h"

namespace {

SimTrackPoint FullPoint() {
  SimTrackPoint point;
  point.lat = 47.3769;
  point.lon = -8.5417;
  point.time = 1714543200;
  point.alt = 408.5f;
  point.dpth = 1.25f;
  point.temp = 19.5f;
  point.distance = 81.25f;
  point.heartRate = 120;
  point.cadence = 0;
  point.sensor = true;
  point.newTrk = true;
  return point;
}

TEST(SimTrackUpload, DecodesWhatTheEncoderWritesForEveryType) {
  struct Row {
    uint16_t type;
    size_t size;
    bool alt, dpth, temp, heartRate, distance, newTrk;
  };
  const Row rows[] = {
      {300, 13, false, false, false, false, false, true}, {301, 21, true, true, false, false, false, true},
      {302, 25, true, true, true, false, false, true},    {303, 17, true, false, false, true, false, false},
      {304, 23, true, false, false, true, true, false},
  };
  const CSimScenario scenario;
  CSimReceiver receiver(scenario);
  const SimTrackPoint source = FullPoint();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type);
    const SimPacket packet = receiver.BuildTrackPoint(source, row.type, false);
    ASSERT_EQ(packet.data.size(), row.size);
    SimTrackPoint decoded;
    ASSERT_TRUE(DecodeSimTrackPoint(packet.data, row.type, decoded));
    EXPECT_NEAR(decoded.lat, source.lat, 1e-7);
    EXPECT_NEAR(decoded.lon, source.lon, 1e-7);
    EXPECT_EQ(decoded.time, source.time);
    EXPECT_EQ(decoded.alt.has_value(), row.alt);
    EXPECT_EQ(decoded.dpth.has_value(), row.dpth);
    EXPECT_EQ(decoded.temp.has_value(), row.temp);
    EXPECT_EQ(decoded.heartRate.has_value(), row.heartRate);
    EXPECT_EQ(decoded.distance.has_value(), row.distance);
    EXPECT_EQ(decoded.newTrk, row.newTrk);
    if (row.alt) {
      EXPECT_EQ(decoded.alt, source.alt);
    }
    if (row.type == 304) {
      EXPECT_EQ(decoded.cadence, 0);
      EXPECT_TRUE(decoded.sensor);
    }
    std::vector<uint8_t> shorter(packet.data.begin(), packet.data.end() - 1);
    EXPECT_FALSE(DecodeSimTrackPoint(shorter, row.type, decoded));
  }
}

TEST(SimTrackUpload, InvalidMarkersDecodeAsAbsent) {
  SimTrackPoint empty;
  empty.hasPosition = false;
  const CSimScenario scenario;
  CSimReceiver receiver(scenario);
  SimTrackPoint decoded;
  ASSERT_TRUE(DecodeSimTrackPoint(receiver.BuildTrackPoint(empty, 304, false).data, 304, decoded));
  EXPECT_FALSE(decoded.hasPosition);
  EXPECT_FALSE(decoded.time.has_value());
  EXPECT_FALSE(decoded.alt.has_value());
  EXPECT_FALSE(decoded.distance.has_value());
  EXPECT_FALSE(decoded.heartRate.has_value());
  EXPECT_FALSE(decoded.cadence.has_value());
}

TEST(SimTrackUpload, HeadersOrNewTrackFlagsSeparateTracks) {
  const CSimScenario scenario;
  CSimReceiver receiver(scenario);
  SimTrackPoint point = FullPoint();
  point.newTrk = false;
  SimTrack named;
  named.ident = "UP";
  named.color = 4;

  CSimTrackUpload upload;
  upload.Begin(4);
  EXPECT_TRUE(upload.AddHeader(receiver.BuildTrackHeader(named, 310).data, 310));
  EXPECT_TRUE(upload.AddPoint(receiver.BuildTrackPoint(point, 301, true).data, 301));
  EXPECT_TRUE(upload.AddPoint(receiver.BuildTrackPoint(point, 301, true).data, 301));
  EXPECT_FALSE(upload.AddHeader({1}, 310));
  upload.Finish();
  ASSERT_EQ(upload.Finished().size(), 1u);
  EXPECT_EQ(upload.Finished()[0].ident, "UP");
  EXPECT_EQ(upload.Finished()[0].color, 4);
  EXPECT_EQ(upload.Finished()[0].points.size(), 2u);
  EXPECT_EQ(upload.BadRecords(), 1u);

  upload.Begin(3);
  upload.AddPoint(receiver.BuildTrackPoint(point, 300, true).data, 300);
  upload.AddPoint(receiver.BuildTrackPoint(point, 300, false).data, 300);
  upload.AddPoint(receiver.BuildTrackPoint(point, 300, true).data, 300);
  upload.Finish();
  ASSERT_EQ(upload.Finished().size(), 3u);
  EXPECT_EQ(upload.Finished()[1].points.size(), 2u);
  EXPECT_EQ(upload.Finished()[2].points.size(), 1u);
  EXPECT_EQ(upload.Announced(), 7u);
  EXPECT_EQ(upload.Received(), 7u);

  // Points outside a transfer are not kept.
  EXPECT_FALSE(upload.AddPoint(receiver.BuildTrackPoint(point, 300, true).data, 300));
}

}  // namespace
