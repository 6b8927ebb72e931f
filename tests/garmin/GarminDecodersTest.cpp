// The validation packets' decoders and the protocol list, without a link.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "garmin/GarminErrors.h"
#include "garmin/PacketReader.h"
#include "link/GpsGarminSerial.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes ProductData(uint16_t id, int16_t version, const std::string& description, bool terminated = true) {
  // Sized once and filled in place: GCC 12 misreads an insert after a
  // four-byte list as a write out of bounds (-Warray-bounds) at -O2.
  Bytes data(4 + description.size() + (terminated ? 1 : 0), 0);
  data[0] = static_cast<uint8_t>(id);
  data[1] = static_cast<uint8_t>(id >> 8);
  data[2] = static_cast<uint8_t>(version);
  data[3] = static_cast<uint8_t>(static_cast<uint16_t>(version) >> 8);
  std::copy(description.begin(), description.end(), data.begin() + 4);
  return data;
}

TEST(GarminDecoders, ProductDataSetsTheIdentityAndTheTableProtocols) {
  struct Case {
    const char* legend;
    Bytes data;
    bool ok;
    HRESULT error;
    const char* description;
    const char* productId;
    const char* version;
    size_t protocols;
  };
  const Case cases[] = {
      {"in the table", ProductData(77, 355, "eTrex Vista Software Version 3.55"), true, S_OK,
       "eTrex Vista Software Version 3.55", "77", "3.55", 15},
      {"further strings ignored", Concat(ProductData(77, 300, "eTrex"), ProductData(0, 0, "extra")), true,
       S_OK, "eTrex", "77", "3.00", 15},
      {"description without terminator", ProductData(7, 310, "GPS 45", false), true, S_OK, "GPS 45", "7",
       "3.10", 15},
      {"not in the table", ProductData(484, 350, "Forerunner305"), false, HR_PRODUCT_NOT_IN_TABLE,
       "Forerunner305", "484", "3.50", 0},
      {"product id above 32767", ProductData(40000, 5, "x"), false, HR_PRODUCT_NOT_IN_TABLE, "x", "40000",
       "0.05", 0},
      {"four bytes only", Bytes{77, 0, 100, 1}, false, HR_READ_FAULT, "", "", "", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsGarminSerial gps;
    const ProtocolTag before[] = {{'A', 1}, {'L', 1}, {'P', 0}};
    ASSERT_TRUE(gps.SetProtocolCapabilities(before, 3));
    CGpsDataSet record;
    EXPECT_EQ(gps.RxA000ProductData(static_cast<uint32_t>(c.data.size()), c.data.data(), record), c.ok);
    EXPECT_EQ(gps.GetErrorCode(), c.error);
    if (c.error == HR_PRODUCT_NOT_IN_TABLE) {
      EXPECT_EQ(gps.GetErrorText(), LoadString(IDS_ERR_DEVICE_NOT_SUPPORTED));
    }
    if (c.error == HR_READ_FAULT) {
      EXPECT_EQ(gps.GetErrorText(), LoadString(IDS_ERR_BAD_PACKET));
    }
    EXPECT_EQ(record.deviceDescription, c.description);
    EXPECT_EQ(record.productId, c.productId);
    EXPECT_EQ(record.firmwareVersion, c.version);
    EXPECT_EQ(record.deviceName, c.error == HR_READ_FAULT ? "" : "Garmin");
    EXPECT_EQ(gps.GetProtocolCount(), c.protocols);
  }
}

TEST(GarminDecoders, ProtocolArrayReplacesTheListAndBlanksUnknownLetters) {
  CGpsGarminSerial gps;
  EXPECT_FALSE(gps.IsProtocolSupported('L', 1));  // empty list
  const Bytes array{'P',  0,   0, 'L', 1,   0,    'A',  0xE8,
                    0x03, 'X', 7, 0,   'D', 0x10, 0x01, 'A'};  // trailing partial tag
  CGpsDataSet record;
  ASSERT_TRUE(gps.RxA001ProtocolCapability(static_cast<uint32_t>(array.size()), array.data(), record));
  ASSERT_EQ(gps.GetProtocolCount(), 5u);
  EXPECT_TRUE(gps.IsProtocolSupported('L', 1));
  EXPECT_TRUE(gps.IsProtocolSupported('A', 1000));
  EXPECT_TRUE(gps.IsProtocolSupported('D', 272));
  EXPECT_FALSE(gps.IsProtocolSupported('X', 7));
  EXPECT_EQ(gps.GetProtocols()[3], ProtocolTag{});
  EXPECT_FALSE(gps.IsProtocolSupported('A', 1));

  ASSERT_TRUE(gps.RxA001ProtocolCapability(2, array.data(), record));
  EXPECT_EQ(gps.GetProtocolCount(), 0u);
  EXPECT_FALSE(gps.IsProtocolSupported('P', 0));
}

TEST(GarminDecoders, SerialNumberAndPrefix) {
  struct Case {
    const char* legend;
    Bytes data;
    bool ok;
    const char* serial;
    const char* prefix;
  };
  const Case cases[] = {
      {"a number", {0x14, 0xCD, 0x5B, 0x07}, true, "123456788", "device-Garmin-77-123456788"},
      {"largest", {0xFF, 0xFF, 0xFF, 0xFF, 9}, true, "4294967295", "device-Garmin-77-4294967295"},
      {"zero keeps the old text", {0, 0, 0, 0}, true, "", "device-Garmin-77"},
      {"too short", {1, 2, 3}, false, "", "device-Garmin-77"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsGarminSerial gps;
    CGpsDataSet record;
    record.deviceName = "Garmin";
    record.productId = "77";
    EXPECT_EQ(gps.RxX000SerialNumber(static_cast<uint32_t>(c.data.size()), c.data.data(), record), c.ok);
    EXPECT_EQ(gps.GetErrorCode(), c.ok ? S_OK : HR_READ_FAULT);
    EXPECT_EQ(record.serialNumber, c.serial);
    EXPECT_EQ(CGpsGarmin::BuildDevicePrefix(record), c.prefix);
  }
  CGpsDataSet empty;
  EXPECT_EQ(CGpsGarmin::BuildDevicePrefix(empty), "device");
}

TEST(PacketReader, ReadsLittleEndianAndStopsAtTheEnd) {
  const Bytes data{0x01, 0x02, 0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12, 'h', 'i', 0, 'x'};
  CPacketReader reader(data.data(), data.size());
  EXPECT_EQ(reader.ReadU16(), 0x0201);
  EXPECT_EQ(reader.ReadS16(), -2);
  EXPECT_EQ(reader.ReadU32(), 0x12345678u);
  EXPECT_EQ(reader.ReadString(), "hi");
  EXPECT_EQ(reader.ReadString(), "x");
  EXPECT_TRUE(reader.Ok());
  EXPECT_EQ(reader.ReadU32(), 0u);
  EXPECT_FALSE(reader.Ok());
  CPacketReader none(nullptr, 10);
  EXPECT_EQ(none.ReadU8(), 0);
  EXPECT_FALSE(none.Ok());
}

}  // namespace
