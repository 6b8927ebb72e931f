// The transmit side has its own sources; until those join the build each of
// these reports an internal error, so that a caller never mistakes them for
// a success.
#include "garmin/GpsGarmin.h"
#include "resources/StringIds.h"

bool CGpsGarmin::TxGpsData(CGpsDataSet*, unsigned& count) {
  count = 0;
  SetError(HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED), IDS_ERR_INTERNAL);
  return false;
}

bool CGpsGarmin::IsTxDataCompatible(CGpsDataSet*) {
  return false;
}
