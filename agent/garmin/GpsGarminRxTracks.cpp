// Receiving the track log: the header-less A300 transfer and the A301/A302
// transfer with one header per track, and the counted transfer that the
// laps and runs share with them.
#include "garmin/GarminIds.h"
#include "garmin/PacketReader.h"
#include "garmin/RxCountedTransfer.h"
#include "resources/StringIds.h"
#include "util/TraceLog.h"

namespace {

// A receiver that sends nothing but packets outside the transfer would hold
// the download forever (the progress bar, stuck at its last percent, no longer
// offers a cancellation); real receivers send a few at most.

// The first point type of D300-D304 the receiver lists; 0 when none.
uint16_t ChooseTrackPointType(const CGpsGarmin& gps) {
  for (uint16_t type : {300, 301, 302, 303, 304}) {
    if (gps.IsProtocolSupported('D', type)) return type;
  }
  return 0;
}

uint16_t ChooseTrackHeaderType(const CGpsGarmin& gps) {
  for (uint16_t type : {310, 311, 312}) {
    if (gps.IsProtocolSupported('D', type)) return type;
  }
  return 0;
}

// A300: the points of the whole log go to one track, made when the count arrives.
class CA300Sink : public CGpsGarmin::CRxTransferSink {
public:
  CA300Sink(CGpsGarmin& gps, CGpsDataSet& set, const TrackPointLayout& layout)
      : m_gps(gps), m_set(set), m_layout(layout) {}

  bool IsDataPacket(uint32_t id) const override { return id == APP_PID_TRK_DATA; }
  void LogDataPacket(const GarminPacket&, int, int) override { LogWrite(LOG_INFO, "APP_PID_TRK_DATA"); }
  bool OnRecords(int announced) override {
    if (announced == 0) return true;
    m_track = m_set.AddTrack(std::string(), -1);
    return m_track != nullptr || AcceptDecodeResult(m_gps, EGarminDecode::OutOfMemory);
  }
  bool OnData(const GarminPacket& packet) override {
    // Points ahead of the count have no track to go to.
    if (m_track == nullptr) return true;
    return AcceptDecodeResult(m_gps, DecodeTrackPoint(m_layout, packet.data, packet.size, *m_track));
  }

private:
  CGpsGarmin& m_gps;
  CGpsDataSet& m_set;
  const TrackPointLayout& m_layout;
  CGpsDataTrack* m_track = nullptr;
};

// A301/A302: each header opens a track; points belong to the latest one.
class CA301A302Sink : public CGpsGarmin::CRxTransferSink {
public:
  CA301A302Sink(CGpsGarmin& gps, CGpsDataSet& set, const TrackPointLayout& layout, uint16_t headerType)
      : m_gps(gps), m_set(set), m_layout(layout), m_headerType(headerType) {}

  bool IsDataPacket(uint32_t id) const override { return id == APP_PID_TRK_DATA || id == APP_PID_TRK_HDR; }
  void LogDataPacket(const GarminPacket& packet, int, int) override {
    LogWrite(LOG_INFO, "%s", packet.id == APP_PID_TRK_HDR ? "APP_PID_TRK_HDR" : "APP_PID_TRK_DATA");
  }
  bool OnData(const GarminPacket& packet) override {
    if (packet.id == APP_PID_TRK_HDR) {
      return AcceptDecodeResult(m_gps, DecodeTrackHeader(m_headerType, packet.data, packet.size, m_set));
    }
    CGpsDataTrack* track = m_set.GetTracks().GetTail();
    // Points ahead of the first header are counted and dropped.
    if (track == nullptr) return true;
    return AcceptDecodeResult(m_gps, DecodeTrackPoint(m_layout, packet.data, packet.size, *track));
  }

private:
  CGpsGarmin& m_gps;
  CGpsDataSet& m_set;
  const TrackPointLayout& m_layout;
  uint16_t m_headerType;
};

}  // namespace

bool AcceptDecodeResult(CGpsDevice& device, EGarminDecode result) {
  switch (result) {
    case EGarminDecode::Stored:
    case EGarminDecode::Skipped:
      return true;
    case EGarminDecode::BadData:
      device.SetError(HR_READ_FAULT, IDS_ERR_BAD_PACKET);
      return false;
    case EGarminDecode::OutOfMemory:
      device.SetError(E_OUTOFMEMORY, IDS_ERR_OUT_OF_MEMORY);
      return false;
  }
  return false;
}

