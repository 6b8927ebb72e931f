// Receiving the fitness records that are not activities: the user profile,
// the workouts, the workout occurrences and the workout limits.
#include "garmin/GarminErrors.h"
#include "garmin/GarminIds.h"
#include "garmin/GpsGarmin.h"
#include "garmin/ProfileDecoders.h"
#include "garmin/RxCountedTransfer.h"
#include "garmin/WorkoutDecoders.h"
#include "resources/StringIds.h"
#include "util/TraceLog.h"

// What tells one fitness transfer from another.
struct CGpsGarmin::CRxFitnessTransfer {
  uint16_t command;
  // Present for the transfers that announce a count and end with a
  // completion packet; null for those that answer with one record only.
  const CRxTransferTexts* counted;
  const char* requestText;  // single record only; counted ones log theirs
  uint16_t packetId;
  const char* packetText;
  const char* unexpectedText;  // single record only: "%u", "%u", "%u": id, size, first data byte
  HRESULT (*decode)(const uint8_t* data, size_t size, CGpsDataSet& set);
};

namespace {

// Each kind has an application protocol and a data type of the same number.
struct FitnessKind {
  uint16_t number;
  unsigned messageId;
  const char* protocolUnsupported;  // WARN
  const char* typeUnsupported;      // ERROR
};

const FitnessKind kProfile = {
    1004, IDS_ERR_PROFILE_PROTOCOL,
    "CGpsGarmin::RxGpsDataUserProfile(): user profile transfer protocol unsupported",
    "CGpsGarmin::RxA1004UserProfile(): User profile type unsupported"};
const FitnessKind kWorkouts = {1002, IDS_ERR_WORKOUT_PROTOCOL,
                               "CGpsGarmin::RxGpsDataWorkouts(): workout transfer protocol unsupported",
                               "CGpsGarmin::RxA1002Workout(): Workout type unsupported"};
const FitnessKind kOccurrences = {
    1003, IDS_ERR_OCCURRENCE_PROTOCOL,
    "CGpsGarmin::RxGpsDataWorkoutOccurrences(): workout occurrence transfer protocol unsupported",
    "CGpsGarmin::RxA1003WorkoutOccurrence(): Workout occurrence type unsupported"};
const FitnessKind kLimits = {
    1005, IDS_ERR_LIMITS_PROTOCOL,
    "CGpsGarmin::RxGpsDataWorkoutLimits(): workout limits transfer protocol unsupported",
    "CGpsGarmin::RxA1005WorkoutLimits(): Workout limits unsupported"};

}  // namespace

bool CGpsGarmin::_StoreFitnessDecode(HRESULT result) {
  if (result == S_OK) return true;
  SetError(result, result == E_OUTOFMEMORY ? IDS_ERR_OUT_OF_MEMORY : IDS_ERR_BAD_PACKET);
  return false;
}

bool CGpsGarmin::_RxFitnessTransfer(const CRxFitnessTransfer& transfer, CGpsDataSet& set) {
  if (transfer.counted != nullptr) {
    class CSink : public CRxTransferSink {
    public:
      CSink(CGpsGarmin& gps, const CRxFitnessTransfer& transfer, CGpsDataSet& set)
          : m_gps(gps), m_transfer(transfer), m_set(set) {}
      bool IsDataPacket(uint32_t id) const override { return id == m_transfer.packetId; }
      void LogDataPacket(const GarminPacket&, int, int) override {
        LogWrite(LOG_INFO, "%s", m_transfer.packetText);
      }
      bool OnData(const GarminPacket& packet) override {
        return m_gps._StoreFitnessDecode(m_transfer.decode(packet.data, packet.size, m_set));
      }

    private:
      CGpsGarmin& m_gps;
      const CRxFitnessTransfer& m_transfer;
      CGpsDataSet& m_set;
    } sink(*this, transfer, set);
    return _RxCountedTransfer(transfer.command, *transfer.counted, sink);
  }

  LogWrite(LOG_INFO, "%s", transfer.requestText);
  if (!TransmitCommand(transfer.command)) return false;
  // No count and no completion: the awaited record ends the transfer. A
  // receiver that holds none may answer with an empty transfer instead.
  int skipped = 0;
  bool emptyAnnounced = false;
  while (ReceivePacket()) {
    const GarminPacket& packet = GetPacket();
    if (packet.id == transfer.packetId) {
      LogWrite(LOG_INFO, "%s", transfer.packetText);
      return _StoreFitnessDecode(transfer.decode(packet.data, packet.size, set));
    }
    if (packet.id == APP_PID_PROTOCOL_ARRAY) {
      if (!RxA001ProtocolCapability(packet.size, packet.data, set)) return false;
      continue;
    }
    LogWrite(LOG_ERROR, transfer.unexpectedText, packet.id, packet.size,
             packet.size > 0 && packet.data != nullptr ? packet.data[0] : 0u);
    if (packet.id == APP_PID_XFER_CMPLT && emptyAnnounced) return true;
    emptyAnnounced = packet.id == APP_PID_RECORDS && packet.size >= 2 && packet.data != nullptr &&
                     packet.data[0] == 0 && packet.data[1] == 0;
    if (++skipped > kMaxPacketsBetweenRecords) {
      SetError(HR_READ_FAULT, IDS_ERR_UNEXPECTED_PACKET);
      return false;
    }
  }
  return false;
}

