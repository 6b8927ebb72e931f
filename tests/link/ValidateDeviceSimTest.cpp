// Validation end to end: the simulated receiver on a pseudo-terminal, the
// serial engine opening and identifying it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "garmin/GarminErrors.h"
#include "link/GpsGarminSerial.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "sim/GarminSim.h"

namespace {

constexpr unsigned kTimeoutMs = 250;

const char kForerunner[] =
    R"("product_id": 484, "software_version": 350, "descriptions": ["Forerunner305 Software Version 3.50"],)";
const char kForerunnerProtocols[] =
    R"("protocols": ["P000", "L001", "A010", "A100:D110", "A301:D310,D304", "A1000:D1009"])";

struct ValidateCase {
  const char* legend;
  std::string scenario;  // the JSON object's members
  bool valid;
  HRESULT gpsError;
  HRESULT commsError;
  unsigned message;  // 0: none expected
  const char* prefix;
  std::vector<ProtocolTag> supported;
  std::vector<ProtocolTag> unsupported;
  std::vector<uint16_t> commands;  // as the receiver saw them
};

std::vector<ValidateCase> Cases() {
  const std::string fr = kForerunner;
  const std::string frp = kForerunnerProtocols;
  return {
      {"protocol array",
       fr + R"("serial_number": 3456789012, )" + frp,
       true,
       S_OK,
       S_OK,
       0,
       "device-Garmin-484-3456789012",
       {{'L', 1}, {'A', 301}, {'D', 304}, {'A', 1000}},
       {{'A', 300}},
       {14}},
      {"product table, no protocol array",
       R"("product_id": 77, "software_version": 361, "description": "eTrex Vista", "serial_number": 12345)",
       true,
       S_OK,
       S_OK,
       0,
       "device-Garmin-77-12345",
       {{'L', 1}, {'A', 400}, {'D', 403}},
       {{'A', 301}},
       {14}},
      {"product 77 at 3.55 takes the 3.50 row",
       R"("product_id": 77, "software_version": 355, "description": "eTrex", "serial_number": 1)",
       true,
       S_OK,
       S_OK,
       0,
       "device-Garmin-77-1",
       {{'D', 103}, {'A', 300}},
       {{'A', 400}, {'D', 403}},
       {14}},
      {"product 77 at 3.00 takes the 0.00 row",
       R"("product_id": 77, "software_version": 300, "description": "eTrex", "serial_number": 1)",
       true,
       S_OK,
       S_OK,
       0,
       "device-Garmin-77-1",
       {{'D', 100}, {'A', 400}, {'D', 400}},
       {{'D', 403}},
       {14}},
      {"not in the table and no protocol array",
       fr + R"("serial_number": 1)",
       false,
       S_OK,
       HR_TIMEOUT,
       IDS_ERR_SERIAL_READ,
       nullptr,
       {},
       {{'L', 1}},
       {0}},
      {"L002 protocol array",
       R"("product_id": 20, "software_version": 100, "description": "GPS 12", "serial_number": 1,
          "protocols": ["P000", "L002", "A011", "A100:D150"])",
       false,
       HR_UNSUPPORTED_LINK,
       S_OK,
       IDS_ERR_LINK_PROTOCOL,
       nullptr,
       {{'L', 2}},
       {{'L', 1}},
       {0}},
      {"serial number 0",
       fr + R"("serial_number": 0, )" + frp,
       true,
       S_OK,
       S_OK,
       0,
       "device-Garmin-484",
       {{'L', 1}},
       {},
       {14}},
      {"serial-number command ignored",
       fr + frp,
       true,
       S_OK,
       S_OK,
       0,
       "device-Garmin-484",
       {{'L', 1}},
       {},
       {14, 14, 14, 14, 14}},  // every try of the retry count goes unanswered
      {"packet 248 before the protocol array",
       fr + R"("serial_number": 5, "faults": {"packet_248_before_protocol_array": true}, )" + frp,
       true,
       S_OK,
       S_OK,
       0,
       "device-Garmin-484-5",
       {{'A', 301}},
       {},
       {14}},
      {"only the second product request answered",
       fr + R"("serial_number": 5, "faults": {"answer_second_product_request_only": true}, )" + frp,
       true,
       S_OK,
       S_OK,
       0,
       "device-Garmin-484-5",
       {{'A', 301}},
       {},
       {14}},
      {"garbage between frames",
       fr + R"("serial_number": 5, "faults": {"garbage_between_frames": true}, )" + frp,
       true,
       S_OK,
       S_OK,
       0,
       "device-Garmin-484-5",
       {{'A', 301}},
       {},
       {14}},
      {"bad checksum on the product data",
       fr + R"("serial_number": 5, "faults": {"bad_checksum_on_sent": 1}, "link": {"ack_timeout_ms": 50}, )" +
           frp,
       true,
       S_OK,
       S_OK,
       0,
       "device-Garmin-484-5",
       {{'A', 301}},
       {},
       {14}},
      {"product request answered with a NAK first",
       fr + R"("serial_number": 5, "faults": {"nak_host_packet": 1}, )" + frp,
       true,
       S_OK,
       S_OK,
       0,
       "device-Garmin-484-5",
       {{'A', 301}},
       {},
       {14}},
      {"silent receiver",
       fr + R"("serial_number": 5, "faults": {"silent": true}, )" + frp,
       false,
       S_OK,
       HR_TIMEOUT,
       IDS_ERR_SERIAL_READ,
       nullptr,
       {},
       {},
       {0}},
  };
}

