// The USB port and engine over a scripted transport: each test lays out what
// the receiver's pipes deliver, transfer by transfer, and looks at what the
// host wrote, how often it read and what it stored. The simulated receiver
// (GpsGarminUsbSimTest) covers whole conversations; this covers the cuts and
// faults a simulator does not produce on purpose.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "garmin/GarminErrors.h"
#include "garmin/GarminIds.h"
#include "link/GpsGarminUsb.h"
#include "link/UsbPacket.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "support/TestEnv.h"
#include "util/TraceLog.h"

namespace {

using Bytes = std::vector<uint8_t>;

// What the scripted receiver's pipes hold and what the host did with them.
struct UsbScript {
  std::deque<Bytes> interrupt;  // one entry per USB transfer
  std::deque<Bytes> bulk;
  std::vector<Bytes> writes;
  uint32_t openError = ERROR_SUCCESS;
  uint32_t writeError = ERROR_SUCCESS;
  // Reads that bring bytes also report a timeout, as a transfer does whose
  // last USB packet was full.
  bool timeoutWithData = false;
  int interruptReads = 0;
  int bulkReads = 0;
  std::vector<size_t> bulkSizes;  // what each bulk read asked for
  bool open = false;
};

// A transport that plays the script. An empty pipe times out at once.
class CScriptedUsbTransport : public CUsbTransport {
public:
  explicit CScriptedUsbTransport(std::shared_ptr<UsbScript> script) : m_script(std::move(script)) {}

  uint32_t Open(const std::string&) override {
    m_script->open = m_script->openError == ERROR_SUCCESS;
    return m_script->openError;
  }
  void Close() override { m_script->open = false; }
  bool IsOpen() const override { return m_script->open; }
  uint32_t Write(const uint8_t* data, size_t length, unsigned) override {
    if (m_script->writeError != ERROR_SUCCESS) return m_script->writeError;
    m_script->writes.emplace_back(data, data + length);
    return ERROR_SUCCESS;
  }
  uint32_t ReadInterrupt(uint8_t* buffer, size_t size, size_t& got, unsigned) override {
    ++m_script->interruptReads;
    return _Read(m_script->interrupt, buffer, size, got, m_script->timeoutWithData);
  }
  uint32_t ReadBulk(uint8_t* buffer, size_t size, size_t& got, unsigned) override {
    ++m_script->bulkReads;
    m_script->bulkSizes.push_back(size);
    return _Read(m_script->bulk, buffer, size, got, m_script->timeoutWithData);
  }

private:
  static uint32_t _Read(std::deque<Bytes>& pipe, uint8_t* buffer, size_t size, size_t& got,
                        bool timeoutWithData) {
    got = 0;
    if (pipe.empty()) return ERROR_TIMEOUT;
    Bytes& head = pipe.front();
    // A transfer larger than the buffer is delivered across several reads.
    got = std::min(size, head.size());
    std::copy(head.begin(), head.begin() + static_cast<long>(got), buffer);
    head.erase(head.begin(), head.begin() + static_cast<long>(got));
    if (head.empty()) pipe.pop_front();
    return timeoutWithData ? ERROR_TIMEOUT : ERROR_SUCCESS;
  }

