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

#include "sim/CourseUpload.h"
#include "sim/Scenario.h"
#include "sim/SimPacket.h"
#include "sim/SimUsbFaults.h"

class CSimSerialServer;
class CSimUsbServer;
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
  // Listens at socketPath and serves the USB packet protocol there; hosts open
  // it as the port "usbsim:<socketPath>". May run beside the serial link.
  bool StartUsb(const std::string& socketPath);
  // Stops serving both links, closes the pseudo-terminal and removes the
  // socket; safe to call twice.
  void Stop();
  bool IsRunning() const;
  std::string SlavePath() const;
  std::string UsbSocketPath() const;

  // Every good packet the host sent, in order, acknowledgements included.
  // Over USB: the application-layer packets (the session start is counted
  // by UsbSessionStarts instead).
  std::vector<SimPacket> HostPackets() const;
  // The same without ACK and NAK packets.
  std::vector<SimPacket> HostAppPackets() const;
  // The command ids of the host's command packets (id 10), in order.
  std::vector<uint16_t> HostCommands() const;
  // Frames from the host whose checksum or layout was wrong (over USB: writes
  // whose header does not match their length, or of an unknown type).
  size_t HostBadFrames() const;
  void ClearHostLog();
  // Writes the host log as JSON ({"packets": [{"id": 10, "data": [6, 0]}, ...]}).
  bool WriteHostLog(const std::string& path, std::string& error) const;
  // Changes whenever the host log does.
  size_t HostLogGeneration() const;

  // Tracks the host sent (records, headers, points, transfer complete), decoded
  // with the scenario's track types; only transfers that were completed.
  std::vector<SimTrack> UploadedTracks() const;
  // Course uploads, each kind kept once its transfer was completed, and the
  // completed upload transfers with their announced and received counts.
  std::vector<SimTrack> UploadedCourseTracks() const;
  std::vector<SimCourse> UploadedCourses() const;
  std::vector<SimCourseLap> UploadedCourseLaps() const;
  std::vector<SimCoursePoint> UploadedCoursePoints() const;
  std::vector<CSimUploads::Transfer> UploadTransfers() const;

  // Faults and pacing may change while the receiver runs; counters restart.
  void SetFaults(const SimFaults& faults);
  SimFaults Faults() const;
  void SetPacing(bool realWireRate);
  // USB link faults, apart from silence and power-off, which both links play.
  void SetUsbFaults(const SimUsbFaults& faults);
  SimUsbFaults UsbFaults() const;
  // True (the default): transfers are announced and sent on the bulk pipe;
  // false: they come on the interrupt pipe like single replies.
  void SetUsbBulkTransfers(bool bulk);
  // Start-session requests over USB, and hosts that connected to the socket.
  size_t UsbSessionStarts() const;
  size_t UsbConnections() const;

  // The power-off command makes the receiver silent until PowerOn().
  bool IsPoweredOff() const;
  void PowerOn();

  const CSimScenario& Scenario() const { return m_scenario; }
  const std::string& LastError() const { return m_lastError; }

private:
  CSimUsbServer& _Usb();

  CSimScenario m_scenario;
  std::unique_ptr<CSimHostLog> m_hostLog;
  std::unique_ptr<CSimReceiver> m_receiver;
  std::unique_ptr<CSimSerialServer> m_serial;
  std::unique_ptr<CSimUsbServer> m_usb;
  std::string m_lastError;
};
