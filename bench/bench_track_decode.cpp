// Decoding and storing D304 track points straight from packet buffers held in
// memory, with no link: the decoder alone, and the whole A301 transfer loop
// (count, header, points, completion) on a receiver that answers from memory.
// Reported as points_per_second.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "data/GpsDataSet.h"
#include "garmin/GarminIds.h"
#include "garmin/GpsGarmin.h"
#include "garmin/TrackDecoders.h"
#include "link/CommsDevice.h"

namespace {

constexpr int kPoints = 100'000;

void Put(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A fitness receiver's point: every field valid, as on a run with a foot pod.
std::vector<uint8_t> D304Point(int i) {
  std::vector<uint8_t> b(24, 0);
  Put(b, 0, static_cast<uint32_t>(562'000'000 + i * 13));
  Put(b, 4, static_cast<uint32_t>(95'000'000 + i * 7));
  Put(b, 8, static_cast<uint32_t>(1'000'000'000 + i));
  Put(b, 12, std::bit_cast<uint32_t>(400.0f + static_cast<float>(i % 50)));
  Put(b, 16, std::bit_cast<uint32_t>(static_cast<float>(i) * 2.5f));
  b[20] = static_cast<uint8_t>(120 + i % 40);
  b[21] = static_cast<uint8_t>(80 + i % 10);
  b[22] = 1;
  return b;
}

std::vector<std::vector<uint8_t>> MakePoints() {
  std::vector<std::vector<uint8_t>> points;
  points.reserve(kPoints);
  for (int i = 0; i < kPoints; ++i) points.push_back(D304Point(i));
  return points;
}

void BM_DecodeD304(benchmark::State& state) {
  const std::vector<std::vector<uint8_t>> packets = MakePoints();
  const TrackPointLayout& layout = *FindTrackPointLayout(304);
  CGpsDataSet set;
  set.prefix = "device-Garmin-484-3456789012";
  for (auto _ : state) {
    state.PauseTiming();
    set.ClearRecords();
    CGpsDataTrack* track = set.AddTrack("BENCH", 0);
    state.ResumeTiming();
    for (const std::vector<uint8_t>& packet : packets) {
      if (DecodeTrackPoint(layout, packet.data(), packet.size(), *track) != EGarminDecode::Stored) {
        state.SkipWithError("point not stored");
        return;
      }
    }
    benchmark::DoNotOptimize(track->GetPoints().GetTail());
  }
  state.counters["points_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kPoints, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeD304)->Unit(benchmark::kMillisecond);

// A port that carries nothing.
class CNullPort : public CCommsDevice {
public:
  bool OpenCommsDevice() override { return true; }
  bool CloseCommsDevice() override { return true; }
  bool WriteCommsDevice(const uint8_t*, unsigned) override { return true; }
  bool ReadCommsDevice(uint8_t*, unsigned, unsigned& bytesRead) override {
    bytesRead = 0;
    return false;
  }
};

// Answers the track log request with packets prepared in memory.
class CMemoryReceiver : public CNullPort, public CGpsGarmin {
public:
  explicit CMemoryReceiver(std::vector<std::pair<uint16_t, std::vector<uint8_t>>> packets)
      : m_packets(std::move(packets)) {
    const ProtocolTag tags[] = {{'L', 1}, {'A', 301}, {'D', 310}, {'D', 304}};
    SetProtocolCapabilities(tags, 4);
    GetDataSet().prefix = "device-Garmin-484-3456789012";
  }
  CCommsDevice* GetCommsDevice() override { return static_cast<CNullPort*>(this); }
  bool OpenGpsDevice(int) override { return true; }
  bool CloseGpsDevice() override { return true; }
  bool TransmitProductRequest() override { return true; }
  bool TransmitCommand(uint16_t) override {
    m_next = 0;
    return true;
  }
  bool ReceivePacket() override {
    if (m_next >= m_packets.size()) return false;
    const auto& [id, data] = m_packets[m_next++];
    m_packet.id = id;
    m_packet.size = static_cast<uint32_t>(data.size());
    m_packet.data = data.data();
    return true;
  }
  bool TransmitPacket(unsigned, const uint8_t*, unsigned) override { return true; }

private:
  std::vector<std::pair<uint16_t, std::vector<uint8_t>>> m_packets;
  size_t m_next = 0;
};

void BM_RxA301TrackLog(benchmark::State& state) {
  std::vector<std::pair<uint16_t, std::vector<uint8_t>>> packets;
  const uint16_t count = 1 + 30'000;
  packets.push_back({APP_PID_RECORDS, {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)}});
  packets.push_back({APP_PID_TRK_HDR, {1, 0, 'B', 'E', 'N', 'C', 'H', 0}});
  for (int i = 0; i < 30'000; ++i) packets.push_back({APP_PID_TRK_DATA, D304Point(i)});
  packets.push_back({APP_PID_XFER_CMPLT, {6, 0}});
  CMemoryReceiver gps(std::move(packets));
  for (auto _ : state) {
    state.PauseTiming();
    gps.GetDataSet().ClearRecords();
    state.ResumeTiming();
    if (!gps.RxGpsDataTracks()) {
      state.SkipWithError("transfer failed");
      return;
    }
  }
  state.counters["points_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 30'000, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RxA301TrackLog)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
