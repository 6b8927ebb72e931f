// The process-wide table of GPS device objects. Start-up registers each
// protocol object once; afterwards only the receive thread walks it.
#include <array>

#include "data/GpsDevice.h"

namespace {
std::array<CGpsDevice*, CGpsDevice::MAX_REGISTERED_DEVICES> g_devices{};
int g_deviceCount = 0;
int g_cursor = 0;
}  // namespace

void CGpsDevice::RegisterDevice(CGpsDevice* device) {
  if (device == nullptr || g_deviceCount >= MAX_REGISTERED_DEVICES) return;
  g_devices[g_deviceCount++] = device;
}

CGpsDevice* CGpsDevice::FirstRegisteredDevice() {
  g_cursor = 0;
  if (g_deviceCount == 0) return nullptr;
  CGpsDevice* device = g_devices[0];
  device->GetDataSet().Clear();
  g_cursor = 1;
  return device;
}

CGpsDevice* CGpsDevice::NextRegisteredDevice() {
  if (g_cursor < 0 || g_cursor >= g_deviceCount) return nullptr;
  CGpsDevice* device = g_devices[g_cursor++];
  device->GetDataSet().Clear();
  return device;
}

int CGpsDevice::GetRegisteredDeviceCount() {
  return g_deviceCount;
}

void CGpsDevice::UnregisterAllDevices() {
  g_devices.fill(nullptr);
  g_deviceCount = 0;
  g_cursor = 0;
}
