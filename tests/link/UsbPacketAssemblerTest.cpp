// Reassembly of Garmin USB packets from the bytes of successive pipe reads,
// with no pipe at all: each case is a list of reads and the packets that must
// come out of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/UsbPacket.h"
#include "link/UsbPacketAssembler.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Packet(uint8_t type, uint16_t id, const Bytes& data) {
  Bytes packet(USB_PACKET_HEADER_SIZE + data.size());
  EncodeUsbPacket(type, id, data.data(), data.size(), packet.data());
  return packet;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Cuts `bytes` into reads of the given sizes; the last read takes the rest.
std::vector<Bytes> Cut(const Bytes& bytes, std::vector<size_t> sizes) {
  std::vector<Bytes> reads;
  size_t at = 0;
  for (size_t size : sizes) {
    const size_t take = std::min(size, bytes.size() - at);
    reads.emplace_back(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + take));
    at += take;
  }
  if (at < bytes.size()) reads.emplace_back(bytes.begin() + static_cast<long>(at), bytes.end());
  return reads;
}

struct Outcome {
  std::vector<Bytes> packets;
  bool tooLarge = false;
  size_t readsUsed = 0;
};

// Drives the assembler as the link does: a read happens only when the front
// packet lacks bytes, and it must bring at least what Missing() says.
Outcome Assemble(const std::vector<Bytes>& reads) {
  CUsbPacketAssembler assembler;
  Outcome outcome;
  size_t next = 0;
  for (;;) {
    const CUsbPacketAssembler::EState state = assembler.State();
    if (state == CUsbPacketAssembler::EState::TooLarge) {
      outcome.tooLarge = true;
      break;
    }
    if (state == CUsbPacketAssembler::EState::Complete) {
      outcome.packets.emplace_back(assembler.Packet(), assembler.Packet() + assembler.PacketSize());
      assembler.Consume();
      continue;
    }
    if (next == reads.size()) break;
    const Bytes& read = reads[next++];
    EXPECT_LE(read.size(), assembler.FreeSize());
    std::copy(read.begin(), read.end(), assembler.FreeSpace());
    assembler.Added(read.size());
  }
  outcome.readsUsed = next;
  return outcome;
}

TEST(UsbPacket, HeaderLayoutIsLittleEndianWithReservedZeros) {
  const Bytes packet = Packet(20, 0x1234, {0xAA, 0xBB});
  EXPECT_EQ(packet, (Bytes{20, 0, 0, 0, 0x34, 0x12, 0, 0, 2, 0, 0, 0, 0xAA, 0xBB}));
  UsbPacketHeader header;
  ASSERT_TRUE(DecodeUsbPacketHeader(packet.data(), packet.size(), header));
  EXPECT_EQ(header.type, 20);
  EXPECT_EQ(header.id, 0x1234);
  EXPECT_EQ(header.dataSize, 2u);
  EXPECT_FALSE(DecodeUsbPacketHeader(packet.data(), USB_PACKET_HEADER_SIZE - 1, header));

  const Bytes big = {0, 0, 0, 0, 6, 0, 0, 0, 0x04, 0x03, 0x02, 0x01};
  ASSERT_TRUE(DecodeUsbPacketHeader(big.data(), big.size(), header));
  EXPECT_EQ(header.dataSize, 0x01020304u);
}

TEST(UsbPacketAssembler, PacketsComeOutWholeHoweverTheReadsCutThem) {
  const Bytes session = Packet(0, 6, {0x78, 0x56, 0x34, 0x12});
  const Bytes product = Packet(20, 255, Bytes(60, 0x41));
  const Bytes empty = Packet(20, 12, {});
  const Bytes records = Packet(20, 27, {3, 0});
  const Bytes stream = Join({session, product, empty, records});

  struct Case {
    const char* legend;
    std::vector<Bytes> reads;
    std::vector<Bytes> packets;
  };
  const std::vector<Case> cases = {
      {"one packet per read", {session, product, empty, records}, {session, product, empty, records}},
      {"everything in one read", {stream}, {session, product, empty, records}},
      {"two packets in one read",
       {Join({session, product}), Join({empty, records})},
       {session, product, empty, records}},
      {"64-byte interrupt transfers", Cut(stream, {64, 64, 64, 64}), {session, product, empty, records}},
      {"a header cut in three", Cut(stream, {5, 5, 30, 2, 200}), {session, product, empty, records}},
      {"one byte at a time",
       Cut(stream, std::vector<size_t>(stream.size(), 1)),
       {session, product, empty, records}},
      {"a read ending inside the next header",
       {Join({session, Bytes(product.begin(), product.begin() + 7)}),
        Bytes(product.begin() + 7, product.end())},
       {session, product}},
      {"zero-length reads between the parts",
       {Bytes{}, Cut(session, {3})[0], Bytes{}, Cut(session, {3})[1]},
       {session}},
      {"an unfinished packet is not handed out", {Bytes(product.begin(), product.end() - 1)}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    const Outcome outcome = Assemble(c.reads);
    EXPECT_FALSE(outcome.tooLarge);
    EXPECT_EQ(outcome.packets, c.packets);
  }
}

TEST(UsbPacketAssembler, MissingTellsTheLeastThatCompletesTheFrontPacket) {
  CUsbPacketAssembler assembler;
  EXPECT_EQ(assembler.State(), CUsbPacketAssembler::EState::NeedHeader);
  EXPECT_EQ(assembler.Missing(), 12u);
  const Bytes packet = Packet(20, 34, Bytes(100, 7));
  std::copy(packet.begin(), packet.begin() + 5, assembler.FreeSpace());
  assembler.Added(5);
  EXPECT_EQ(assembler.Missing(), 7u);
  std::copy(packet.begin() + 5, packet.begin() + 20, assembler.FreeSpace());
  assembler.Added(15);
  EXPECT_EQ(assembler.State(), CUsbPacketAssembler::EState::NeedData);
  EXPECT_EQ(assembler.Missing(), 92u);
  EXPECT_EQ(assembler.FreeSize(), CUsbPacketAssembler::BUFFER_SIZE - 20);
}

TEST(UsbPacketAssembler, APacketMustFitTheReadBufferWhole) {
  struct Case {
    const char* legend;
    uint32_t dataSize;
    bool tooLarge;
  };
  const std::vector<Case> cases = {
      {"2036 data bytes fill the 2048-byte buffer exactly", 2036, false},
      {"2037 data bytes cannot be held", 2037, true},
      {"a size near 4 GiB does not wrap around", 0xFFFFFFF8u, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    Bytes header(USB_PACKET_HEADER_SIZE);
    EncodeUsbPacket(20, 34, nullptr, 0, header.data());
    for (int i = 0; i < 4; ++i) header[8 + i] = static_cast<uint8_t>(c.dataSize >> (8 * i));
    std::vector<Bytes> reads = {header};
    if (!c.tooLarge) reads.push_back(Bytes(c.dataSize, 0x5A));
    const Outcome outcome = Assemble(reads);
    EXPECT_EQ(outcome.tooLarge, c.tooLarge);
    EXPECT_EQ(outcome.packets.size(), c.tooLarge ? 0u : 1u);
  }
}

}  // namespace
