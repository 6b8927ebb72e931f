// Runs, laps and tracks end to end over USB, the only link whose packets hold
// a run record: the simulated receiver behind its socket and the USB engine,
// once per run type, with the laps linked through the runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "garmin/GarminErrors.h"
#include "link/GpsGarminUsb.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "sim/GarminSim.h"
#include "support/TestEnv.h"

namespace {

constexpr unsigned kTimeoutMs = 250;

// Two tracks of three points 10 s apart; three laps; a run per track.
const char kRecords[] = R"(
  "product_id": 484, "software_version": 350, "descriptions": ["Forerunner305"], "serial_number": 99,
  "tracks": [
    {"index": 0, "points": [{"lat": 47.0, "lon": 8.0, "time": 1700000000, "alt": 400},
                            {"lat": 47.0, "lon": 8.0, "time": 1700000010, "alt": 400},
                            {"lat": 47.0, "lon": 8.0, "time": 1700000020, "alt": 400}]},
    {"index": 1, "points": [{"lat": 47.0, "lon": 8.0, "time": 1700003600, "alt": 400},
                            {"lat": 47.0, "lon": 8.0, "time": 1700003610, "alt": 400},
                            {"lat": 47.0, "lon": 8.0, "time": 1700003620, "alt": 400}]}],
  "laps": [{"start_time": 1700000000, "total_time": 10, "avg_heart_rate": 120, "avg_cadence": 0},
           {"start_time": 1700000010, "total_time": 10, "avg_cadence": 255},
           {"start_time": 1700003600, "total_time": 20}],
  "runs": [{"track_index": 0, "first_lap": 0, "last_lap": 1, "sport": 1},
           {"track_index": 1, "first_lap": 2, "last_lap": 2, "sport": 0}],)";

struct UsbCase {
  const char* legend;
  std::string members;
  bool ok;  // of the run transfer
  HRESULT error;
  std::vector<std::string> laps;  // "firstId lastId pending"
  std::vector<std::string> activities;
};

TEST(GarminRxTracksUsbSim, DownloadsRunsLapsAndTracksOverUsb) {
  const std::string p = "device-Garmin-484-99-";
  const std::vector<std::string> linked = {p + "0-1 " + p + "0-2 1", p + "0-2 " + p + "0-3 1",
                                           p + "1-1 " + p + "1-3 1"};
  const std::vector<UsbCase> cases = {
      {"D1000 runs, D1001 laps",
       R"("protocols": ["P000", "L001", "A302:D311,D304", "A906:D1001", "A1000:D1000"])",
       true,
       S_OK,
       linked,
       {"1", "0"}},
      {"D1009 runs, D1011 laps",
       R"("protocols": ["P000", "L001", "A302:D311,D304", "A906:D1011", "A1000:D1009"])",
       true,
       S_OK,
       linked,
       {"1", "0"}},
      {"D1010 runs, D1011 laps",
       R"("protocols": ["P000", "L001", "A302:D311,D304", "A906:D1011", "A1000:D1010"])",
       true,
       S_OK,
       linked,
       {"1", "0"}},
      {"D1009 runs announced one short: too many",
       R"("protocols": ["P000", "L001", "A302:D311,D304", "A906:D1011", "A1000:D1009"],
          "transfer_quirks": {"runs": {"count_delta": -1}})",
       false,
       S_OK,
       {"  1", "  1", "  1"},
       {"", ""}},
  };
  for (const UsbCase& c : cases) {
    SCOPED_TRACE(c.legend);
    qvtest::CTempDir dir;
    const std::string socket = dir.Str() + "/usb.sock";
    std::string error;
    auto sim = CGarminSim::FromJson("{" + std::string(kRecords) + c.members + "}", &error);
    ASSERT_NE(sim, nullptr) << error;
    ASSERT_TRUE(sim->StartUsb(socket)) << sim->LastError();
    CGpsGarminUsb gps;
    gps.SetDevicePath("usbsim:" + socket);
    gps.SetTimeout(kTimeoutMs);
    ASSERT_TRUE(gps.OpenGpsDevice(GPS_DIRECTION_RX)) << gps.GetErrorText() << gps.GetErrorMessage();
    CGpsDataSet& set = gps.GetDataSet();
    set.ClearRecords();
    EXPECT_EQ(gps.RxGpsDataRuns(), c.ok);
    EXPECT_EQ(gps.GetErrorCode(), c.error);
    EXPECT_EQ(set.GetRuns().GetCount(), c.ok ? 2 : 1);
    if (!c.ok) {
      // The receiver is still sending; start afresh as a new download would.
      gps.CloseGpsDevice();
      ASSERT_TRUE(gps.OpenGpsDevice(GPS_DIRECTION_RX));
      set.ClearRecords();
    }
    ASSERT_TRUE(gps.RxGpsDataLaps()) << gps.GetErrorText();
    ASSERT_TRUE(gps.RxGpsDataTracks()) << gps.GetErrorText();
    for (const CGpsDataRun* run : set.GetRuns()) gps.LinkRun(set, *run);
    std::vector<std::string> laps;
    for (const CGpsDataLap* lap : set.GetLaps()) {
      laps.push_back(lap->firstId + " " + lap->lastId + " " + std::to_string(lap->pending));
    }
    EXPECT_EQ(laps, c.laps);
    std::vector<std::string> activities;
    for (const CGpsDataTrack* track : set.GetTracks()) activities.push_back(track->activityName);
    EXPECT_EQ(activities, c.activities);
    EXPECT_EQ(set.CountTrackPoints(), 6);
    gps.CloseGpsDevice();
    sim->Stop();
  }
}

}  // namespace
