// Opening, holding and closing a serial port: a pseudo-terminal stands in for
// the COM port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "PtyPeer.h"
#include "link/CommsSerial.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "support/TestEnv.h"

namespace {

struct OpenFailure {
  const char* legend;
  std::string path;
  HRESULT error;
};

TEST(CommsSerial, OpenFailuresKeepTheCodeAndMessage) {
  qvtest::CTempDir dir;
  const std::string plainFile = (dir.Path() / "not-a-tty").string();
  qvtest::WriteFile(plainFile, "x");
  const OpenFailure cases[] = {
      {"empty path", "", E_INVALIDARG},
      {"missing device", (dir.Path() / "ttyUSB9").string(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
      {"not a terminal", plainFile, HRESULT_FROM_WIN32(Win32FromErrno(ENOTTY))},
  };
  for (const OpenFailure& c : cases) {
    SCOPED_TRACE(c.legend);
    CCommsSerial port;
    port.SetDevicePath(c.path);
    EXPECT_FALSE(port.OpenCommsDevice());
    EXPECT_EQ(port.GetLastError(), c.error);
    EXPECT_EQ(port.GetErrorMessage(), LoadString(IDS_ERR_SERIAL_OPEN));
    EXPECT_FALSE(port.IsOpen());
  }
}

TEST(CommsSerial, WriteAndReadNeedAnOpenPort) {
  CCommsSerial port;
  const uint8_t byte = 1;
  EXPECT_FALSE(port.WriteCommsDevice(&byte, 1));
  EXPECT_EQ(port.GetLastError(), E_HANDLE);
  EXPECT_EQ(port.GetErrorMessage(), LoadString(IDS_ERR_SERIAL_WRITE));
  uint8_t buffer[4];
  unsigned got = 7;
  EXPECT_FALSE(port.ReadCommsDevice(buffer, sizeof buffer, got));
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(port.CloseCommsDevice());
}

TEST(CommsSerial, PortIsHeldExclusivelyUntilClosed) {
  linktest::CPtyPeer peer;
  CCommsSerial first;
  CCommsSerial second;
  first.SetDevicePath(peer.SlavePath());
  second.SetDevicePath(peer.SlavePath());
  ASSERT_TRUE(first.OpenCommsDevice());
  EXPECT_FALSE(CSerialPort::IsAvailable(peer.SlavePath()));
  EXPECT_FALSE(second.OpenCommsDevice());
  EXPECT_EQ(second.GetLastError(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(first.CloseCommsDevice());
  EXPECT_TRUE(first.CloseCommsDevice());
  EXPECT_TRUE(CSerialPort::IsAvailable(peer.SlavePath()));
  EXPECT_TRUE(second.OpenCommsDevice());
  // Opening again closes first and starts afresh.
  EXPECT_TRUE(second.OpenCommsDevice());
}

TEST(CommsSerial, LineIsRawWhileOpenAndRestoredAtClose) {
  linktest::CPtyPeer peer;
  const int watcher = open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(watcher, 0);
  termios before{};
  ASSERT_EQ(tcgetattr(watcher, &before), 0);
  ASSERT_NE(before.c_lflag & ICANON, 0u);

  CCommsSerial port;
  port.SetDevicePath(peer.SlavePath());
  ASSERT_TRUE(port.OpenCommsDevice());
  termios raw{};
  ASSERT_EQ(tcgetattr(watcher, &raw), 0);
  EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(raw.c_iflag & (ICRNL | IXON | IXOFF), 0u);
  EXPECT_EQ(raw.c_oflag & OPOST, 0u);
  EXPECT_EQ(raw.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(raw.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(cfgetospeed(&raw), static_cast<speed_t>(B9600));

  // Bytes that a line discipline would translate arrive untouched.
  const std::vector<uint8_t> binary{0x0D, 0x0A, 0x11, 0x13, 0x03, 0x7F, 0x00};
  peer.Write(binary);
  std::vector<uint8_t> got;
  while (got.size() < binary.size()) {
    uint8_t buffer[16];
    unsigned n = 0;
    ASSERT_TRUE(port.ReadCommsDevice(buffer, sizeof buffer, n));
    got.insert(got.end(), buffer, buffer + n);
  }
  EXPECT_EQ(got, binary);

  EXPECT_TRUE(port.CloseCommsDevice());
  termios after{};
  ASSERT_EQ(tcgetattr(watcher, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  close(watcher);
}

}  // namespace
