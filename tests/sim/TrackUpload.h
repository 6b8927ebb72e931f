// Tracks a host sends to the simulated receiver (records, headers, points,
// transfer complete), decoded back into the scenario's own track model.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/Scenario.h"

// False when the record is shorter than its type needs.
bool DecodeSimTrackPoint(const std::vector<uint8_t>& data, uint16_t type, SimTrackPoint& point);
bool DecodeSimTrackHeader(const std::vector<uint8_t>& data, uint16_t type, SimTrack& track);

class CSimTrackUpload {
public:
  void Begin(uint16_t announced);
  bool AddHeader(const std::vector<uint8_t>& data, uint16_t type);
  bool AddPoint(const std::vector<uint8_t>& data, uint16_t type);
  // Moves the tracks of a finished transfer to Finished().
  void Finish();

  const std::vector<SimTrack>& Finished() const { return m_finished; }
  // Records received against records announced, over every finished transfer.
  unsigned Announced() const { return m_announcedTotal; }
  unsigned Received() const { return m_receivedTotal; }
  unsigned BadRecords() const { return m_badRecords; }

private:
  bool m_active = false;
  bool m_sawHeader = false;
  uint16_t m_announced = 0;
  unsigned m_received = 0;
  std::vector<SimTrack> m_pending;
  std::vector<SimTrack> m_finished;
  unsigned m_announcedTotal = 0;
  unsigned m_receivedTotal = 0;
  unsigned m_badRecords = 0;
};
