// What the simulated receiver knows: its identity, its protocols, its data and
// the faults it plays. Loaded from a JSON scenario file; knows nothing of links.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Optional measurements are absent (std::nullopt) when the receiver has none;
// the encoders then write the "invalid" marker of the record type.
struct SimTrackPoint {
  double lat = 0.0;  // degrees
  double lon = 0.0;  // degrees
  bool hasPosition = true;
  std::optional<int64_t> time;    // Unix seconds
  std::optional<float> alt;       // metres
  std::optional<float> dpth;      // metres
  std::optional<float> temp;      // degrees Celsius
  std::optional<float> distance;  // metres
  std::optional<uint8_t> heartRate;
  std::optional<uint8_t> cadence;
  bool sensor = false;
  bool newTrk = false;
};

struct SimTrack {
  std::string ident;
  bool display = true;
  uint8_t color = 0;
  uint16_t index = 0;  // D311 headers carry an index instead of an ident
  std::vector<SimTrackPoint> points;
};

// Faults the receiver plays on request. Numbers count from 1; 0 means never.
struct SimFaults {
  // The Nth application packet transmission of the simulator carries a wrong checksum.
  int badChecksumOnSent = 0;
  // The Nth good data packet of the host (acknowledgements not counted) gets a NAK instead of an ACK.
  int nakHostPacket = 0;
  // The Nth good data packet of the host is dropped: no ACK, not handled (as if lost on the wire).
  int noAckHostPacket = 0;
  // A few garbage bytes are written before every frame.
  bool garbageBetweenFrames = false;
  // The receiver answers nothing at all (no ACK either).
  bool silent = false;
  // The first product request is ignored; the second and later ones are answered.
  bool answerSecondProductRequestOnly = false;
  // A packet with id 248 precedes the protocol array.
  bool packet248BeforeProtocolArray = false;
  // Bytes leave at the real wire rate of 9600 baud (10 bits per byte).
  bool pacing9600 = false;
  // Whether the power-off command is acknowledged before the receiver falls silent.
  bool powerOffAck = true;
};

struct SimProtocolTag {
  char letter = 0;  // 'P', 'L', 'A', 'D'
  uint16_t number = 0;
  bool operator==(const SimProtocolTag&) const = default;
};

class CSimScenario {
public:
  uint16_t productId = 0;
  int16_t softwareVersion = 0;            // hundredths: 350 = 3.50
  std::vector<std::string> descriptions;  // the first is the product description
  std::optional<uint32_t> serialNumber;   // absent: the serial number request goes unanswered
  // Absent: no protocol array is sent (the host relies on its product table).
  std::optional<std::vector<SimProtocolTag>> protocols;
  // Used when there is no protocol array (or it names no track protocol): 300, 301 or 302.
  uint16_t trackProtocol = 300;
  uint16_t trackPointType = 300;   // 300 to 304
  uint16_t trackHeaderType = 310;  // 310 to 312
  std::vector<SimTrack> tracks;
  int64_t deviceClock = 0;   // Unix seconds reported for the date/time request; 0 = the wall clock
  double positionLat = 0.0;  // degrees, answered to the position request
  double positionLon = 0.0;
  SimFaults faults;
  // How long the receiver waits for the host's ACK before sending again, and how often it sends.
  int ackTimeoutMs = 2000;
  int sendAttempts = 3;

  // Parses a scenario; unknown keys are ignored. False with a message on bad input.
  bool LoadJson(const std::string& json, std::string& error);
  bool LoadFile(const std::string& path, std::string& error);

  // The track transfer this receiver performs: from the protocol array when it
  // names A300/A301/A302 and its data types, else the fields above.
  uint16_t EffectiveTrackProtocol() const;
  uint16_t EffectiveTrackPointType() const;
  uint16_t EffectiveTrackHeaderType() const;
  bool HasProtocol(char letter, uint16_t number) const;
};

// Parses "A301", "A301:D310,D304" (the data types follow their protocol) into tags.
bool ParseSimProtocolList(const std::vector<std::string>& entries, std::vector<SimProtocolTag>& tags,
                          std::string& error);
// Unix seconds from a number or an ISO 8601 UTC text ("2024-05-01T10:00:00Z").
bool ParseSimTime(const std::string& text, int64_t& unixSeconds);
