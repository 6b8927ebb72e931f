#include "garmin/GpsGarmin.h"

#include <cstdio>
#include <new>
#include <vector>

#include "garmin/GarminErrors.h"
#include "garmin/PacketReader.h"
#include "garmin/ProductTable.h"
#include "link/CommsDevice.h"
#include "resources/StringIds.h"
#include "util/TraceLog.h"

namespace {

bool IsKnownLetter(char letter) {
  return letter == 'A' || letter == 'D' || letter == 'L' || letter == 'P' || letter == 0;
}

}  // namespace

CGpsGarmin::CGpsGarmin() = default;

CGpsGarmin::~CGpsGarmin() = default;

void CGpsGarmin::_FreeProtocols() {
  m_protocols.reset();
  m_protocolCount = 0;
}

void CGpsGarmin::_ClearErrors() {
  if (CCommsDevice* comms = GetCommsDevice()) comms->ResetError();
  ResetError();
}

bool CGpsGarmin::IsProtocolSupported(const ProtocolTag& tag) const {
  for (size_t i = 0; i < m_protocolCount; ++i) {
    if (m_protocols[i] == tag) return true;
  }
  return false;
}

bool CGpsGarmin::SetProtocolCapabilities(const ProtocolTag* tags, size_t count) {
  _FreeProtocols();
  if (count == 0) return true;
  std::unique_ptr<ProtocolTag[]> list(new (std::nothrow) ProtocolTag[count]);
  if (!list) {
    SetError(E_OUTOFMEMORY, IDS_ERR_OUT_OF_MEMORY);
    return false;
  }
  for (size_t i = 0; i < count; ++i) {
    if (!IsKnownLetter(tags[i].letter)) {
      list[i] = ProtocolTag{};
      continue;
    }
    list[i] = tags[i];
    LogWrite(LOG_INFO, "Protocol: %s", FormatProtocolTag(tags[i]).c_str());
  }
  m_protocols = std::move(list);
  m_protocolCount = count;
  return true;
}

bool CGpsGarmin::RxA000ProductData(uint32_t size, const uint8_t* data, CGpsDataSet& record) {
  LogWrite(LOG_INFO, "CGpsGarmin::RxA000ProductData()");
  if (size < 5) {
    LogWrite(LOG_ERROR, "APP_PID_PRODUCT_DATA: ERROR_READ_FAULT lasterror=%u",
             static_cast<unsigned>(GetErrorCode()));
    SetError(HR_READ_FAULT, IDS_ERR_BAD_PACKET);
    return false;
  }
  CPacketReader reader(data, size);
  const uint16_t productId = reader.ReadU16();
  const int16_t version = reader.ReadS16();
  const std::string description = reader.ReadString();

  char text[32];
  record.deviceName = "Garmin";
  record.deviceDescription = description;
  record.productId = std::to_string(productId);
  std::snprintf(text, sizeof text, "%u.%02u", static_cast<unsigned>(version / 100),
                static_cast<unsigned>(version % 100));
  record.firmwareVersion = text;
  LogWrite(LOG_INFO, "GPS device name: %s", record.deviceDescription.c_str());
  LogWrite(LOG_INFO, "GPS product ID: %s", record.productId.c_str());
  LogWrite(LOG_INFO, "GPS software version: %s", record.firmwareVersion.c_str());

  const ProductTableRow* row = FindProductTableRow(static_cast<int16_t>(productId), version);
  if (row != nullptr) return SetProtocolCapabilities(row->tags, PRODUCT_TABLE_TAGS);
  _FreeProtocols();
  SetError(HR_PRODUCT_NOT_IN_TABLE, IDS_ERR_DEVICE_NOT_SUPPORTED);
  LogWrite(LOG_WARN, "APP_PID_PRODUCT_DATA: Device not found in table: %s (ID=%u, ver=%u)",
           description.c_str(), static_cast<unsigned>(productId), static_cast<unsigned>(version));
  return false;
}

bool CGpsGarmin::RxA001ProtocolCapability(uint32_t size, const uint8_t* data, CGpsDataSet&) {
  const size_t count = size / PROTOCOL_TAG_WIRE_SIZE;
  LogWrite(LOG_INFO, "CGpsGarmin::RxA001ProtocolCapability() num protocol capabilities = %d",
           static_cast<int>(count));
  std::vector<ProtocolTag> tags(count);
  for (size_t i = 0; i < count; ++i) tags[i] = ReadProtocolTag(data, i * PROTOCOL_TAG_WIRE_SIZE);
  return SetProtocolCapabilities(tags.data(), count);
}

bool CGpsGarmin::RxX000SerialNumber(uint32_t size, const uint8_t* data, CGpsDataSet& record) {
  LogWrite(LOG_INFO, "APP_PID_SERIAL_NUM - X000");
  if (size < 4) {
    SetError(HR_READ_FAULT, IDS_ERR_BAD_PACKET);
    return false;
  }
  CPacketReader reader(data, size);
  const uint32_t serial = reader.ReadU32();
  if (serial == 0) {
    LogWrite(LOG_INFO, "GPS serial number invalid");
    return true;
  }
  record.serialNumber = std::to_string(serial);
  LogWrite(LOG_INFO, "GPS serial number: %u", serial);
  return true;
}

std::string CGpsGarmin::BuildDevicePrefix(const CGpsDataSet& record) {
  std::string prefix = "device";
  for (const std::string* part : {&record.deviceName, &record.productId, &record.serialNumber}) {
    if (!part->empty()) prefix += "-" + *part;
  }
  return prefix;
}
