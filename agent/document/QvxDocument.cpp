#include "document/QvxDocument.h"

#include <cstdio>

#include "data/GpsDataSet.h"
#include "data/GpsDevice.h"
#include "document/QvxActivity.h"
#include "document/QvxMeasurement.h"
#include "document/QvxNames.h"
#include "document/XmlText.h"
#include "resources/StringIds.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace {

struct CUnitEntry {
  const char* id;
  const char* name;
  const char* quantity;
  const char* symbol;
};

// The units the service reads the measurements in, in document order.
constexpr CUnitEntry kUnits[] = {
    {"#uom-m", "meter", "length", "m"},
    {"#uom-s", "second", "time", "s"},
    {"#uom-mps", "meter per second", "speed", "mps"},
    {"#uom-calorie", "calorie", "energy", "cal"},
    {"#uom-bpm", "beat per minute", "ventricular stroke work", "bpm"},
    {"#uom-rpm", "revolutions per minute", "rotational speed", "rpm"},
};

// The run that says how a track's activity is grouped, if any.
const CGpsDataRun* FindRun(const CGpsDataSet& data, int trackIndex) {
  for (const CGpsDataRun* run : data.GetRuns()) {
    if (run->trackIndex == trackIndex) return run;
  }
  return nullptr;
}

constexpr int kProgramMultisport = 3;

}  // namespace

// The device's entry point lives with the document, so that the data layer
// does not depend on the document layer.
int CGpsDevice::CreateQvxFile(const char* path) {
  LogWrite(LOG_INFO, "CGpsDevice::CreateQvxFile()");
  ResetError();
  CQvxDocument document;
  if (document.Create(GetDataSet(), path)) return 1;
  LogWrite(LOG_ERROR, "CGpsDevice::CreateQvxFile() failed, error 0x%08X",
           static_cast<unsigned>(document.GetErrorCode()));
  SetError(document.GetErrorCode(), document.GetErrorId());
  return 0;
}

void CQvxDocument::_SetError(unsigned messageId) {
  m_errorCode = HRESULT_FROM_WIN32(m_writer.LastErrno() != 0 ? Win32FromErrno(m_writer.LastErrno()) : 0);
  m_errorId = messageId;
}

bool CQvxDocument::Create(const CGpsDataSet& data, const char* path) {
  m_data = &data;
  m_eventOpen = false;
  m_errorCode = S_OK;
  m_errorId = 0;
  if (!m_writer.Open(path)) {
    _SetError(IDS_ERR_CREATE_FILE);
    return false;
  }
  bool ok = _WriteHeader() && _WriteUnitsDictionary() && _WriteDeviceDictionary() && _WriteTracks();
  for (const CGpsDataProfile* profile : data.GetProfiles()) {
    if (!ok) break;
    ok = _WriteProfile(*profile);
  }
  ok = ok && m_writer.CloseQvx();
  // Close reports a failure that an untested write met, or that only the
  // last block of the file ran into.
  const bool closed = m_writer.Close();
  if (!ok || !closed) {
    _SetError(IDS_ERR_WRITE_FILE);
    return false;
  }
  return true;
}

bool CQvxDocument::_WriteHeader() {
  const std::string root = std::string("<qvx xmlns=\"") + qvx::kNsQvx + "\" xmlns:gml=\"" + qvx::kNsGml +
                           "\" xmlns:xmml=\"" + qvx::kNsXmml + "\" xmlns:xlink=\"" + qvx::kNsXlink +
                           "\" xmlns:xsi=\"" + qvx::kNsXsi + "\" xsi:schemaLocation=\"" +
                           qvx::kSchemaLocation + "\" version=\"2.0\">";
  char href[256];
  std::snprintf(href, sizeof href, qvx::kAgentDataSourceFormat, CUtil::GetVersion().c_str());
  const std::string source = "<gml:dataSource xlink:href=\"" + XmlEscape(href) + "\"/>";
  return m_writer.WriteHeader("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", root.c_str(), source.c_str());
}

bool CQvxDocument::_WriteUnitsDictionary() {
  if (!m_writer.OpenElement("gml:Dictionary", "gml:id", "uom") ||
      !m_writer.TextElement("gml:name", "Units of Measurement")) {
    return false;
  }
  for (const CUnitEntry& unit : kUnits) {
    const bool ok =
        m_writer.OpenElement("gml:dictionaryEntry") &&
        m_writer.OpenElement("gml:UnitDefinition", "gml:id", unit.id) &&
        m_writer.TextElementAttr("gml:name", "codeSpace", qvx::kUcumCodeSpace, unit.name) &&
        m_writer.TextElement("gml:quantity", unit.quantity) &&
        m_writer.TextElementAttr("gml:catalogSymbol", "codeSpace", qvx::kUcumCodeSpace, unit.symbol) &&
        m_writer.CloseElement("gml:UnitDefinition") && m_writer.CloseElement("gml:dictionaryEntry");
    if (!ok) return false;
  }
  return m_writer.CloseElement("gml:Dictionary");
}

