#include "sim/GarminSim.h"

#include <cstdio>
#include <fstream>

#include "sim/HostLog.h"
#include "sim/Receiver.h"
#include "sim/SerialServer.h"
#include "sim/UsbServer.h"

CGarminSim::CGarminSim(CSimScenario scenario)
    : m_scenario(std::move(scenario)),
      m_hostLog(std::make_unique<CSimHostLog>()),
      m_receiver(std::make_unique<CSimReceiver>(m_scenario)) {}

CGarminSim::~CGarminSim() {
  Stop();
}

std::unique_ptr<CGarminSim> CGarminSim::FromJson(const std::string& json, std::string* error) {
  CSimScenario scenario;
  std::string message;
  if (!scenario.LoadJson(json, message)) {
    if (error) *error = message;
    return nullptr;
  }
  return std::make_unique<CGarminSim>(std::move(scenario));
}

std::unique_ptr<CGarminSim> CGarminSim::FromFile(const std::string& path, std::string* error) {
  CSimScenario scenario;
  std::string message;
  if (!scenario.LoadFile(path, message)) {
    if (error) *error = message;
    return nullptr;
  }
  return std::make_unique<CGarminSim>(std::move(scenario));
}

bool CGarminSim::StartSerial(std::string& slavePath) {
  if (!m_serial) {
    m_serial = std::make_unique<CSimSerialServer>(*m_receiver, *m_hostLog, m_scenario.ackTimeoutMs,
                                                  m_scenario.sendAttempts);
  }
  return m_serial->Start(slavePath, m_lastError);
}

CSimUsbServer& CGarminSim::_Usb() {
  // The unit id a receiver reports when a USB session starts is its serial number.
  if (!m_usb)
    m_usb = std::make_unique<CSimUsbServer>(*m_receiver, *m_hostLog, m_scenario.serialNumber.value_or(0));
  return *m_usb;
}

bool CGarminSim::StartUsb(const std::string& socketPath) {
  return _Usb().Start(socketPath, m_lastError);
}

void CGarminSim::Stop() {
  if (m_serial) m_serial->Stop();
  if (m_usb) m_usb->Stop();
}

bool CGarminSim::IsRunning() const {
  return (m_serial && m_serial->IsRunning()) || (m_usb && m_usb->IsRunning());
}

std::string CGarminSim::UsbSocketPath() const {
  return m_usb ? m_usb->SocketPath() : std::string();
}

void CGarminSim::SetUsbFaults(const SimUsbFaults& faults) {
  _Usb().SetFaults(faults);
}

SimUsbFaults CGarminSim::UsbFaults() const {
  return m_usb ? m_usb->Faults() : SimUsbFaults{};
}

void CGarminSim::SetUsbBulkTransfers(bool bulk) {
  _Usb().SetBulkTransfers(bulk);
}

size_t CGarminSim::UsbSessionStarts() const {
  return m_usb ? m_usb->SessionStarts() : 0;
}

size_t CGarminSim::UsbConnections() const {
  return m_usb ? m_usb->Connections() : 0;
}

std::string CGarminSim::SlavePath() const {
  return m_serial ? m_serial->SlavePath() : std::string();
}

std::vector<SimPacket> CGarminSim::HostPackets() const {
  return m_hostLog->Packets();
}

std::vector<SimPacket> CGarminSim::HostAppPackets() const {
  std::vector<SimPacket> packets;
  for (SimPacket& packet : m_hostLog->Packets()) {
    if (packet.id != SIM_PID_ACK && packet.id != SIM_PID_NAK) packets.push_back(std::move(packet));
  }
  return packets;
}

std::vector<uint16_t> CGarminSim::HostCommands() const {
  std::vector<uint16_t> commands;
  for (const SimPacket& packet : m_hostLog->Packets()) {
    if (packet.id == SIM_PID_COMMAND_DATA && packet.data.size() >= 2) {
      commands.push_back(static_cast<uint16_t>(packet.data[0] | (packet.data[1] << 8)));
    }
  }
  return commands;
}

size_t CGarminSim::HostBadFrames() const {
  return m_hostLog->BadFrames();
}

void CGarminSim::ClearHostLog() {
  m_hostLog->Clear();
}

bool CGarminSim::WriteHostLog(const std::string& path, std::string& error) const {
  // Written beside the target and renamed, so a reader never sees half a log.
  const std::string temporary = path + ".tmp";
  {
    std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
    stream << m_hostLog->ToJson();
    if (!stream.flush()) {
      error = "cannot write " + temporary;
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot rename " + temporary + " to " + path;
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

size_t CGarminSim::HostLogGeneration() const {
  return m_hostLog->Generation();
}

void CGarminSim::SetFaults(const SimFaults& faults) {
  m_receiver->SetFaults(faults);
  if (m_serial) m_serial->ResetFaultCounters();
  if (m_usb) m_usb->ResetFaultCounters();
}

SimFaults CGarminSim::Faults() const {
  return m_receiver->Faults();
}

void CGarminSim::SetPacing(bool realWireRate) {
  if (!m_serial) {
    m_serial = std::make_unique<CSimSerialServer>(*m_receiver, *m_hostLog, m_scenario.ackTimeoutMs,
                                                  m_scenario.sendAttempts);
  }
  m_serial->SetPacing(realWireRate);
}

std::vector<SimTrack> CGarminSim::UploadedTracks() const {
  return m_receiver->UploadedTracks();
}

std::vector<SimTrack> CGarminSim::UploadedCourseTracks() const {
  return m_receiver->UploadedCourseTracks();
}

std::vector<SimCourse> CGarminSim::UploadedCourses() const {
  return m_receiver->UploadedCourses();
}

std::vector<SimCourseLap> CGarminSim::UploadedCourseLaps() const {
  return m_receiver->UploadedCourseLaps();
}

std::vector<SimCoursePoint> CGarminSim::UploadedCoursePoints() const {
  return m_receiver->UploadedCoursePoints();
}

std::vector<CSimUploads::Transfer> CGarminSim::UploadTransfers() const {
  return m_receiver->UploadTransfers();
}

bool CGarminSim::IsPoweredOff() const {
  return m_receiver->IsPoweredOff();
}

void CGarminSim::PowerOn() {
  m_receiver->PowerOn();
}
