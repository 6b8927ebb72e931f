// Track logs and laps end to end: the simulated receiver on a pseudo-terminal
// and the serial engine validating it, downloading runs, laps and tracks and
// linking the laps, once per transfer protocol and data type.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "garmin/GarminErrors.h"
#include "link/GpsGarminSerial.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "sim/GarminSim.h"

namespace {

constexpr unsigned kTimeoutMs = 250;

const char kIdentity[] =
    R"("product_id": 484, "software_version": 350, "descriptions": ["Forerunner305"], "serial_number": 99,)";

// Two tracks of three points each, 10 s apart, an hour apart from each other;
// the first has an untimed point and a point with nothing but its time.
const char kTracks[] = R"("tracks": [
  {"ident": "MORNING #1", "index": 0, "points": [
    {"lat": 47.0, "lon": 8.0, "time": 1700000000, "alt": 400, "distance": 0, "heart_rate": 100, "cadence": 80},
    {"lat": 47.001, "lon": 8.001, "alt": 401},
    {"time": 1700000005},
    {"lat": 47.002, "lon": 8.002, "time": 1700000010, "alt": 402, "distance": 10, "heart_rate": 0, "cadence": 0},
    {"lat": 47.003, "lon": 8.003, "time": 1700000020, "alt": 403, "distance": 20, "new_trk": true}]},
  {"ident": "EVENING", "index": 1, "points": [
    {"lat": 47.1, "lon": 8.1, "time": 1700003600, "alt": 500, "distance": 0},
    {"lat": 47.1, "lon": 8.1, "time": 1700003610, "alt": 501, "distance": 10},
    {"lat": 47.1, "lon": 8.1, "time": 1700003620, "alt": 502, "distance": 20}]}],)";

struct SimCase {
  const char* legend;
  std::string scenario;  // members of the JSON object
  bool ok;
  HRESULT error;
  unsigned message;
  std::vector<std::string> tracks;  // "id ident points segments"
  std::vector<std::string> laps;    // "firstId lastId pending"
  int runs;
  std::vector<uint16_t> commands;  // after validation
};

std::vector<SimCase> Cases() {
  const std::string id = kIdentity;
  const std::string tracks = kTracks;
  const std::string p = "device-Garmin-484-99-";
  return {
      {"A301 with D310 headers and D304 points",
       id + tracks + R"("protocols": ["P000", "L001", "A301:D310,D304"])",
       true,
       S_OK,
       0,
       {p + "1 MORNING  3 1", p + "2 EVENING 3 1"},
       {},
       0,
       {6}},
      {"A302 with D311 headers and D302 points: tracks numbered by index",
       id + tracks + R"("protocols": ["P000", "L001", "A302:D311,D302"])",
       true,
       S_OK,
       0,
       {p + "0  3 2", p + "1  3 1"},
       {},
       0,
       {6}},
      {"A300 from the product table: one track, each device track a segment",
       R"("product_id": 29, "software_version": 400, "description": "eMap", "serial_number": 7, )" + tracks +
           R"("track_point_type": "D300")",
       true,
       S_OK,
       0,
       {"device-Garmin-29-7-1  7 4"},
       {},
       0,
       {6}},
      {"A301 quirks: points before the first header, stray packet, protocol array inside",
       id + R"("protocols": ["P000", "L001", "A301:D310,D304"],
          "tracks": [{"ident": "LOST", "header": false, "points": [{"lat": 1, "lon": 1, "time": 1700000000}]},
                     {"ident": "KEPT", "points": [{"lat": 1, "lon": 1, "time": 1700000001}]}],
          "transfer_quirks": {"tracks": {"extra_packets": [{"after": 1, "id": 77, "data": [1, 2]},
                                                           {"after": 2, "protocol_array": true}]}})",
       true,
       S_OK,
       0,
       {p + "1 KEPT 1 1"},
       {},
       0,
       {6}},
      {"A301 announcing one packet too many",
       id + tracks + R"("protocols": ["P000", "L001", "A301:D310,D304"],
          "transfer_quirks": {"tracks": {"count_delta": 1}})",
       false,
       HR_READ_FAULT,
       IDS_ERR_PACKETS_LOST,
       {p + "1 MORNING  3 1", p + "2 EVENING 3 1"},
       {},
       0,
       {6}},
      {"A906 D906 laps linked through the track indexes of D311 headers",
       id + tracks + R"("protocols": ["P000", "L001", "A302:D311,D304", "A906:D906"],
          "laps": [{"start_time": 1700000000, "total_time": 10, "track_index": 255},
                   {"start_time": 1700000010, "total_time": 10, "track_index": 0},
                   {"start_time": 1700003600, "total_time": 20, "track_index": 1},
                   {"start_time": 1700003600, "total_time": 20, "track_index": 254},
                   {"start_time": 1700003605, "total_time": 9, "track_index": 255}])",
       true,
       S_OK,
       0,
       {p + "0  3 1", p + "1  3 1"},
       {p + "0-1 " + p + "0-2 1", p + "0-2 " + p + "0-3 1", p + "1-1 " + p + "1-3 1", "  0",
        p + "1-1 " + p + "1-2 1"},
       0,
       {117, 6}},
      {"A906 D1011 laps over serial; runs do not fit a frame and stay on the receiver",
       id + tracks + R"("protocols": ["P000", "L001", "A301:D310,D304", "A906:D1011", "A1000:D1009"],
          "laps": [{"start_time": 1700000000, "total_time": 20, "avg_cadence": 0}],
          "runs": [{"track_index": 0, "first_lap": 0, "last_lap": 0, "sport": 0}])",
       true,
       S_OK,
       0,
       {p + "1 MORNING  3 1", p + "2 EVENING 3 1"},
       {"  1"},
       0,
       {450, 117, 6}},
  };
}

