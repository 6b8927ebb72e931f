#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "data/GpsDataFloat.h"
#include "data/GpsDataFloatPair.h"
#include "data/GpsDataIntPair.h"
#include "data/GpsDataInteger.h"
#include "document/QvxMeasurement.h"
#include "document/QvxWriter.h"
#include "support/TestEnv.h"

namespace {

constexpr int kMay1st2006 = 515425500;  // 2006-05-01T13:45:00Z as device time
constexpr int kLon = 101408950;         // 8.5 degrees in semicircles
constexpr int kLat = 566697074;         // 47.5 degrees

using ValuePtr = std::unique_ptr<CGpsDataValue>;

ValuePtr F(int quantity, int modifier, int unit, float value, int source = SOURCE_NONE) {
  ValuePtr v(new CGpsDataFloat(quantity, modifier, unit, value));
  v->SetSource(source);
  return v;
}
ValuePtr I(int quantity, int modifier, int unit, int value) {
  return ValuePtr(new CGpsDataInteger(quantity, modifier, unit, value));
}

// The bytes WriteQvxMeasurement produces for value at depth 0.
std::string Written(const CGpsDataValue& value) {
  qvtest::CTempDir dir;
  const std::string path = (dir.Path() / "m.xml").string();
  CQvxWriter writer;
  EXPECT_TRUE(writer.Open(path.c_str()));
  WriteQvxMeasurement(writer, value);
  EXPECT_TRUE(writer.Close());
  return qvtest::ReadFile(path);
}

TEST(QvxMeasurement, ElementUnitSourceAndModifierPerQuantity) {
  struct Case {
    const char* legend;
    std::function<ValuePtr()> make;
    std::string expected;  // without the line end; empty: nothing written
  };
  const Case cases[] = {
      {"device time instant", [] { return I(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, kMay1st2006); },
       "<gml:validTime><gml:TimeInstant><gml:timePosition>2006-05-01T13:45:00Z</gml:timePosition>"
       "</gml:TimeInstant></gml:validTime>"},
      {"Unix time as start, same line",
       [] { return I(QUANTITY_TIME, MODIFIER_START, UNIT_UNIXTIME, kMay1st2006 + 631065600); },
       "<gml:validTime><gml:TimeInstant><gml:timePosition>2006-05-01T13:45:00Z</gml:timePosition>"
       "</gml:TimeInstant></gml:validTime>"},
      {"float duration", [] { return F(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 30.0f); },
       "<duration uom=\"#uom-s\" modifier=\"sum\">30.0</duration>"},
      {"integer duration", [] { return I(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 30); },
       "<duration uom=\"#uom-s\" modifier=\"sum\">30</duration>"},
      {"longest time", [] { return I(QUANTITY_TIME, MODIFIER_MAX, UNIT_SECONDS, 7); },
       "<time uom=\"#uom-s\" modifier=\"max\">7</time>"},
      {"receiver position in degrees",
       [] {
         return ValuePtr(
             new CGpsDataIntPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES, kLon, kLat));
       },
       "<gml:position><gml:Point><gml:pos>8.500000 47.500000</gml:pos></gml:Point></gml:position>"},
      {"position read from a file: nothing",
       [] {
         return ValuePtr(
             new CGpsDataFloatPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, 8.5f, 47.5f));
       },
       ""},
      {"elevation in metres", [] { return F(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES, 400.5f); },
       "<elevation uom=\"#uom-m\">400.5</elevation>"},
      {"elevation in feet converted",
       [] { return F(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_FEET, 100.0f); },
       "<elevation uom=\"#uom-m\">30.5</elevation>"},
      {"depth", [] { return F(QUANTITY_DEPTH, MODIFIER_MIN, UNIT_METRES, 2.0f); },
       "<depth uom=\"#uom-m\" modifier=\"min\">2.0</depth>"},
      {"average heart rate", [] { return I(QUANTITY_HEARTRATE, MODIFIER_AVERAGE, UNIT_BPM, 140); },
       "<heartRate uom=\"#uom-bpm\" modifier=\"average\">140</heartRate>"},
      {"heart rate in percent cannot be given in bpm",
       [] { return F(QUANTITY_HEARTRATE, MODIFIER_INSTANT, UNIT_PERCENTMAX, 80.0f); }, ""},
      {"temperature keeps its unit",
       [] { return F(QUANTITY_TEMPERATURE, MODIFIER_INSTANT, UNIT_CELSIUS, 21.5f); },
       "<temperature uom=\"#uom-degc\">21.5</temperature>"},
      {"wheel distance",
       [] { return F(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, 1234.5f, SOURCE_WHEEL); },
       "<distance uom=\"#uom-m\" source=\"#src-wheel\" modifier=\"sum\">1234.5</distance>"},
      {"GPS distance in kilometres",
       [] { return F(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_KILOMETRES, 1.5f, SOURCE_GPS); },
       "<distance uom=\"#uom-m\" source=\"#src-gps\" modifier=\"sum\">1500.0</distance>"},
      {"source no table knows", [] { return F(QUANTITY_DISTANCE, MODIFIER_INSTANT, UNIT_METRES, 1.0f, 7); },
       "<distance uom=\"#uom-m\" source=\"unknown\">1.0</distance>"},
      {"energy", [] { return I(QUANTITY_ENERGY, MODIFIER_SUM, UNIT_CALORIES, 250); },
       "<energy uom=\"#uom-calorie\" modifier=\"sum\">250</energy>"},
      {"speed in km/h converted", [] { return F(QUANTITY_SPEED, MODIFIER_MAX, UNIT_KPH, 36.0f); },
       "<speed uom=\"#uom-mps\" modifier=\"max\">10.0</speed>"},
      {"cadence", [] { return I(QUANTITY_CADENCE, MODIFIER_INSTANT, UNIT_RPM, 85); },
       "<cadence uom=\"#uom-rpm\">85</cadence>"},
      {"quantity no table knows", [] { return F(42, MODIFIER_INSTANT, UNIT_METRES, 1.0f); },
       "<unknown uom=\"#uom-m\">1.0</unknown>"},
      {"unit without id", [] { return F(42, MODIFIER_INSTANT, UNIT_SEMICIRCLES, 1.0f); },
       "<unknown uom=\"unknown\">1.0</unknown>"},
      {"modifier above zone", [] { return F(QUANTITY_ELEVATION, 9, UNIT_METRES, 1.0f); },
       "<elevation uom=\"#uom-m\" modifier=\"unknown\">1.0</elevation>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    const ValuePtr value = c.make();
    EXPECT_EQ(Written(*value), c.expected.empty() ? "" : c.expected + "\r\n");
  }
}

