// Identifying the receiver right after its link opened: product data, then
// the protocol array (or the product table), then the serial number.
#include "garmin/GarminErrors.h"
#include "garmin/GarminIds.h"
#include "garmin/GpsGarmin.h"
#include "link/CommsDevice.h"
#include "resources/StringIds.h"
#include "util/TraceLog.h"

namespace {

enum class EValidateState {
  TxProductRequest,
  TxProductRequestRetry,
  RxProductData,
  RxProtocolCapability,
  TxSerialNum,
  RxSerialNum,
  Error,
  Success,
};

// A receiver that keeps sending other packets instead of its protocol array
// would otherwise hold validation forever.
constexpr int kMaxSkippedPackets = 64;

}  // namespace

void CGpsGarmin::_TransmitAbortKeepingErrors() {
  // The abort is a courtesy to the receiver; what it runs into must not
  // replace the error of the step that failed.
  CCommsDevice* comms = GetCommsDevice();
  const HRESULT gpsCode = GetErrorCode();
  const std::string gpsText = GetErrorText();
  const HRESULT commsCode = comms != nullptr ? comms->GetLastError() : S_OK;
  const std::string commsText = comms != nullptr ? comms->GetErrorMessage() : std::string();
  TransmitCommand(CMD_ABORT_TRANSFER);
  SetErrorWithText(gpsCode, gpsText);
  if (comms != nullptr) comms->SetLastErrorWithText(commsCode, commsText);
}