  std::shared_ptr<UsbScript> m_script;
};

Bytes Packet(uint8_t type, uint16_t id, const Bytes& data = {}) {
  Bytes packet(USB_PACKET_HEADER_SIZE + data.size());
  EncodeUsbPacket(type, id, data.data(), data.size(), packet.data());
  return packet;
}

Bytes App(uint16_t id, const Bytes& data = {}) {
  return Packet(USB_PACKET_TYPE_APPLICATION, id, data);
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Bytes kSessionStarted =
    Packet(USB_PACKET_TYPE_PROTOCOL, TRANS_PID_SESSION_STARTED, {0x78, 0x56, 0x34, 0x12});
const Bytes kStartSession = Packet(USB_PACKET_TYPE_PROTOCOL, PID_START_SESSION);

Bytes ProductData() {
  Bytes data = {0xE4, 0x01, 0x5E, 0x01};  // product 484, version 3.50
  for (char c : std::string("Forerunner305")) data.push_back(static_cast<uint8_t>(c));
  data.push_back(0);
  return App(APP_PID_PRODUCT_DATA, data);
}

Bytes ProtocolArray() {
  return App(APP_PID_PROTOCOL_ARRAY, {'P', 0, 0, 'L', 1, 0, 'A', 10, 0, 'A', 0x2D, 0x01, 'D', 0x36, 0x01});
}

// Everything a receiver answers from session start to the end of validation.
void QueueIdentity(UsbScript& script) {
  script.interrupt.push_back(kSessionStarted);
  script.interrupt.push_back(ProductData());
  script.interrupt.push_back(ProtocolArray());
  script.interrupt.push_back(App(APP_PID_SERIAL_NUM, {0x39, 0x30, 0, 0}));  // 12345
}

// Exposes the packet writer with its packet type.
class CTypedUsbEngine : public CGpsGarminUsb {
public:
  using CGpsGarminUsb::_TransmitPacket;
};

class GpsGarminUsb : public ::testing::Test {
protected:
  void SetUp() override {
    m_gps.SetTimeout(50);
    m_gps.SetDevicePath("usb:001:002");
    m_gps.SetTransportFactory(
        [script = m_script](const std::string&) { return std::make_unique<CScriptedUsbTransport>(script); });
  }

  // Opens only the port, without session and validation.
  void OpenPort() { ASSERT_TRUE(m_gps.OpenCommsDevice()); }

  std::vector<uint32_t> ReceiveIds(size_t count) {
    std::vector<uint32_t> ids;
    for (size_t i = 0; i < count && m_gps.ReceivePacket(); ++i) ids.push_back(m_gps.GetPacket().id);
    return ids;
  }

  std::shared_ptr<UsbScript> m_script = std::make_shared<UsbScript>();
  CTypedUsbEngine m_gps;
};

TEST(CommsUsb, CarriesTheGarminUsbGuids) {
  CCommsUsb usb;
  EXPECT_EQ(usb.GetClassGuidText(), "{2c9c45c2-8e7d-4c08-a12d-816bbae722c0}");
  EXPECT_TRUE(usb.GetInterfaceGuidText().empty());
  EXPECT_TRUE(usb.GetInterfaceGuid().IsNull());
  EXPECT_EQ(usb.GetTimeout(), 500u);
}

TEST_F(GpsGarminUsb, ReadsRepeatUntilTheMinimumAndReportEachFailure) {
  struct Case {
    const char* legend;
    bool bulk;
    bool open;
    bool timeoutWithData;
    uint32_t code;  // control code of the interrupt read
    std::vector<Bytes> transfers;
    unsigned size;
    unsigned minimum;
    bool ok;
    unsigned total;
    int reads;
    HRESULT error;
  };
  const Bytes four = {1, 2, 3, 4};
  constexpr uint32_t kIn = CCommsUsb::IOCTL_ASYNC_IN;
  // clang-format off
  const std::vector<Case> cases = {
      // legend, bulk, open, timeoutWithData, code, transfers, size, minimum, ok, total, reads, error
      {"interrupt: three transfers for ten bytes", false, true, false, kIn, {four, four, four}, 64, 10, true, 12, 3, S_OK},
      {"bulk: three transfers for ten bytes", true, true, false, 0, {four, four, four}, 64, 10, true, 12, 3, S_OK},
      {"zero-length transfers are read past", true, true, false, 0, {{}, four, {}, four}, 64, 8, true, 8, 4, S_OK},
      {"a transfer larger than the buffer comes in parts", false, true, false, kIn, {Bytes(10, 7)}, 6, 6, true, 6, 1, S_OK},
      {"bytes that came with a timeout are kept", false, true, true, kIn, {four, four, four}, 64, 10, true, 12, 3, S_OK},
      {"interrupt: the pipe falls silent", false, true, false, kIn, {four}, 64, 12, false, 4, 2, HR_TIMEOUT},
      {"bulk: the pipe falls silent", true, true, false, 0, {}, 64, 1, false, 0, 1, HR_TIMEOUT},
      {"a timeout without bytes still fails", true, true, true, 0, {four}, 64, 8, false, 4, 2, HR_TIMEOUT},
      {"an unknown control code", false, true, false, 0x222144, {four}, 64, 4, false, 0, 0,
       HRESULT_FROM_WIN32(ERROR_INVALID_FUNCTION)},
      {"a minimum beyond the buffer", true, true, false, 0, {four}, 8, 9, false, 0, 0,
       HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)},
      {"interrupt: no port open", false, false, false, kIn, {four}, 64, 4, false, 0, 0, E_HANDLE},
      {"bulk: no port open", true, false, false, 0, {four}, 64, 4, false, 0, 0, E_HANDLE},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    *m_script = UsbScript{};
    m_script->timeoutWithData = c.timeoutWithData;
    (c.bulk ? m_script->bulk : m_script->interrupt).assign(c.transfers.begin(), c.transfers.end());
    m_gps.CloseCommsDevice();
    if (c.open) OpenPort();
    Bytes buffer(c.size);
    unsigned total = 99;
    const bool ok = c.bulk ? m_gps.ReadCommsDevice(buffer.data(), c.size, c.minimum, total)
                           : m_gps.ReadCommsDeviceIo(c.code, buffer.data(), c.size, c.minimum, total);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(total, c.total);
    EXPECT_EQ(c.bulk ? m_script->bulkReads : m_script->interruptReads, c.reads);
    EXPECT_EQ(m_gps.GetLastError(), c.error);
    EXPECT_EQ(m_gps.GetErrorMessage(), c.ok ? std::string() : LoadString(IDS_ERR_USB_READ));
  }
  unsigned got = 0;
  uint8_t byte = 0;
  EXPECT_FALSE(m_gps.ReadCommsDevice(&byte, 1, got)) << "a read without pipe and minimum";
  EXPECT_EQ(m_gps.GetErrorMessage(), LoadString(IDS_ERR_USB_READ));
}

TEST_F(GpsGarminUsb, WritesAndOpensReportThePortsOwnErrors) {
  struct Case {
    const char* legend;
    std::string path;
    uint32_t openError;
    uint32_t writeError;
    bool opened;
    HRESULT error;
    unsigned message;
  };
  const std::vector<Case> cases = {
      {"a write that goes through", "usb:001:002", 0, 0, true, S_OK, 0},
      {"the write times out", "usb:001:002", 0, ERROR_TIMEOUT, true, HR_TIMEOUT, IDS_ERR_USB_WRITE},
      {"the receiver was unplugged", "usb:001:002", 0, ERROR_DEVICE_NOT_CONNECTED, true,
       HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED), IDS_ERR_USB_WRITE},
      {"the device cannot be opened", "usb:001:002", ERROR_ACCESS_DENIED, 0, false,
       HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), IDS_ERR_USB_OPEN},
      {"no device path", "", 0, 0, false, E_INVALIDARG, IDS_ERR_USB_OPEN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    *m_script = UsbScript{};
    m_script->openError = c.openError;
    m_script->writeError = c.writeError;
    m_gps.SetDevicePath(c.path);
    const bool opened = m_gps.OpenCommsDevice();
    EXPECT_EQ(opened, c.opened);
    if (opened) {
      EXPECT_EQ(m_gps.WriteCommsDevice(kStartSession.data(), 12), c.writeError == 0);
    }
    EXPECT_EQ(m_gps.GetLastError(), c.error);
    EXPECT_EQ(m_gps.GetErrorMessage(), c.message ? LoadString(c.message) : std::string());
    m_gps.CloseCommsDevice();
  }
  EXPECT_FALSE(m_gps.WriteCommsDevice(kStartSession.data(), 12)) << "closed";
  EXPECT_EQ(m_gps.GetLastError(), E_HANDLE);
  EXPECT_EQ(m_gps.GetErrorMessage(), LoadString(IDS_ERR_USB_WRITE));
}