TEST(QvxMeasurement, ZonesAsRangeOrReference) {
  struct Case {
    const char* legend;
    std::function<ValuePtr()> make;
    std::string expected;
  };
  const Case cases[] = {
      {"bpm range with name and codeSpace",
       [] {
         ValuePtr v(new CGpsDataIntPair(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_BPM, 100, 120));
         v->SetId("P1-hr-1");
         v->SetName("Zone 1");
         v->SetCodeSpace("http://example.org/zones");
         return v;
       },
       "<measurementZone id=\"P1-hr-1\">\r\n  <gml:name codeSpace=\"http://example.org/zones\">Zone "
       "1</gml:name>\r\n"
       "  <low>100</low>\r\n  <high>120</high>\r\n</measurementZone>\r\n"},
      {"percent range, name without codeSpace",
       [] {
         ValuePtr v(new CGpsDataFloatPair(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_PERCENTMAX, 60.0f, 70.0f));
         v->SetId("P1-hr-2");
         v->SetName("Easy & <slow>");
         return v;
       },
       "<measurementZone id=\"P1-hr-2\">\r\n  <gml:name>Easy &amp; &lt;slow&gt;</gml:name>\r\n"
       "  <low>60.0</low>\r\n  <high>70.0</high>\r\n</measurementZone>\r\n"},
      {"range without id or name",
       [] { return ValuePtr(new CGpsDataIntPair(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_BPM, 100, 120)); },
       "<measurementZone id=\"\">\r\n  <low>100</low>\r\n  <high>120</high>\r\n</measurementZone>\r\n"},
      {"zone by number refers to a profile zone",
       [] {
         ValuePtr v = I(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_HRZONE, 3);
         v->SetReference("P1-hr-3");
         return v;
       },
       "<measurementZone xlink:href=\"#P1-hr-3\"/>\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    const ValuePtr value = c.make();
    EXPECT_EQ(Written(*value), c.expected);
  }
}

}  // namespace