namespace {

// The receiver lacks this kind of record: the driver goes on without it.
bool Unsupported(CGpsGarmin& gps, const FitnessKind& kind, bool applicationLevel) {
  LogWrite(applicationLevel ? LOG_WARN : LOG_ERROR, "%s",
           applicationLevel ? kind.protocolUnsupported : kind.typeUnsupported);
  gps.SetError(HR_UNSUPPORTED_LINK, kind.messageId);
  return false;
}

bool HasDataType(const CGpsGarmin& gps, const FitnessKind& kind) {
  return gps.IsProtocolSupported('D', kind.number);
}

bool HasProtocol(const CGpsGarmin& gps, const FitnessKind& kind) {
  return gps.IsProtocolSupported('A', kind.number);
}

}  // namespace

bool CGpsGarmin::RxGpsDataUserProfile() {
  if (!HasProtocol(*this, kProfile)) return Unsupported(*this, kProfile, true);
  return RxA1004UserProfile(GetDataSet());
}

bool CGpsGarmin::RxGpsDataWorkouts() {
  if (!HasProtocol(*this, kWorkouts)) return Unsupported(*this, kWorkouts, true);
  return RxA1002Workout(GetDataSet());
}

bool CGpsGarmin::RxGpsDataWorkoutOccurrences() {
  if (!HasProtocol(*this, kOccurrences)) return Unsupported(*this, kOccurrences, true);
  return RxA1003WorkoutOccurrence(GetDataSet());
}

bool CGpsGarmin::RxGpsDataWorkoutLimits() {
  if (!HasProtocol(*this, kLimits)) return Unsupported(*this, kLimits, true);
  return RxA1005WorkoutLimits(GetDataSet());
}

bool CGpsGarmin::RxA1004UserProfile(CGpsDataSet& set) {
  if (!HasDataType(*this, kProfile)) return Unsupported(*this, kProfile, false);
  static const CRxFitnessTransfer transfer = {
      CMD_TRANSFER_USER_PROFILE,
      nullptr,
      "A1004UserProfile(): CMD_TRANSFER_USER_PROFILE",
      APP_PID_USER_PROFILE,
      "APP_PID_USER_PROFILE",
      "CGpsGarmin::RxA1004UserProfile: unexpected PID ignored: %u, datasize=%u, data=%u",
      DecodeD1004UserProfile};
  return _RxFitnessTransfer(transfer, set);
}

bool CGpsGarmin::RxA1005WorkoutLimits(CGpsDataSet& set) {
  if (!HasDataType(*this, kLimits)) return Unsupported(*this, kLimits, false);
  static const CRxFitnessTransfer transfer = {
      CMD_TRANSFER_WORKOUT_LIMITS,
      nullptr,
      "A1005WorkoutLimits(): CMD_TRANSFER_WORKOUT_LIMITS",
      APP_PID_WORKOUT_LIMITS,
      "APP_PID_WORKOUT_LIMITS",
      "CGpsGarmin::RxA1005WorkoutLimits: unexpected PID ignored: %u, datasize=%u, data=%u",
      DecodeD1005WorkoutLimits};
  return _RxFitnessTransfer(transfer, set);
}

bool CGpsGarmin::RxA1002Workout(CGpsDataSet& set) {
  if (!HasDataType(*this, kWorkouts)) return Unsupported(*this, kWorkouts, false);
  static const CRxTransferTexts texts = {
      "A1002Workout(): CMD_TRANSFER_WORKOUTS",
      "RxA1002Workout(): returned packet size = %u",
      nullptr,
      "RxA1002Workout(): no workouts available",
      "Rx A1002 Workout: too many packets",
      "Rx A1002 Workout: %d packets expected, %d packets received",
      "CGpsGarmin::RxA1002Workout: unexpected PID ignored: %u, datasize=%u, data=%u"};
  static const CRxFitnessTransfer transfer = {
      CMD_TRANSFER_WORKOUTS, &texts,  nullptr,           APP_PID_WORKOUT,
      "APP_PID_WORKOUT",     nullptr, DecodeD1002Workout};
  return _RxFitnessTransfer(transfer, set);
}

bool CGpsGarmin::RxA1003WorkoutOccurrence(CGpsDataSet& set) {
  if (!HasDataType(*this, kOccurrences)) return Unsupported(*this, kOccurrences, false);
  static const CRxTransferTexts texts = {
      "RxA1003WorkoutOccurrence(): CMD_TRANSFER_WORKOUT_OCCURRENCES",
      "RxA1003WorkoutOccurrence(): returned packet size = %u",
      nullptr,
      "RxA1003WorkoutOccurrence(): no workout occurrences available",
      "Rx A1003 Workout occurrence: too many packets",
      "Rx A1003 Workout occurrence: %d packets expected, %d packets received",
      "CGpsGarmin::A1003WorkoutOccurrence: unexpected PID ignored: %u, datasize=%u, data=%u"};
  static const CRxFitnessTransfer transfer = {CMD_TRANSFER_WORKOUT_OCCURRENCES,
                                              &texts,
                                              nullptr,
                                              APP_PID_WORKOUT_OCCURRENCE,
                                              "APP_PID_WORKOUT_OCCURRENCES",
                                              nullptr,
                                              DecodeD1003WorkoutOccurrence};
  return _RxFitnessTransfer(transfer, set);
}
