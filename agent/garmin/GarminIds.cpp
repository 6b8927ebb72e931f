#include "garmin/GarminIds.h"

#include <cstddef>

namespace {

const GarminIdName kPacketNames[] = {
    {LINK_PID_ACK, "LINK_PID_ACK"},
    {APP_PID_COMMAND_DATA, "APP_PID_COMMAND_DATA"},
    {APP_PID_XFER_CMPLT, "APP_PID_XFER_CMPLT"},
    {LINK_PID_NAK, "LINK_PID_NAK"},
    {APP_PID_RECORDS, "APP_PID_RECORDS"},
    {APP_PID_TRK_DATA, "APP_PID_TRK_DATA"},
    {APP_PID_SERIAL_NUM, "APP_PID_SERIAL_NUM"},
    {APP_PID_TRK_HDR, "APP_PID_TRK_HDR"},
    {APP_PID_LAP, "APP_PID_LAP"},
    {APP_PID_PROTOCOL_ARRAY, "APP_PID_PROTOCOL_ARRAY"},
    {APP_PID_PRODUCT_RQST, "APP_PID_PRODUCT_RQST"},
    {APP_PID_PRODUCT_DATA, "APP_PID_PRODUCT_DATA"},
    {APP_PID_RUN, "APP_PID_RUN"},
    {APP_PID_WORKOUT, "APP_PID_WORKOUT"},
    {APP_PID_WORKOUT_OCCURRENCE, "APP_PID_WORKOUT_OCCURRENCE"},
    {APP_PID_USER_PROFILE, "APP_PID_USER_PROFILE"},
    {APP_PID_WORKOUT_LIMITS, "APP_PID_WORKOUT_LIMITS"},
};

const GarminIdName kCommandNames[] = {
    {CMD_ABORT_TRANSFER, "CMD_ABORT_TRANSFER"},
    {CMD_TRANSFER_TRK, "CMD_TRANSFER_TRK"},
    {CMD_TURN_OFF_PWR, "CMD_TURN_OFF_PWR"},
    {CMD_TRANSFER_SERIAL_NUM, "CMD_TRANSFER_SERIAL_NUM"},
    {CMD_TRANSFER_LAPS, "CMD_TRANSFER_LAPS"},
    {CMD_TRANSFER_RUNS, "CMD_TRANSFER_RUNS"},
    {CMD_TRANSFER_WORKOUTS, "CMD_TRANSFER_WORKOUTS"},
    {CMD_TRANSFER_WORKOUT_OCCURRENCES, "CMD_TRANSFER_WORKOUT_OCCURRENCES"},
    {CMD_TRANSFER_USER_PROFILE, "CMD_TRANSFER_USER_PROFILE"},
    {CMD_TRANSFER_WORKOUT_LIMITS, "CMD_TRANSFER_WORKOUT_LIMITS"},
};

template <size_t N>
const char* Find(const GarminIdName (&table)[N], uint16_t id) {
  for (const GarminIdName& entry : table) {
    if (entry.id == id) return entry.name;
  }
  return nullptr;
}

}  // namespace

const char* GarminPacketName(uint16_t id) {
  return Find(kPacketNames, id);
}
const char* GarminCommandName(uint16_t id) {
  return Find(kCommandNames, id);
}
