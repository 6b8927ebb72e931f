// Receiver bytes into the serial link: the pure frame decoder on the raw
// input, then the engine's frame search, resynchronisation, overflow handling
// and in-place decode, fed in chunks from the input instead of a port, and
// the validation decoders on every packet that came through.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/GpsGarminSerial.h"
#include "link/SerialFrame.h"

namespace {

class CFuzzSerial : public CGpsGarminSerial {
public:
  CFuzzSerial(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

  bool WriteCommsDevice(const uint8_t*, unsigned) override { return true; }
  bool ReadCommsDevice(uint8_t* buffer, unsigned bufferSize, unsigned& bytesRead) override {
    bytesRead = 0;
    if (m_position >= m_size) {
      SetLastError(HRESULT_FROM_WIN32(ERROR_TIMEOUT), 3502);
      return false;
    }
    // Chunk lengths vary with the data, as reads of a real port do.
    const size_t chunk = 1 + m_data[m_position] % 97;
    const size_t n = std::min({chunk, static_cast<size_t>(bufferSize), m_size - m_position});
    std::copy(m_data + m_position, m_data + m_position + n, buffer);
    m_position += n;
    bytesRead = static_cast<unsigned>(n);
    return true;
  }

  const uint8_t* BufferStart() const { return m_buffer; }
  size_t Consumed() const { return m_position; }

private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_position = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> body(data, data + size);
  uint8_t id = 0;
  uint8_t length = 0;
  if (DecodeSerialFrame(body.data(), 0, body.size(), id, length) && length > body.size()) std::abort();

  CFuzzSerial link(data, size);
  // Packets until the input runs dry; each must lie within the receive buffer.
  for (int packets = 0; packets < 4096; ++packets) {
    if (!link.ReceivePacket()) {
      if (link.Consumed() >= size) break;
      link.CGpsGarmin::ResetError();
      continue;
    }
    const GarminPacket& p = link.GetPacket();
    if (p.size > SERIAL_MAX_DATA) std::abort();
    if (p.size > 0 && (p.data != link.BufferStart() || p.data == nullptr)) std::abort();
    // The validation decoders read whatever packet arrived.
    CGpsDataSet record;
    link.RxA000ProductData(p.size, p.data, record);
    link.RxA001ProtocolCapability(p.size, p.data, record);
    link.RxX000SerialNumber(p.size, p.data, record);
    link.CGpsGarmin::ResetError();
  }
  // The same bytes as replies to a transmission.
  CFuzzSerial reply(data, size);
  const uint8_t command[2] = {14, 0};
  reply.TransmitPacket(10, command, sizeof command);
  return 0;
}
