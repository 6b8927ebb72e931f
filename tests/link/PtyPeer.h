// The far end of a real pseudo-terminal, played by a test: it writes scripted
// bytes to the host under test and decodes the frames the host writes back.
// Its frame coder is written apart from the agent's on purpose.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace linktest {

struct PeerFrame {
  uint8_t id = 0;
  std::vector<uint8_t> data;
  bool good = false;  // checksum and size agree
};

// A complete frame; corrupt adds one to the checksum.
std::vector<uint8_t> Frame(uint8_t id, const std::vector<uint8_t>& data, bool corrupt = false);
std::vector<uint8_t> AckFrame(uint8_t id);
std::vector<uint8_t> NakFrame(uint8_t id);
std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts);

class CPtyPeer {
public:
  // Given each frame the host sent, returns the bytes to answer with.
  using Responder = std::function<std::vector<uint8_t>(const PeerFrame& hostFrame, size_t index)>;

  CPtyPeer();
  ~CPtyPeer();
  CPtyPeer(const CPtyPeer&) = delete;
  CPtyPeer& operator=(const CPtyPeer&) = delete;

  const std::string& SlavePath() const { return m_slavePath; }
  bool Ok() const { return m_master >= 0; }

  // Writes to the host; before the host has opened the port the bytes wait
  // in the terminal.
  void Write(const std::vector<uint8_t>& bytes);
  // Answers every frame of the host on a thread of its own until destroyed.
  void Respond(Responder responder);
  // The frames the host sent so far.
  std::vector<PeerFrame> HostFrames() const;
  // Closes the far end, as an adapter pulled out of its socket does.
  void Hangup();
  // Waits until the host sent at least `count` frames.
  bool WaitForHostFrames(size_t count, int timeoutMs) const;
  // The line speed the host set on its end; 0 when not a usual one.
  unsigned HostBitRate() const;

private:
  void _Run();
  void _Feed(uint8_t byte);

  int m_master = -1;
  std::string m_slavePath;
  Responder m_responder;
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<PeerFrame> m_frames;

  enum class EState { Idle, Start, StartDle, Body, BodyDle } m_state = EState::Idle;
  std::vector<uint8_t> m_body;
};

}  // namespace linktest