bool CQvxDocument::_WriteDeviceDictionary() {
  const CGpsDataSet& data = *m_data;
  return m_writer.OpenElement("gml:Dictionary", "gml:id", "device") &&
         m_writer.TextElement("gml:name", "Devices") && m_writer.OpenElement("gml:dictionaryEntry") &&
         m_writer.OpenElement("gml:Definition", "gml:id", data.prefix.c_str()) &&
         m_writer.TextElement("gml:description", data.deviceDescription.c_str()) &&
         m_writer.TextElementAttr("gml:name", "codeSpace", qvx::kDeviceCodeSpace, data.productId.c_str()) &&
         m_writer.TextElementAttr("gml:name", "codeSpace", qvx::kDeviceVersionCodeSpace,
                                  data.firmwareVersion.c_str()) &&
         m_writer.TextElementAttr("gml:name", "codeSpace", qvx::kSerialCodeSpace,
                                  data.serialNumber.c_str()) &&
         m_writer.CloseElement("gml:Definition") && m_writer.CloseElement("gml:dictionaryEntry") &&
         m_writer.CloseElement("gml:Dictionary");
}

bool CQvxDocument::_OpenEvent(const CGpsDataTrack& track, bool& closeAfter) {
  const CGpsDataRun* run = FindRun(*m_data, track.index);
  const bool leg =
      run != nullptr && run->program == kProgramMultisport && (run->multisport == 1 || run->multisport == 2);
  if (leg) {
    closeAfter = run->multisport == 2;
    if (m_eventOpen) return true;
  } else {
    closeAfter = true;
    if (m_eventOpen) {
      m_writer.CloseEvent();
      m_eventOpen = false;
    }
  }
  if (!m_writer.OpenElement("event")) return false;
  m_eventOpen = true;
  return true;
}

bool CQvxDocument::_WriteTracks() {
  CQvxActivity activity(m_writer, *m_data);
  for (const CGpsDataTrack* track : m_data->GetTracks()) {
    if (!CGpsDataSet::HasIncludedSegment(track) || track->GetPoints().IsEmpty()) continue;
    bool closeAfter = true;
    if (!_OpenEvent(*track, closeAfter) || !activity.Write(*track)) return false;
    if (closeAfter) {
      m_writer.CloseEvent();
      m_eventOpen = false;
    }
  }
  // A multisport activity whose last leg never came still ends its event.
  if (m_eventOpen) {
    m_writer.CloseEvent();
    m_eventOpen = false;
  }
  return true;
}

bool CQvxDocument::_WriteProfile(const CGpsDataProfile& profile) {
  const bool ok = profile.id.empty() ? m_writer.OpenElement("profile")
                                     : m_writer.OpenElement("profile", "id", profile.id.c_str());
  if (!ok) return false;
  if (!profile.description.empty() && !m_writer.TextElement("gml:description", profile.description.c_str())) {
    return false;
  }
  const CGpsDataNamePair& name = profile.namePair;
  if (!name.name.empty()) {
    const char* codeSpace = name.codeSpace.empty() ? nullptr : "codeSpace";
    if (!m_writer.TextElementAttr("gml:name", codeSpace, name.codeSpace.c_str(), name.name.c_str()))
      return false;
  }
  for (const CGpsDataValue* value : profile.GetValues()) {
    if (value->GetModifier() != MODIFIER_ZONE) WriteQvxMeasurement(m_writer, *value);
  }
  // Only the heart-rate zones are sent; the service has no place for the
  // speed zones.
  bool zoneSetOpen = false;
  for (const CGpsDataValue* value : profile.GetValues()) {
    if (value->GetQuantity() != QUANTITY_HEARTRATE || value->GetModifier() != MODIFIER_ZONE) continue;
    if (!zoneSetOpen) {
      const std::string setId = profile.id + "-heart_rate_zones";
      const bool opened = m_writer.OpenElement("measurementZoneSet", "id", setId.c_str()) &&
                          m_writer.OpenElement("gml:valueComponent") &&
                          m_writer.LeafElement("heartRate", "uom", "#uom-bpm", nullptr, nullptr, nullptr) &&
                          m_writer.CloseElement("gml:valueComponent");
      if (!opened) return false;
      zoneSetOpen = true;
    }
    WriteQvxZone(m_writer, *value);
  }
  if (zoneSetOpen) m_writer.CloseMeasurementZoneSet();
  m_writer.CloseProfile();
  return true;
}
