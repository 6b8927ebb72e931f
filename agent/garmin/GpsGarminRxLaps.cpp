// Receiving laps (A906) and runs (A1000), and the entry points of the linking
// that ties them to the track log afterwards.
#include "data/LapLinking.h"
#include "garmin/GarminIds.h"
#include "garmin/LapDecoders.h"
#include "garmin/RunDecoders.h"
#include "garmin/RxCountedTransfer.h"
#include "resources/StringIds.h"
#include "util/TraceLog.h"

namespace {

// The first of types the receiver lists; 0 when none.
uint16_t ChooseType(const CGpsGarmin& gps, std::initializer_list<uint16_t> types) {
  for (uint16_t type : types) {
    if (gps.IsProtocolSupported('D', type)) return type;
  }
  return 0;
}

class CLapSink : public CGpsGarmin::CRxTransferSink {
public:
  CLapSink(CGpsGarmin& gps, CGpsDataSet& set, const LapLayout& layout)
      : m_gps(gps), m_set(set), m_layout(layout) {}

  bool IsDataPacket(uint32_t id) const override { return id == APP_PID_LAP; }
  void LogDataPacket(const GarminPacket&, int, int) override { LogWrite(LOG_INFO, "APP_PID_LAP"); }
  bool OnData(const GarminPacket& packet) override {
    return AcceptDecodeResult(m_gps, DecodeLap(m_layout, packet.data, packet.size, m_set));
  }

private:
  CGpsGarmin& m_gps;
  CGpsDataSet& m_set;
  const LapLayout& m_layout;
};

class CRunSink : public CGpsGarmin::CRxTransferSink {
public:
  CRunSink(CGpsGarmin& gps, CGpsDataSet& set, uint16_t type) : m_gps(gps), m_set(set), m_type(type) {}

  bool IsDataPacket(uint32_t id) const override { return id == APP_PID_RUN; }
  void LogDataPacket(const GarminPacket&, int number, int announced) override {
    LogWrite(LOG_INFO, "APP_PID_RUN (%u of %u)", static_cast<unsigned>(number),
             static_cast<unsigned>(announced));
  }
  bool OnData(const GarminPacket& packet) override {
    return AcceptDecodeResult(m_gps, DecodeRun(m_type, packet.data, packet.size, m_set));
  }

private:
  CGpsGarmin& m_gps;
  CGpsDataSet& m_set;
  uint16_t m_type;
};

}  // namespace

bool CGpsGarmin::RxGpsDataLaps() {
  if (IsProtocolSupported('A', 906)) return RxA906Lap(GetDataSet());
  LogWrite(LOG_WARN, "CGpsGarmin::RxGpsDataLaps(): lap transfer protocol unsupported");
  SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_LAP_PROTOCOL);
  return false;
}

bool CGpsGarmin::RxA906Lap(CGpsDataSet& set) {
  const LapLayout* layout = FindLapLayout(ChooseType(*this, {906, 1001, 1011}));
  if (layout == nullptr) {
    LogWrite(LOG_ERROR, "CGpsGarmin::RxA906Lap(): lap type unsupported");
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_LAP_PROTOCOL);
    return false;
  }
  static const CRxTransferTexts texts = {
      "A906Lap(): CMD_TRANSFER_LAPS",
      nullptr,
      nullptr,
      "RxA906Lap(): no laps available",
      "Rx A906 Lap: too many packets",
      "Rx A906 Lap: %d packets expected, %d packets received",
      "CGpsGarmin::RxA906Lap: unexpected PID ignored: %u, datasize=%u, data=%u",
  };
  CLapSink sink(*this, set, *layout);
  return _RxCountedTransfer(CMD_TRANSFER_LAPS, texts, sink);
}

bool CGpsGarmin::RxGpsDataRuns() {
  if (IsProtocolSupported('A', 1000)) return RxA1000Run(GetDataSet());
  LogWrite(LOG_WARN, "CGpsGarmin::RxGpsDataRuns(): run transfer protocol unsupported");
  SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_RUN_PROTOCOL);
  return false;
}

bool CGpsGarmin::RxA1000Run(CGpsDataSet& set) {
  const uint16_t type = ChooseType(*this, {1000, 1009, 1010});
  if (type == 0) {
    LogWrite(LOG_ERROR, "CGpsGarmin::RxA1000Run(): run type unsupported");
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_RUN_PROTOCOL);
    return false;
  }
  static const CRxTransferTexts texts = {
      "A1000Run(): CMD_TRANSFER_RUNS",
      "RxA1000Run(): returned packet size = %u",
      "RxA1000Run(): APP_PID_RECORDS %u",
      "RxA1000Run(): no runs available",
      "Rx A1000 Run: too many packets",
      "Rx A1000 Run: %d packets expected, %d packets received",
      "CGpsGarmin::RxA1000Run: unexpected PID ignored: %u, datasize=%u, data=%u",
  };
  CRunSink sink(*this, set, type);
  return _RxCountedTransfer(CMD_TRANSFER_RUNS, texts, sink);
}

void CGpsGarmin::LinkD906Laps() {
  LinkD906LapGroups(GetDataSet());
}

void CGpsGarmin::LinkRun(CGpsDataSet& set, const CGpsDataRun& run) {
  LinkRunLaps(set, run);
}
