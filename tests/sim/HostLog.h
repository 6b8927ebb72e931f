// What a host sent to the simulated receiver, shared between the link thread
// that fills it and the test that reads it.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "sim/SimPacket.h"

class CSimHostLog {
public:
  void AddPacket(const SimPacket& packet);
  void AddBadFrame();
  void Clear();

  std::vector<SimPacket> Packets() const;
  size_t BadFrames() const;
  // Changes whenever something is added or cleared, so writers can skip unchanged logs.
  size_t Generation() const;
  std::string ToJson() const;

private:
  mutable std::mutex m_mutex;
  std::vector<SimPacket> m_packets;
  size_t m_badFrames = 0;
  size_t m_generation = 0;
};
