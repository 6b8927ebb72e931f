// Importing large activity files: one million track points with elevation
// and time as GPX (about 100 MB), as KML (gx:Track) and as a second-
// generation training-centre file. The GPX import is timed against GPSBabel
// reading the same file in the same run (it must be at least 4 times
// faster); KML and training-centre imports are reported as a ratio to the
// GPX import for a file of the same size, i.e. of the time per megabyte (at
// most 2). The resident memory the import adds is reported per point (at
// most 300 bytes).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "import/ImportReader.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPoints = 1000000;

struct CTrackFiles {
  fs::path folder;
  fs::path gpx, kml, tcx;
  CTrackFiles() {
    folder = fs::temp_directory_path() / ("qv-bench-import-" + std::to_string(getpid()));
    fs::create_directories(folder);
    gpx = folder / "track.gpx";
    kml = folder / "track.kml";
    tcx = folder / "track.tcx";
  }
  ~CTrackFiles() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
};

CTrackFiles& Files() {
  static CTrackFiles files;
  return files;
}

// The i-th point of a ride around Zurich, one per second.
struct CPoint {
  double lat, lon, ele;
  char time[32];
};

CPoint PointAt(int i) {
  CPoint p{
      47.0 + (i % 100000) * 1e-6, 8.0 + (i / 100000) * 1e-3 + (i % 7) * 1e-6, 400.0 + (i % 500) * 0.1, {}};
  const time_t t = 1714543200 + i;
  std::tm utc{};
  gmtime_r(&t, &utc);
  std::strftime(p.time, sizeof p.time, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return p;
}

template <class Writer>
bool WriteFile(const fs::path& path, const char* head, const char* tail, Writer writePoint) {
  if (fs::exists(path)) return true;
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  std::fputs(head, file);
  for (int i = 0; i < kPoints; ++i) writePoint(file, PointAt(i));
  std::fputs(tail, file);
  return std::fclose(file) == 0;
}

bool MakeGpx() {
  return WriteFile(Files().gpx,
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"bench\" "
                   "xmlns=\"http://www.topografix.com/GPX/1/1\">\n<trk><name>ride</name><trkseg>\n",
                   "</trkseg></trk>\n</gpx>\n", [](FILE* f, const CPoint& p) {
                     std::fprintf(f,
                                  "<trkpt lat=\"%.6f\" lon=\"%.6f\"><ele>%.1f</ele><time>%s</time></trkpt>\n",
                                  p.lat, p.lon, p.ele, p.time);
                   });
}

bool MakeKml() {
  // Google Earth writes all times first, then all coordinates.
  if (fs::exists(Files().kml)) return true;
  FILE* file = std::fopen(Files().kml.c_str(), "w");
  if (file == nullptr) return false;
  std::fputs(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
      "xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n<Document><Placemark><name>ride</name>"
      "<gx:Track>\n",
      file);
  for (int i = 0; i < kPoints; ++i) std::fprintf(file, "<when>%s</when>\n", PointAt(i).time);
  for (int i = 0; i < kPoints; ++i) {
    const CPoint p = PointAt(i);
    std::fprintf(file, "<gx:coord>%.6f %.6f %.1f</gx:coord>\n", p.lon, p.lat, p.ele);
  }
  std::fputs("</gx:Track></Placemark></Document></kml>\n", file);
  return std::fclose(file) == 0;
}

bool MakeTcx() {
  return WriteFile(
      Files().tcx,
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TrainingCenterDatabase "
      "xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\">\n<Activities>"
      "<Activity Sport=\"Biking\"><Id>2024-05-01T06:00:00Z</Id>\n"
      "<Lap StartTime=\"2024-05-01T06:00:00Z\"><TotalTimeSeconds>1000000</TotalTimeSeconds>"
      "<Track>\n",
      "</Track></Lap></Activity></Activities></TrainingCenterDatabase>\n", [](FILE* f, const CPoint& p) {
        std::fprintf(f,
                     "<Trackpoint><Time>%s</Time><Position><LatitudeDegrees>%.6f</LatitudeDegrees>"
                     "<LongitudeDegrees>%.6f</LongitudeDegrees></Position>"
                     "<AltitudeMeters>%.1f</AltitudeMeters></Trackpoint>\n",
                     p.time, p.lat, p.lon, p.ele);
      });
}

// Resident bytes of the process now.
long long ResidentBytes() {
  FILE* statm = std::fopen("/proc/self/statm", "r");
  long long size = 0, resident = 0;
  if (statm != nullptr) {
    if (std::fscanf(statm, "%lld %lld", &size, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

double g_gpxSeconds = 0;
double g_gpxSecondsPerMB = 0;

// Imports path once per iteration; reports the size, the speed and the
// resident bytes per point, and returns the seconds per megabyte.
double ImportFile(benchmark::State& state, const fs::path& path) {
  double seconds = 0;
  double bytesPerPoint = 0;
  for (auto _ : state) {
    const long long before = ResidentBytes();
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<CXmlFileReader> reader = CreateImportReader(path.string());
    const int parsed = reader->ParseFile(path.string());
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    const int points = reader->GetData().CountTrackPoints();
    if (parsed != 1 || !reader->GetErrorText().empty() || points != kPoints) {
      state.SkipWithError("import failed");
      break;
    }
    bytesPerPoint = static_cast<double>(ResidentBytes() - before) / points;
  }
  const double megabytes = static_cast<double>(fs::file_size(path)) / 1e6;
  state.counters["bytes_per_point"] = bytesPerPoint;
  state.counters["MB"] = megabytes;
  state.counters["MB_per_s"] = megabytes / seconds;
  return seconds / megabytes;
}

void BM_ImportGpx(benchmark::State& state) {
  if (!MakeGpx()) return state.SkipWithError("cannot write the GPX file");
  g_gpxSecondsPerMB = ImportFile(state, Files().gpx);
  g_gpxSeconds = g_gpxSecondsPerMB * static_cast<double>(fs::file_size(Files().gpx)) / 1e6;
}

void BM_GpsBabelGpx(benchmark::State& state) {
  if (!MakeGpx()) return state.SkipWithError("cannot write the GPX file");
  const std::string command = "gpsbabel -i gpx -f " + Files().gpx.string() + " -o gpx -F /dev/null";
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("gpsbabel failed (is it installed?)");
      break;
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
  }
  if (g_gpxSeconds > 0) state.counters["import_speedup"] = seconds / g_gpxSeconds;
}

void BM_ImportKml(benchmark::State& state) {
  if (!MakeKml()) return state.SkipWithError("cannot write the KML file");
  const double secondsPerMB = ImportFile(state, Files().kml);
  if (g_gpxSecondsPerMB > 0) state.counters["ratio_to_gpx"] = secondsPerMB / g_gpxSecondsPerMB;
}

void BM_ImportTcx(benchmark::State& state) {
  if (!MakeTcx()) return state.SkipWithError("cannot write the training-centre file");
  const double secondsPerMB = ImportFile(state, Files().tcx);
  if (g_gpxSecondsPerMB > 0) state.counters["ratio_to_gpx"] = secondsPerMB / g_gpxSecondsPerMB;
}

BENCHMARK(BM_ImportGpx)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GpsBabelGpx)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportKml)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportTcx)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
