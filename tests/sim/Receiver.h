// The application side of the simulated receiver: what it answers to each
// packet of the host. Link-free, so the serial and the USB links share it.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "sim/CourseUpload.h"
#include "sim/Scenario.h"
#include "sim/SimPacket.h"

// The link a host packet came over. A serial frame carries at most 255 data
// bytes, so records larger than that (runs, workouts, the user profile) go out
// only over USB.
enum class SimLink { Serial, Usb };

struct SimReply {
  // Serial: acknowledge the host's packet. A receiver that ignores a packet does not.
  bool acknowledge = true;
  // The host ended the transfer: drop whatever is still waiting to be sent.
  bool abortTransfer = false;
  // USB: the receiver left the bus; the link drops the host.
  bool disconnect = false;
  std::vector<SimPacket> packets;
};

class CSimReceiver {
public:
  explicit CSimReceiver(const CSimScenario& scenario);

  // Called on the link thread for every good packet of the host except ACK and NAK.
  SimReply HandleHostPacket(const SimPacket& packet, SimLink link = SimLink::Serial);

  void SetFaults(const SimFaults& faults);
  SimFaults Faults() const;
  // Silent by fault or switched off: nothing at all goes out, not even a NAK.
  bool IsSilent() const;
  bool IsPoweredOff() const;
  void PowerOn();
  // Tracks of every finished upload from the host, decoded with this receiver's track types.
  std::vector<SimTrack> UploadedTracks() const;
  // Courses of every finished course upload, and the transfers completed.
  std::vector<SimTrack> UploadedCourseTracks() const;
  std::vector<SimCourse> UploadedCourses() const;
  std::vector<SimCourseLap> UploadedCourseLaps() const;
  std::vector<SimCoursePoint> UploadedCoursePoints() const;
  std::vector<CSimUploads::Transfer> UploadTransfers() const;

  // The records of a transfer, exposed for tests of the encoders.
  SimPacket BuildProductData() const;
  SimPacket BuildProtocolArray() const;
  std::vector<SimPacket> BuildTrackTransfer() const;
  SimPacket BuildTrackPoint(const SimTrackPoint& point, uint16_t type, bool newTrack) const;
  SimPacket BuildTrackHeader(const SimTrack& track, uint16_t type) const;
  // Counted transfers of the fitness records, with the scenario's quirks.
  std::vector<SimPacket> BuildLapTransfer() const;
  std::vector<SimPacket> BuildRunTransfer() const;
  std::vector<SimPacket> BuildWorkoutTransfer() const;
  std::vector<SimPacket> BuildOccurrenceTransfer() const;

private:
  SimReply _HandleCommand(uint16_t command, SimLink link);
  // records, then data, then completion, with the quirks of transfer applied.
  std::vector<SimPacket> _CountedTransfer(const std::string& transfer, uint16_t command,
                                          std::vector<SimPacket> data) const;
  SimReply _HandleProductRequest();
  void _HandleUpload(const SimPacket& packet);
  static std::vector<SimPacket> _EmptyTransfer(uint16_t command);

  const CSimScenario& m_scenario;
  mutable std::mutex m_mutex;
  SimFaults m_faults;
  bool m_poweredOff = false;
  unsigned m_productRequests = 0;
  int m_hostPackets = 0;  // handed over since the faults were last set
  bool m_silencedByFault = false;
  CSimUploads m_upload;
};

// Degrees to signed 32-bit semicircles (2^31 semicircles = 180 degrees).
int32_t SimDegreesToSemicircles(double degrees);
// Unix seconds to device seconds (since 1989-12-31 00:00 UTC).
uint32_t SimUnixToDeviceTime(int64_t unixSeconds);
