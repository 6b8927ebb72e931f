#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "data/GpsDataSet.h"
#include "data/GpsDevice.h"
#include "document/GoldenFile.h"
#include "document/QvxDocument.h"
#include "document/XmlCheck.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "support/TestEnv.h"
#include "util/Util.h"

namespace {

constexpr int kMay1st2006 = 515425500;  // 2006-05-01T13:45:00Z as device time
constexpr int kLon = 101408950;         // 8.5 degrees in semicircles
constexpr int kLat = 566697074;         // 47.5 degrees
constexpr const char* kSportSpace = "http://www.tavelnor.com/garmin/Sports.rdf";

void SetDevice(CGpsDataSet& data) {
  data.prefix = "G3651";
  data.deviceName = "Forerunner305";
  data.deviceDescription = "Forerunner305 Software Version 2.80";
  data.serialNumber = "3651234567";
  data.productId = "484";
  data.firmwareVersion = "280";
}

// Point n of a track: every kind of value a receiver delivers, 4 s apart.
void AddPointValues(CGpsDataTrackPoint& point, int start, int n) {
  point.AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, start + 4 * n);
  point.AddIntPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_SEMICIRCLES, kLon + 1000 * n, kLat + 500 * n);
  point.AddFloat(QUANTITY_ELEVATION, MODIFIER_INSTANT, UNIT_METRES, 400.5f + static_cast<float>(n));
  point.AddFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, 12.5f * static_cast<float>(n))
      ->SetSource(SOURCE_WHEEL);
  point.AddInteger(QUANTITY_HEARTRATE, MODIFIER_INSTANT, UNIT_BPM, 120 + n);
  point.AddInteger(QUANTITY_CADENCE, MODIFIER_INSTANT, UNIT_RPM, 80);
}

// A track of points; the points listed in newSegments open a new segment.
CGpsDataTrack* AddTrack(CGpsDataSet& data, int index, int points, int start,
                        std::initializer_list<int> newSegments = {}) {
  CGpsDataTrack* track = data.AddTrack("ACTIVE LOG", index);
  for (int n = 0; n < points; ++n) {
    const bool split = std::find(newSegments.begin(), newSegments.end(), n) != newSegments.end();
    AddPointValues(*track->AddPoint(split ? 1 : 0), start, n);
  }
  return track;
}

void AddRun(CGpsDataSet& data, int trackIndex, int program, int multisport) {
  CGpsDataRun* run = data.AddRun();
  run->trackIndex = trackIndex;
  run->program = program;
  run->multisport = multisport;
  run->sport = 0;
}

CGpsDataLap* AddLap(CGpsDataSet& data, const CGpsDataTrack& track, int first, int last) {
  CGpsDataLap* lap = data.AddLap();
  lap->trackIndex = track.index;
  lap->firstId = track.GetId() + "-" + std::to_string(first);
  lap->lastId = track.GetId() + "-" + std::to_string(last);
  return lap;
}

int CountElements(const qvtest::CParsedXml& parsed, const std::string& name) {
  return static_cast<int>(
      std::count_if(parsed.elements.begin(), parsed.elements.end(),
                    [&](const std::string& e) { return e == name || e.rfind(name + " ", 0) == 0; }));
}

bool HasElement(const qvtest::CParsedXml& parsed, const std::string& line) {
  return std::find(parsed.elements.begin(), parsed.elements.end(), line) != parsed.elements.end();
}

class QvxDocumentTest : public ::testing::Test {
protected:
  void SetUp() override {
    tzset();
    CUtil::ResetForTests();
    CUtil::Initialize();
    ASSERT_EQ(CUtil::GetVersion(), "2.3.0.0");
  }
  void TearDown() override { CUtil::ResetForTests(); }

  // Writes data and returns the document's bytes; the write must succeed.
  std::string Write(const CGpsDataSet& data) {
    const std::string path = (m_dir.Path() / "doc.qvx").string();
    CQvxDocument document;
    EXPECT_TRUE(document.Create(data, path.c_str()));
    EXPECT_EQ(document.GetErrorCode(), S_OK);
    return qvtest::ReadFile(path);
  }