TEST(GarminRxTracksSim, DownloadsTracksAndLapsOverSerial) {
  for (const SimCase& c : Cases()) {
    SCOPED_TRACE(c.legend);
    std::string error;
    auto sim = CGarminSim::FromJson("{" + c.scenario + "}", &error);
    ASSERT_NE(sim, nullptr) << error;
    std::string port;
    ASSERT_TRUE(sim->StartSerial(port)) << sim->LastError();

    CGpsGarminSerial gps;
    gps.SetDevicePath(port);
    gps.SetTimeout(kTimeoutMs);
    ASSERT_TRUE(gps.OpenGpsDevice(GPS_DIRECTION_RX));
    sim->ClearHostLog();
    CGpsDataSet& set = gps.GetDataSet();
    set.ClearRecords();
    // As the receive driver does: runs and laps may be missing, the track log may not.
    for (bool (CGpsGarmin::*step)() : {&CGpsGarmin::RxGpsDataRuns, &CGpsGarmin::RxGpsDataLaps}) {
      if (!(gps.*step)()) {
        EXPECT_EQ(HRESULT_CODE(gps.GetErrorCode()), GARMIN_ERROR_UNSUPPORTED_LINK);
        gps.CGpsGarmin::ResetError();
      }
    }
    EXPECT_EQ(gps.RxGpsDataTracks(), c.ok);
    EXPECT_EQ(gps.GetErrorCode(), c.error);
    if (c.message != 0) {
      EXPECT_EQ(gps.GetErrorText(), LoadString(c.message));
    }
    if (!set.GetRuns().IsEmpty()) {
      for (const CGpsDataRun* run : set.GetRuns()) gps.LinkRun(set, *run);
    } else if (!set.GetLaps().IsEmpty() && gps.IsProtocolSupported('D', 906)) {
      gps.LinkD906Laps();
    }
    std::vector<std::string> tracks;
    for (const CGpsDataTrack* t : set.GetTracks()) {
      tracks.push_back(t->GetId() + " " + t->ident + " " + std::to_string(t->GetPoints().GetCount()) + " " +
                       std::to_string(t->GetSegments().GetCount()));
    }
    EXPECT_EQ(tracks, c.tracks);
    std::vector<std::string> laps;
    for (const CGpsDataLap* lap : set.GetLaps()) {
      laps.push_back(lap->firstId + " " + lap->lastId + " " + std::to_string(lap->pending));
    }
    EXPECT_EQ(laps, c.laps);
    EXPECT_EQ(set.GetRuns().GetCount(), c.runs);
    EXPECT_TRUE(gps.CloseGpsDevice());
    sim->Stop();
    EXPECT_EQ(sim->HostCommands(), c.commands);
    EXPECT_EQ(sim->HostBadFrames(), 0u);
  }
}

TEST(GarminRxTracksSim, PointValuesSurviveTheWire) {
  auto sim = CGarminSim::FromJson(std::string("{") + kIdentity + kTracks +
                                  R"("protocols": ["P000", "L001", "A301:D310,D304"]})");
  ASSERT_NE(sim, nullptr);
  std::string port;
  ASSERT_TRUE(sim->StartSerial(port));
  CGpsGarminSerial gps;
  gps.SetDevicePath(port);
  gps.SetTimeout(kTimeoutMs);
  ASSERT_TRUE(gps.OpenGpsDevice(GPS_DIRECTION_RX));
  ASSERT_TRUE(gps.RxGpsDataTracks());
  const CGpsDataTrackPoint* second = gps.GetDataSet().GetTracks().GetHead()->GetPoints().GetHead()->GetNext();
  // Time, position, elevation, distance and a cadence of 0; no heart rate of 0.
  std::vector<int> quantities;
  for (const CGpsDataValue* v : second->GetValues()) quantities.push_back(v->GetQuantity());
  EXPECT_EQ(quantities, (std::vector<int>{QUANTITY_TIME, QUANTITY_POSITION, QUANTITY_ELEVATION,
                                          QUANTITY_DISTANCE, QUANTITY_CADENCE}));
  int64_t time = 0;
  ASSERT_TRUE(second->GetValues().GetHead()->GetUnixTime(0, &time));
  EXPECT_EQ(time, 1700000010);
  int lon = 0;
  int lat = 0;
  ASSERT_TRUE(second->GetValues().GetHead()->GetNext()->GetPairInt(UNIT_SEMICIRCLES, &lon, &lat));
  EXPECT_NEAR(lat * 180.0 / 2147483648.0, 47.002, 1e-6);
  EXPECT_NEAR(lon * 180.0 / 2147483648.0, 8.002, 1e-6);
  gps.CloseGpsDevice();
}

}  // namespace
