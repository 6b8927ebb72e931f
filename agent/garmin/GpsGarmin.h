// The Garmin application protocol over any link: identifying the receiver and
// its protocols, and the packet operations that the serial and USB engines
// implement. The engines derive from this class and from their port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "data/GpsDevice.h"
#include "garmin/ProtocolTag.h"

struct TxCourseLapFields;

// The last packet received. data points into the engine's receive buffer and
// stays valid until the next ReceivePacket; it is null when size is 0.
struct GarminPacket {
  uint32_t type = 0;
  uint32_t id = 0;
  uint32_t size = 0;
  const uint8_t* data = nullptr;
};

class CGpsGarmin : public CGpsDevice {
public:
  // The receive buffer; the serial link uses the first SERIAL_BUFFER_SIZE bytes.
  static constexpr size_t RECEIVE_BUFFER_SIZE = 1032;
  static constexpr size_t SERIAL_BUFFER_SIZE = 1030;

  CGpsGarmin();
  ~CGpsGarmin() override;

  // Identifies the receiver on the open link and fills the protocol list and
  // the identity texts of the data set; false with the error of the failing
  // step (in this object or in the port).
  bool ValidateDevice() override;

  // False when the received data look incomplete (a lap of a track without
  // its points, a receiver that always records laps delivering none, an
  // activity without its profile): a diagnostics report is then written.
  bool IsRxDataValid() override;
  // Clears the data set and receives runs, laps, track log, profile,
  // workouts, occurrences and limits, then links laps to track points. Kinds
  // the receiver lacks and link failures outside the track log are passed
  // over; count = records received.
  bool RxGpsData(unsigned& count) override;
  bool TxGpsData(CGpsDataSet* data, unsigned& count) override;
  // Switches an L001 receiver off; leaves no error behind either way, since a
  // receiver that switches off may not acknowledge.
  bool PowerDown() override;
  virtual bool IsTxDataCompatible(CGpsDataSet* data);

  virtual bool TransmitProductRequest() = 0;
  virtual bool TransmitCommand(uint16_t command) = 0;
  // On success the packet is in GetPacket().
  virtual bool ReceivePacket() = 0;
  // True only when the receiver acknowledged the packet.
  virtual bool TransmitPacket(unsigned packetId, const uint8_t* data, unsigned size) = 0;

  const GarminPacket& GetPacket() const { return m_packet; }

  // The A001 protocol array, or the product table's row when the receiver
  // sends none.
  bool IsProtocolSupported(const ProtocolTag& tag) const;
  bool IsProtocolSupported(char letter, uint16_t number) const {
    return IsProtocolSupported({letter, number});
  }
  // Replaces the list; tags with a letter other than A, D, L, P or 0 are
  // stored as {0, 0}.
  bool SetProtocolCapabilities(const ProtocolTag* tags, size_t count);
  size_t GetProtocolCount() const { return m_protocolCount; }
  const ProtocolTag* GetProtocols() const { return m_protocols.get(); }

  // Decoders of the validation packets, writing into `record`.
  bool RxA000ProductData(uint32_t size, const uint8_t* data, CGpsDataSet& record);
  bool RxA001ProtocolCapability(uint32_t size, const uint8_t* data, CGpsDataSet& record);
  bool RxX000SerialNumber(uint32_t size, const uint8_t* data, CGpsDataSet& record);

  // "device", then "-" and each of deviceName, productId and serialNumber
  // that is not empty.
  static std::string BuildDevicePrefix(const CGpsDataSet& record);

  // Track log, laps and runs (receive).
  // Each fetches one kind of record into the data set with the first transfer
  // protocol and data type the receiver supports; false with the error of the
  // failing step (none stored for a link failure or a cancellation).
  bool RxGpsDataTracks();
  bool RxA300TrackLog(CGpsDataSet& set);
  bool RxA301A302TrackLog(CGpsDataSet& set);
  bool RxGpsDataLaps();
  bool RxA906Lap(CGpsDataSet& set);
  bool RxGpsDataRuns();
  bool RxA1000Run(CGpsDataSet& set);
  // Ties laps to the nearest track points in time; they only log what they
  // cannot link.
  void LinkD906Laps();
  void LinkRun(CGpsDataSet& set, const CGpsDataRun& run);
  // What a counted transfer logs and does with its records (RxCountedTransfer.h).
  struct CRxTransferTexts;
  class CRxTransferSink;