  qvtest::CIsolatedHome m_home;
  qvtest::CScopedEnv m_tz{"TZ", "UTC"};
  qvtest::CTempDir m_dir;
};

struct GoldenCase {
  const char* golden;
  std::function<void(CGpsDataSet&)> build;
  // Checks made on the parsed document independently of the golden copy,
  // so that a wrong golden file is not blessed unseen.
  std::function<void(const qvtest::CParsedXml&)> check;
};

const GoldenCase kGoldenCases[] = {
    {"empty.qvx", [](CGpsDataSet&) {},
     [](const qvtest::CParsedXml& x) {
       EXPECT_EQ(CountElements(x, "event"), 0);
       EXPECT_EQ(CountElements(x, "gml:UnitDefinition"), 6);
       EXPECT_EQ(CountElements(x, "profile"), 0);
     }},
    {"one_track.qvx",
     [](CGpsDataSet& data) {
       SetDevice(data);
       // Three segments; the middle one left out by the user.
       CGpsDataTrack* track = AddTrack(data, 0, 6, kMay1st2006, {2, 4});
       track->activityName = "0";
       track->activityNameSpace = kSportSpace;
       track->profile = "G3651-profile-0";
       // Segments hold points 1-2, 3-4 and 5-6.
       track->GetSegments().GetHead()->GetNext()->included = 0;
     },
     [](const qvtest::CParsedXml& x) {
       EXPECT_EQ(CountElements(x, "event"), 1);
       EXPECT_EQ(CountElements(x, "timeSample"), 4);
       EXPECT_FALSE(HasElement(x, "timeSample id=G3651-0-3"));
       EXPECT_EQ(CountElements(x, "activitySegment"), 2);
       EXPECT_TRUE(HasElement(x, "endTimeSample xlink:href=#G3651-0-6"));
     }},
    {"events_without_runs.qvx",
     [](CGpsDataSet& data) {
       SetDevice(data);
       AddTrack(data, 0, 2, kMay1st2006);
       CGpsDataSet::SetIncluded(AddTrack(data, 1, 2, kMay1st2006 + 3600), 0);  // excluded: no event
       AddTrack(data, 2, 0, kMay1st2006);                                      // no points: no event
       AddTrack(data, 3, 2, kMay1st2006 + 7200);
     },
     [](const qvtest::CParsedXml& x) {
       EXPECT_EQ(CountElements(x, "event"), 2);
       EXPECT_EQ(CountElements(x, "activity"), 2);
       EXPECT_TRUE(HasElement(x, "meter id=G3651-3"));
       EXPECT_FALSE(HasElement(x, "meter id=G3651-1"));
     }},
    {"multisport.qvx",
     [](CGpsDataSet& data) {
       SetDevice(data);
       for (int i = 0; i < 5; ++i) AddTrack(data, i, 2, kMay1st2006 + 600 * i);
       AddRun(data, 0, 0, 0);
       AddRun(data, 1, 3, 1);
       AddRun(data, 2, 3, 1);
       AddRun(data, 3, 3, 2);
       // Track 4 has no run: an event of its own.
     },
     [](const qvtest::CParsedXml& x) {
       EXPECT_EQ(CountElements(x, "event"), 3);
       EXPECT_EQ(CountElements(x, "activity"), 5);
     }},
    {"multisport_open_leg.qvx",
     [](CGpsDataSet& data) {
       SetDevice(data);
       for (int i = 0; i < 3; ++i) AddTrack(data, i, 2, kMay1st2006 + 600 * i);
       // Legs whose last leg never came: the first ends at the next activity
       // that is no leg, the second at the end of the document.
       AddRun(data, 0, 3, 1);
       AddRun(data, 1, 0, 0);
       AddRun(data, 2, 3, 1);
     },
     [](const qvtest::CParsedXml& x) { EXPECT_EQ(CountElements(x, "event"), 3); }},
    {"laps.qvx",
     [](CGpsDataSet& data) {
       SetDevice(data);
       const CGpsDataTrack* track = AddTrack(data, 0, 4, kMay1st2006);
       // Start and duration, no end: the period ends at start + duration.
       CGpsDataLap* first = AddLap(data, *track, 1, 2);
       first->AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_DEVICETIME, kMay1st2006);
       first->AddFloat(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 95.4f);
       first->AddIntPair(QUANTITY_POSITION, MODIFIER_START, UNIT_SEMICIRCLES, kLon, kLat);
       first->AddIntPair(QUANTITY_POSITION, MODIFIER_END, UNIT_SEMICIRCLES, kLon + 1000, kLat + 500);
       first->AddFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, 250.0f);
       first->AddInteger(QUANTITY_ENERGY, MODIFIER_SUM, UNIT_CALORIES, 21);
       first->AddInteger(QUANTITY_HEARTRATE, MODIFIER_AVERAGE, UNIT_BPM, 131);
       first->AddInteger(QUANTITY_HEARTRATE, MODIFIER_MAX, UNIT_BPM, 150);
       first->AddFloat(QUANTITY_SPEED, MODIFIER_MAX, UNIT_MPS, 4.25f);
       first->AddInteger(QUANTITY_CADENCE, MODIFIER_AVERAGE, UNIT_RPM, 82);
       // Start and end: the end wins; no positions: no range.
       CGpsDataLap* second = AddLap(data, *track, 3, 4);
       second->AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_DEVICETIME, kMay1st2006 + 8);
       second->AddInteger(QUANTITY_TIME, MODIFIER_END, UNIT_DEVICETIME, kMay1st2006 + 12);
       second->AddFloat(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 4.0f);
       // Only a start time: no period at all.
       CGpsDataLap* third = AddLap(data, *track, 4, 4);
       third->AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_DEVICETIME, kMay1st2006 + 12);
       // Not linked to any point: belongs to no track.
       data.AddLap()->AddFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, 1.0f);
     },
     [](const qvtest::CParsedXml& x) {
       EXPECT_EQ(CountElements(x, "activitySegment"), 3);
       EXPECT_EQ(CountElements(x, "gml:TimePeriod"), 2);
       EXPECT_EQ(CountElements(x, "positionRange"), 1);
       EXPECT_NE(x.text.find("2006-05-01T13:46:35Z"), std::string::npos);  // 13:45:00 + 95 s
       EXPECT_NE(x.text.find("95.4"), std::string::npos);                  // and the duration itself
     }},
    {"lap_track_ids.qvx",
     [](CGpsDataSet& data) {
       SetDevice(data);
       AddTrack(data, 1, 2, kMay1st2006);
       const CGpsDataTrack* twelve = AddTrack(data, 12, 2, kMay1st2006 + 600);
       AddLap(data, *twelve, 1, 2)->AddFloat(QUANTITY_DISTANCE, MODIFIER_SUM, UNIT_METRES, 25.0f);
     },
     [](const qvtest::CParsedXml& x) {
       EXPECT_EQ(CountElements(x, "activitySegmentSet"), 1);
       EXPECT_EQ(CountElements(x, "activitySegment"), 1);
       EXPECT_TRUE(HasElement(x, "beginTimeSample xlink:href=#G3651-12-1"));
     }},
    {"float_positions.qvx",
     [](CGpsDataSet& data) {
       SetDevice(data);
       CGpsDataTrack* track = data.AddTrack("Imported", 0);
       for (int n = 0; n < 2; ++n) {
         CGpsDataTrackPoint* point = track->AddPoint(0);
         point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, kMay1st2006 + n);
         point->AddFloatPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, 8.5f, 47.5f);
       }
     },
     [](const qvtest::CParsedXml& x) {
       EXPECT_EQ(CountElements(x, "gml:position"), 0);
       EXPECT_EQ(CountElements(x, "timeSample"), 2);
     }},
    {"profile_zones.qvx",
     [](CGpsDataSet& data) {
       SetDevice(data);
       CGpsDataProfile* profile = data.AddProfile();
       profile->id = "G3651-profile-0";
       profile->description = "Running";
       profile->namePair = {"0", kSportSpace};
       profile->AddInteger(QUANTITY_HEARTRATE, MODIFIER_MAX, UNIT_BPM, 190);
       CGpsDataValue* zone = profile->AddIntPair(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_BPM, 100, 120);
       zone->SetId("G3651-profile-0-hr-1");
       zone->SetName("1");
       zone->SetCodeSpace("http://www.tavelnor.com/garmin/HeartRateZones.rdf");
       CGpsDataValue* speed = profile->AddFloatPair(QUANTITY_SPEED, MODIFIER_ZONE, UNIT_MPS, 2.0f, 3.0f);
       speed->SetId("G3651-profile-0-speed-1");
       zone = profile->AddFloatPair(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_PERCENTMAX, 60.0f, 70.0f);
       zone->SetId("G3651-profile-0-hr-2");
       profile->AddInteger(QUANTITY_HEARTRATE, MODIFIER_ZONE, UNIT_HRZONE, 3)
           ->SetReference("G3651-profile-0-hr-3");
       // A profile with neither id nor zones.
       data.AddProfile()->AddFloat(QUANTITY_SPEED, MODIFIER_MAX, UNIT_MPS, 9.5f);
     },
     [](const qvtest::CParsedXml& x) {
       EXPECT_EQ(CountElements(x, "profile"), 2);
       EXPECT_TRUE(HasElement(x, "measurementZoneSet id=G3651-profile-0-heart_rate_zones"));
       EXPECT_EQ(CountElements(x, "measurementZone"), 3);
       EXPECT_FALSE(HasElement(x, "measurementZone id=G3651-profile-0-speed-1"));
       EXPECT_TRUE(HasElement(x, "profile"));  // the second, without id
     }},
    {"code_page_texts.qvx",
     [](CGpsDataSet& data) {
       SetDevice(data);
       // A description in an 8-bit code page with a stray control character,
       // and texts that need escaping.
       data.deviceDescription = "Forerunner\xE9 305\x01 <Software> & 'more'";
       data.serialNumber = "36\"51";
       CGpsDataTrack* track = AddTrack(data, 0, 1, kMay1st2006);
       track->activityName = "Course \xC3\xA0 pied";  // already UTF-8: kept
       track->activityNameSpace = "urn:x?a=1&b=2";
     },
     [](const qvtest::CParsedXml& x) {
       EXPECT_NE(x.text.find("Forerunner\xC3\xA9 305 <Software> & 'more'"), std::string::npos);
       EXPECT_NE(x.text.find("Course \xC3\xA0 pied"), std::string::npos);
       EXPECT_TRUE(HasElement(x, "gml:name codeSpace=urn:x?a=1&b=2"));
     }},
};

