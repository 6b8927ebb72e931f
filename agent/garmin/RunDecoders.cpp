#include "garmin/RunDecoders.h"

#include "data/GpsDataSet.h"
#include "garmin/PacketReader.h"
#include "util/TraceLog.h"

namespace {

struct RunFields {
  int trackIndex = 0;
  int firstLapIndex = 0;
  int lastLapIndex = 0;
  int sport = 0;
  int program = 0;
  int multisport = 0;
};

EGarminDecode StoreRun(const RunFields& fields, CGpsDataSet& set) {
  CGpsDataRun* run = set.AddRun();
  if (run == nullptr) return EGarminDecode::OutOfMemory;
  run->trackIndex = fields.trackIndex;
  run->firstLapIndex = fields.firstLapIndex;
  run->lastLapIndex = fields.lastLapIndex;
  run->sport = fields.sport;
  run->program = fields.program;
  run->multisport = fields.multisport;
  return EGarminDecode::Stored;
}

// D1000 and D1010 share their head: three 32-bit indexes, sport, program and
// (D1010 only) multisport.
RunFields ReadWideHead(const uint8_t* data, size_t size, bool multisport) {
  CPacketReader reader(data, size);
  RunFields fields;
  fields.trackIndex = reader.ReadS32();
  fields.firstLapIndex = static_cast<int>(reader.ReadU32());
  fields.lastLapIndex = static_cast<int>(reader.ReadU32());
  fields.sport = reader.ReadU8();
  fields.program = reader.ReadU8();
  fields.multisport = multisport ? reader.ReadU8() : 0;
  return fields;
}

void LogRunHead(unsigned type, const RunFields& fields) {
  LogWrite(LOG_INFO, "Rx D%u Run: trackId=%d firstLapIndex=%d lastLapIndex=%d", type, fields.trackIndex,
           fields.firstLapIndex, fields.lastLapIndex);
}

}  // namespace

EGarminDecode DecodeD1000Run(const uint8_t* data, size_t size, CGpsDataSet& set) {
  if (data == nullptr || size < D1000_MIN_SIZE) {
    LogWrite(LOG_INFO, "APP_PID_RUN - D1000");
    return EGarminDecode::BadData;
  }
  const RunFields fields = ReadWideHead(data, size, false);
  LogRunHead(1000, fields);
  LogWrite(LOG_INFO, "              nSportType=%d, nProgramType=%d", fields.sport, fields.program);
  return StoreRun(fields, set);
}

EGarminDecode DecodeD1009Run(const uint8_t* data, size_t size, CGpsDataSet& set) {
  if (data == nullptr || size < D1009_MIN_SIZE) {
    LogWrite(LOG_INFO, "APP_PID_RUN - D1009");
    return EGarminDecode::BadData;
  }
  CPacketReader reader(data, size);
  RunFields fields;
  const uint16_t trackIndex = reader.ReadU16();
  fields.trackIndex = trackIndex == 0xFFFF ? -1 : trackIndex;
  fields.firstLapIndex = reader.ReadU16();
  fields.lastLapIndex = reader.ReadU16();
  fields.sport = reader.ReadU8();
  fields.program = reader.ReadU8();
  fields.multisport = reader.ReadU8();
  LogRunHead(1009, fields);
  LogWrite(LOG_INFO, "              nSportType=%d, nProgramType=%d, nMultisport=%d", fields.sport,
           fields.program, fields.multisport);
  return StoreRun(fields, set);
}

EGarminDecode DecodeD1010Run(const uint8_t* data, size_t size, CGpsDataSet& set) {
  if (data == nullptr || size < D1010_MIN_SIZE) {
    LogWrite(LOG_INFO, "APP_PID_RUN - D1010");
    return EGarminDecode::BadData;
  }
  const RunFields fields = ReadWideHead(data, size, true);
  LogRunHead(1010, fields);
  LogWrite(LOG_INFO, "              nSportType=%d, nProgramType=%d, nMultisport=%d", fields.sport,
           fields.program, fields.multisport);
  return StoreRun(fields, set);
}

EGarminDecode DecodeRun(uint16_t type, const uint8_t* data, size_t size, CGpsDataSet& set) {
  switch (type) {
    case 1000:
      return DecodeD1000Run(data, size, set);
    case 1009:
      return DecodeD1009Run(data, size, set);
    case 1010:
      return DecodeD1010Run(data, size, set);
    default:
      return EGarminDecode::BadData;
  }
}