  // Workouts and user profile (receive).
  // Each fetches one kind of fitness record into the data set when the
  // receiver has its protocol and data type; false with the error of the
  // failing step (0x8007065E when the receiver lacks the kind, none stored for
  // a link failure or a cancellation). The profile comes before the workouts,
  // whose zone targets refer to it.
  bool RxGpsDataUserProfile();
  bool RxA1004UserProfile(CGpsDataSet& set);
  bool RxGpsDataWorkouts();
  bool RxA1002Workout(CGpsDataSet& set);
  bool RxGpsDataWorkoutOccurrences();
  bool RxA1003WorkoutOccurrence(CGpsDataSet& set);
  bool RxGpsDataWorkoutLimits();
  bool RxA1005WorkoutLimits(CGpsDataSet& set);

  // Track log and courses (transmit).
  // Each sends one transfer (or one record) of the set and returns false
  // with the error of the failing step; a failed packet leaves the link's
  // error, a cancellation none. TxGpsDataTracks chooses between a track log
  // and courses from the receiver's protocols.
  bool TxGpsDataTracks(CGpsDataSet* set);
  bool TxA300TrackLog(CGpsDataSet* set);
  bool TxA301A302TrackLog(CGpsDataSet* set, bool course);
  bool TxA301A302CourseTracks(CGpsDataSet* set);
  // One header and the track's points, thinned to what the transfer allows.
  bool TxD310TrackHeader(CGpsDataTrack* track, bool course);
  bool TxD311TrackHeader(CGpsDataTrack* track, bool course);
  bool TxD312TrackHeader(CGpsDataTrack* track, bool course);
  bool TxD300TrackPoint(CGpsDataTrackPoint* point, bool newTrack, bool course);
  bool TxD301TrackPoint(CGpsDataTrackPoint* point, bool newTrack, bool course);
  bool TxD302TrackPoint(CGpsDataTrackPoint* point, bool newTrack, bool course);
  bool TxD303TrackPoint(CGpsDataTrackPoint* point, bool newTrack, bool course);
  bool TxD304TrackPoint(CGpsDataTrackPoint* point, bool newTrack, bool course);
  bool TxA1006Courses(CGpsDataSet* set);
  bool TxA1006CoursesFromTracks(CGpsDataSet* set);
  bool TxA1007CourseLaps(CGpsDataSet* set);
  bool TxA1007CourseLapsFromTracks(CGpsDataSet* set);
  bool TxA1008CoursePoint(CGpsDataSet* set);
  bool TxD1006Course(const std::string& name, int index, int trackIndex);
  // A course lap from a lap, or from the summary of a track that a lap (if
  // any) overrides where it has values.
  bool TxD1007CourseLap(const CGpsDataLap& lap, int courseIndex, int lapIndex);
  bool TxD1007CourseLap(const CGpsDataTrack& track, const CGpsDataLap* lap, int courseIndex);
  bool TxD1012CoursePoint(const CGpsDataCoursePoint& point, int courseIndex);

protected:
  // Clears the error of this object and of its port.
  void _ClearErrors();
  void _FreeProtocols();
  // Sends CMD_ABORT_TRANSFER and keeps the errors that were stored before.
  void _TransmitAbortKeepingErrors();

  // Track log, laps and runs (receive): the counted transfer shared by them.
  bool _RxCountedTransfer(uint16_t command, const CRxTransferTexts& texts, CRxTransferSink& sink);

  // Workouts and user profile (receive): one transfer of fitness records,
  // counted (workouts, occurrences) or of a single record (profile, limits),
  // and the mapping of a fitness decoder's result onto the error state.
  struct CRxFitnessTransfer;
  bool _RxFitnessTransfer(const CRxFitnessTransfer& transfer, CGpsDataSet& set);
  bool _StoreFitnessDecode(HRESULT result);

  // Track log and courses (transmit): the shared steps.
  // Sends one packet of an upload unless the user asked to stop since the
  // last one (then false without an error).
  bool _TxPacket(unsigned packetId, const uint8_t* data, unsigned size);
  bool _TxRecords(uint16_t count);
  bool _TxComplete(uint16_t command);
  bool _TxTrackHeader(uint16_t headerType, CGpsDataTrack& track, bool course);
  bool _TxTrackPoint(uint16_t pointType, CGpsDataTrackPoint& point, bool newTrack, bool course);
  bool _TxTrackLog(CGpsDataSet& set, bool course, bool courseTracks);
  bool _TxCourseLap(const TxCourseLapFields& fields);

  GarminPacket m_packet;
  uint8_t m_buffer[RECEIVE_BUFFER_SIZE] = {};
  size_t m_bufferFirst = 0;  // first unconsumed byte
  size_t m_bufferCount = 0;  // unconsumed bytes

private:
  std::unique_ptr<ProtocolTag[]> m_protocols;
  size_t m_protocolCount = 0;
};
