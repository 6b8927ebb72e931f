// The serial framer as pure byte functions: encoding, the frame search and
// the in-place decode, from byte tables.
#include <gtest/gtest.h>

#include <vector>

#include "PtyPeer.h"
#include "link/SerialFrame.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(uint8_t id, const Bytes& data) {
  uint8_t frame[SERIAL_FRAME_CAPACITY];
  const size_t n = EncodeSerialFrame(id, data.data(), data.size(), frame, sizeof frame);
  return Bytes(frame, frame + n);
}

struct RoundTrip {
  const char* legend;
  uint8_t id;
  Bytes data;
};

Bytes Repeat(uint8_t byte, size_t count) {
  return Bytes(count, byte);
}

TEST(SerialFrame, EncodeMatchesIndependentCoderAndDecodesBack) {
  Bytes checksumIsDle = Repeat(0x10, 15);
  checksumIsDle.push_back(0xE0);  // 16 + 16 + 15*16 + 0xE0 = 0x1F0: checksum 0x10
  Bytes everyByte;
  for (int b = 0; b < 255; ++b) everyByte.push_back(static_cast<uint8_t>(b));
  const RoundTrip cases[] = {
      {"no data", 254, {}},
      {"command", 10, {14, 0}},
      {"every field DLE, checksum too", 0x10, checksumIsDle},
      {"id, size and data DLE", 0x10, Repeat(0x10, 16)},
      {"data DLE ETX pairs", 34, {0x10, 0x03, 0x10, 0x03}},
      {"largest packet, every byte value", 255, everyByte},
      {"largest packet, all DLE", 0x10, Repeat(0x10, 255)},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.legend);
    const Bytes frame = Encode(c.id, c.data);
    EXPECT_EQ(frame, linktest::Frame(c.id, c.data));

    SerialFrameScan scan;
    ScanSerialFrame(frame.data(), frame.size(), scan);
    ASSERT_EQ(scan.start, 0u);
    ASSERT_EQ(scan.end, frame.size());
    Bytes buffer = frame;
    uint8_t id = 0;
    uint8_t size = 0;
    ASSERT_TRUE(DecodeSerialFrame(buffer.data(), scan.start + 1, scan.end, id, size));
    EXPECT_EQ(id, c.id);
    ASSERT_EQ(size, c.data.size());
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + size), c.data);
  }
}

TEST(SerialFrame, EveryFieldDleIsSentDoubled) {
  Bytes data = Repeat(0x10, 15);
  data.push_back(0xE0);
  const Bytes frame = Encode(0x10, data);
  Bytes expected{0x10, 0x10, 0x10, 0x10, 0x10};
  for (int i = 0; i < 15; ++i) expected.insert(expected.end(), {0x10, 0x10});
  expected.insert(expected.end(), {0xE0, 0x10, 0x10, 0x10, 0x03});
  EXPECT_EQ(frame, expected);
}

TEST(SerialFrame, EncodeStopsAtCapacity) {
  const Bytes data = Repeat(0x10, 255);
  uint8_t frame[16];
  EXPECT_EQ(EncodeSerialFrame(0x10, data.data(), data.size(), frame, sizeof frame), sizeof frame);
}

struct ScanCase {
  const char* legend;
  Bytes bytes;
  size_t start;
  size_t end;
};

TEST(SerialFrame, ScanFindsStartAndEnd) {
  const size_t none = SerialFrameScan::NONE;
  const Bytes good = linktest::Frame(34, {1, 2, 3});
  const Bytes dleId = linktest::Frame(0x10, {7});
  const Bytes dleEtxData = linktest::Frame(34, {0x10, 0x03});
  const ScanCase cases[] = {
      {"plain frame", good, 0, good.size()},
      {"garbage before", linktest::Concat({{0x55, 0xAA, 0x03}, good}), 3, 3 + good.size()},
      {"stuffed DLE pair in garbage", linktest::Concat({{0x01, 0x10, 0x10, 0x02}, good}), 4, 4 + good.size()},
      {"two starts keep the later", linktest::Concat({{0x10, 0x22, 0x05}, good}), 3, 3 + good.size()},
      {"unfinished frame", Bytes{0x10, 0x22, 0x02, 0x01}, 0, none},
      {"last DLE waits for its successor", Bytes{0x00, 0x10}, none, none},
      {"end without start", Bytes{0x01, 0x02, 0x10, 0x03}, none, 4},
      {"id DLE right after the start", dleId, 0, dleId.size()},
      {"data DLE then ETX is data", dleEtxData, 0, dleEtxData.size()},
      {"stops at the first end", linktest::Concat({good, good}), 0, good.size()},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.legend);
    SerialFrameScan scan;
    ScanSerialFrame(c.bytes.data(), c.bytes.size(), scan);
    EXPECT_EQ(scan.start, c.start);
    EXPECT_EQ(scan.end, c.end);
  }
}

TEST(SerialFrame, ScanResumesWithoutRescanning) {
  const Bytes frame = linktest::Frame(0x10, {0x10, 0x03, 0x10});
  for (size_t split = 0; split <= frame.size(); ++split) {
    SCOPED_TRACE(split);
    SerialFrameScan scan;
    ScanSerialFrame(frame.data(), split, scan);
    ScanSerialFrame(frame.data(), frame.size(), scan);
    EXPECT_EQ(scan.start, 0u);
    EXPECT_EQ(scan.end, frame.size());
  }
}

struct DecodeCase {
  const char* legend;
  Bytes body;  // from the id up to and including DLE ETX
  bool ok;
};

TEST(SerialFrame, DecodeRejectsBadBodies) {
  const DecodeCase cases[] = {
      {"good", {34, 1, 7, 0xD6, 0x10, 0x03}, true},
      {"checksum off by one", {34, 1, 7, 0xD7, 0x10, 0x03}, false},
      {"size beyond the body", {34, 5, 7, 0xD2, 0x10, 0x03}, false},
      {"no checksum", {34, 0, 0x10, 0x03}, false},
      {"only DLE ETX", {0x10, 0x03}, false},
      {"id only", {34, 0x10, 0x03}, false},
      {"stuffed id cut short", {0x10, 0x10, 0x10, 0x03}, false},
      {"empty", {}, false},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.legend);
    Bytes buffer = c.body;
    uint8_t id = 0;
    uint8_t size = 0;
    EXPECT_EQ(DecodeSerialFrame(buffer.data(), 0, buffer.size(), id, size), c.ok);
  }
}

TEST(SerialFrame, DecodeInPlaceLeavesBytesAfterTheFrame) {
  const Bytes first = linktest::Frame(34, {0x10, 0x10, 0x10, 1, 2});
  const Bytes second = linktest::Frame(12, {});
  Bytes buffer = linktest::Concat({{0xFF, 0xFF}, first, second});
  SerialFrameScan scan;
  scan.position = 2;
  ScanSerialFrame(buffer.data(), buffer.size(), scan);
  ASSERT_EQ(scan.end, 2 + first.size());
  uint8_t id = 0;
  uint8_t size = 0;
  ASSERT_TRUE(DecodeSerialFrame(buffer.data(), scan.start + 1, scan.end, id, size));
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + size), (Bytes{0x10, 0x10, 0x10, 1, 2}));
  EXPECT_EQ(Bytes(buffer.begin() + static_cast<long>(scan.end), buffer.end()), second);
}

}  // namespace