TEST_F(GpsGarminUsb, SessionStartDecidesWhetherTheReceiverIsTalkedTo) {
  struct Case {
    const char* legend;
    std::vector<Bytes> reply;  // interrupt transfers after the start-session request
    uint32_t writeError;
    bool valid;
    HRESULT gpsError;
    unsigned gpsMessage;
    HRESULT commsError;
  };
  const std::vector<Case> cases = {
      {"session started, then validation", {}, 0, true, S_OK, 0, S_OK},
      {"an application packet instead of the session reply",
       {Packet(USB_PACKET_TYPE_APPLICATION, TRANS_PID_SESSION_STARTED, {1, 2, 3, 4})},
       0,
       false,
       HR_READ_FAULT,
       IDS_ERR_USB_CONNECT,
       S_OK},
      {"a session reply of 2 bytes",
       {Packet(USB_PACKET_TYPE_PROTOCOL, TRANS_PID_SESSION_STARTED, {1, 2})},
       0,
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       S_OK},
      {"a session reply of 6 bytes",
       {Packet(USB_PACKET_TYPE_PROTOCOL, TRANS_PID_SESSION_STARTED, {1, 2, 3, 4, 5, 6})},
       0,
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       S_OK},
      {"a protocol-layer packet of another id",
       {Packet(USB_PACKET_TYPE_PROTOCOL, 7, {1, 2, 3, 4})},
       0,
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       S_OK},
      {"no reply at all", {}, 0, false, HR_READ_FAULT, IDS_ERR_USB_CONNECT, HR_TIMEOUT},
      {"the request cannot be written",
       {},
       ERROR_DEVICE_NOT_CONNECTED,
       false,
       HRESULT_FROM_WIN32(ERROR_WRITE_FAULT),
       IDS_ERR_USB_CONNECT,
       HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    *m_script = UsbScript{};
    m_script->writeError = c.writeError;
    if (c.valid) {
      QueueIdentity(*m_script);
    } else {
      m_script->interrupt.assign(c.reply.begin(), c.reply.end());
    }
    EXPECT_EQ(m_gps.OpenGpsDevice(GPS_DIRECTION_RX), c.valid);
    EXPECT_EQ(m_gps.GetErrorCode(), c.gpsError);
    EXPECT_EQ(m_gps.GetErrorText(), c.gpsMessage ? LoadString(c.gpsMessage) : std::string());
    EXPECT_EQ(m_gps.GetLastError(), c.commsError);
    EXPECT_EQ(m_gps.IsOpen(), c.valid) << "a failed open leaves the port closed";
    if (c.writeError == 0) {
      ASSERT_FALSE(m_script->writes.empty());
      EXPECT_EQ(m_script->writes.front(), kStartSession);
    }
    if (c.valid) {
      EXPECT_EQ(m_gps.GetUnitId(), 0x12345678u);
      EXPECT_EQ(m_gps.GetDataSet().prefix, "device-Garmin-484-12345");
      EXPECT_TRUE(m_gps.IsProtocolSupported('A', 301));
      // Product request, then the serial-number command; no acknowledgements.
      ASSERT_EQ(m_script->writes.size(), 3u);
      EXPECT_EQ(m_script->writes[1], App(APP_PID_PRODUCT_RQST));
      EXPECT_EQ(m_script->writes[2], App(APP_PID_COMMAND_DATA, {CMD_TRANSFER_SERIAL_NUM, 0}));
    }
    m_gps.CloseGpsDevice();
  }
}

TEST_F(GpsGarminUsb, TransmitTakesAtMost1024DataBytesOfTypes0And20) {
  OpenPort();
  struct Case {
    const char* legend;
    unsigned type;
    unsigned size;
    bool sent;
  };
  const std::vector<Case> cases = {
      {"1024 data bytes", 20, 1024, true},
      {"1025 data bytes", 20, 1025, false},
      {"protocol layer", 0, 0, true},
      {"an unknown packet type", 1, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    m_script->writes.clear();
    m_gps.CGpsGarmin::ResetError();
    const Bytes data(c.size, 0x10);
    const bool sent = c.type == 20 ? m_gps.TransmitPacket(APP_PID_TRK_DATA, data.data(), c.size)
                                   : m_gps._TransmitPacket(c.type, PID_START_SESSION, data.data(), c.size);
    EXPECT_EQ(sent, c.sent);
    if (c.sent) {
      ASSERT_EQ(m_script->writes.size(), 1u) << "one write per packet";
      EXPECT_EQ(m_script->writes[0].size(), 12u + c.size);
      EXPECT_EQ(m_script->writes[0][0], c.type);
      EXPECT_EQ(m_gps.GetErrorCode(), S_OK);
    } else {
      EXPECT_TRUE(m_script->writes.empty());
      EXPECT_EQ(m_gps.GetErrorCode(), E_INVALIDARG);
      EXPECT_EQ(m_gps.GetErrorText(), LoadString(IDS_ERR_INTERNAL));
    }
  }
  EXPECT_TRUE(m_gps.TransmitCommand(CMD_TRANSFER_TRK));
  EXPECT_EQ(m_script->writes.back(), App(APP_PID_COMMAND_DATA, {6, 0}));
}

TEST_F(GpsGarminUsb, AWholeTransferIsQueuedAndHandedOutWithoutFurtherReads) {
  OpenPort();
  const Bytes point(24, 0x22);
  // The transfer cut into 64-byte interrupt transfers, as the endpoint sends it.
  const Bytes stream =
      Join({App(APP_PID_RECORDS, {3, 0}), App(APP_PID_TRK_HDR, Bytes(70, 'T')), App(APP_PID_TRK_DATA, point),
            App(APP_PID_TRK_DATA, point), App(APP_PID_XFER_CMPLT, {6, 0})});
  for (size_t at = 0; at < stream.size(); at += 64) {
    m_script->interrupt.emplace_back(stream.begin() + static_cast<long>(at),
                                     stream.begin() + static_cast<long>(std::min(at + 64, stream.size())));
  }
  const size_t transfers = m_script->interrupt.size();
  m_script->interrupt.push_back(App(APP_PID_PRODUCT_DATA, {1, 0, 0, 0, 0}));  // not part of the transfer

  ASSERT_TRUE(m_gps.ReceivePacket());
  EXPECT_EQ(m_gps.GetPacket().id, APP_PID_RECORDS);
  EXPECT_EQ(m_gps.GetPacket().type, 20u);
  EXPECT_EQ(m_gps.GetQueuedPacketCount(), 5u);
  const int readsForTransfer = m_script->interruptReads;
  EXPECT_GE(readsForTransfer, static_cast<int>(transfers));
  EXPECT_EQ(m_script->interrupt.size(), 1u) << "the packet after the transfer stays in the pipe";

  EXPECT_EQ(ReceiveIds(4),
            (std::vector<uint32_t>{APP_PID_TRK_HDR, APP_PID_TRK_DATA, APP_PID_TRK_DATA, APP_PID_XFER_CMPLT}));
  EXPECT_EQ(m_script->interruptReads, readsForTransfer) << "no I/O while packets are queued";
  EXPECT_EQ(m_gps.GetPacket().size, 2u);
  ASSERT_NE(m_gps.GetPacket().data, nullptr);
  EXPECT_EQ(m_gps.GetPacket().data[0], 6);

  ASSERT_TRUE(m_gps.ReceivePacket()) << "the queue is empty again: the pipe is read";
  EXPECT_EQ(m_gps.GetPacket().id, APP_PID_PRODUCT_DATA);
  EXPECT_GT(m_script->interruptReads, readsForTransfer);
}

TEST_F(GpsGarminUsb, TwoPacketsInOneReadAreBothQueued) {
  OpenPort();
  m_script->interrupt.push_back(Join({ProductData(), ProtocolArray()}));
  ASSERT_TRUE(m_gps.ReceivePacket());
  EXPECT_EQ(m_gps.GetPacket().id, APP_PID_PRODUCT_DATA);
  EXPECT_EQ(m_gps.GetQueuedPacketCount(), 2u);
  const int reads = m_script->interruptReads;
  ASSERT_TRUE(m_gps.ReceivePacket());
  EXPECT_EQ(m_gps.GetPacket().id, APP_PID_PROTOCOL_ARRAY);
  EXPECT_EQ(m_gps.GetPacket().size, 15u);
  EXPECT_EQ(m_script->interruptReads, reads);
}

TEST_F(GpsGarminUsb, DataAvailableSwitchesToTheBulkPipeForTheRestOfTheSession) {
  OpenPort();
  m_script->interrupt.push_back(Packet(USB_PACKET_TYPE_PROTOCOL, TRANS_PID_DATA_AVAILABLE));
  m_script->interrupt.push_back(App(APP_PID_PRODUCT_DATA, {9, 0, 0, 0, 0}));  // must never be read
  m_script->bulk.push_back(App(APP_PID_RECORDS, {2, 0}));
  // Bulk reads may bring several packets, and end inside one.
  const Bytes pair = Join({App(APP_PID_TRK_DATA, Bytes(24, 1)), App(APP_PID_TRK_DATA, Bytes(24, 2))});
  const Bytes complete = App(APP_PID_XFER_CMPLT, {6, 0});
  m_script->bulk.push_back(Join({pair, Bytes(complete.begin(), complete.begin() + 5)}));
  m_script->bulk.push_back(Bytes(complete.begin() + 5, complete.end()));
  m_script->bulk.push_back({});  // end of the burst
  m_script->bulk.push_back(App(APP_PID_SERIAL_NUM, {1, 0, 0, 0}));

  EXPECT_EQ(ReceiveIds(4),
            (std::vector<uint32_t>{APP_PID_RECORDS, APP_PID_TRK_DATA, APP_PID_TRK_DATA, APP_PID_XFER_CMPLT}))
      << "the announcement is not handed out";
  EXPECT_TRUE(m_gps.IsBulkMode());
  EXPECT_EQ(m_script->interruptReads, 1);
  EXPECT_EQ(m_gps.GetPacket().data[0], 6);
  for (size_t size : m_script->bulkSizes) EXPECT_EQ(size % 64, 0u) << "whole endpoint packets: " << size;

  ASSERT_TRUE(m_gps.ReceivePacket()) << "the next reply comes on the bulk pipe too";
  EXPECT_EQ(m_gps.GetPacket().id, APP_PID_SERIAL_NUM);
  EXPECT_EQ(m_script->interruptReads, 1);
  EXPECT_EQ(m_script->interrupt.size(), 1u);

  // Bulk mode lasts until the next open.
  m_gps.CloseGpsDevice();
  *m_script = UsbScript{};
  QueueIdentity(*m_script);
  ASSERT_TRUE(m_gps.OpenGpsDevice(GPS_DIRECTION_RX));
  EXPECT_FALSE(m_gps.IsBulkMode());
}

TEST_F(GpsGarminUsb, APacketLargerThanTheReadBufferIsRefusedAndNothingQueued) {
  struct Case {
    const char* legend;
    bool bulk;
    uint32_t dataSize;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {"interrupt, 2036 data bytes", false, 2036, true},
      {"interrupt, 2037 data bytes", false, 2037, false},
      {"bulk, 2036 data bytes", true, 2036, true},
      {"bulk, 2037 data bytes", true, 2037, false},
      {"bulk, a size that would wrap around", true, 0xFFFFFFFFu, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    *m_script = UsbScript{};
    m_gps.CloseGpsDevice();
    OpenPort();
    m_gps.CGpsGarmin::ResetError();
    if (c.bulk) m_script->interrupt.push_back(Packet(USB_PACKET_TYPE_PROTOCOL, TRANS_PID_DATA_AVAILABLE));
    Bytes packet = App(APP_PID_TRK_DATA);
    for (int i = 0; i < 4; ++i) packet[8 + i] = static_cast<uint8_t>(c.dataSize >> (8 * i));
    const bool sane = c.dataSize < 4096;  // the receiver really sends that much
    if (sane) packet.resize(packet.size() + c.dataSize, 0x33);
    auto& pipe = c.bulk ? m_script->bulk : m_script->interrupt;
    pipe.push_back(packet);
    if (sane) pipe.push_back(App(APP_PID_XFER_CMPLT, {6, 0}));
    EXPECT_EQ(m_gps.ReceivePacket(), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(m_gps.GetPacket().size, c.dataSize);
      EXPECT_EQ(m_gps.GetPacket().data[c.dataSize - 1], 0x33);
    } else {
      EXPECT_EQ(m_gps.GetErrorCode(), HR_BUFFER_OVERFLOW);
      EXPECT_EQ(m_gps.GetErrorText(), LoadString(IDS_ERR_BAD_PACKET));
      EXPECT_EQ(m_gps.GetQueuedPacketCount(), 0u);
      EXPECT_EQ(m_gps.GetPacket().data, nullptr);
    }
    if (sane) {
      // The rest of a refused packet was read out: the next reply is whole.
      m_gps.CGpsGarmin::ResetError();
      ASSERT_TRUE(m_gps.ReceivePacket());
      EXPECT_EQ(m_gps.GetPacket().id, APP_PID_XFER_CMPLT);
    }
  }
}

TEST_F(GpsGarminUsb, ATransferThatNeverEndsIsRefusedOnceItWouldHoldTooMuch) {
  OpenPort();
  m_script->interrupt.push_back(App(APP_PID_RECORDS, {100, 0}));
  for (int i = 0; i < 9000; ++i) m_script->interrupt.push_back(App(APP_PID_TRK_DATA, Bytes(2036, 7)));
  EXPECT_FALSE(m_gps.ReceivePacket());
  EXPECT_EQ(m_gps.GetErrorCode(), HR_BUFFER_OVERFLOW);
  EXPECT_EQ(m_gps.GetErrorText(), LoadString(IDS_ERR_UNEXPECTED_PACKET));
  EXPECT_GT(m_script->interrupt.size(), 0u) << "reading stopped before the end";
}

int AbortAfterFirstCall(void* calls, int) {
  return ++*static_cast<int*>(calls) > 1 ? 0 : 1;
}

TEST_F(GpsGarminUsb, AUserAbortInsideATransferStopsWithoutAnErrorAndCloseFreesTheQueue) {
  OpenPort();
  m_script->interrupt.push_back(App(APP_PID_RECORDS, {100, 0}));
  for (int i = 0; i < 100; ++i) m_script->interrupt.push_back(App(APP_PID_TRK_DATA, Bytes(24, 9)));
  m_script->interrupt.push_back(App(APP_PID_XFER_CMPLT, {6, 0}));
  int calls = 0;
  m_gps.SetRxProgressCallback(AbortAfterFirstCall, &calls);
  m_gps.ProgressReset(GPS_DIRECTION_RX);

  EXPECT_FALSE(m_gps.ReceivePacket());
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(m_gps.GetErrorCode(), S_OK);
  EXPECT_EQ(m_gps.GetLastError(), S_OK);
  EXPECT_GT(m_gps.GetQueuedPacketCount(), 0u);
  EXPECT_GT(m_script->interrupt.size(), 90u) << "reading stops at the abort";

  EXPECT_TRUE(m_gps.CloseGpsDevice());
  EXPECT_EQ(m_gps.GetQueuedPacketCount(), 0u);
  EXPECT_EQ(m_gps.GetPacket().data, nullptr);
  EXPECT_FALSE(m_gps.IsOpen());
}

TEST_F(GpsGarminUsb, ABulkTransferCountsTowardProgressAndSeesTheCancel) {
  OpenPort();
  m_script->interrupt.push_back(Packet(USB_PACKET_TYPE_PROTOCOL, TRANS_PID_DATA_AVAILABLE));
  Bytes transfer = App(APP_PID_RECORDS, {100, 0});
  for (int i = 0; i < 60; ++i) transfer = Join({transfer, App(APP_PID_TRK_DATA, Bytes(20, 9))});
  m_script->bulk.push_back(transfer);
  int calls = 0;
  m_gps.SetRxProgressCallback(AbortAfterFirstCall, &calls);
  m_gps.ProgressReset(GPS_DIRECTION_RX);
  EXPECT_FALSE(m_gps.ReceivePacket());
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(m_gps.GetErrorCode(), S_OK);
  EXPECT_EQ(m_gps.GetLastError(), S_OK);
}

TEST_F(GpsGarminUsb, ARecordsPacketWithoutItsCountAnnouncesNothing) {
  OpenPort();
  m_script->interrupt.push_back(App(APP_PID_RECORDS, {5}));
  m_script->interrupt.push_back(App(APP_PID_XFER_CMPLT, {6, 0}));
  const int totalBefore = m_gps.GetProgressTotal();
  ASSERT_TRUE(m_gps.ReceivePacket());
  EXPECT_EQ(m_gps.GetPacket().size, 1u);
  EXPECT_EQ(m_gps.GetProgressTotal(), totalBefore);
  EXPECT_EQ(m_gps.GetQueuedPacketCount(), 2u);
}

// An engine on a fresh script, for the trace cases.
void OnScript(const std::function<void(UsbScript&)>& prepare,
              const std::function<void(CGpsGarminUsb&)>& body) {
  auto script = std::make_shared<UsbScript>();
  prepare(*script);
  CGpsGarminUsb gps;
  gps.SetTimeout(20);
  gps.SetDevicePath("usb:001:002");
  gps.SetTransportFactory(
      [script](const std::string&) { return std::make_unique<CScriptedUsbTransport>(script); });
  body(gps);
}

int RefuseProgress(void*, int) {
  return 0;
}

TEST(UsbTrace, FailuresAndStepsAreTraced) {
  struct TraceCase {
    const char* legend;
    std::function<void()> run;
    std::vector<std::string> lines;
  };
  qvtest::CTempDir dir;
  LogClose();
  ASSERT_TRUE(LogEnable(LOG_INFO, dir.Str()));
  const auto open = [](CGpsGarminUsb& gps) { gps.OpenGpsDevice(GPS_DIRECTION_RX); };
  const auto receive = [](CGpsGarminUsb& gps) {
    gps.OpenCommsDevice();
    gps.ReceivePacket();
  };
  const std::vector<TraceCase> cases = {
      {"the port cannot be opened",
       [&] { OnScript([](UsbScript& s) { s.openError = ERROR_ACCESS_DENIED; }, open); },
       {"CGpsGarminUsb::OpenGpsDevice()", "CCommsUsb::OpenCommsDevice()",
        "CCommsUsb::Open(): unable to open USB port. Error=5, path=usb:001:002"}},
      {"the session request cannot be written",
       [&] { OnScript([](UsbScript& s) { s.writeError = ERROR_TIMEOUT; }, open); },
       {"CGpsGarminUsb::_TransmitPacket()", "CCommsUsb::WriteCommsDevice WAIT_TIMEOUT",
        "CGpsGarminUsb::CloseGpsDevice()", "CCommsUsb::CloseCommsDevice()",
        "CGpsGarminUsb::Open(): TX: PID_START_SESSION "}},
      {"no session reply",
       [&] { OnScript([](UsbScript&) {}, open); },
       {"CGpsGarminUsb::ReceivePacket()",
        "CGpsGarminUsb::_ReadPackets() ---BEGIN--- waitingForAppPidXferCmplt=0",
        "CGpsGarminUsb::_ReadPackets() first=1, waitingForAppPidXferCmplt=0, nTotalBytesRead=0",
        "CCommsUsb::ReadCommsDeviceIo() overlapped read timeout, 0 total bytes read (12 requested)",
        "CGpsGarminUsb::ReceivePacket(): RX: interrupt packet",
        "CGpsGarminUsb::Open(): RX: PID_START_SESSION "}},
      {"a session reply of the wrong size",
       [&] {
         OnScript(
             [](UsbScript& s) {
               s.interrupt.push_back(Packet(0, TRANS_PID_SESSION_STARTED, {1, 2}));
             },
             open);
       },
       {"Process TRANS_PID_SESSION_STARTED", "TRANS_PID_SESSION_STARTED: ERROR_READ_FAULT",
        "CGpsGarminUsb::Open(): process session"}},
      {"a transfer on the interrupt pipe",
       [&] {
         OnScript(
             [](UsbScript& s) {
               // The first read brings the records packet and 5 bytes of the point's header.
               const Bytes stream = Join({App(APP_PID_RECORDS, {1, 0}), App(APP_PID_TRK_DATA, Bytes(24, 3))});
               s.interrupt.emplace_back(stream.begin(), stream.begin() + 19);
               s.interrupt.emplace_back(stream.begin() + 19, stream.begin() + 26);
               s.interrupt.emplace_back(stream.begin() + 26, stream.end());
               s.interrupt.push_back(App(APP_PID_XFER_CMPLT, {6, 0}));
             },
             receive);
       },
       {"CCommsUsb::ReadCommsDeviceIo() 19 bytes read overlapped, 19 total bytes read (12 requested)",
        "CGpsGarminUsb::_ReadPackets() Packet header: PID=27, nBytesRead=19, nDataSize=2, nTotalBytesRead=19",
        "CGpsGarminUsb::_ReadPackets(): RX: APP_PID_RECORDS 1",
        "CGpsGarminUsb::_ReadPackets(): Creating new packet 14 bytes",
        "CGpsGarminUsb::_ReadPackets(): New packet type=20, PID=27, datasize=2, num packets=1",
        "CGpsGarminUsb::_ReadPackets(): Move buffer: 5 bytes",
        "CGpsGarminUsb::_ReadPackets() first=0, waitingForAppPidXferCmplt=1, nTotalBytesRead=5",
        "CGpsGarminUsb::_ReadPackets() Reading packet data: nDataSize=24, nTotalBytesRead=12, nPacketSize=36",
        "CGpsGarminUsb::_ReadPackets() Packet data: bytes read=24",
        "CGpsGarminUsb::_ReadPackets(): RX: PID=34", "CGpsGarminUsb::_ReadPackets(): RX: APP_PID_XFER_CMPLT",
        "CGpsGarminUsb::_ReadPackets() ---END--- #read=3 #queue=3",
        "CGpsGarminUsb::ReceivePacket() pid=27, data=2"}},
      {"a transfer on the bulk pipe that stops",
       [&] {
         OnScript(
             [](UsbScript& s) {
               s.interrupt.push_back(Packet(0, TRANS_PID_DATA_AVAILABLE));
               s.bulk.push_back(App(APP_PID_RECORDS, {1, 0}));
             },
             [](CGpsGarminUsb& gps) {
               gps.OpenCommsDevice();
               gps.ReceivePacket();
               gps.ReceivePacket();
             });
       },
       {"CGpsGarminUsb::_ReadPackets(): RX: TRANS_PID_DATA_AVAILABLE", "CGpsGarminUsb::_ReadBulkPackets()",
        "CCommsUsb::ReadCommsDevice() 14 bytes read overlapped",
        "CCommsUsb::ReadCommsDevice() 14 total bytes read (12 requested)",
        "CGpsGarminUsb::_ReadBulkPackets() #read=1 #queue=1",
        "CCommsUsb::ReadCommsDevice(): overlapped read timeout",
        "CGpsGarminUsb::ReceivePacket(): RX: bulk packet"}},
      {"the user aborts",
       [&] {
         OnScript([](UsbScript& s) { s.interrupt.push_back(App(APP_PID_TRK_DATA, Bytes(24, 3))); },
                  [](CGpsGarminUsb& gps) {
                    gps.SetRxProgressCallback(RefuseProgress, nullptr);
                    gps.OpenCommsDevice();
                    gps.ReceivePacket();
                  });
       },
       {"CGpsGarminUsb::_ReadPackets(): ---END--- user aborted"}},
      {"commands",
       [&] {
         OnScript([](UsbScript&) {},
                  [](CGpsGarminUsb& gps) {
                    gps.OpenCommsDevice();
                    gps.TransmitCommand(CMD_TRANSFER_RUNS);
                  });
       },
       {"CGpsGarminUsb::TransmitCommand() 450", "CGpsGarminUsb::TransmitPacket()"}},
  };
  std::vector<size_t> ends;
  for (const TraceCase& c : cases) {
    c.run();
    ends.push_back(qvtest::ReadFile(LogPath()).size());
  }
  const std::string trace = qvtest::ReadFile(LogPath());
  LogClose();
  size_t begin = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].legend);
    const std::string part = trace.substr(begin, ends[i] - begin);
    begin = ends[i];
    for (const std::string& line : cases[i].lines) EXPECT_NE(part.find(line), std::string::npos) << line;
  }
}

}  // namespace
