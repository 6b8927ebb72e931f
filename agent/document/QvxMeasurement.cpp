#include "document/QvxMeasurement.h"

#include <string>

#include "data/GpsDataValue.h"
#include "document/QvxNames.h"
#include "document/QvxValueText.h"
#include "document/QvxWriter.h"

namespace {

// How a measurement appears: as a leaf element with a name and unit, or as
// one of the two nested GML lines.
struct CMeasurementForm {
  const char* element;  // leaf name; nullptr for the nested forms
  int unit;             // the unit asked of the value
  const char* prefix;   // nested forms: everything before the text
  const char* suffix;   // nested forms: everything after it
};

constexpr const char* kTimePrefix = "<gml:validTime><gml:TimeInstant><gml:timePosition>";
constexpr const char* kTimeSuffix = "</gml:timePosition></gml:TimeInstant></gml:validTime>";
constexpr const char* kPosPrefix = "<gml:position><gml:Point><gml:pos>";
constexpr const char* kPosSuffix = "</gml:pos></gml:Point></gml:position>";

CMeasurementForm FormOf(const CGpsDataValue& value) {
  const int modifier = value.GetModifier();
  switch (value.GetQuantity()) {
    case QUANTITY_TIME:
      if (modifier == MODIFIER_SUM) return {"duration", UNIT_SECONDS, nullptr, nullptr};
      if (modifier == MODIFIER_INSTANT || modifier == MODIFIER_START || modifier == MODIFIER_END) {
        return {nullptr, UNIT_UNIXTIME, kTimePrefix, kTimeSuffix};
      }
      return {"time", UNIT_SECONDS, nullptr, nullptr};
    case QUANTITY_POSITION:
      return {nullptr, UNIT_DEGREES, kPosPrefix, kPosSuffix};
    case QUANTITY_ELEVATION:
      return {"elevation", UNIT_METRES, nullptr, nullptr};
    case QUANTITY_DEPTH:
      return {"depth", UNIT_METRES, nullptr, nullptr};
    case QUANTITY_HEARTRATE:
      return {"heartRate", UNIT_BPM, nullptr, nullptr};
    case QUANTITY_TEMPERATURE:
      return {"temperature", value.GetUnit(), nullptr, nullptr};
    case QUANTITY_DISTANCE:
      return {"distance", UNIT_METRES, nullptr, nullptr};
    case QUANTITY_ENERGY:
      return {"energy", UNIT_CALORIES, nullptr, nullptr};
    case QUANTITY_SPEED:
      return {"speed", UNIT_MPS, nullptr, nullptr};
    case QUANTITY_CADENCE:
      return {"cadence", UNIT_RPM, nullptr, nullptr};
    default:
      return {"unknown", value.GetUnit(), nullptr, nullptr};
  }
}

// An attribute name when its value exists, else nullptr so that the writer
// leaves the attribute out.
const char* AttributeIf(const char* name, const char* value) {
  return value != nullptr ? name : nullptr;
}

}  // namespace

void WriteQvxMeasurement(CQvxWriter& writer, const CGpsDataValue& value) {
  if (value.GetModifier() == MODIFIER_ZONE) {
    WriteQvxZone(writer, value);
    return;
  }
  const CMeasurementForm form = FormOf(value);
  char quick[kQvxValueTextSize + 1];
  std::string formatted;
  const char* text = quick;
  const size_t length = FormatQvxValueText(value, form.unit, quick);
  if (length > 0) {
    quick[length] = '\0';
  } else {
    formatted = value.Format(form.unit);
    if (formatted.empty()) return;
    text = formatted.c_str();
  }
  if (form.element == nullptr) {
    writer.TextLine(form.prefix, text, form.suffix);
    return;
  }
  const char* uom = qvx::UnitId(form.unit);
  const char* source = qvx::SourceId(value.GetSource());
  const char* modifier = qvx::ModifierName(value.GetModifier());
  writer.LeafElement3(form.element, AttributeIf("uom", uom), uom, AttributeIf("source", source), source,
                      AttributeIf("modifier", modifier), modifier, text);
}

void WriteQvxZone(CQvxWriter& writer, const CGpsDataValue& value) {
  const std::string low = value.FormatComponent(value.GetUnit(), 0);
  const std::string high = value.FormatComponent(value.GetUnit(), 1);
  if (low.empty() && high.empty()) {
    const std::string href = "#" + value.GetReference();
    writer.LeafElement("measurementZone", "xlink:href", href.c_str(), nullptr, nullptr, nullptr);
    return;
  }
  writer.OpenElement("measurementZone", "id", value.GetId().c_str());
  if (!value.GetName().empty()) {
    const std::string& codeSpace = value.GetCodeSpace();
    writer.TextElementAttr("gml:name", codeSpace.empty() ? nullptr : "codeSpace", codeSpace.c_str(),
                           value.GetName().c_str());
  }
  writer.TextElement("low", low.c_str());
  writer.TextElement("high", high.c_str());
  writer.CloseElement("measurementZone");
}
