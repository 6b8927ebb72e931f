// The simulator's serial frames, checked against byte strings written out by
// hand from the wire format (and seen from GPSBabel), not against the encoder.
#include <gtest/gtest.h>

#include "sim/SerialFraming.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<SimFrame> DecodeAll(const Bytes& bytes, bool byteByByte) {
  CSimFrameDecoder decoder;
  std::vector<SimFrame> frames;
  if (byteByByte) {
    for (uint8_t byte : bytes) decoder.Feed(&byte, 1, frames);
  } else {
    decoder.Feed(bytes.data(), bytes.size(), frames);
  }
  return frames;
}

struct FrameCase {
  const char* legend;
  SimPacket packet;
  Bytes wire;
};

const FrameCase kFrames[] = {
    {"product request, no data", {254, {}}, {0x10, 0xFE, 0x00, 0x02, 0x10, 0x03}},
    {"ACK of the product request", {6, {0xFE, 0x00}}, {0x10, 0x06, 0x02, 0xFE, 0x00, 0xFA, 0x10, 0x03}},
    {"transfer-tracks command", {10, {0x06, 0x00}}, {0x10, 0x0A, 0x02, 0x06, 0x00, 0xEE, 0x10, 0x03}},
    {"DLE in the data is doubled",
     {27, {0x10, 0x00}},
     {0x10, 0x1B, 0x02, 0x10, 0x10, 0x00, 0xD3, 0x10, 0x03}},
    {"size of 16 is doubled",
     {17, Bytes(16, 0x00)},
     [] {
       Bytes wire = {0x10, 0x11, 0x10, 0x10};
       wire.insert(wire.end(), 16, 0x00);
       wire.insert(wire.end(), {0xDF, 0x10, 0x03});
       return wire;
     }()},
    {"checksum of 16 is doubled", {0xED, {0x02}}, {0x10, 0xED, 0x01, 0x02, 0x10, 0x10, 0x10, 0x03}},
    {"id of 16 is doubled", {0x10, {0x01}}, {0x10, 0x10, 0x10, 0x01, 0x01, 0xEE, 0x10, 0x03}},
    {"ETX inside the data is plain", {12, {0x03, 0x00}}, {0x10, 0x0C, 0x02, 0x03, 0x00, 0xEF, 0x10, 0x03}},
};

TEST(SimSerialFraming, EncodesAndDecodesKnownFrames) {
  for (const FrameCase& row : kFrames) {
    SCOPED_TRACE(row.legend);
    Bytes encoded;
    ASSERT_TRUE(EncodeSimFrame(row.packet, encoded));
    EXPECT_EQ(encoded, row.wire);
    for (bool byteByByte : {false, true}) {
      const std::vector<SimFrame> frames = DecodeAll(row.wire, byteByByte);
      ASSERT_EQ(frames.size(), 1u);
      EXPECT_TRUE(frames[0].good);
      EXPECT_EQ(frames[0].packet, row.packet);
    }
  }
}

TEST(SimSerialFraming, RoundTripsEveryByteValueAndSize) {
  for (unsigned size : {0u, 1u, 15u, 16u, 17u, 254u, 255u}) {
    for (unsigned fill : {0x00u, 0x03u, 0x10u, 0xFFu}) {
      SCOPED_TRACE("size " + std::to_string(size) + " fill " + std::to_string(fill));
      // An id of ETX cannot open a frame (DLE ETX ends one), so no host or receiver uses it.
      const uint16_t id = fill == 0x03 ? 0x04 : static_cast<uint16_t>(fill);
      SimPacket packet{id, Bytes(size, static_cast<uint8_t>(fill))};
      for (unsigned i = 0; i < size; i += 3) packet.data[i] = static_cast<uint8_t>(i);
      Bytes wire;
      ASSERT_TRUE(EncodeSimFrame(packet, wire));
      const std::vector<SimFrame> frames = DecodeAll(wire, false);
      ASSERT_EQ(frames.size(), 1u);
      EXPECT_TRUE(frames[0].good);
      EXPECT_EQ(frames[0].packet, packet);
    }
  }
  Bytes wire;
  EXPECT_FALSE(EncodeSimFrame(SimPacket{34, Bytes(256, 1)}, wire));
}

TEST(SimSerialFraming, CorruptChecksumIsReportedBad) {
  Bytes wire;
  ASSERT_TRUE(EncodeSimFrame(SimPacket{34, {1, 2, 3}}, wire, true));
  const std::vector<SimFrame> frames = DecodeAll(wire, false);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_FALSE(frames[0].good);
  EXPECT_EQ(frames[0].packet.id, 34);
}

struct StreamCase {
  const char* legend;
  Bytes wire;
  std::vector<std::pair<bool, SimPacket>> expected;  // good flag, packet (checked when good)
};

const Bytes kAckFe = {0x10, 0x06, 0x02, 0xFE, 0x00, 0xFA, 0x10, 0x03};
const Bytes kCmdTrk = {0x10, 0x0A, 0x02, 0x06, 0x00, 0xEE, 0x10, 0x03};

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const StreamCase kStreams[] = {
    {"garbage before a frame is skipped", Join({{0x00, 0xFF, 0x55, 0x03}, kAckFe}), {{true, {6, {0xFE, 0}}}}},
    {"a lone DLE ETX is noise", Join({{0x10, 0x03}, kAckFe}), {{true, {6, {0xFE, 0}}}}},
    {"back-to-back frames", Join({kAckFe, kCmdTrk}), {{true, {6, {0xFE, 0}}}, {true, {10, {6, 0}}}}},
    {"wrong checksum, then a good frame",
     Join({{0x10, 0x0A, 0x02, 0x06, 0x00, 0xEF, 0x10, 0x03}, kCmdTrk}),
     {{false, {}}, {true, {10, {6, 0}}}}},
    {"a frame cut off by a new start is bad, the new one good",
     Join({{0x10, 0x22, 0x17, 0x01, 0x02}, kCmdTrk}),
     {{false, {}}, {true, {10, {6, 0}}}}},
    {"size larger than the data is bad", {0x10, 0x0A, 0x03, 0x06, 0x00, 0xED, 0x10, 0x03}, {{false, {}}}},
    {"size smaller than the data is bad", {0x10, 0x0A, 0x01, 0x06, 0x00, 0xEF, 0x10, 0x03}, {{false, {}}}},
    {"an unfinished frame yields nothing", {0x10, 0x0A, 0x02, 0x06}, {}},
};

TEST(SimSerialFraming, ResynchronisesOnNoiseAndBrokenFrames) {
  for (const StreamCase& row : kStreams) {
    SCOPED_TRACE(row.legend);
    for (bool byteByByte : {false, true}) {
      const std::vector<SimFrame> frames = DecodeAll(row.wire, byteByByte);
      ASSERT_EQ(frames.size(), row.expected.size());
      for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].good, row.expected[i].first);
        if (row.expected[i].first) {
          EXPECT_EQ(frames[i].packet, row.expected[i].second);
        }
      }
    }
  }
}

TEST(SimSerialFraming, EndlessBodyWithoutEndIsAbandoned) {
  Bytes wire = {0x10, 0x22};
  wire.insert(wire.end(), 600, 0x41);
  wire = Join({wire, kAckFe});
  const std::vector<SimFrame> frames = DecodeAll(wire, false);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_FALSE(frames[0].good);
  EXPECT_TRUE(frames[1].good);
}

}  // namespace
