// The whole download end to end over the serial link: the simulated receiver
// on a pseudo-terminal, the serial engine validating it, receiving everything
// the receiver offers on that link and switching it off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "garmin/GarminIds.h"
#include "link/GpsGarminSerial.h"
#include "sim/GarminSim.h"
#include "support/TestEnv.h"

namespace {

constexpr unsigned kTimeoutMs = 250;

struct SerialCase {
  const char* legend;
  std::string scenario;  // a file under tests/data/sim
  bool powerOffAck;
  unsigned records;
  int tracks;
  std::vector<uint16_t> commands;  // as the receiver saw them, power-off included
};

TEST(RxDriverSerialSim, DownloadAndPowerDown) {
  const SerialCase cases[] = {
      // The fitness kinds travel only over USB: on this link the receiver
      // answers runs, laps and occurrences with empty transfers and lets the
      // profile and limits requests go unanswered, which the download
      // survives. Its workouts use a data type the agent does not read.
      {"Forerunner with a protocol array",
       "two_tracks_a301.json",
       true,
       6,
       2,
       {CMD_TRANSFER_SERIAL_NUM, CMD_TRANSFER_RUNS, CMD_TRANSFER_LAPS, CMD_TRANSFER_TRK,
        CMD_TRANSFER_USER_PROFILE, CMD_TRANSFER_WORKOUT_OCCURRENCES, CMD_TRANSFER_WORKOUT_LIMITS,
        CMD_TURN_OFF_PWR}},
      {"product-table receiver",
       "product_table_a300.json",
       true,
       5,
       1,
       {CMD_TRANSFER_SERIAL_NUM, CMD_TRANSFER_TRK, CMD_TURN_OFF_PWR}},
      {"switch-off without acknowledgement",
       "product_table_a300.json",
       false,
       5,
       1,
       {CMD_TRANSFER_SERIAL_NUM, CMD_TRANSFER_TRK, CMD_TURN_OFF_PWR}},
  };
  for (const SerialCase& c : cases) {
    SCOPED_TRACE(c.legend);
    std::string error;
    auto sim = CGarminSim::FromFile((qvtest::DataDir() / "sim" / c.scenario).string(), &error);
    ASSERT_NE(sim, nullptr) << error;
    SimFaults faults = sim->Faults();
    faults.powerOffAck = c.powerOffAck;
    sim->SetFaults(faults);
    std::string port;
    ASSERT_TRUE(sim->StartSerial(port));

    CGpsGarminSerial gps;
    gps.SetDevicePath(port);
    gps.SetTimeout(kTimeoutMs);
    ASSERT_TRUE(gps.OpenGpsDevice(GPS_DIRECTION_RX));
    unsigned count = 0;
    ASSERT_TRUE(gps.RxGpsData(count));
    EXPECT_EQ(count, c.records);
    EXPECT_EQ(gps.GetDataSet().GetTracks().GetCount(), c.tracks);
    EXPECT_EQ(gps.GetDataSet().CountTrackPoints(), static_cast<int>(c.records));
    EXPECT_EQ(gps.GetErrorCode(), S_OK);

    EXPECT_EQ(gps.PowerDown(), c.powerOffAck);
    EXPECT_EQ(gps.GetErrorCode(), S_OK);
    EXPECT_EQ(gps.GetCommsDevice()->GetLastError(), S_OK);
    EXPECT_TRUE(gps.CloseGpsDevice());
    EXPECT_TRUE(sim->IsPoweredOff());
    EXPECT_EQ(sim->HostCommands(), c.commands);
    // Nothing in what arrived calls for a diagnostics report.
    EXPECT_TRUE(gps.IsRxDataValid());
  }
}

// A lost host packet is sent again wherever it falls; a receiver that falls
// silent after validation leaves every request unanswered, which retries
// cannot mend, and fails the download.
TEST(RxDriverSerialSim, LostPacketsAreSentAgainAndASilentLinkFailsTheDownload) {
  const std::string scenario = R"({"product_id": 484, "software_version": 350, "descriptions": ["FR"],
    "serial_number": 99, "protocols": ["P000", "L001", "A010", "A301:D310,D304", "A906:D1011"],
    "tracks": [{"ident": "RUN", "index": 0, "points": [
      {"lat": 47.0, "lon": 8.0, "time": 1700000000}, {"lat": 47.1, "lon": 8.1, "time": 1700000010}]}],
    "laps": [{"start_time": 1700000000, "total_time": 10}]})";
  // -1: silent after validation; 0: nothing lost; then the Nth packet of the host goes missing, once.
  for (int lost = -1; lost <= 8; ++lost) {
    SCOPED_TRACE(lost);
    auto sim = CGarminSim::FromJson(scenario);
    ASSERT_NE(sim, nullptr);
    SimFaults faults = sim->Faults();
    faults.noAckHostPacket = lost < 0 ? 0 : lost;
    sim->SetFaults(faults);
    std::string port;
    ASSERT_TRUE(sim->StartSerial(port));
    CGpsGarminSerial gps;
    gps.SetDevicePath(port);
    gps.SetTimeout(kTimeoutMs);
    ASSERT_TRUE(gps.OpenGpsDevice(GPS_DIRECTION_RX));
    if (lost < 0) {
      faults.silent = true;
      sim->SetFaults(faults);
    }
    unsigned count = 0;
    EXPECT_EQ(gps.RxGpsData(count), lost >= 0);
    EXPECT_EQ(gps.GetErrorCode(), lost < 0 ? HRESULT_FROM_WIN32(ERROR_RETRY) : S_OK);
    gps.CloseGpsDevice();
    if (lost < 0) continue;
    const CGpsDataSet& set = gps.GetDataSet();
    EXPECT_EQ(set.prefix, "device-Garmin-484-99");
    EXPECT_EQ(set.GetLaps().GetCount(), 1);
    EXPECT_EQ(set.GetTracks().GetCount(), 1);
    EXPECT_EQ(set.CountTrackPoints(), 2);
  }
}

}  // namespace
