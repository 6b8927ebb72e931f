// One Garmin packet as the simulated receiver sees it, independent of the link
// that carried it (serial frame or USB packet).
#pragma once

#include <cstdint>
#include <vector>

struct SimPacket {
  uint16_t id = 0;
  std::vector<uint8_t> data;

  bool operator==(const SimPacket&) const = default;
};

// Packet ids the simulator speaks (the low byte travels on the serial wire).
enum SimPacketId : uint16_t {
  SIM_PID_ACK = 6,
  SIM_PID_COMMAND_DATA = 10,
  SIM_PID_XFER_CMPLT = 12,
  SIM_PID_DATE_TIME = 14,
  SIM_PID_POSITION = 17,
  SIM_PID_NAK = 21,
  SIM_PID_RECORDS = 27,
  SIM_PID_TRK_DATA = 34,
  SIM_PID_SERIAL_NUM = 38,
  SIM_PID_TRK_HDR = 99,
  SIM_PID_EXTENDED_PRODUCT = 248,
  SIM_PID_PROTOCOL_ARRAY = 253,
  SIM_PID_PRODUCT_RQST = 254,
  SIM_PID_PRODUCT_DATA = 255,
  // Course uploads; over serial only their low bytes (37 to 41) travel.
  SIM_PID_COURSE = 1061,
  SIM_PID_COURSE_LAP = 1062,
  SIM_PID_COURSE_POINT = 1063,
  SIM_PID_COURSE_TRK_HDR = 1064,
  SIM_PID_COURSE_TRK_DATA = 1065,
};

// Command ids carried by SIM_PID_COMMAND_DATA.
enum SimCommandId : uint16_t {
  SIM_CMD_ABORT_TRANSFER = 0,
  SIM_CMD_TRANSFER_POSN = 2,
  SIM_CMD_TRANSFER_RTE = 4,
  SIM_CMD_TRANSFER_TIME = 5,
  SIM_CMD_TRANSFER_TRK = 6,
  SIM_CMD_TRANSFER_WPT = 7,
  SIM_CMD_TURN_OFF_PWR = 8,
  SIM_CMD_TRANSFER_SERIAL_NUM = 14,
  SIM_CMD_START_PVT = 49,
  SIM_CMD_STOP_PVT = 50,
  SIM_CMD_TRANSFER_LAPS = 117,
  SIM_CMD_TRANSFER_RUNS = 450,
  SIM_CMD_TRANSFER_WORKOUTS = 451,
  SIM_CMD_TRANSFER_WORKOUT_OCCURRENCES = 452,
  SIM_CMD_TRANSFER_USER_PROFILE = 453,
  SIM_CMD_TRANSFER_WORKOUT_LIMITS = 454,
  SIM_CMD_TRANSFER_COURSES = 561,
  SIM_CMD_TRANSFER_COURSE_LAPS = 562,
  SIM_CMD_TRANSFER_COURSE_POINTS = 563,
  SIM_CMD_TRANSFER_COURSE_TRACKS = 564,
};
