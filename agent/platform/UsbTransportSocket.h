// The simulated USB receiver, reached over a Unix-domain stream socket that
// carries the three pipes (see the framing in UsbTransport.h).
#pragma once

#include <deque>
#include <vector>

#include "platform/UsbTransport.h"

class CUsbTransportSocket : public CUsbTransport {
public:
  CUsbTransportSocket() = default;
  ~CUsbTransportSocket() override;

  uint32_t Open(const std::string& path) override;
  void Close() override;
  bool IsOpen() const override { return m_fd >= 0; }
  uint32_t Write(const uint8_t* data, size_t length, unsigned timeoutMs) override;
  uint32_t ReadInterrupt(uint8_t* buffer, size_t size, size_t& got, unsigned timeoutMs) override;
  uint32_t ReadBulk(uint8_t* buffer, size_t size, size_t& got, unsigned timeoutMs) override;

private:
  using Message = std::vector<uint8_t>;
  uint32_t _Read(uint8_t pipe, uint8_t* buffer, size_t size, size_t& got, unsigned timeoutMs);
  // Moves whole messages from the socket into the pipe queues; waits at most
  // until the deadline for the first bytes.
  uint32_t _Pump(int waitMs);
  std::deque<Message>& _Queue(uint8_t pipe) { return pipe == kUsbSimPipeBulk ? m_bulk : m_interrupt; }

  int m_fd = -1;
  std::vector<uint8_t> m_incoming;  // bytes of a message not yet complete
  std::deque<Message> m_interrupt;
  std::deque<Message> m_bulk;
};
