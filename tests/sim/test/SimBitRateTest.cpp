// The simulator's line speed: GPSBabel, an independent host, switches it to
// 115200 and back; a host at another speed than the receiver is not heard.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include "PtyHost.h"
#include "SimProcess.h"
#include "sim/GarminSim.h"
#include "support/TestEnv.h"

namespace {

using namespace std::chrono_literals;

std::unique_ptr<CGarminSim> StartSim(std::string& port) {
  std::string error;
  auto sim = CGarminSim::FromFile(std::string(QV_SIM_DATA_DIR) + "/two_tracks_a301.json", &error);
  EXPECT_TRUE(sim) << error;
  if (sim && !sim->StartSerial(port)) ADD_FAILURE() << sim->LastError();
  return sim;
}

// Sets the speed of the host's end, as a host's own port setting would.
bool SetHostSpeed(const std::string& port, speed_t speed) {
  const int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  struct termios line {};
  const bool ok = fd >= 0 && tcgetattr(fd, &line) == 0 && cfsetospeed(&line, speed) == 0 &&
                  cfsetispeed(&line, speed) == 0 && tcsetattr(fd, TCSANOW, &line) == 0;
  if (fd >= 0) close(fd);
  return ok;
}

TEST(SimBitRate, GpsBabelSwitchesTo115200AndBack) {
  if (RunCommand("gpsbabel -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "gpsbabel is not installed";
  std::string port;
  auto sim = StartSim(port);
  ASSERT_TRUE(sim);
  qvtest::CTempDir dir;
  const std::string out = (dir.Path() / "out.gpx").string();
  const std::string log = (dir.Path() / "gpsbabel.log").string();
  ASSERT_EQ(RunCommand("timeout 60 gpsbabel -D9 -t -i garmin,baud=115200 -f " + ShellQuote(port) +
                       " -o gpx -F " + ShellQuote(out) + " >" + ShellQuote(log) + " 2>&1"),
            0)
      << qvtest::ReadFile(log);
  sim->Stop();
  const std::string gpx = qvtest::ReadFile(out);
  size_t points = 0;
  for (size_t at = gpx.find("<trkpt "); at != std::string::npos; at = gpx.find("<trkpt ", at + 1)) ++points;
  EXPECT_EQ(points, 6u) << qvtest::ReadFile(log);
  EXPECT_EQ(sim->BitRateChanges(), (std::vector<unsigned>{115200, 9600}));
  EXPECT_EQ(sim->HostBadFrames(), 0u);
}

TEST(SimBitRate, HostAtAnotherSpeedIsNotHeard) {
  std::string port;
  auto sim = StartSim(port);
  ASSERT_TRUE(sim);
  CPtyHost host;
  ASSERT_TRUE(host.Open(port));
  ASSERT_TRUE(SetHostSpeed(port, B115200));
  ASSERT_TRUE(host.Send(SimPacket{SIM_PID_PRODUCT_RQST, {}}));
  EXPECT_FALSE(host.ReadFrame(600ms).has_value());
  EXPECT_TRUE(sim->HostPackets().empty());
  ASSERT_TRUE(SetHostSpeed(port, B9600));
  ASSERT_TRUE(host.Send(SimPacket{SIM_PID_PRODUCT_RQST, {}}));
  EXPECT_TRUE(host.Expect(SIM_PID_ACK, 2000ms));
}

}  // namespace
