// Uploads at the link: faults in the middle of an upload over serial end it
// with the link's error and leave the simulated receiver ready for the next
// one; courses over USB.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "data/GpsDataSet.h"
#include "garmin/GarminErrors.h"
#include "link/GpsGarminSerial.h"
#include "link/GpsGarminUsb.h"
#include "sim/GarminSim.h"
#include "support/TestEnv.h"

namespace {

constexpr unsigned kTimeoutMs = 250;
constexpr int64_t kStart = 1714543200;

const char kIdentity[] =
    R"("product_id": 484, "software_version": 350, "descriptions": ["Forerunner305"], "serial_number": 99,)";
const char kTrackLogDevice[] = R"("protocols": ["P000", "L001", "A010", "A301:D310,D301"])";
const char kCourseDevice[] =
    R"("protocols": ["P000", "L001", "A010", "A301:D310,D304", "A1006:D1006", "A1007:D1007", "A1008:D1012"])";

// Two routes of n and 2 points, 0.001 degrees of latitude and 10 s apart.
void FillRoutes(CGpsDataSet& set, int n) {
  for (int t = 0; t < 2; ++t) {
    CGpsDataTrack* track = set.AddTrack(t == 0 ? "Lake loop" : "Hill", t);
    for (int i = 0; i < (t == 0 ? n : 2); ++i) {
      CGpsDataTrackPoint* p = track->AddPoint(0);
      p->AddFloatPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, 8.5f,
                      47.0f + 0.001f * static_cast<float>(i));
      p->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, static_cast<int>(kStart + 10 * i));
      p->AddFloat(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES, 400.0f + static_cast<float>(i));
    }
  }
}

// A receiver on a pseudo-terminal (port filled in), or on the USB socket at port.
std::unique_ptr<CGarminSim> StartSim(const std::string& protocols, bool usb, std::string& port) {
  std::string error;
  auto sim = CGarminSim::FromJson("{" + std::string(kIdentity) + protocols + "}", &error);
  EXPECT_NE(sim, nullptr) << error;
  if (sim) {
    EXPECT_TRUE(usb ? sim->StartUsb(port) : sim->StartSerial(port)) << sim->LastError();
  }
  return sim;
}

// D304 points of a course track carry no new-track flag.
void ExpectRoutes(const std::vector<SimTrack>& tracks, int n, bool newTrackFlags = true) {
  ASSERT_EQ(tracks.size(), 2u);
  EXPECT_EQ(tracks[0].ident, "Lake loop");
  EXPECT_EQ(tracks[1].ident, "Hill");
  ASSERT_EQ(tracks[0].points.size(), static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const SimTrackPoint& p = tracks[0].points[i];
    EXPECT_NEAR(p.lat, 47.0 + 0.001 * i, 4e-6) << i;
    EXPECT_NEAR(p.lon, 8.5, 1e-6);
    EXPECT_EQ(p.time, kStart + 10 * i);
    EXPECT_EQ(p.alt, 400.0f + static_cast<float>(i));
    EXPECT_EQ(p.newTrk, newTrackFlags && i == 0);
  }
}

TEST(GarminTxSim, FaultsInTheMiddleOfAnUploadOverSerial) {
  // NAKs and bad checksums on a single packet are the serial link test's.
  struct Row {
    const char* legend;
    int SimFaults::*fault;  // set to the fourth host packet
    bool mayResend;         // a lost packet may be resent in time or not
  };
  const Row rows[] = {
      {"a lost packet gets no ACK", &SimFaults::noAckHostPacket, true},
      {"the receiver falls silent", &SimFaults::silentFromHostPacket, false},
      {"the receiver is switched off", &SimFaults::powerOffAtHostPacket, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    std::string port;
    auto sim = StartSim(kTrackLogDevice, false, port);
    ASSERT_NE(sim, nullptr);
    CGpsGarminSerial gps;
    gps.SetDevicePath(port);
    gps.SetTimeout(kTimeoutMs);
    ASSERT_TRUE(gps.OpenGpsDevice(GPS_DIRECTION_TX));
    SimFaults faults;
    faults.*row.fault = 4;
    sim->SetFaults(faults);
    CGpsDataSet set;
    FillRoutes(set, 6);
    unsigned count = 0;
    const bool sent = gps.TxGpsData(&set, count);
    gps.CloseGpsDevice();
    EXPECT_TRUE(row.mayResend || !sent);
    if (sent) {
      ExpectRoutes(sim->UploadedTracks(), 6);
    } else {
      // The link's error, and nothing of the broken upload kept.
      EXPECT_NE(gps.GetCommsDevice()->GetLastError() | gps.GetErrorCode(), S_OK);
      EXPECT_TRUE(sim->UploadedTracks().empty());
    }
    // The receiver takes the next upload whole.
    sim->SetFaults(SimFaults{});
    sim->PowerOn();
    ASSERT_TRUE(gps.OpenGpsDevice(GPS_DIRECTION_TX)) << gps.GetErrorText();
    ASSERT_TRUE(gps.TxGpsData(&set, count)) << gps.GetErrorText();
    gps.CloseGpsDevice();
    const std::vector<SimTrack> tracks = sim->UploadedTracks();
    ASSERT_EQ(tracks.size(), sent ? 4u : 2u);
    ExpectRoutes({tracks.end() - 2, tracks.end()}, 6);
    sim->Stop();
  }
}

TEST(GarminTxSim, CoursesOverUsb) {
  qvtest::CTempDir dir;
  std::string socket = dir.Str() + "/usb.sock";
  auto sim = StartSim(kCourseDevice, true, socket);
  ASSERT_NE(sim, nullptr);
  CGpsGarminUsb gps;
  gps.SetDevicePath("usbsim:" + socket);
  gps.SetTimeout(kTimeoutMs);
  CGpsDataSet set;
  FillRoutes(set, 3);
  unsigned count = 0;
  ASSERT_TRUE(gps.OpenGpsDevice(GPS_DIRECTION_TX)) << gps.GetErrorText();
  ASSERT_TRUE(gps.TxGpsData(&set, count)) << gps.GetErrorText();
  gps.CloseGpsDevice();
  // USB writes do not wait for the receiver: let it take in what is on the way.
  for (int i = 0; i < 500 && sim->UploadTransfers().size() < 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  sim->Stop();
  ASSERT_EQ(sim->UploadTransfers().size(), 3u);
  EXPECT_EQ(sim->UploadedCourses().size(), 2u);
  EXPECT_EQ(sim->UploadedCourseLaps().size(), 2u);
  ExpectRoutes(sim->UploadedCourseTracks(), 3, false);
}

}  // namespace
