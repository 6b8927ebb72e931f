// qvagent-cli send, the real program against simulated receivers: a GPX
// route reaches a course receiver under the track and name chosen on the
// command line, its exit codes, Ctrl+C, and the same GPX uploaded by
// GPSBabel, an independent host, arriving as the same points.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim/GarminSim.h"
#include "support/RunProgram.h"
#include "support/TestEnv.h"

namespace {

using qvtest::RunProgram;

const std::string kProduct = "Forerunner305 Software Version 3.50";
const char kCourseDevice[] =
    R"(["P000", "L001", "A010", "A301:D310,D304", "A1006:D1006", "A1007:D1007", "A1008:D1012"])";
const char kTrackLogDevice[] = R"(["P000", "L001", "A010", "A301:D310,D304"])";

// Two tracks: the first of n points 0.001 degrees of latitude and 10 s
// apart, the second of two points.
std::string Gpx(int n) {
  std::string text =
      R"(<?xml version="1.0"?><gpx version="1.1" creator="test"><trk><name>Lake</name><trkseg>)";
  for (int i = 0; i < n; ++i) {
    char point[200];
    std::snprintf(
        point, sizeof point,
        R"(<trkpt lat="%.6f" lon="-8.512345"><ele>%.1f</ele><time>2024-05-01T06:%02d:%02dZ</time></trkpt>)",
        47.376543 + 0.001 * i, 400.5 + i, (10 * i) / 60, (10 * i) % 60);
    text += point;
  }
  text +=
      R"(</trkseg></trk><trk><trkseg><trkpt lat="1.5" lon="2.5"><time>2024-05-02T06:00:00Z</time></trkpt>)"
      R"(<trkpt lat="1.501" lon="2.5"><time>2024-05-02T06:00:10Z</time></trkpt></trkseg></trk></gpx>)";
  return text;
}

class CliSendTest : public ::testing::Test {
protected:
  // A receiver on a pseudo-terminal of its own; the program's setting names it.
  static std::unique_ptr<CGarminSim> StartSim(const char* protocols, std::string& port) {
    std::string error;
    auto sim =
        CGarminSim::FromJson(R"({"product_id": 484, "software_version": 350, "descriptions": [")" + kProduct +
                                 R"("], "serial_number": 7, "protocols": )" + protocols + "}",
                             &error);
    EXPECT_NE(sim, nullptr) << error;
    if (sim) {
      EXPECT_TRUE(sim->StartSerial(port));
    }
    return sim;
  }
  CGarminSim& StartReceiver(const char* protocols) {
    m_sim = StartSim(protocols, m_port);
    Set("Device", "Ports", m_port);
    Set("Device", "Timeout", "1000");
    return *m_sim;
  }
  void Set(const std::string& section, const std::string& value, const std::string& data) {
    const auto r = RunProgram({QV_CLI_PATH, "settings", "set", section, value, data});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  std::string WriteGpx(int n) {
    const std::string path = (m_home.Path() / "route.gpx").string();
    qvtest::WriteFile(path, Gpx(n));
    return path;
  }
  qvtest::ProgramResult Send(std::vector<std::string> options) {
    std::vector<std::string> argv{QV_CLI_PATH, "send", WriteGpx(3), "--port", m_port};
    argv.insert(argv.end(), options.begin(), options.end());
    return RunProgram(argv, 120);
  }

  qvtest::CIsolatedHome m_home;
  std::unique_ptr<CGarminSim> m_sim;
  std::string m_port;
};

