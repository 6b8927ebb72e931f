// Shared by the receive tests of the fitness records and of the driver:
// builders of the device records as the receivers lay them out, and a Garmin
// device whose receiver is a script (the packets it answers to each command),
// so whole downloads run without a link.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "garmin/GarminErrors.h"
#include "garmin/GarminIds.h"
#include "garmin/GpsGarmin.h"
#include "link/CommsDevice.h"
#include "resources/StringIds.h"

namespace rxtest {

using Bytes = std::vector<uint8_t>;

inline void PutU8(Bytes& b, size_t at, uint8_t v) {
  b.at(at) = v;
}
inline void PutU16(Bytes& b, size_t at, uint16_t v) {
  PutU8(b, at, static_cast<uint8_t>(v));
  PutU8(b, at + 1, static_cast<uint8_t>(v >> 8));
}
inline void PutU32(Bytes& b, size_t at, uint32_t v) {
  PutU16(b, at, static_cast<uint16_t>(v));
  PutU16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
inline void PutF32(Bytes& b, size_t at, float v) {
  PutU32(b, at, std::bit_cast<uint32_t>(v));
}
// A text field of `width` bytes; a text of that length has no terminator.
inline void PutText(Bytes& b, size_t at, const std::string& text, size_t width = 16) {
  for (size_t i = 0; i < width; ++i) PutU8(b, at + i, i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

// D1004: three activity blocks of 268 bytes, then weight, birth date, gender.
class CD1004 {
public:
  CD1004() : bytes(813, 0) {}
  CD1004& MaxHeartRate(int a, uint8_t bpm) {
    PutU8(bytes, a * 268 + 264, bpm);
    return *this;
  }
  CD1004& HeartRateZone(int a, int i, uint8_t low, uint8_t high) {
    PutU8(bytes, a * 268 + i * 4, low);
    PutU8(bytes, a * 268 + i * 4 + 1, high);
    return *this;
  }
  CD1004& SpeedZone(int a, int j, float low, float high, const std::string& name = "") {
    const size_t at = a * 268 + 20 + j * 24;
    PutF32(bytes, at, low);
    PutF32(bytes, at + 4, high);
    PutText(bytes, at + 8, name);
    return *this;
  }
  Bytes bytes;
};

struct D1002StepFields {
  std::string name;
  float low = 0.0f;
  float high = 0.0f;
  uint16_t durationValue = 0;
  uint8_t intensity = 0;
  uint8_t durationType = 0;
  uint8_t targetType = 0;
  uint8_t targetValue = 0;
};

// D1002: step count, 20 steps of 32 bytes, name at 644, sport at 660.
class CD1002 {
public:
  CD1002() : bytes(661, 0) {}
  CD1002& Name(const std::string& name) {
    PutText(bytes, 644, name);
    return *this;
  }
  CD1002& Sport(uint8_t sport) {
    PutU8(bytes, 660, sport);
    return *this;
  }
  CD1002& StepCount(uint32_t count) {
    PutU32(bytes, 0, count);
    return *this;
  }
  CD1002& Step(int s, const D1002StepFields& fields) {
    const size_t at = 4 + s * 32;
    PutText(bytes, at, fields.name);
    PutF32(bytes, at + 16, fields.low);
    PutF32(bytes, at + 20, fields.high);
    PutU16(bytes, at + 24, fields.durationValue);
    PutU8(bytes, at + 26, fields.intensity);
    PutU8(bytes, at + 27, fields.durationType);
    PutU8(bytes, at + 28, fields.targetType);
    PutU8(bytes, at + 29, fields.targetValue);
    return *this;
  }
  // Appends a step after those counted so far.
  CD1002& AddStep(const D1002StepFields& fields) {
    Step(static_cast<int>(m_steps), fields);
    StepCount(++m_steps);
    return *this;
  }
  Bytes bytes;

private:
  uint32_t m_steps = 0;
};

// Device seconds of a Unix time.
inline uint32_t DeviceTime(int64_t unix) {
  return static_cast<uint32_t>(unix - 631065600);
}
inline int32_t Semicircles(double degrees) {
  return static_cast<int32_t>(degrees * 2147483648.0 / 180.0);
}

// D1009 run: track index (16-bit, 0xFFFF none), first and last lap, sport,
// program, multisport; the rest up to 681 bytes unread.
inline Bytes D1009Run(uint16_t track, uint16_t firstLap, uint16_t lastLap, uint8_t sport = 0) {
  Bytes b(681, 0);
  PutU16(b, 0, track);
  PutU16(b, 2, firstLap);
  PutU16(b, 4, lastLap);
  PutU8(b, 6, sport);
  return b;
}

// D906 lap: start time, total time (hundredths), distance, positions,
// calories, track index.
inline Bytes D906Lap(uint32_t start, uint32_t hundredths, uint8_t track) {
  Bytes b(32, 0);
  PutU32(b, 0, start);
  PutU32(b, 4, hundredths);
  PutF32(b, 8, 1000.0f);
  for (size_t at : {12u, 16u, 20u, 24u}) PutU32(b, at, 0x7FFFFFFF);
  PutU16(b, 28, 50);
  PutU8(b, 30, track);
  return b;
}

// D1001 lap: index, start time, total time, distance, max speed, positions,
// calories, heart rates, intensity.
inline Bytes D1001Lap(uint32_t start, uint32_t hundredths) {
  Bytes b(41, 0);
  PutU32(b, 4, start);
  PutU32(b, 8, hundredths);
  PutF32(b, 12, 1000.0f);
  PutF32(b, 16, 4.5f);
  for (size_t at : {20u, 24u, 28u, 32u}) PutU32(b, at, 0x7FFFFFFF);
  PutU16(b, 36, 60);
  PutU8(b, 38, 140);
  PutU8(b, 39, 170);
  return b;
}

// D311 track header: the track index.
inline Bytes D311Header(uint16_t index) {
  Bytes b(2, 0);
  PutU16(b, 0, index);
  return b;
}

// D304 track point: position, time, altitude, distance, heart rate,
// cadence, sensor.
inline Bytes D304Point(uint32_t time, double lat = 47.0, double lon = 8.0) {
  Bytes b(24, 0);
  PutU32(b, 0, static_cast<uint32_t>(Semicircles(lat)));
  PutU32(b, 4, static_cast<uint32_t>(Semicircles(lon)));
  PutU32(b, 8, time);
  PutF32(b, 12, 400.0f);
  PutF32(b, 16, 1.0e25f);
  PutU8(b, 20, 120);
  PutU8(b, 21, 255);
  return b;
}

struct ScriptPacket {
  uint16_t id = 0;
  Bytes data;
};

inline ScriptPacket Records(int16_t count) {
  Bytes b(2, 0);
  PutU16(b, 0, static_cast<uint16_t>(count));
  return {APP_PID_RECORDS, b};
}
inline ScriptPacket Complete(uint16_t command) {
  Bytes b(2, 0);
  PutU16(b, 0, command);
  return {APP_PID_XFER_CMPLT, b};
}
// A whole counted transfer: the count, the records, the completion.
inline std::vector<ScriptPacket> Counted(uint16_t command, uint16_t packetId,
                                         const std::vector<Bytes>& records) {
  std::vector<ScriptPacket> packets{Records(static_cast<int16_t>(records.size()))};
  for (const Bytes& r : records) packets.push_back({packetId, r});
  packets.push_back(Complete(command));
  return packets;
}

// A port that carries nothing; it only holds the link's error state.
class CScriptPort : public CCommsDevice {
public:
  bool OpenCommsDevice() override { return true; }
  bool CloseCommsDevice() override { return true; }
  bool WriteCommsDevice(const uint8_t*, unsigned) override { return true; }
  bool ReadCommsDevice(uint8_t*, unsigned, unsigned& bytesRead) override {
    bytesRead = 0;
    return false;
  }
};

// A receiver played from a script: each command is acknowledged (unless
// listed in unacknowledged) and answered by its packets; a read with nothing
// left times out in the port, as a silent receiver does.
class CScriptedGarmin : public CScriptPort, public CGpsGarmin {
public:
  CScriptedGarmin() { GetDataSet().prefix = "device-Garmin-484-3456789012"; }

  void Protocols(std::initializer_list<const char*> tags) {
    std::vector<ProtocolTag> list;
    for (const char* tag : tags) {
      list.push_back({tag[0], static_cast<uint16_t>(std::stoi(tag + 1))});
    }
    SetProtocolCapabilities(list.data(), list.size());
  }
  void Answer(uint16_t command, std::vector<ScriptPacket> packets) {
    m_replies[command] = std::move(packets);
  }

  CCommsDevice* GetCommsDevice() override { return static_cast<CScriptPort*>(this); }
  bool OpenGpsDevice(int) override { return true; }
  bool CloseGpsDevice() override { return true; }
  bool TransmitProductRequest() override { return false; }
  bool TransmitCommand(uint16_t command) override {
    commands.push_back(command);
    for (uint16_t c : unacknowledged) {
      if (c == command) {
        CScriptPort::SetLastError(HR_TIMEOUT, IDS_ERR_SERIAL_READ);
        return false;
      }
    }
    m_queue.clear();
    auto it = m_replies.find(command);
    if (it != m_replies.end()) m_queue.assign(it->second.begin(), it->second.end());
    return true;
  }
  bool ReceivePacket() override {
    if (m_queue.empty()) {
      CScriptPort::SetLastError(HR_TIMEOUT, IDS_ERR_SERIAL_READ);
      return false;
    }
    m_current = std::move(m_queue.front());
    m_queue.pop_front();
    m_packet.type = GARMIN_PACKET_TYPE_APPLICATION;
    m_packet.id = m_current.id;
    m_packet.size = static_cast<uint32_t>(m_current.data.size());
    m_packet.data = m_current.data.empty() ? nullptr : m_current.data.data();
    return true;
  }
  bool TransmitPacket(unsigned, const uint8_t*, unsigned) override { return false; }

  std::vector<uint16_t> commands;
  std::vector<uint16_t> unacknowledged;

private:
  std::map<uint16_t, std::vector<ScriptPacket>> m_replies;
  std::deque<ScriptPacket> m_queue;
  ScriptPacket m_current;
};

}  // namespace rxtest
