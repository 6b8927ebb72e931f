// The fitness records the simulated receiver sends, laid out as the
// receivers lay them out: laps, runs, workouts, workout occurrences, the
// user profile and the workout limits. Written from the record layouts, not
// from the host's decoders, so that a shared misreading shows.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/Scenario.h"

// Sizes of the records as sent.
constexpr size_t SIM_D906_SIZE = 32;
constexpr size_t SIM_D1001_SIZE = 41;
constexpr size_t SIM_D1011_SIZE = 43;
constexpr size_t SIM_D1000_SIZE = 685;
constexpr size_t SIM_D1009_SIZE = 681;
constexpr size_t SIM_D1010_SIZE = 685;
constexpr size_t SIM_D1002_SIZE = 661;
constexpr size_t SIM_D1003_SIZE = 20;
constexpr size_t SIM_D1004_SIZE = 813;
constexpr size_t SIM_D1005_SIZE = 12;

// type 906, 1001 or 1011 (any other: 906).
std::vector<uint8_t> EncodeSimLap(const SimLap& lap, uint16_t type);
// type 1000, 1009 or 1010 (any other: 1000). The embedded workout and
// virtual-partner fields are zeros.
std::vector<uint8_t> EncodeSimRun(const SimRun& run, uint16_t type);
std::vector<uint8_t> EncodeSimWorkout(const SimWorkout& workout);
std::vector<uint8_t> EncodeSimOccurrence(const SimOccurrence& occurrence);
std::vector<uint8_t> EncodeSimProfile(const SimProfile& profile);
std::vector<uint8_t> EncodeSimLimits(const SimLimits& limits);
