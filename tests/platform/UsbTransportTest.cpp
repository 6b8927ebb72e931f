#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/UsbTransport.h"
#include "platform/UsbTransportLibusb.h"
#include "platform/Win32Errors.h"
#include "support/TestEnv.h"

namespace {

// The receiver's end of the socket, driven by the test itself.
class FakeReceiver {
public:
  explicit FakeReceiver(const std::string& path) {
    m_listen = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(m_listen, 1), 0);
  }
  ~FakeReceiver() {
    if (m_peer >= 0) close(m_peer);
    close(m_listen);
  }
  void Accept() { m_peer = accept(m_listen, nullptr, nullptr); }
  void Send(uint8_t pipe, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> message{pipe};
    for (int i = 0; i < 4; ++i) message.push_back(static_cast<uint8_t>(data.size() >> (8 * i)));
    message.insert(message.end(), data.begin(), data.end());
    ASSERT_EQ(send(m_peer, message.data(), message.size(), 0), static_cast<ssize_t>(message.size()));
  }
  std::vector<uint8_t> Receive(size_t n) {
    std::vector<uint8_t> data(n);
    size_t got = 0;
    while (got < n) {
      const ssize_t r = recv(m_peer, data.data() + got, n - got, 0);
      if (r <= 0) break;
      got += static_cast<size_t>(r);
    }
    data.resize(got);
    return data;
  }
  void Hangup() {
    close(m_peer);
    m_peer = -1;
  }

private:
  int m_listen = -1;
  int m_peer = -1;
};

class UsbSocketTransport : public ::testing::Test {
protected:
  void SetUp() override {
    path = (dir.Path() / "sim.sock").string();
    receiver = std::make_unique<FakeReceiver>(path);
    transport = CUsbTransport::Create("usbsim:" + path);
    ASSERT_EQ(transport->Open("usbsim:" + path), 0u);
    receiver->Accept();
  }
  qvtest::CTempDir dir;
  std::string path;
  std::unique_ptr<FakeReceiver> receiver;
  std::unique_ptr<CUsbTransport> transport;
};

TEST_F(UsbSocketTransport, WritesArriveFramedOnTheWritePipe) {
  const uint8_t packet[] = {0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_EQ(transport->Write(packet, sizeof packet, 500), 0u);
  const auto got = receiver->Receive(5 + sizeof packet);
  ASSERT_EQ(got.size(), 5 + sizeof packet);
  EXPECT_EQ(got[0], 'W');
  EXPECT_EQ(got[1], sizeof packet);
  EXPECT_EQ(std::vector<uint8_t>(got.begin() + 5, got.end()),
            std::vector<uint8_t>(packet, packet + sizeof packet));
}

TEST_F(UsbSocketTransport, TransfersAreRoutedToTheirPipeInOrder) {
  receiver->Send('B', {1, 2, 3});
  receiver->Send('I', {9});
  receiver->Send('B', {});
  uint8_t buffer[64];
  size_t got = 0;
  ASSERT_EQ(transport->ReadInterrupt(buffer, sizeof buffer, got, 500), 0u);
  ASSERT_EQ(got, 1u);
  EXPECT_EQ(buffer[0], 9);
  ASSERT_EQ(transport->ReadBulk(buffer, sizeof buffer, got, 500), 0u);
  EXPECT_EQ(got, 3u);
  ASSERT_EQ(transport->ReadBulk(buffer, sizeof buffer, got, 500), 0u);
  EXPECT_EQ(got, 0u) << "the zero-length packet that ends a burst";
  EXPECT_EQ(transport->ReadInterrupt(buffer, sizeof buffer, got, 50), static_cast<uint32_t>(ERROR_TIMEOUT));
}

TEST_F(UsbSocketTransport, ATransferLargerThanTheBufferComesInParts) {
  std::vector<uint8_t> big(100);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i);
  receiver->Send('I', big);
  uint8_t buffer[64];
  size_t got = 0;
  ASSERT_EQ(transport->ReadInterrupt(buffer, 64, got, 500), 0u);
  ASSERT_EQ(got, 64u);
  EXPECT_EQ(buffer[63], 63);
  ASSERT_EQ(transport->ReadInterrupt(buffer, 64, got, 500), 0u);
  ASSERT_EQ(got, 36u);
  EXPECT_EQ(buffer[0], 64);
}

TEST_F(UsbSocketTransport, SilenceTimesOutWithinTheTimeout) {
  uint8_t buffer[16];
  size_t got = 7;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(transport->ReadBulk(buffer, sizeof buffer, got, 100), static_cast<uint32_t>(ERROR_TIMEOUT));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(got, 0u);
  EXPECT_GE(elapsed, std::chrono::milliseconds(90));
  EXPECT_LT(elapsed, std::chrono::milliseconds(2000));
}

TEST_F(UsbSocketTransport, AReceiverThatGoesAwayIsNotConnected) {
  receiver->Hangup();
  uint8_t buffer[16];
  size_t got = 0;
  EXPECT_EQ(transport->ReadInterrupt(buffer, sizeof buffer, got, 500),
            static_cast<uint32_t>(ERROR_DEVICE_NOT_CONNECTED));
}

TEST_F(UsbSocketTransport, AGarbledStreamIsInvalidData) {
  receiver->Send('X', {1});
  uint8_t buffer[16];
  size_t got = 0;
  EXPECT_EQ(transport->ReadInterrupt(buffer, sizeof buffer, got, 500),
            static_cast<uint32_t>(ERROR_INVALID_DATA));
}

TEST(UsbTransport, ClosedTransportsRefuseWork) {
  for (const char* path : {"usbsim:/nonexistent/sock", "usb:001:002"}) {
    SCOPED_TRACE(path);
    auto transport = CUsbTransport::Create(path);
    uint8_t buffer[4] = {};
    size_t got = 0;
    EXPECT_FALSE(transport->IsOpen());
    EXPECT_EQ(transport->Write(buffer, 4, 10), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(transport->ReadBulk(buffer, 4, got, 10), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
    EXPECT_NE(transport->Open(path), 0u);
    EXPECT_FALSE(transport->IsOpen());
  }
}

TEST(UsbTransport, PathShapes) {
  int bus = 0;
  int address = 0;
  EXPECT_TRUE(CUsbTransportLibusb::ParsePath("usb:001:007", bus, address));
  EXPECT_EQ(bus, 1);
  EXPECT_EQ(address, 7);
  EXPECT_FALSE(CUsbTransportLibusb::ParsePath("usb:1", bus, address));
  EXPECT_FALSE(CUsbTransportLibusb::ParsePath("usb:1:2x", bus, address));
  EXPECT_FALSE(CUsbTransportLibusb::ParsePath("/dev/ttyS0", bus, address));
  EXPECT_FALSE(CUsbTransportLibusb::ParsePath("usb:300:1", bus, address));
}

}  // namespace