bool CGpsGarmin::ValidateDevice() {
  CCommsDevice* comms = GetCommsDevice();
  CGpsDataSet& record = GetDataSet();
  EValidateState state = EValidateState::TxProductRequest;
  bool notInTable = false;
  bool failed = false;
  int skipped = 0;
  bool done = false;
  while (!done) {
    switch (state) {
      case EValidateState::TxProductRequest:
        LogWrite(LOG_INFO, "CGpsGarmin::ValidateDevice(): STATE_TX_PRODUCT_REQUEST");
        if (TransmitProductRequest()) {
          state = EValidateState::RxProductData;
        } else {
          _ClearErrors();
          state = EValidateState::TxProductRequestRetry;
        }
        break;

      case EValidateState::TxProductRequestRetry:
        LogWrite(LOG_INFO, "CGpsGarmin::ValidateDevice(): STATE_TX_PRODUCT_REQUEST_RETRY");
        state = TransmitProductRequest() ? EValidateState::RxProductData : EValidateState::Error;
        break;

      case EValidateState::RxProductData:
        LogWrite(LOG_INFO, "CGpsGarmin::ValidateDevice(): STATE_RX_PRODUCT_DATA");
        if (!ReceivePacket()) {
          state = EValidateState::Error;
        } else if (m_packet.id != APP_PID_PRODUCT_DATA) {
          LogWrite(LOG_ERROR, "APP_PID_PRODUCT_DATA expected, received id=%u", m_packet.id);
          SetError(HR_READ_FAULT, IDS_ERR_UNEXPECTED_PACKET);
          state = EValidateState::Error;
        } else if (RxA000ProductData(m_packet.size, m_packet.data, record)) {
          state = EValidateState::RxProtocolCapability;
        } else if (HRESULT_CODE(GetErrorCode()) == GARMIN_ERROR_PRODUCT_NOT_IN_TABLE) {
          ResetError();
          notInTable = true;
          state = EValidateState::RxProtocolCapability;
        } else {
          state = EValidateState::Error;
        }
        break;

      case EValidateState::RxProtocolCapability:
        LogWrite(LOG_INFO, "CGpsGarmin::ValidateDevice(): STATE_RX_PROTOCOL_CAPABILITY");
        if (!ReceivePacket()) {
          if (comms != nullptr && HRESULT_CODE(comms->GetLastError()) == ERROR_TIMEOUT && !notInTable) {
            // No protocol array: the product table's list stays in force.
            _ClearErrors();
            state = EValidateState::TxSerialNum;
          } else {
            state = EValidateState::Error;
          }
        } else if (m_packet.id == APP_PID_IGNORED_248 && skipped < kMaxSkippedPackets) {
          // Counted like every other packet skipped here, so that a
          // receiver repeating it cannot hold validation either.
          ++skipped;
          LogWrite(LOG_INFO,
                   "CGpsGarmin::ValidateDevice(): Packet with PID=248 received, packet size=%u (ignored)",
                   m_packet.size);
        } else if (m_packet.id == APP_PID_PROTOCOL_ARRAY) {
          if (!RxA001ProtocolCapability(m_packet.size, m_packet.data, record)) {
            state = EValidateState::Error;
          } else if (!IsProtocolSupported('L', 1)) {
            LogWrite(LOG_ERROR, "CGpsGarmin::ValidateDevice(): unsupported link protocol L001 (lasterror=%u)",
                     static_cast<unsigned>(GetErrorCode()));
            SetError(HR_UNSUPPORTED_LINK, IDS_ERR_LINK_PROTOCOL);
            state = EValidateState::Error;
          } else {
            state = EValidateState::TxSerialNum;
          }
        } else if (++skipped > kMaxSkippedPackets) {
          LogWrite(LOG_ERROR, "APP_PID_PROTOCOL_ARRAY expected, received id=%u", m_packet.id);
          SetError(HR_READ_FAULT, IDS_ERR_UNEXPECTED_PACKET);
          state = EValidateState::Error;
        }
        break;

      case EValidateState::TxSerialNum:
        LogWrite(LOG_INFO, "CGpsGarmin::ValidateDevice(): STATE_TX_SERIAL_NUM");
        if (TransmitCommand(CMD_TRANSFER_SERIAL_NUM)) {
          state = EValidateState::RxSerialNum;
        } else if (GetErrorCode() == HR_RETRY) {
          // The serial number is optional: a receiver without one lets every
          // try of the request go unanswered. A lost frame was sent again; a
          // port that failed ends validation, since without the number the
          // same activities would get other ids.
          _ClearErrors();
          state = EValidateState::Success;
        } else {
          state = EValidateState::Error;
        }
        break;

      case EValidateState::RxSerialNum:
        LogWrite(LOG_INFO, "CGpsGarmin::ValidateDevice(): STATE_RX_SERIAL_NUM");
        if (!ReceivePacket()) {
          state = EValidateState::Error;
        } else if (m_packet.id != APP_PID_SERIAL_NUM) {
          LogWrite(LOG_ERROR, "APP_PID_SERIAL_NUM expected, received %u", m_packet.id);
          SetError(HR_READ_FAULT, IDS_ERR_UNEXPECTED_PACKET);
          state = EValidateState::Error;
        } else {
          state = RxX000SerialNumber(m_packet.size, m_packet.data, record) ? EValidateState::Success
                                                                           : EValidateState::Error;
        }
        break;

      case EValidateState::Error:
        LogWrite(LOG_ERROR, "CGpsGarmin::ValidateDevice(): STATE_ERROR lasterror=%u",
                 static_cast<unsigned>(GetErrorCode()));
        LogWrite(LOG_ERROR, "CGpsGarmin::ValidateDevice(): CMD_ABORT_TRANSFER");
        _TransmitAbortKeepingErrors();
        failed = true;
        done = true;
        break;

      case EValidateState::Success:
        LogWrite(LOG_INFO, "CGpsGarmin::ValidateDevice(): STATE_SUCCESS");
        done = true;
        break;
    }
  }
  // A step that failed without an error code was cancelled by the user:
  // that is no success either.
  if (failed || GetErrorCode() != S_OK || (comms != nullptr && comms->GetLastError() != S_OK)) return false;
  record.prefix = BuildDevicePrefix(record);
  return true;
}
