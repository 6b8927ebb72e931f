// The device side of a receiver link: the abstract protocol object that opens,
// validates, receives from and sends to one GPS receiver, together with the
// data set it fills, its progress accounting and its last error. The Garmin
// protocol class derives from it; the serial and USB engines derive from that.
#pragma once

#include <string>

#include "data/GpsDataSet.h"
#include "platform/Win32Errors.h"

class CCommsDevice;

// Direction flags of OpenGpsDevice and of the progress accounting.
enum GpsDirection : int {
  GPS_DIRECTION_TX = 0,
  GPS_DIRECTION_RX = 1,
};

// Told each new percent value (0-100) of a transfer; returns 0 to ask the link
// to stop (a cancellation, not an error).
using GpsProgressCallback = int (*)(void* userData, int percent);

class CGpsDevice {
public:
  // Most registered devices; a further registration is ignored.
  static constexpr int MAX_REGISTERED_DEVICES = 20;

  CGpsDevice() = default;
  virtual ~CGpsDevice();
  CGpsDevice(const CGpsDevice&) = delete;
  CGpsDevice& operator=(const CGpsDevice&) = delete;

  // The port that carries this device's link.
  virtual CCommsDevice* GetCommsDevice() = 0;
  // Opens the port and validates the receiver; direction is GPS_DIRECTION_RX
  // or GPS_DIRECTION_TX.
  virtual bool OpenGpsDevice(int direction) = 0;
  virtual bool CloseGpsDevice() = 0;
  virtual bool ValidateDevice() = 0;
  virtual bool IsRxDataValid() = 0;
  // Receives everything into the data set; count = records received.
  virtual bool RxGpsData(unsigned& count) = 0;
  // Sends the tracks and courses of data; count = records sent.
  virtual bool TxGpsData(CGpsDataSet* data, unsigned& count) = 0;
  virtual bool PowerDown() = 0;

  // The exchange document of the data set at path; 1 when it was written
  // whole, 0 with the error state set otherwise. Written by the document layer.
  int CreateQvxFile(const char* path);
  // The plain-text report of what a retrieval delivered, written only when
  // IsRxDataValid() finds the data incomplete; 1 when a file was written.
  // Written by the document layer.
  int DiagnosticsFileCreated(const char* path);

  CGpsDataSet& GetDataSet() { return m_dataSet; }
  const CGpsDataSet& GetDataSet() const { return m_dataSet; }

  // Last error: a result code in HRESULT form (0 when none) and the
  // user-facing text that goes with it.
  HRESULT GetErrorCode() const { return m_errorCode; }
  const std::string& GetErrorText() const { return m_errorText; }
  void ResetError();
  // Stores code and the string-table text messageId.
  void SetError(HRESULT code, unsigned messageId);
  // Stores code and a text built by the caller.
  void SetErrorWithText(HRESULT code, const std::string& text);

  // Progress accounting. Percent = done * 100 / total, capped at 100; the
  // callback of a direction sees each percent value at most once.
  // Restarts at 0 % (step 1, total 100) and tells the callback; returns the
  // callback's answer, or true when none is set.
  bool ProgressReset(int direction);
  // Announces units more steps. On receive the bar keeps its percent and the
  // rest of it is spread over the new units.
  bool ProgressAddTotal(int units, int direction);
  // Advances by units steps; calls the callback only when the percent changed
  // and returns its answer, otherwise true.
  bool ProgressStep(int units, int direction);
  // Asks the callback of that direction whether to go on, telling it the
  // current percent again, so that a long transfer can stop between any two
  // packets; true when no callback is set.
  bool ProgressContinue(int direction);
  int GetProgressPercent() const;
  int GetProgressStep() const { return m_progressStep; }
  int GetProgressDone() const { return m_progressDone; }
  int GetProgressTotal() const { return m_progressTotal; }

  void SetRxProgressCallback(GpsProgressCallback callback, void* userData);
  void SetTxProgressCallback(GpsProgressCallback callback, void* userData);

  // Process-wide registry of the protocol objects, filled once at start-up.
  // RegisterDevice ignores null and anything beyond MAX_REGISTERED_DEVICES.
  static void RegisterDevice(CGpsDevice* device);
  // Entry 0 with its data set cleared, and the cursor after it; nullptr when
  // nothing is registered.
  static CGpsDevice* FirstRegisteredDevice();
  // The entry at the cursor with its data set cleared, and the cursor
  // advanced; nullptr after the last one.
  static CGpsDevice* NextRegisteredDevice();
  static int GetRegisteredDeviceCount();
  // Forgets every registration (at shutdown, and between tests).
  static void UnregisterAllDevices();

private:
  struct CProgressCallback {
    GpsProgressCallback function = nullptr;
    void* userData = nullptr;
  };

  const CProgressCallback& _Callback(int direction) const {
    return direction == GPS_DIRECTION_RX ? m_rxCallback : m_txCallback;
  }

  CGpsDataSet m_dataSet;
  int m_progressStep = 1;
  int m_progressDone = 0;
  int m_progressTotal = 100;
  CProgressCallback m_rxCallback;
  CProgressCallback m_txCallback;
  HRESULT m_errorCode = S_OK;
  std::string m_errorText;
};
