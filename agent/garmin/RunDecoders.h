// Runs (D1000, D1009, D1010) decoded straight from a packet's bytes into the
// data set: which track and which laps make one activity, and its sport. The
// embedded workout and virtual-partner fields are not read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "garmin/TrackDecoders.h"

class CGpsDataSet;

// Smallest run records accepted.
constexpr uint32_t D1000_MIN_SIZE = 685;
constexpr uint32_t D1009_MIN_SIZE = 681;
constexpr uint32_t D1010_MIN_SIZE = 685;

EGarminDecode DecodeD1000Run(const uint8_t* data, size_t size, CGpsDataSet& set);
// A track index of 0xFFFF means the run has no track (-1).
EGarminDecode DecodeD1009Run(const uint8_t* data, size_t size, CGpsDataSet& set);
EGarminDecode DecodeD1010Run(const uint8_t* data, size_t size, CGpsDataSet& set);
// By type number (1000, 1009, 1010); BadData for any other type.
EGarminDecode DecodeRun(uint16_t type, const uint8_t* data, size_t size, CGpsDataSet& set);
