#include "data/GpsDevice.h"

#include <algorithm>
#include <cstdint>

#include "resources/StringTable.h"
#include "util/TraceLog.h"

CGpsDevice::~CGpsDevice() = default;

void CGpsDevice::ResetError() {
  m_errorCode = S_OK;
  m_errorText.clear();
}

void CGpsDevice::SetError(HRESULT code, unsigned messageId) {
  m_errorCode = code;
  m_errorText = LoadString(messageId);
}

void CGpsDevice::SetErrorWithText(HRESULT code, const std::string& text) {
  m_errorCode = code;
  m_errorText = text;
}

void CGpsDevice::SetRxProgressCallback(GpsProgressCallback callback, void* userData) {
  m_rxCallback = CProgressCallback{callback, userData};
}

void CGpsDevice::SetTxProgressCallback(GpsProgressCallback callback, void* userData) {
  m_txCallback = CProgressCallback{callback, userData};
}

int CGpsDevice::GetProgressPercent() const {
  // A total that announcements have brought to zero or below shows as
  // finished rather than dividing by it.
  if (m_progressTotal <= 0) return 100;
  int64_t percent = int64_t{m_progressDone} * 100 / m_progressTotal;
  return static_cast<int>(std::clamp<int64_t>(percent, 0, 100));
}

bool CGpsDevice::ProgressReset(int direction) {
  LogWrite(LOG_INFO, "CGpsDevice:ProgressReset()");
  m_progressStep = 1;
  m_progressTotal = 100;
  m_progressDone = 0;
  const CProgressCallback& callback = _Callback(direction);
  if (callback.function == nullptr) return true;
  return callback.function(callback.userData, 0) != 0;
}

bool CGpsDevice::ProgressAddTotal(int units, int direction) {
  if (units == 0) return true;
  int percent = GetProgressPercent();
  m_progressTotal += units;
  if (direction != GPS_DIRECTION_RX) return true;
  // Keep the percent already shown and spread the rest of the bar over the
  // newly announced units.
  m_progressDone = static_cast<int>(int64_t{percent} * m_progressTotal / 100);
  if (units == 1) return true;
  m_progressStep = std::max((m_progressTotal - m_progressDone) / units, 1);
  return true;
}

bool CGpsDevice::ProgressStep(int units, int direction) {
  int before = GetProgressPercent();
  int64_t done = int64_t{m_progressDone} + int64_t{units} * m_progressStep;
  m_progressDone = static_cast<int>(std::clamp<int64_t>(done, INT32_MIN, INT32_MAX));
  int after = GetProgressPercent();
  const CProgressCallback& callback = _Callback(direction);
  if (callback.function == nullptr || after == before) return true;
  return callback.function(callback.userData, after) != 0;
}

bool CGpsDevice::ProgressContinue(int direction) {
  const CProgressCallback& callback = _Callback(direction);
  if (callback.function == nullptr) return true;
  return callback.function(callback.userData, GetProgressPercent()) != 0;
}
