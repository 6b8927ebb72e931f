// Upload of a 500-point track to the simulated receiver over the serial link
// at 9600 baud: validation, the track log transfer and every
// acknowledgement. wire_ratio compares the agent's time with the wire time
// of all bytes that cross the link in both directions; paced_ratio with the
// time of the receiver's own bytes alone (its acknowledgements and the
// validation replies), the only ones the simulator paces. GPSBabel uploads
// the same track, from a GPX file, to the same kind of receiver in the
// second benchmark, for comparison.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "data/GpsDataSet.h"
#include "link/GpsGarminSerial.h"
#include "sim/GarminSim.h"

namespace {

constexpr int kTrackPoints = 500;
constexpr double kBitsPerByte = 10.0;
constexpr double kBaud = 9600.0;

const char kScenario[] = R"({"product_id": 484, "software_version": 350,
    "descriptions": ["Forerunner305 Software Version 3.50"], "serial_number": 3456789012,
    "protocols": ["P000", "L001", "A010", "A100:D110", "A301:D310,D304"], "faults": {"pacing_9600": true}})";

double Lat(int i) {
  return 51.4779 + i * 1e-4;
}
double Lon(int i) {
  return -0.0015 + i * 1e-4;
}
int UnixTime(int i) {
  return 1700000000 + 2 * i;
}
double Elevation(int i) {
  return 40.0 + i % 7;
}

// The serial engine, counting the bytes that cross the port.
class CCountingSerial : public CGpsGarminSerial {
public:
  bool WriteCommsDevice(const uint8_t* data, unsigned length) override {
    const bool ok = CGpsGarminSerial::WriteCommsDevice(data, length);
    if (ok) hostBytes += length;
    return ok;
  }
  bool ReadCommsDevice(uint8_t* buffer, unsigned size, unsigned& got) override {
    const bool ok = CGpsGarminSerial::ReadCommsDevice(buffer, size, got);
    if (ok) receiverBytes += got;
    return ok;
  }
  uint64_t hostBytes = 0;
  uint64_t receiverBytes = 0;
};

void BM_AgentTrackUpload(benchmark::State& state) {
  std::string error;
  std::unique_ptr<CGarminSim> sim = CGarminSim::FromJson(kScenario, &error);
  std::string port;
  if (sim == nullptr || !sim->StartSerial(port)) {
    state.SkipWithError(("simulator: " + error).c_str());
    return;
  }
  sim->SetPacing(true);
  CGpsDataSet set;
  CGpsDataTrack* track = set.AddTrack("BENCH", 0);
  for (int i = 0; i < kTrackPoints; ++i) {
    CGpsDataTrackPoint* point = track->AddPoint(0);
    point->AddFloatPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, static_cast<float>(Lon(i)),
                        static_cast<float>(Lat(i)));
    point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, UnixTime(i));
    point->AddFloat(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES, static_cast<float>(Elevation(i)));
  }
  CCountingSerial gps;
  gps.SetDevicePath(port);
  gps.SetTimeout(1000);
  double elapsed = 0;
  double wire = 0;
  double paced = 0;
  for (auto _ : state) {
    gps.hostBytes = 0;
    gps.receiverBytes = 0;
    const auto start = std::chrono::steady_clock::now();
    unsigned count = 0;
    if (!gps.OpenGpsDevice(GPS_DIRECTION_TX) || !gps.TxGpsData(&set, count)) {
      state.SkipWithError("validation or the upload failed");
      return;
    }
    const auto end = std::chrono::steady_clock::now();
    gps.CloseGpsDevice();
    const double seconds = std::chrono::duration<double>(end - start).count();
    state.SetIterationTime(seconds);
    elapsed += seconds;
    wire += static_cast<double>(gps.hostBytes + gps.receiverBytes) * kBitsPerByte / kBaud;
    paced += static_cast<double>(gps.receiverBytes) * kBitsPerByte / kBaud;
  }
  sim->Stop();
  state.counters["points_received"] =
      sim->UploadedTracks().empty() ? 0 : static_cast<double>(sim->UploadedTracks().back().points.size());
  state.counters["wire_seconds"] = wire / static_cast<double>(state.iterations());
  state.counters["wire_ratio"] = wire > 0 ? elapsed / wire : 0;
  state.counters["paced_ratio"] = paced > 0 ? elapsed / paced : 0;
}

// GPSBabel, an independent host, uploading the same track from a GPX file.
void BM_GpsBabelTrackUpload(benchmark::State& state) {
  std::string error;
  std::unique_ptr<CGarminSim> sim = CGarminSim::FromJson(kScenario, &error);
  std::string port;
  if (sim == nullptr || !sim->StartSerial(port)) {
    state.SkipWithError(("simulator: " + error).c_str());
    return;
  }
  sim->SetPacing(true);
  const std::string gpx = (std::filesystem::temp_directory_path() /
                           ("qv-bench-track-upload-" + std::to_string(std::rand()) + ".gpx"))
                              .string();
  {
    std::ofstream out(gpx);
    out << R"(<?xml version="1.0"?><gpx version="1.1" creator="bench"><trk><name>BENCH</name><trkseg>)";
    for (int i = 0; i < kTrackPoints; ++i) {
      char point[200];
      const time_t t = UnixTime(i);
      struct tm utc {};
      gmtime_r(&t, &utc);
      char stamp[32];
      std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
      std::snprintf(point, sizeof point,
                    R"(<trkpt lat="%.6f" lon="%.6f"><ele>%.1f</ele><time>%s</time></trkpt>)", Lat(i), Lon(i),
                    Elevation(i), stamp);
      out << point;
    }
    out << "</trkseg></trk></gpx>\n";
  }
  const std::string command = "gpsbabel -t -i gpx -f " + gpx + " -o garmin -F " + port + " >/dev/null 2>&1";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("gpsbabel failed (is it installed?)");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  sim->Stop();
  state.counters["points_received"] =
      sim->UploadedTracks().empty() ? 0 : static_cast<double>(sim->UploadedTracks().back().points.size());
  std::remove(gpx.c_str());
}

BENCHMARK(BM_AgentTrackUpload)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_GpsBabelTrackUpload)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
