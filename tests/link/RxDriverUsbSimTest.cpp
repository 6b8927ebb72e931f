// The whole download end to end over USB, the only link that carries the
// fitness records: the simulated receiver behind its socket, the USB engine
// validating it, receiving runs, laps, tracks, profile, workouts,
// occurrences and limits, linking them and switching the receiver off.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "garmin/GarminErrors.h"
#include "garmin/GarminIds.h"
#include "link/GpsGarminUsb.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "sim/GarminSim.h"
#include "support/TestEnv.h"

namespace {

constexpr unsigned kTimeoutMs = 250;
constexpr int64_t kFirstRun = 1714543200;  // 2024-05-01T06:00:00Z

std::vector<SimProtocolTag> Tags(std::initializer_list<const char*> names) {
  std::vector<SimProtocolTag> tags;
  for (const char* name : names) tags.push_back({name[0], static_cast<uint16_t>(std::stoi(name + 1))});
  return tags;
}

// A Forerunner-class receiver: `runs` runs of 2 laps over tracks of 21 points
// 30 s apart, run r of sport r % 3; a profile whose biking block has five
// heart-rate zones; two workouts, the first with a zone target.
CSimScenario Forerunner(int runs) {
  CSimScenario s;
  s.productId = 484;
  s.softwareVersion = 350;
  s.descriptions = {"Forerunner305 Software Version 3.50"};
  s.serialNumber = 3456789012u;
  s.protocols = Tags({"P000", "L001", "A010", "A302", "D311", "D304", "A906", "D1011", "A1000", "D1009",
                      "A1002", "D1002", "A1003", "D1003", "A1004", "D1004", "A1005", "D1005"});
  for (int r = 0; r < runs; ++r) {
    const int64_t start = kFirstRun + r * 86400;
    SimTrack track;
    track.index = static_cast<uint16_t>(r);
    for (int i = 0; i <= 20; ++i) {
      SimTrackPoint point;
      point.lat = 47.0 + i * 0.0005;
      point.lon = 8.5;
      point.time = start + i * 30;
      point.alt = 400.0f;
      point.distance = i * 80.0f;
      point.heartRate = 130;
      track.points.push_back(point);
    }
    s.tracks.push_back(track);
    for (int l = 0; l < 2; ++l) {
      SimLap lap;
      lap.index = static_cast<uint32_t>(2 * r + l);
      lap.startTime = start + l * 300;
      lap.totalTime = 300.0;
      lap.distance = 800.0f;
      lap.avgHeartRate = 130;
      s.laps.push_back(lap);
    }
    s.runs.push_back({r, static_cast<uint32_t>(2 * r), static_cast<uint32_t>(2 * r + 1),
                      static_cast<uint8_t>(r % 3), 0, 0});
  }
  SimProfile profile;
  for (int i = 0; i < 5; ++i) {
    profile.activities[1].heartRateZones[i] = {static_cast<uint8_t>(100 + 15 * i),
                                               static_cast<uint8_t>(115 + 15 * i)};
  }
  profile.activities[1].speedZones[0] = {4.0f, 6.0f, "Cruise"};
  profile.activities[1].maxHeartRate = 190;
  s.profile = profile;
  SimWorkout hills;
  hills.name = "Hills";
  hills.sport = 1;
  hills.steps = {{"Warm up", 0, 0, 600, 0, 0, 1, 1}, {"Climb", 0, 0, 150, 1, 2, 1, 3}};
  SimWorkout easy;
  easy.name = "Easy";
  easy.steps = {{"Jog", 2.5f, 3.5f, 5000, 0, 1, 0, 0}};
  s.workouts = {hills, easy};
  s.occurrences = {{"Hills", 1000000}, {"Easy", 1086400}};
  s.limits = SimLimits{100, 10, 200};
  return s;
}

class RxDriverUsbSim : public ::testing::Test {
protected:
  std::unique_ptr<CGarminSim> Start(CSimScenario scenario) {
    auto sim = std::make_unique<CGarminSim>(std::move(scenario));
    EXPECT_TRUE(sim->StartUsb(SocketPath())) << sim->LastError();
    m_gps.SetDevicePath("usbsim:" + SocketPath());
    m_gps.SetFriendlyName("Simulated USB receiver");
    m_gps.SetTimeout(kTimeoutMs);
    return sim;
  }
  std::string SocketPath() const { return m_dir.Str() + "/usb.sock"; }

