// The simulated Garmin receiver as other tests use it: load a scenario, start
// it on a pseudo-terminal, point the host at the slave path, then look at what
// the host sent. The receiver runs on its own thread until Stop().
//
//   auto sim = CGarminSim::FromJson(R"({"product_id": 484, ...})", &error);
//   std::string port;
//   ASSERT_TRUE(sim->StartSerial(port));
//   ... open `port` with the host ...
//   EXPECT_EQ(sim->HostCommands(), (std::vector<uint16_t>{14, 6}));
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/Scenario.h"
#include "sim/SimPacket.h"

class CSimSerialServer;
class CSimReceiver;
class CSimHostLog;

class CGarminSim {
public:
  explicit CGarminSim(CSimScenario scenario);
  ~CGarminSim();
  CGarminSim(const CGarminSim&) = delete;
  CGarminSim& operator=(const CGarminSim&) = delete;

  // Null with a message in *error (when given) on bad input.
  static std::unique_ptr<CGarminSim> FromJson(const std::string& json, std::string* error = nullptr);
  static std::unique_ptr<CGarminSim> FromFile(const std::string& path, std::string* error = nullptr);

  // Opens a pseudo-terminal and serves the serial link protocol on it. The slave
  // stays usable across any number of host opens and closes until Stop().
  bool StartSerial(std::string& slavePath);
  // Stops serving and closes the pseudo-terminal; safe to call twice.
  void Stop();
  bool IsRunning() const;
  std::string SlavePath() const;

  // Every good packet the host sent, in order, acknowledgements included.
  std::vector<SimPacket> HostPackets() const;
  // The same without ACK and NAK packets.
  std::vector<SimPacket> HostAppPackets() const;
  // The command ids of the host's command packets (id 10), in order.
  std::vector<uint16_t> HostCommands() const;
  // Frames from the host whose checksum or layout was wrong.
  size_t HostBadFrames() const;
  void ClearHostLog();
  // Writes the host log as JSON ({"packets": [{"id": 10, "data": [6, 0]}, ...]}).
  bool WriteHostLog(const std::string& path, std::string& error) const;
  // Changes whenever the host log does.
  size_t HostLogGeneration() const;

  // Tracks the host sent (records, headers, points, transfer complete), decoded
  // with the scenario's track types; only transfers that were completed.
  std::vector<SimTrack> UploadedTracks() const;

  // Faults and pacing may change while the receiver runs; counters restart.
  void SetFaults(const SimFaults& faults);
  SimFaults Faults() const;
  void SetPacing(bool realWireRate);

  // The power-off command makes the receiver silent until PowerOn().
  bool IsPoweredOff() const;
  void PowerOn();

  const CSimScenario& Scenario() const { return m_scenario; }
  const std::string& LastError() const { return m_lastError; }

private:
  CSimScenario m_scenario;
  std::unique_ptr<CSimHostLog> m_hostLog;
  std::unique_ptr<CSimReceiver> m_receiver;
  std::unique_ptr<CSimSerialServer> m_serial;
  std::string m_lastError;
};
