// Packet and command ids of the Garmin protocols, as constants and as one
// table that names them for trace lines and tools. Ids are 16 bits in the
// USB packet header; only the low byte travels on the serial wire.
#pragma once

#include <cstdint>

enum GarminPacketId : uint16_t {
  LINK_PID_ACK = 6,
  APP_PID_COMMAND_DATA = 10,
  APP_PID_XFER_CMPLT = 12,
  LINK_PID_NAK = 21,
  APP_PID_RECORDS = 27,
  APP_PID_TRK_DATA = 34,
  APP_PID_SERIAL_NUM = 38,
  APP_PID_TRK_HDR = 99,
  APP_PID_LAP = 149,
  APP_PID_IGNORED_248 = 248,  // sent by some receivers while they announce themselves
  APP_PID_PROTOCOL_ARRAY = 253,
  APP_PID_PRODUCT_RQST = 254,
  APP_PID_PRODUCT_DATA = 255,
  APP_PID_RUN = 990,
  APP_PID_WORKOUT = 991,
  APP_PID_WORKOUT_OCCURRENCE = 992,
  APP_PID_USER_PROFILE = 993,
  APP_PID_WORKOUT_LIMITS = 994,
  APP_PID_COURSE = 1061,
  APP_PID_COURSE_LAP = 1062,
  APP_PID_COURSE_POINT = 1063,
  APP_PID_COURSE_TRK_HDR = 1064,
  APP_PID_COURSE_TRK_DATA = 1065,
};

enum GarminCommandId : uint16_t {
  CMD_ABORT_TRANSFER = 0,
  CMD_TRANSFER_TRK = 6,
  CMD_TURN_OFF_PWR = 8,
  CMD_TRANSFER_SERIAL_NUM = 14,
  CMD_TRANSFER_LAPS = 117,
  CMD_TRANSFER_RUNS = 450,
  CMD_TRANSFER_WORKOUTS = 451,
  CMD_TRANSFER_WORKOUT_OCCURRENCES = 452,
  CMD_TRANSFER_USER_PROFILE = 453,
  CMD_TRANSFER_WORKOUT_LIMITS = 454,
  CMD_TRANSFER_COURSES = 561,
  CMD_TRANSFER_COURSE_LAPS = 562,
  CMD_TRANSFER_COURSE_POINTS = 563,
  CMD_TRANSFER_COURSE_TRACKS = 564,
};

// The packet type the serial link reports for every received packet.
constexpr uint32_t GARMIN_PACKET_TYPE_APPLICATION = 20;

struct GarminIdName {
  uint16_t id;
  const char* name;
};

// The constant name of a packet or command id; nullptr for an unknown id.
const char* GarminPacketName(uint16_t id);
const char* GarminCommandName(uint16_t id);
