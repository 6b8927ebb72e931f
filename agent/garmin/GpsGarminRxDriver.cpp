// The whole download from a validated receiver, switching it off afterwards,
// and the test of whether what arrived needs a diagnostics report.
#include "garmin/GarminErrors.h"
#include "garmin/GarminIds.h"
#include "garmin/GpsGarmin.h"
#include "link/CommsDevice.h"
#include "util/TraceLog.h"

namespace {

// A step may fail because the receiver lacks that kind of data: the
// protocol or data type is missing, or the receiver took the request and
// never answered it (a time-out before the step's first packet); or it was
// cancelled (no error anywhere). The download then goes on without it. A
// failure of the link itself (a port error, retries spent, a transfer that
// broke off) fails the download: what arrived would be taken for all there is.
bool IsToleratedFailure(HRESULT code, HRESULT linkError, bool answered) {
  if (HRESULT_CODE(code) == GARMIN_ERROR_UNSUPPORTED_LINK) return true;
  if (code != S_OK) return false;
  if (linkError == S_OK) return true;
  return !answered && HRESULT_CODE(linkError) == ERROR_TIMEOUT;
}

}  // namespace

bool CGpsGarmin::RxGpsData(unsigned& count) {
  LogWrite(LOG_INFO, "CGpsGarmin::RxGpsData()");
  CGpsDataSet& set = GetDataSet();
  set.ClearRecords();
  count = 0;

  // Runs and laps come before the track log, which tolerates no failure; the
  // profile comes before the workouts, whose zone targets refer to it.
  struct Step {
    bool (CGpsGarmin::*receive)();
    bool tolerant;
    unsigned (*records)(const CGpsDataSet& set);
  };
  static const Step steps[] = {
      {&CGpsGarmin::RxGpsDataRuns, true,
       [](const CGpsDataSet& s) { return unsigned(s.GetRuns().GetCount()); }},
      {&CGpsGarmin::RxGpsDataLaps, true,
       [](const CGpsDataSet& s) { return unsigned(s.GetLaps().GetCount()); }},
      {&CGpsGarmin::RxGpsDataTracks, false,
       [](const CGpsDataSet& s) { return unsigned(s.CountTrackPoints()); }},
      {&CGpsGarmin::RxGpsDataUserProfile, true,
       [](const CGpsDataSet& s) { return unsigned(s.GetProfiles().GetCount()); }},
      {&CGpsGarmin::RxGpsDataWorkouts, true,
       [](const CGpsDataSet& s) { return unsigned(s.GetWorkouts().GetCount()); }},
      {&CGpsGarmin::RxGpsDataWorkoutOccurrences, true,
       [](const CGpsDataSet& s) { return unsigned(s.GetOccurrences().GetCount()); }},
      {&CGpsGarmin::RxGpsDataWorkoutLimits, true,
       [](const CGpsDataSet& s) { return s.GetLimits() != nullptr ? 1u : 0u; }},
  };
  CCommsDevice* comms = GetCommsDevice();
  for (const Step& step : steps) {
    m_packet = GarminPacket{};  // which shows whether the step heard anything
    if ((this->*step.receive)()) {
      count += step.records(set);
      continue;
    }
    const bool answered = m_packet.type != 0 || m_packet.id != 0;
    const HRESULT linkError = comms != nullptr ? comms->GetLastError() : S_OK;
    if (!step.tolerant || !IsToleratedFailure(GetErrorCode(), linkError, answered)) return false;
    ResetError();
  }

  if (!set.GetRuns().IsEmpty()) {
    for (const CGpsDataRun* run : set.GetRuns()) LinkRun(set, *run);
  } else if (!set.GetLaps().IsEmpty()) {
    if (IsProtocolSupported('D', 906)) {
      LinkD906Laps();
    } else {
      LogWrite(LOG_ERROR, "CGpsGarmin::RxGpsData(): lap type unsupported");
      ResetError();
    }
  }
  return true;
}

bool CGpsGarmin::PowerDown() {
  LogWrite(LOG_INFO, "CGpsGarmin::PowerDown()");
  if (!IsProtocolSupported('L', 1)) return false;
  const bool sent = TransmitCommand(CMD_TURN_OFF_PWR);
  // A receiver that switches off may do so before it acknowledges.
  _ClearErrors();
  return sent;
}

bool CGpsGarmin::IsRxDataValid() {
  const CGpsDataSet& set = GetDataSet();
  for (const CGpsDataLap* lap : set.GetLaps()) {
    if (lap->pending != 0 && (lap->firstId.empty() || lap->lastId.empty())) return false;
  }
  // These receivers always record laps, and the second also a profile per
  // activity: without them something went wrong on the way.
  if (set.productId == "282" || set.productId == "283") {
    if (set.GetLaps().IsEmpty()) return false;
    if (set.productId == "283") {
      for (const CGpsDataTrack* track : set.GetTracks()) {
        if (track->profile.empty()) return false;
      }
    }
  }
  return true;
}
