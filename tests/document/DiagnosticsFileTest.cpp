#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "data/GpsDevice.h"
#include "data/GpsUnits.h"
#include "document/GoldenFile.h"
#include "document/QvxDocument.h"
#include "support/TestEnv.h"
#include "util/Util.h"

namespace {

// A device whose consistency verdict the test chooses.
class CVerdictDevice : public CGpsDevice {
public:
  bool valid = false;
  CCommsDevice* GetCommsDevice() override { return nullptr; }
  bool OpenGpsDevice(int) override { return false; }
  bool CloseGpsDevice() override { return true; }
  bool ValidateDevice() override { return false; }
  bool IsRxDataValid() override { return valid; }
  bool RxGpsData(unsigned&) override { return false; }
  bool TxGpsData(CGpsDataSet*, unsigned&) override { return false; }
  bool PowerDown() override { return false; }
};

constexpr int kDeviceTime2006 = 517000000;  // 2006-05-19T19:06:40Z

// The report with its one time-dependent line masked.
std::string Masked(const std::string& report) {
  return std::regex_replace(report, std::regex("Created:  [0-9: -]+\r\n"), "Created:  <now>\r\n");
}

class DiagnosticsFile : public ::testing::Test {
protected:
  void SetUp() override {
    CUtil::ResetForTests();
    CUtil::Initialize();
  }
  void TearDown() override { CUtil::ResetForTests(); }
  std::string Write(CVerdictDevice& device, int expectedResult = 1) {
    const auto path = dir.Path() / "report.txt";
    EXPECT_EQ(device.DiagnosticsFileCreated(path.c_str()), expectedResult);
    return std::filesystem::exists(path) ? qvtest::ReadFile(path) : std::string();
  }
  qvtest::CIsolatedHome home;
  qvtest::CTempDir dir;
};

TEST_F(DiagnosticsFile, ConsistentDataWritesNothing) {
  CVerdictDevice device;
  device.valid = true;
  device.GetDataSet().productId = "283";
  EXPECT_EQ(Write(device, 0), "");
}

TEST_F(DiagnosticsFile, ReportOfAForerunnerWithATrackLackingItsProfile) {
  CVerdictDevice device;
  CGpsDataSet& data = device.GetDataSet();
  data.prefix = "3312345678";
  data.deviceName = "Forerunner301";
  data.deviceDescription = "Software Version 2.50";
  data.firmwareVersion = "2.50";
  data.productId = "283";
  data.serialNumber = "3312345678";

  CGpsDataRun* run = data.AddRun();
  run->sport = 0;
  run->program = 0;
  run->multisport = 0;
  run->trackIndex = 0;
  run->firstLapIndex = 0;
  run->lastLapIndex = 1;

  // A lap with start and duration but no end: the end is computed.
  CGpsDataLap* lap = data.AddLap();
  lap->trackIndex = 0;
  lap->AddInteger(QUANTITY_TIME, MODIFIER_START, UNIT_DEVICETIME, kDeviceTime2006);
  lap->AddInteger(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 125);
  lap->firstId = "3312345678-0-1";
  lap->lastId = "3312345678-0-2";
  // A lap with nothing known.
  data.AddLap();

  CGpsDataTrack* track = data.AddTrack("ACTIVE LOG", 0);
  for (int i = 0; i < 2; ++i) {
    CGpsDataTrackPoint* point = track->AddPoint(0);
    point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, kDeviceTime2006 + 60 * i);
  }
  // A track without points: 0 points, the one empty segment, dashes.
  data.AddTrack("EMPTY", 1);

  CGpsDataProfile* profile = data.AddProfile();
  profile->namePair.name = "0";
  profile->description = "Running";

  const std::string report = Write(device);
  qvtest::ExpectGoldenFile("diagnostics_forerunner_283.txt", Masked(report));
  EXPECT_EQ(report.find("\n\n"), std::string::npos) << "every line ends in CR LF";
  EXPECT_NE(report.find(
                "  [00]: 0 2006-05-19T19:06:40Z 2006-05-19T19:08:45Z 125 3312345678-0-1 3312345678-0-2\r\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("  [01]: 3312345678-1 - 0 1 - - - -\r\n"), std::string::npos) << report;
}

TEST_F(DiagnosticsFile, ALapEndsAfterItsStartInTheReportAndTheDocument) {
  const struct {
    const char* legend;
    int unit;
    int start;
    const char* end;
  } cases[] = {
      {"device time after 2038", UNIT_DEVICETIME, 1577923200, "2040-01-01T01:00:00Z"},
      {"start kept as Unix time", UNIT_UNIXTIME, 1146491100, "2006-05-01T14:45:00Z"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    CVerdictDevice device;
    CGpsDataSet& data = device.GetDataSet();
    data.prefix = "G1";
    CGpsDataTrack* track = data.AddTrack("ACTIVE LOG", 0);
    for (int i = 0; i < 2; ++i)
      track->AddPoint(0)->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_DEVICETIME, 1577923200 + 3600 * i);
    CGpsDataLap* lap = data.AddLap();
    lap->trackIndex = 0;
    lap->AddInteger(QUANTITY_TIME, MODIFIER_START, c.unit, c.start);
    lap->AddInteger(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 3600);
    lap->firstId = track->GetId() + "-1";
    lap->lastId = track->GetId() + "-2";
    EXPECT_NE(Write(device).find(std::string(" ") + c.end + " 3600 "), std::string::npos);
    const auto path = dir.Path() / "doc.qvx";
    CQvxDocument document;
    ASSERT_TRUE(document.Create(data, path.c_str()));
    EXPECT_NE(qvtest::ReadFile(path).find(std::string("<gml:endPosition>") + c.end), std::string::npos);
  }
}

TEST_F(DiagnosticsFile, EmptySetListsEverySectionAsNone) {
  CVerdictDevice device;
  const std::string report = Write(device);
  for (const char* line :
       {"\r\nRuns: none\r\n", "\r\nLaps: none\r\n", "\r\nTracks: none\r\n", "\r\nUser profiles: none\r\n",
        "\r\nWorkouts: none\r\n", "\r\nWorkout occurrences: none\r\n", "\r\nWorkout limits: none\r\n"}) {
    SCOPED_TRACE(line);
    EXPECT_NE(report.find(line), std::string::npos);
  }
  EXPECT_EQ(report.rfind("Diagnostics\r\nCreated:  ", 0), 0u);
  EXPECT_NE(report.find("QVAgent version:  2.3.0.0\r\n"), std::string::npos);
}

TEST_F(DiagnosticsFile, UnwritablePathReportsNothingAndKeepsTheErrorState) {
  CVerdictDevice device;
  device.SetError(E_INVALIDARG, 3512);
  EXPECT_EQ(device.DiagnosticsFileCreated((dir.Path() / "missing" / "r.txt").c_str()), 0);
  EXPECT_EQ(device.GetErrorCode(), E_INVALIDARG);
}

}  // namespace