  qvtest::CTempDir m_dir;
  CGpsGarminUsb m_gps;
};

TEST_F(RxDriverUsbSim, ForerunnerDeliversEveryKindLinked) {
  auto sim = Start(Forerunner(3));
  ASSERT_TRUE(m_gps.OpenGpsDevice(GPS_DIRECTION_RX));
  unsigned count = 0;
  ASSERT_TRUE(m_gps.RxGpsData(count));
  const CGpsDataSet& set = m_gps.GetDataSet();
  // 3 runs, 6 laps, 63 points, 3 profiles, 2 workouts, 2 occurrences, limits.
  EXPECT_EQ(count, 3u + 6u + 63u + 3u + 2u + 2u + 1u);
  EXPECT_EQ(m_gps.GetErrorCode(), S_OK);
  EXPECT_EQ(m_gps.GetCommsDevice()->GetLastError(), S_OK);
  EXPECT_EQ(sim->HostCommands(),
            (std::vector<uint16_t>{CMD_TRANSFER_SERIAL_NUM, CMD_TRANSFER_RUNS, CMD_TRANSFER_LAPS,
                                   CMD_TRANSFER_TRK, CMD_TRANSFER_USER_PROFILE, CMD_TRANSFER_WORKOUTS,
                                   CMD_TRANSFER_WORKOUT_OCCURRENCES, CMD_TRANSFER_WORKOUT_LIMITS}));

  // Each run's laps lie on its own track, which takes the run's sport and the
  // profile of that sport.
  const std::string prefix = "device-Garmin-484-3456789012";
  int r = 0;
  for (const CGpsDataTrack* track : set.GetTracks()) {
    SCOPED_TRACE(r);
    EXPECT_EQ(track->activityName, std::to_string(r));
    EXPECT_EQ(track->profile, prefix + "-D1004-" + std::to_string(r));
    const CGpsDataLap* first = set.GetLap(2 * r);
    const CGpsDataLap* second = set.GetLap(2 * r + 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->firstId, track->GetId() + "-1");
    EXPECT_EQ(first->lastId, track->GetId() + "-11");
    EXPECT_EQ(second->firstId, track->GetId() + "-11");
    EXPECT_EQ(second->lastId, track->GetId() + "-21");
    ++r;
  }
  EXPECT_EQ(r, 3);

  // The biking profile and the workout steps that refer to its zones.
  const CGpsDataProfile* biking = set.FindProfileByName("1");
  ASSERT_NE(biking, nullptr);
  EXPECT_EQ(biking->GetValues().GetCount(), 1 + 5 + 1);
  const CGpsDataWorkout& hills = *set.GetWorkouts().GetHead();
  EXPECT_EQ(hills.id, prefix + "-D1002-0");
  EXPECT_EQ(hills.name, "Hills");
  ASSERT_EQ(hills.GetSteps().GetCount(), 2);
  EXPECT_EQ(hills.GetSteps().GetHead()->GetValues().GetTail()->GetReference(),
            prefix + "-D1004-1-heart_rate_zones-0");
  const CGpsDataValue& climb = *hills.GetSteps().GetTail()->GetValues().GetHead();
  EXPECT_EQ(climb.GetUnit(), UNIT_BPM);
  EXPECT_NE(set.GetLimits(), nullptr);
  EXPECT_TRUE(m_gps.IsRxDataValid());

  EXPECT_TRUE(m_gps.PowerDown());
  EXPECT_EQ(m_gps.GetErrorCode(), S_OK);
  EXPECT_TRUE(m_gps.CloseGpsDevice());
  // Nothing acknowledges the command on USB: the receiver handles it on its
  // own time.
  for (int i = 0; i < 100 && !sim->IsPoweredOff(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(sim->IsPoweredOff());
}

TEST_F(RxDriverUsbSim, WhatEndsADownloadAndWhatDoesNot) {
  struct Case {
    const char* legend;
    void (*change)(CSimScenario& s);
    bool ok;
    unsigned count;
    HRESULT error;
    unsigned messageId;
    bool valid;  // IsRxDataValid after a good download
  };
  const Case cases[] = {
      {"no runs and no laps: tracks, profile and workouts still come",
       [](CSimScenario& s) {
         s.protocols = Tags({"P000", "L001", "A010", "A302", "D311", "D304", "A1002", "D1002", "A1003",
                             "D1003", "A1004", "D1004", "A1005", "D1005"});
       },
       true, 42 + 3 + 2 + 2 + 1, S_OK, 0, true},
      {"a malformed run ends it before laps",
       [](CSimScenario& s) {
         s.transferQuirks["runs"].extraPackets.push_back({0, 990, std::vector<uint8_t>(20, 0), false});
         s.transferQuirks["runs"].countDelta = 1;
       },
       false, 0, HR_READ_FAULT, IDS_ERR_BAD_PACKET, true},
      {"no track log protocol",
       [](CSimScenario& s) {
         s.protocols = Tags({"P000", "L001", "A010", "A906", "D1011", "A1000", "D1009"});
       },
       false, 0, HR_UNSUPPORTED_LINK, IDS_ERR_TRACKLOG_PROTOCOL, true},
      {"a product 283 whose profile never came",
       [](CSimScenario& s) {
         s.productId = 283;
         s.profile.reset();
       },
       true, 2 + 4 + 42 + 2 + 2 + 1, S_OK, 0, false},
      {"lost workouts", [](CSimScenario& s) { s.transferQuirks["workouts"].countDelta = 1; }, false, 0,
       HR_READ_FAULT, IDS_ERR_PACKETS_LOST, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CSimScenario scenario = Forerunner(2);
    c.change(scenario);
    auto sim = Start(std::move(scenario));
    ASSERT_TRUE(m_gps.OpenGpsDevice(GPS_DIRECTION_RX));
    unsigned count = 0;
    EXPECT_EQ(m_gps.RxGpsData(count), c.ok);
    EXPECT_EQ(m_gps.GetErrorCode(), c.error);
    if (c.error != S_OK) {
      EXPECT_EQ(m_gps.GetErrorText(), LoadString(c.messageId));
    } else {
      EXPECT_EQ(count, c.count);
      EXPECT_EQ(m_gps.IsRxDataValid(), c.valid);
    }
    m_gps.CloseGpsDevice();
    sim->Stop();
  }
}

}  // namespace