TEST_F(QvxDocumentTest, GoldenDocuments) {
  for (const GoldenCase& c : kGoldenCases) {
    SCOPED_TRACE(c.golden);
    CGpsDataSet data;
    c.build(data);
    const std::string document = Write(data);
    const qvtest::CParsedXml parsed = qvtest::ParseXml(document);
    ASSERT_TRUE(parsed.wellFormed) << parsed.error;
    c.check(parsed);
    qvtest::ExpectGoldenFile(c.golden, document);
  }
}

TEST_F(QvxDocumentTest, HeaderNamesVersionAndNamespaces) {
  CGpsDataSet data;
  const std::string document = Write(data);
  const qvtest::CParsedXml parsed = qvtest::ParseXml(document);
  ASSERT_TRUE(parsed.wellFormed) << parsed.error;
  ASSERT_GE(parsed.elements.size(), 2u);
  EXPECT_EQ(parsed.elements[1],
            "gml:dataSource xlink:href=http://www.tavelnor.com/agent/tavelnor/Agent_2.3.0.0.rdf");
  EXPECT_EQ(
      document.rfind(
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<qvx xmlns=\"http://www.tavelnor.com/qvx\"", 0),
      0u);
  EXPECT_EQ(document.substr(document.size() - 8), "</qvx>\r\n");
}