bool CGpsGarmin::_RxCountedTransfer(uint16_t command, const CRxTransferTexts& texts, CRxTransferSink& sink) {
  LogWrite(LOG_INFO, "%s", texts.request);
  if (!TransmitCommand(command)) return false;
  int announced = 0;
  int received = 0;
  int sinceRecord = 0;
  for (;;) {
    if (!ReceivePacket()) return false;
    const GarminPacket& packet = m_packet;
    if (!sink.IsDataPacket(packet.id) && ++sinceRecord > kMaxPacketsBetweenRecords) {
      LogWrite(LOG_ERROR, texts.unexpectedId, packet.id, packet.size,
               static_cast<unsigned>(packet.size > 0 && packet.data != nullptr ? packet.data[0] : 0));
      SetError(HR_READ_FAULT, IDS_ERR_UNEXPECTED_PACKET);
      return false;
    }
    if (packet.id == APP_PID_RECORDS) {
      LogWrite(LOG_INFO, "APP_PID_RECORDS");
      if (packet.size < 2) {
        if (texts.recordsShort != nullptr) LogWrite(LOG_ERROR, texts.recordsShort, packet.size);
        SetError(HR_READ_FAULT, IDS_ERR_BAD_PACKET);
        return false;
      }
      // A second count inside one transfer starts the counting afresh.
      announced = CPacketReader(packet.data, packet.size).ReadS16();
      received = 0;
      if (announced == 0) {
        LogWrite(LOG_INFO, "%s", texts.noRecords);
      } else if (texts.recordsCount != nullptr) {
        LogWrite(LOG_INFO, texts.recordsCount, static_cast<unsigned>(announced));
      }
      if (!sink.OnRecords(announced)) return false;
    } else if (sink.IsDataPacket(packet.id)) {
      sink.LogDataPacket(packet, received + 1, announced);
      if (received >= announced) {
        LogWrite(LOG_ERROR, "%s", texts.tooManyPackets);
        return false;
      }
      ++received;
      sinceRecord = 0;
      if (!sink.OnData(packet)) return false;
    } else if (packet.id == APP_PID_XFER_CMPLT) {
      if (received == announced) {
        LogWrite(LOG_INFO, "APP_PID_XFER_CMPLT");
        return true;
      }
      LogWrite(LOG_ERROR, texts.countMismatch, announced, received);
      SetError(HR_READ_FAULT, IDS_ERR_PACKETS_LOST);
      return false;
    } else if (packet.id == APP_PID_PROTOCOL_ARRAY) {
      // The receiver may restate its protocols mid-transfer; the types chosen
      // for this transfer stay.
      if (!RxA001ProtocolCapability(packet.size, packet.data, GetDataSet())) return false;
    } else {
      LogWrite(LOG_ERROR, texts.unexpectedId, packet.id, packet.size,
               static_cast<unsigned>(packet.size > 0 && packet.data != nullptr ? packet.data[0] : 0));
    }
  }
}

bool CGpsGarmin::RxGpsDataTracks() {
  CGpsDataSet& set = GetDataSet();
  if (IsProtocolSupported('A', 300)) return RxA300TrackLog(set);
  if (IsProtocolSupported('A', 301) || IsProtocolSupported('A', 302)) return RxA301A302TrackLog(set);
  LogWrite(LOG_ERROR, "CGpsGarmin::RxGpsDataTracks(): track log transfer protocol unsupported");
  SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_TRACKLOG_PROTOCOL);
  return false;
}

bool CGpsGarmin::RxA300TrackLog(CGpsDataSet& set) {
  const TrackPointLayout* layout = FindTrackPointLayout(ChooseTrackPointType(*this));
  if (layout == nullptr) {
    LogWrite(LOG_ERROR, "CGpsGarmin::RxA300TrackLog(): track point type unsupported");
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_TRACKPOINT_PROTOCOL);
    return false;
  }
  static const CRxTransferTexts texts = {
      "RxA300TrackLog(): CMD_TRANSFER_TRK",
      nullptr,
      nullptr,
      "RxA300TrackLog(): no tracks available",
      "Rx A300 Track: too many packets",
      "Rx A300 Track: %d packets expected, %d packets received",
      "CGpsGarmin::RxA300TrackLog: unexpected PID ignored: %u, datasize=%u, data=%u",
  };
  CA300Sink sink(*this, set, *layout);
  return _RxCountedTransfer(CMD_TRANSFER_TRK, texts, sink);
}

bool CGpsGarmin::RxA301A302TrackLog(CGpsDataSet& set) {
  const TrackPointLayout* layout = FindTrackPointLayout(ChooseTrackPointType(*this));
  if (layout == nullptr) {
    LogWrite(LOG_ERROR, "CGpsGarmin::RxA301A302TrackLog(): track point type unsupported");
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_TRACKPOINT_PROTOCOL);
    return false;
  }
  const uint16_t headerType = ChooseTrackHeaderType(*this);
  if (headerType == 0) {
    LogWrite(LOG_ERROR, "CGpsGarmin::RxA301A302TrackLog(): track header type unsupported");
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_TRACKHEADER_PROTOCOL);
    return false;
  }
  static const CRxTransferTexts texts = {
      "RxA301A302TrackLog(): CMD_TRANSFER_TRK",
      nullptr,
      nullptr,
      "RxA301A302TrackLog(): no tracks available",
      "Rx A301/A302 Track: too many packets",
      "Rx A301/A302 Track: %d packets expected, %d packets received",
      "CGpsGarmin::RxA301A302TrackLog: unexpected PID ignored: %u, datasize=%u, data=%u",
  };
  CA301A302Sink sink(*this, set, *layout, headerType);
  return _RxCountedTransfer(CMD_TRANSFER_TRK, texts, sink);
}
