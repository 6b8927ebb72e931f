// What the simulated receiver knows: its identity, its protocols, its data and
// the faults it plays. Loaded from a JSON scenario file; knows nothing of links.
#pragma once

#include <cstdint>
#include <map>
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
  // False: the track's points follow the previous track's without a header of
  // their own (for the first track: points ahead of any header).
  bool header = true;
  std::vector<SimTrackPoint> points;
};

struct SimPosition {
  double lat = 0.0;  // degrees
  double lon = 0.0;
};

// One lap (D906, D1001 or D1011). Absent values are sent as the type's
// "invalid" markers (time 0xFFFFFFFF, position 0x7FFFFFFF, heart rate 0,
// cadence 255).
struct SimLap {
  uint32_t index = 0;
  std::optional<int64_t> startTime;  // Unix seconds
  double totalTime = 0.0;            // seconds; sent in hundredths
  float distance = 0.0f;             // metres
  float maxSpeed = 0.0f;             // metres per second
  std::optional<SimPosition> begin;
  std::optional<SimPosition> end;
  uint16_t calories = 0;
  std::optional<uint8_t> avgHeartRate;
  std::optional<uint8_t> maxHeartRate;
  uint8_t intensity = 0;
  uint8_t trackIndex = 0;  // D906 only
  std::optional<uint8_t> avgCadence;
  uint8_t triggerMethod = 0;
};

// One run (D1000, D1009 or D1010); a track index of -1 goes out as 0xFFFF in D1009.
struct SimRun {
  int32_t trackIndex = 0;
  uint32_t firstLap = 0;
  uint32_t lastLap = 0;
  uint8_t sport = 0;
  uint8_t program = 0;
  uint8_t multisport = 0;
};

struct SimWorkoutStep {
  std::string name;  // at most 15 characters reach the record
  float targetLow = 0.0f;
  float targetHigh = 0.0f;
  uint16_t durationValue = 0;
  uint8_t intensity = 0;
  uint8_t durationType = 0;
  uint8_t targetType = 0;
  uint8_t targetValue = 0;
};

// One workout (D1002), at most 20 steps.
struct SimWorkout {
  std::string name;
  uint8_t sport = 0;
  std::vector<SimWorkoutStep> steps;
  std::optional<uint32_t> validSteps;  // absent: the number of steps
};

// One workout occurrence (D1003).
struct SimOccurrence {
  std::string workoutName;
  uint32_t day = 0;  // device seconds
};

struct SimZone {
  uint8_t low = 0;
  uint8_t high = 0;
};
struct SimSpeedZone {
  float low = 0.0f;
  float high = 0.0f;
  std::string name;
};
// One of the three activity blocks of the user profile (running, biking, other).
struct SimProfileActivity {
  SimZone heartRateZones[5];
  SimSpeedZone speedZones[10];
  float gearWeight = 0.0f;
  uint8_t maxHeartRate = 0;
};
// The user profile (D1004).
struct SimProfile {
  SimProfileActivity activities[3];
  float weight = 0.0f;
  uint16_t birthYear = 0;
  uint8_t birthMonth = 0;
  uint8_t birthDay = 0;
  uint8_t gender = 0;
};

// The workout limits (D1005).
struct SimLimits {
  uint32_t maxWorkouts = 0;
  uint32_t maxUnscheduledWorkouts = 0;
  uint32_t maxOccurrences = 0;
};

// A packet slipped into a counted transfer after `after` of its records.
struct SimExtraPacket {
  size_t after = 0;
  uint16_t id = 0;
  std::vector<uint8_t> data;
  bool protocolArray = false;  // send the scenario's protocol array instead
};

// Ways in which a receiver's counted transfer departs from the rules.
struct SimTransferQuirks {
  int countDelta = 0;  // added to the announced count
  std::vector<SimExtraPacket> extraPackets;
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
  // Serial: the Nth good data packet of the host arrives as if its checksum
  // were wrong (line noise): a NAK, and nothing handled.
  int badChecksumFromHost = 0;
  // Counting the host packets the link hands to the receiver: from the Nth
  // on it answers nothing, until the faults are set again.
  int silentFromHostPacket = 0;
  // At the Nth such packet the receiver is switched off (silent until
  // PowerOn); over USB it leaves the bus, which ends the host's connection.
  int powerOffAtHostPacket = 0;
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
  // Used when the protocol array names no data type after A906 or A1000.
  uint16_t lapType = 906;   // 906, 1001 or 1011
  uint16_t runType = 1000;  // 1000, 1009 or 1010
  std::vector<SimLap> laps;
  std::vector<SimRun> runs;
  std::vector<SimWorkout> workouts;
  std::vector<SimOccurrence> occurrences;
  std::optional<SimProfile> profile;
  std::optional<SimLimits> limits;
  // By transfer: "tracks", "laps", "runs", "workouts", "occurrences".
  std::map<std::string, SimTransferQuirks> transferQuirks;
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
  uint16_t EffectiveLapType() const;
  uint16_t EffectiveRunType() const;
  // The quirks of one transfer; none when the scenario names none.
  const SimTransferQuirks& Quirks(const std::string& transfer) const;
  bool HasProtocol(char letter, uint16_t number) const;
};

// Parses "A301", "A301:D310,D304" (the data types follow their protocol) into tags.
bool ParseSimProtocolList(const std::vector<std::string>& entries, std::vector<SimProtocolTag>& tags,
                          std::string& error);
// Unix seconds from a number or an ISO 8601 UTC text ("2024-05-01T10:00:00Z").
bool ParseSimTime(const std::string& text, int64_t& unixSeconds);