TEST_F(QvxDocumentTest, RewritingReplacesTheWholeFile) {
  const std::string path = (m_dir.Path() / "doc.qvx").string();
  qvtest::WriteFile(path, std::string(100000, 'x'));
  CGpsDataSet data;
  CQvxDocument document;
  ASSERT_TRUE(document.Create(data, path.c_str()));
  EXPECT_TRUE(qvtest::ParseXml(qvtest::ReadFile(path)).wellFormed);
}

TEST_F(QvxDocumentTest, FileThatCannotBeCreated) {
  CGpsDataSet data;
  CQvxDocument document;
  EXPECT_FALSE(document.Create(data, (m_dir.Path() / "missing" / "doc.qvx").c_str()));
  EXPECT_EQ(document.GetErrorId(), IDS_ERR_CREATE_FILE);
  EXPECT_EQ(document.GetErrorCode(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(QvxDocumentTest, FullDiskIsAFailureEvenForASmallDocument) {
  // Everything fits the writer's buffer, so only the final write fails.
  CGpsDataSet data;
  SetDevice(data);
  AddTrack(data, 0, 3, kMay1st2006);
  CQvxDocument document;
  EXPECT_FALSE(document.Create(data, "/dev/full"));
  EXPECT_EQ(document.GetErrorId(), IDS_ERR_WRITE_FILE);
  EXPECT_EQ(document.GetErrorCode(), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
}

// A concrete device with no link, for the device-level entry point.
class CDeviceWithoutLink : public CGpsDevice {
public:
  CCommsDevice* GetCommsDevice() override { return nullptr; }
  bool OpenGpsDevice(int) override { return false; }
  bool CloseGpsDevice() override { return true; }
  bool ValidateDevice() override { return false; }
  bool IsRxDataValid() override { return false; }
  bool RxGpsData(unsigned&) override { return false; }
  bool TxGpsData(CGpsDataSet*, unsigned&) override { return false; }
  bool PowerDown() override { return false; }
};

TEST_F(QvxDocumentTest, DeviceErrorIsSetOnFailureAndResetOnSuccess) {
  CDeviceWithoutLink device;
  SetDevice(device.GetDataSet());
  AddTrack(device.GetDataSet(), 0, 2, kMay1st2006);

  EXPECT_EQ(device.CreateQvxFile("/dev/full"), 0);
  EXPECT_EQ(device.GetErrorCode(), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
  EXPECT_EQ(device.GetErrorText(), LoadString(IDS_ERR_WRITE_FILE));

  const std::string path = (m_dir.Path() / "device.qvx").string();
  EXPECT_EQ(device.CreateQvxFile(path.c_str()), 1);
  EXPECT_EQ(device.GetErrorCode(), S_OK);
  EXPECT_EQ(device.GetErrorText(), "");
  EXPECT_EQ(qvtest::ReadFile(path), Write(device.GetDataSet()));
}

// In a child process whose files may not grow beyond 100000 bytes: the write
// fails part way, the failure is reported, and the partial file stays.
TEST_F(QvxDocumentTest, WriteFailurePartWayLeavesThePartialFile) {
  CGpsDataSet data;
  SetDevice(data);
  AddTrack(data, 0, 5000, kMay1st2006);
  const std::string path = (m_dir.Path() / "partial.qvx").string();
  constexpr rlim_t kLimit = 100000;
  const auto writeUnderLimit = [&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kLimit, kLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
    CQvxDocument document;
    const bool created = document.Create(data, path.c_str());
    const bool reported = !created && document.GetErrorId() == IDS_ERR_WRITE_FILE &&
                          document.GetErrorCode() == HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    std::_Exit(reported ? 0 : 1);
  };
  EXPECT_EXIT(writeUnderLimit(), ::testing::ExitedWithCode(0), "");
  ASSERT_TRUE(std::filesystem::exists(path));
  const std::string partial = qvtest::ReadFile(path);
  EXPECT_EQ(partial.size(), kLimit);
  EXPECT_EQ(partial, Write(data).substr(0, kLimit));
}

}  // namespace