TEST_F(CliSendTest, ARouteReachesACourseReceiverUnderItsNewName) {
  CGarminSim& sim = StartReceiver(kCourseDevice);
  const auto r = Send({"--track", "1", "--name", "1=Lake loop"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Data file successfully imported\n"), std::string::npos) << r.out;
  // The progress line may be gone before the printer sees it (a short upload
  // on a loaded machine); the final line always stays.
  EXPECT_NE(r.out.find("Data transfer complete for " + kProduct + " on " + m_port + "\n"), std::string::npos);
  EXPECT_EQ(r.out.find('<'), std::string::npos);
  m_sim->Stop();
  const std::vector<SimCourse> courses = sim.UploadedCourses();
  ASSERT_EQ(courses.size(), 1u);
  EXPECT_EQ(courses[0].name, "Lake loop");
  EXPECT_EQ(courses[0].trackIndex, 1);
}

// The command line's own exit codes: 2 for usage, 1 for a failure after it
// (the job's failures are the job test's).
TEST_F(CliSendTest, ExitCodes) {
  const auto usage = RunProgram({QV_CLI_PATH, "send", "--track", "x"}, 60);
  EXPECT_EQ(usage.exitCode, 2) << usage.out;
  EXPECT_NE(usage.err.find("--track needs a track number"), std::string::npos) << usage.err;
  const auto failed = RunProgram({QV_CLI_PATH, "send", WriteGpx(3), "--track", "3"}, 60);
  EXPECT_EQ(failed.exitCode, 1) << failed.out;
  EXPECT_NE(failed.err.find("no track 3 with points"), std::string::npos) << failed.err;
}

bool HaveGpsBabel() {
  return RunProgram({"/bin/sh", "-c", "gpsbabel -V"}).exitCode == 0;
}

// The semicircles a position in degrees was sent as.
long Semicircles(double degrees) {
  return std::lround(degrees * 2147483648.0 / 180.0);
}

TEST_F(CliSendTest, GpsBabelAndTheAgentUploadTheSameGpxAlike) {
  if (!HaveGpsBabel()) GTEST_SKIP() << "gpsbabel is not installed";
  const std::string gpx = WriteGpx(120);
  std::string babelPort;
  auto babelTarget = StartSim(kTrackLogDevice, babelPort);
  ASSERT_NE(babelTarget, nullptr);
  const auto babel = RunProgram(
      {"/bin/sh", "-c", "timeout 120 gpsbabel -t -i gpx -f '" + gpx + "' -o garmin -F " + babelPort}, 150);
  ASSERT_EQ(babel.exitCode, 0) << babel.out << babel.err;
  babelTarget->Stop();

  CGarminSim& sim = StartReceiver(kTrackLogDevice);
  const auto agent = RunProgram({QV_CLI_PATH, "send", gpx, "--port", m_port}, 120);
  ASSERT_EQ(agent.exitCode, 0) << agent.out << agent.err;
  m_sim->Stop();

  const std::vector<SimTrack> expected = babelTarget->UploadedTracks();
  const std::vector<SimTrack> actual = sim.UploadedTracks();
  ASSERT_EQ(actual.size(), expected.size());
  ASSERT_EQ(actual.size(), 2u);
  for (size_t t = 0; t < actual.size(); ++t) {
    ASSERT_EQ(actual[t].points.size(), expected[t].points.size()) << t;
    for (size_t p = 0; p < actual[t].points.size(); ++p) {
      SCOPED_TRACE("track " + std::to_string(t) + " point " + std::to_string(p));
      const SimTrackPoint& a = actual[t].points[p];
      const SimTrackPoint& b = expected[t].points[p];
      EXPECT_EQ(a.time, b.time);
      EXPECT_EQ(a.alt, b.alt);
      EXPECT_EQ(a.newTrk, b.newTrk);
      // Files' positions are kept as single-precision degrees and turned into
      // semicircles with the factor 11930465: within a few semicircles (a
      // semicircle is about 9 mm) of GPSBabel's double-precision conversion.
      EXPECT_LE(std::labs(Semicircles(a.lat) - Semicircles(b.lat)), 40) << a.lat << " " << b.lat;
      EXPECT_LE(std::labs(Semicircles(a.lon) - Semicircles(b.lon)), 40) << a.lon << " " << b.lon;
    }
  }
}

TEST_F(CliSendTest, CtrlCCancelsTheUploadLikeTheCancelButton) {
  StartReceiver(kTrackLogDevice).SetPacing(true);
  const std::string gpx = WriteGpx(400);
  const std::string out = (m_home.Path() / "out.txt").string();
  // Job control, so that the program in the background still takes Ctrl+C.
  const std::string script = "set -m; '" + std::string(QV_CLI_PATH) + "' send '" + gpx + "' --port " +
                             m_port + " >'" + out +
                             "' 2>&1 & pid=$!; for i in $(seq 600); do grep -q Transfering '" + out +
                             "' && break; sleep 0.05; done; kill -INT $pid; wait $pid; echo \"exit=$?\"";
  const auto r = RunProgram({"/bin/bash", "-c", script}, 120);
  const std::string printed = qvtest::ReadFile(out);
  EXPECT_NE(r.out.find("exit=1"), std::string::npos) << r.out << printed;
  EXPECT_NE(printed.find("User aborted transferring data to " + kProduct + " on " + m_port + "\n"),
            std::string::npos)
      << printed;
}

}  // namespace
