// GPSBabel, an independent host, downloads the simulated track log over the
// pseudo-terminal. What it writes as GPX must match the scenario.
#include <gtest/gtest.h>

#include <ctime>
#include <nlohmann/json.hpp>
#include <regex>

#include "SimProcess.h"
#include "sim/GarminSim.h"
#include "support/TestEnv.h"

namespace {

struct GpxPoint {
  double lat = 0, lon = 0;
  std::string time;
};

struct GpxTrack {
  std::string name;
  std::vector<GpxPoint> points;
};

// Enough of GPX for GPSBabel's own output: tracks (or segments) of points.
std::vector<GpxTrack> ParseGpxTracks(const std::string& text, bool segmentsAreTracks) {
  std::vector<GpxTrack> tracks;
  static const std::regex token(
      R"re(<trk>|<trkseg>|<name>([^<]*)</name>|<trkpt lat="([-0-9.]+)" lon="([-0-9.]+)">|<time>([^<]*)</time>)re");
  bool inTrack = false;
  for (std::sregex_iterator it(text.begin(), text.end(), token), end; it != end; ++it) {
    const std::smatch& match = *it;
    const std::string whole = match.str(0);
    if (whole == (segmentsAreTracks ? "<trkseg>" : "<trk>")) {
      tracks.emplace_back();
      inTrack = true;
    } else if (!inTrack) {
      continue;
    } else if (match[1].matched) {
      tracks.back().name = match.str(1);
    } else if (match[2].matched) {
      tracks.back().points.push_back(GpxPoint{std::stod(match.str(2)), std::stod(match.str(3)), {}});
    } else if (match[4].matched && !tracks.back().points.empty()) {
      tracks.back().points.back().time = match.str(4);
    }
  }
  return tracks;
}

std::string IsoTime(int64_t unixSeconds) {
  const time_t seconds = static_cast<time_t>(unixSeconds);
  struct tm utc {};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

void ExpectTracksMatch(const std::vector<GpxTrack>& actual, const CSimScenario& scenario, bool checkNames) {
  ASSERT_EQ(actual.size(), scenario.tracks.size());
  for (size_t t = 0; t < actual.size(); ++t) {
    SCOPED_TRACE("track " + std::to_string(t));
    const SimTrack& expected = scenario.tracks[t];
    if (checkNames) {
      EXPECT_EQ(actual[t].name, expected.ident);
    }
    ASSERT_EQ(actual[t].points.size(), expected.points.size());
    for (size_t p = 0; p < expected.points.size(); ++p) {
      SCOPED_TRACE("point " + std::to_string(p));
      EXPECT_NEAR(actual[t].points[p].lat, expected.points[p].lat, 1e-5);
      EXPECT_NEAR(actual[t].points[p].lon, expected.points[p].lon, 1e-5);
      EXPECT_EQ(actual[t].points[p].time, IsoTime(*expected.points[p].time));
    }
  }
}

bool HaveGpsBabel() {
  return RunCommand("gpsbabel -V >/dev/null 2>&1") == 0;
}

// Runs GPSBabel's Garmin track download into out.gpx; the debug log goes beside it.
int DownloadTracks(const std::string& port, const qvtest::CTempDir& dir) {
  const std::string out = (dir.Path() / "out.gpx").string();
  const std::string log = (dir.Path() / "gpsbabel.log").string();
  return RunCommand("timeout 60 gpsbabel -D9 -t -i garmin -f " + ShellQuote(port) + " -o gpx -F " +
                    ShellQuote(out) + " >" + ShellQuote(log) + " 2>&1");
}

std::string DataFile(const char* name) {
  return std::string(QV_SIM_DATA_DIR) + "/" + name;
}

TEST(SimGpsBabel, DownloadsTwoTracksFromTheProgram) {
  if (!HaveGpsBabel()) GTEST_SKIP() << "gpsbabel is not installed";
  qvtest::CTempDir dir;
  const std::string record = (dir.Path() / "record.json").string();
  CSimProcess sim;
  std::string port;
  ASSERT_TRUE(sim.Start(QV_GARMIN_SIM_PROGRAM,
                        {"--scenario", DataFile("two_tracks_a301.json"), "--record", record}, port));
  ASSERT_EQ(port.rfind("/dev/pts/", 0), 0u) << port;
  const int status = DownloadTracks(port, dir);
  EXPECT_EQ(sim.Stop(), 0);
  ASSERT_EQ(status, 0) << qvtest::ReadFile(dir.Path() / "gpsbabel.log");

  CSimScenario scenario;
  std::string error;
  ASSERT_TRUE(scenario.LoadFile(DataFile("two_tracks_a301.json"), error)) << error;
  ExpectTracksMatch(ParseGpxTracks(qvtest::ReadFile(dir.Path() / "out.gpx"), false), scenario, true);

  // The record holds the host's side: the product request and the track command among them.
  const std::string recorded = qvtest::ReadFile(record);
  EXPECT_NE(recorded.find("\"id\": 254"), std::string::npos);
  const nlohmann::json parsed = nlohmann::json::parse(recorded, nullptr, false);
  ASSERT_FALSE(parsed.is_discarded()) << recorded;
  std::vector<SimPacket> packets;
  for (const nlohmann::json& packet : parsed["packets"]) {
    packets.push_back(SimPacket{packet["id"].get<uint16_t>(), packet["data"].get<std::vector<uint8_t>>()});
  }
  ASSERT_FALSE(packets.empty());
  EXPECT_EQ(packets[0], (SimPacket{254, {}}));
  EXPECT_NE(std::find(packets.begin(), packets.end(), SimPacket{10, {6, 0}}), packets.end()) << recorded;
  EXPECT_EQ(parsed["bad_frames"], 0);
}

TEST(SimGpsBabel, UploadsTracksToTheReceiver) {
  if (!HaveGpsBabel()) GTEST_SKIP() << "gpsbabel is not installed";
  std::string error;
  auto source = CGarminSim::FromFile(DataFile("two_tracks_a301.json"), &error);
  ASSERT_TRUE(source) << error;
  std::string port;
  ASSERT_TRUE(source->StartSerial(port)) << source->LastError();
  qvtest::CTempDir dir;
  ASSERT_EQ(DownloadTracks(port, dir), 0) << qvtest::ReadFile(dir.Path() / "gpsbabel.log");
  source->Stop();

  // The downloaded GPX goes back up to a receiver of the same kind.
  auto target = CGarminSim::FromFile(DataFile("two_tracks_a301.json"), &error);
  ASSERT_TRUE(target) << error;
  ASSERT_TRUE(target->StartSerial(port)) << target->LastError();
  const std::string gpx = (dir.Path() / "out.gpx").string();
  ASSERT_EQ(RunCommand("timeout 60 gpsbabel -t -i gpx -f " + ShellQuote(gpx) + " -o garmin -F " +
                       ShellQuote(port) + " >" + ShellQuote((dir.Path() / "upload.log").string()) + " 2>&1"),
            0)
      << qvtest::ReadFile(dir.Path() / "upload.log");
  target->Stop();
  const std::vector<SimTrack> uploaded = target->UploadedTracks();
  const CSimScenario& expected = target->Scenario();
  ASSERT_EQ(uploaded.size(), expected.tracks.size());
  for (size_t t = 0; t < uploaded.size(); ++t) {
    SCOPED_TRACE("track " + std::to_string(t));
    EXPECT_EQ(uploaded[t].ident, expected.tracks[t].ident);
    ASSERT_EQ(uploaded[t].points.size(), expected.tracks[t].points.size());
    for (size_t p = 0; p < uploaded[t].points.size(); ++p) {
      SCOPED_TRACE("point " + std::to_string(p));
      EXPECT_NEAR(uploaded[t].points[p].lat, expected.tracks[t].points[p].lat, 1e-5);
      EXPECT_NEAR(uploaded[t].points[p].lon, expected.tracks[t].points[p].lon, 1e-5);
      EXPECT_EQ(uploaded[t].points[p].time, expected.tracks[t].points[p].time);
    }
  }
}

struct BabelCase {
  const char* legend;
  const char* scenarioFile;
  bool segmentsAreTracks;  // A300 has no headers: GPSBabel starts a segment per new-track flag
  bool pacing;
  bool packet248;
};

TEST(SimGpsBabel, DownloadsWithTableDevicesPacingAndStrayPackets) {
  if (!HaveGpsBabel()) GTEST_SKIP() << "gpsbabel is not installed";
  const BabelCase rows[] = {
      {"product table device, A300 and D300, no protocol array", "product_table_a300.json", true, false,
       false},
      {"A301 at the real wire rate", "two_tracks_a301.json", false, true, false},
      {"packet 248 before the protocol array", "two_tracks_a301.json", false, false, true},
  };
  for (const BabelCase& row : rows) {
    SCOPED_TRACE(row.legend);
    std::string error;
    auto sim = CGarminSim::FromFile(DataFile(row.scenarioFile), &error);
    ASSERT_TRUE(sim) << error;
    SimFaults faults = sim->Faults();
    faults.packet248BeforeProtocolArray = row.packet248;
    sim->SetFaults(faults);
    sim->SetPacing(row.pacing);
    std::string port;
    ASSERT_TRUE(sim->StartSerial(port)) << sim->LastError();
    qvtest::CTempDir dir;
    ASSERT_EQ(DownloadTracks(port, dir), 0) << qvtest::ReadFile(dir.Path() / "gpsbabel.log");
    sim->Stop();
    ExpectTracksMatch(ParseGpxTracks(qvtest::ReadFile(dir.Path() / "out.gpx"), row.segmentsAreTracks),
                      sim->Scenario(), !row.segmentsAreTracks);
    const std::vector<uint16_t> commands = sim->HostCommands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), SIM_CMD_TRANSFER_TRK), commands.end());
    EXPECT_EQ(sim->HostBadFrames(), 0u);
  }
}

}  // namespace