TEST(ValidateDeviceSim, IdentifiesTheReceiverAndItsProtocols) {
  for (const ValidateCase& c : Cases()) {
    SCOPED_TRACE(c.legend);
    std::string error;
    auto sim = CGarminSim::FromJson("{" + c.scenario + "}", &error);
    ASSERT_NE(sim, nullptr) << error;
    std::string port;
    ASSERT_TRUE(sim->StartSerial(port)) << sim->LastError();

    CGpsGarminSerial gps;
    gps.SetDevicePath(port);
    gps.SetFriendlyName("Simulated receiver");
    gps.SetTimeout(kTimeoutMs);
    EXPECT_EQ(gps.OpenGpsDevice(GPS_DIRECTION_TX), c.valid);
    EXPECT_EQ(gps.GetErrorCode(), c.gpsError);
    EXPECT_EQ(gps.GetLastError(), c.commsError);
    if (c.message != 0) {
      const std::string& text = c.gpsError != S_OK ? gps.GetErrorText() : gps.GetErrorMessage();
      EXPECT_EQ(text, LoadString(c.message));
    }
    // A failed validation leaves the port closed; a good one leaves it open.
    EXPECT_EQ(gps.IsOpen(), c.valid);
    if (c.prefix != nullptr) {
      EXPECT_EQ(gps.GetDataSet().prefix, c.prefix);
      EXPECT_EQ(gps.GetDataSet().deviceName, "Garmin");
    }
    for (const ProtocolTag& tag : c.supported) {
      EXPECT_TRUE(gps.IsProtocolSupported(tag)) << FormatProtocolTag(tag);
    }
    for (const ProtocolTag& tag : c.unsupported) {
      EXPECT_FALSE(gps.IsProtocolSupported(tag)) << FormatProtocolTag(tag);
    }
    EXPECT_TRUE(gps.CloseGpsDevice());
    sim->Stop();
    EXPECT_EQ(sim->HostCommands(), c.commands);
    EXPECT_EQ(sim->HostBadFrames(), 0u);
  }
}

TEST(ValidateDeviceSim, IdentityTextsOfTheReceiver) {
  auto sim = CGarminSim::FromJson(std::string("{") + kForerunner + R"("serial_number": 77, )" +
                                  kForerunnerProtocols + "}");
  ASSERT_NE(sim, nullptr);
  std::string port;
  ASSERT_TRUE(sim->StartSerial(port));
  CGpsGarminSerial gps;
  gps.SetDevicePath(port);
  gps.SetTimeout(kTimeoutMs);
  ASSERT_TRUE(gps.OpenGpsDevice(GPS_DIRECTION_RX));
  const CGpsDataSet& set = gps.GetDataSet();
  EXPECT_EQ(set.deviceDescription, "Forerunner305 Software Version 3.50");
  EXPECT_EQ(set.productId, "484");
  EXPECT_EQ(set.firmwareVersion, "3.50");
  EXPECT_EQ(set.serialNumber, "77");
  EXPECT_EQ(gps.GetProtocolCount(), 10u);
  // A second validation on the same object starts afresh.
  ASSERT_TRUE(gps.OpenGpsDevice(GPS_DIRECTION_RX));
  EXPECT_EQ(set.prefix, "device-Garmin-484-77");
}

}  // namespace
