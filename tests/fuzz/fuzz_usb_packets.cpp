// Receiver bytes into the USB link: the pure packet reassembly on reads cut
// from the input, then the whole engine (interrupt loop, switch to the bulk
// pipe, queue, hand-out) over a transport whose transfers come from the input,
// and the validation decoders on every packet that came through.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "link/GpsGarminUsb.h"
#include "link/UsbPacketAssembler.h"

namespace {

// Cuts the input into transfers: a control byte (high bit: bulk pipe; low
// seven bits: length, 127 meaning a 16-bit length follows), then the bytes.
class CFuzzTransport : public CUsbTransport {
public:
  CFuzzTransport(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

  uint32_t Open(const std::string&) override {
    m_open = true;
    return ERROR_SUCCESS;
  }
  void Close() override { m_open = false; }
  bool IsOpen() const override { return m_open; }
  uint32_t Write(const uint8_t*, size_t, unsigned) override { return ERROR_SUCCESS; }
  uint32_t ReadInterrupt(uint8_t* buffer, size_t size, size_t& got, unsigned) override {
    return _Read(false, buffer, size, got);
  }
  uint32_t ReadBulk(uint8_t* buffer, size_t size, size_t& got, unsigned) override {
    return _Read(true, buffer, size, got);
  }

private:
  uint32_t _Read(bool bulk, uint8_t* buffer, size_t size, size_t& got) {
    got = 0;
    if (m_position >= m_size) return ERROR_TIMEOUT;
    const uint8_t control = m_data[m_position++];
    size_t length = control & 0x7F;
    if (length == 0x7F && m_size - m_position >= 2) {
      length = m_data[m_position] | (m_data[m_position + 1] << 8);
      m_position += 2;
    }
    // A transfer meant for the other pipe is lost to this read, as the
    // transport would keep it from this pipe.
    if (((control & 0x80) != 0) != bulk) return ERROR_TIMEOUT;
    got = std::min({length, size, m_size - m_position});
    std::copy(m_data + m_position, m_data + m_position + got, buffer);
    m_position += got;
    return ERROR_SUCCESS;
  }

  const uint8_t* m_data;
  size_t m_size;
  size_t m_position = 0;
  bool m_open = false;
};

void Check(bool condition) {
  if (!condition) std::abort();
}

// The reassembly alone: reads of varying length, each at least what is missing.
void FuzzAssembler(const uint8_t* data, size_t size) {
  CUsbPacketAssembler assembler;
  size_t position = 0;
  while (position < size) {
    const CUsbPacketAssembler::EState state = assembler.State();
    if (state == CUsbPacketAssembler::EState::TooLarge) {
      Check(assembler.Header().dataSize > CUsbPacketAssembler::MAX_DATA_SIZE);
      assembler.Reset();
      continue;
    }
    if (state == CUsbPacketAssembler::EState::Complete) {
      const size_t packetSize = assembler.PacketSize();
      const size_t before = assembler.Count();
      Check(packetSize <= CUsbPacketAssembler::BUFFER_SIZE && packetSize <= before);
      Check(assembler.Consume() == before - packetSize);
      continue;
    }
    const size_t missing = assembler.Missing();
    Check(missing > 0 && missing <= assembler.FreeSize());
    const size_t chunk = std::max<size_t>(missing, data[position] % 200);
    const size_t n = std::min({chunk, assembler.FreeSize(), size - position});
    std::copy(data + position, data + position + n, assembler.FreeSpace());
    assembler.Added(n);
    position += n;
  }
}

void FuzzEngine(const uint8_t* data, size_t size) {
  CGpsGarminUsb gps;
  gps.SetDevicePath("usb:001:001");
  gps.SetTimeout(1);
  gps.SetTransportFactory(
      [data, size](const std::string&) { return std::make_unique<CFuzzTransport>(data, size); });
  if (!gps.OpenCommsDevice()) return;
  for (int i = 0; i < 4096 && gps.ReceivePacket(); ++i) {
    const GarminPacket& packet = gps.GetPacket();
    Check(packet.size <= CUsbPacketAssembler::MAX_DATA_SIZE);
    Check((packet.size == 0) == (packet.data == nullptr));
    // Touch every byte handed out, so a wrong size shows under the sanitizer.
    unsigned sum = 0;
    for (uint32_t k = 0; k < packet.size; ++k) sum += packet.data[k];
    (void)sum;
    CGpsDataSet& record = gps.GetDataSet();
    if (packet.id == 255) gps.RxA000ProductData(packet.size, packet.data, record);
    if (packet.id == 253) gps.RxA001ProtocolCapability(packet.size, packet.data, record);
    if (packet.id == 38) gps.RxX000SerialNumber(packet.size, packet.data, record);
  }
  gps.CloseGpsDevice();
  Check(gps.GetQueuedPacketCount() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzAssembler(data, size);
  FuzzEngine(data, size);
  return 0;
}
