#include "sim/HostLog.h"

#include <string>

void CSimHostLog::AddPacket(const SimPacket& packet) {
  std::lock_guard lock(m_mutex);
  m_packets.push_back(packet);
  ++m_generation;
}

void CSimHostLog::AddBadFrame() {
  std::lock_guard lock(m_mutex);
  ++m_badFrames;
  ++m_generation;
}

void CSimHostLog::Clear() {
  std::lock_guard lock(m_mutex);
  m_packets.clear();
  m_badFrames = 0;
  ++m_generation;
}

std::vector<SimPacket> CSimHostLog::Packets() const {
  std::lock_guard lock(m_mutex);
  return m_packets;
}

size_t CSimHostLog::BadFrames() const {
  std::lock_guard lock(m_mutex);
  return m_badFrames;
}

size_t CSimHostLog::Generation() const {
  std::lock_guard lock(m_mutex);
  return m_generation;
}

std::string CSimHostLog::ToJson() const {
  std::lock_guard lock(m_mutex);
  // One packet a line, so a record reads like the conversation it was.
  std::string text = "{\"bad_frames\": " + std::to_string(m_badFrames) + ", \"packets\": [";
  for (size_t i = 0; i < m_packets.size(); ++i) {
    text += i == 0 ? "\n" : ",\n";
    text += "  {\"id\": " + std::to_string(m_packets[i].id) + ", \"data\": [";
    for (size_t j = 0; j < m_packets[i].data.size(); ++j) {
      if (j > 0) text += ", ";
      text += std::to_string(m_packets[i].data[j]);
    }
    text += "]}";
  }
  text += "\n]}\n";
  return text;
}
