// The decoder of the user profile (D1004): three activity blocks, each with a
// maximum heart rate, five heart-rate zones and ten speed zones, turned into
// one CGpsDataProfile per activity. Zones carry ids that workout steps refer
// to, so a step's target can name the zone of the profile it was built from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "data/GpsDataSet.h"
#include "garmin/GarminErrors.h"
#include "garmin/PacketReader.h"

// Smallest D1004 record: three activity blocks, weight, birth date and gender.
constexpr size_t D1004_MIN_SIZE = 813;
constexpr size_t D1004_ACTIVITY_SIZE = 268;
constexpr int D1004_ACTIVITIES = 3;
constexpr int D1004_HEART_RATE_ZONES = 5;
constexpr int D1004_SPEED_ZONES = 10;

// Appends the three profiles of one D1004 packet to set, with ids built from
// set.prefix. S_OK; HR_READ_FAULT for a short packet (nothing created);
// E_OUTOFMEMORY when a record or a measurement could not be made (what was
// made stays in the set).
HRESULT DecodeD1004UserProfile(const uint8_t* data, size_t size, CGpsDataSet& set);

// The description of activity index 0, 1 or 2 ("Running", "Biking", "Other").
const char* D1004ActivityDescription(int activity);

// The vocabularies that qualify the names of the fitness records; the
// workout decoder shares them, since a workout names its sport the way a
// profile does.
enum FitnessVocabulary {
  FITNESS_SPORT_TYPE,       // D1002-sport_type
  FITNESS_STEP_INTENSITY,   // D1002-steps-intensity
  FITNESS_SPEED_ZONE_NAME,  // D1004-speed_zones-name
};
// The codeSpace URI of a vocabulary.
std::string FitnessCodeSpace(FitnessVocabulary vocabulary);

// A text field of 16 bytes, cut at its first zero byte; the reader moves past
// the whole field (or fails, with an empty text, when fewer bytes are left).
constexpr size_t FITNESS_TEXT_SIZE = 16;
std::string ReadFitnessText(CPacketReader& reader);
