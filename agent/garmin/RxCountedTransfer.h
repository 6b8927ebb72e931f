// The counted transfer that track logs, laps and runs share: a request, an
// announced count of records, the records themselves and a completion packet
// that must match the count. What differs per record kind (its trace texts,
// its data packet ids, what a record becomes) comes from the caller.
#pragma once

#include <cstdint>

#include "garmin/GarminErrors.h"
#include "garmin/GpsGarmin.h"
#include "garmin/TrackDecoders.h"

// Packets that are not records a transfer skips before it gives up on a
// receiver that never sends what was asked for.
constexpr int kMaxPacketsBetweenRecords = 1024;

// The receiver lacks a transfer protocol or a data type.
constexpr HRESULT HR_PROTOCOL_UNSUPPORTED = HR_UNSUPPORTED_LINK;

// True for a record stored or skipped; a failure stores its error code and
// message on device (a short record: read fault, 3519; memory: 3518).
bool AcceptDecodeResult(CGpsDevice& device, EGarminDecode result);

struct CGpsGarmin::CRxTransferTexts {
  const char* request;       // logged before the command is sent
  const char* recordsShort;  // "%u": an APP_PID_RECORDS without its count; nullptr: no line
  const char* recordsCount;  // "%u": a non-zero count; nullptr: no line
  const char* noRecords;     // a count of 0
  const char* tooManyPackets;
  const char* countMismatch;  // "%d", "%d": announced, received
  const char* unexpectedId;   // "%u", "%u", "%u": id, size, first data byte
};

class CGpsGarmin::CRxTransferSink {
public:
  virtual ~CRxTransferSink() = default;
  // The ids of the transfer's records; each is counted against the announced count.
  virtual bool IsDataPacket(uint32_t id) const = 0;
  // Logs the arrival of a record packet (number counts from 1).
  virtual void LogDataPacket(const GarminPacket& packet, int number, int announced) = 0;
  // A new announced count. False ends the transfer with the error stored.
  virtual bool OnRecords(int announced) {
    (void)announced;
    return true;
  }
  // One record within the count. False ends the transfer with the error stored.
  virtual bool OnData(const GarminPacket& packet) = 0;
};
