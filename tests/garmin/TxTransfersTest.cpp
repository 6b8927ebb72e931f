// The transmit driver against a receiver that records every packet the host
// sends: which transfers a receiver's protocols choose, what each announces
// and sends, and how failures and missing protocols end them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "RxDriverTestSupport.h"
#include "data/GpsDataSet.h"
#include "resources/StringTable.h"
#include "support/TestEnv.h"
#include "util/TraceLog.h"

namespace {

using rxtest::Bytes;

struct Sent {
  unsigned id;
  Bytes data;
};

// Takes every packet.
class CRecordingGarmin : public rxtest::CScriptedGarmin {
public:
  bool TransmitPacket(unsigned id, const uint8_t* data, unsigned size) override {
    sent.push_back({id, Bytes(data, data + size)});
    return true;
  }
  // The 16-bit value of every records and completion packet, in order.
  std::vector<unsigned> Frame() const {
    std::vector<unsigned> frame;
    for (const Sent& s : sent) {
      if (s.id == APP_PID_RECORDS || s.id == APP_PID_XFER_CMPLT)
        frame.push_back(s.data[0] | (s.data[1] << 8));
    }
    return frame;
  }
  // The data of every packet with this id, in order.
  std::vector<Bytes> Payloads(unsigned id) const {
    std::vector<Bytes> payloads;
    for (const Sent& s : sent) {
      if (s.id == id) payloads.push_back(s.data);
    }
    return payloads;
  }

  std::vector<Sent> sent;
};

float FloatAt(const Bytes& data, size_t at) {
  float value = 0;
  std::memcpy(&value, &data.at(at + 3) - 3, 4);
  return value;
}

// A track of n points a second apart, with positions and optionally distances.
CGpsDataTrack* AddTrack(CGpsDataSet& set, const std::string& ident, int index, int n, bool distances) {
  CGpsDataTrack* track = set.AddTrack(ident, index);
  for (int i = 0; i < n; ++i) {
    CGpsDataTrackPoint* p = track->AddPoint(0);
    p->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, 1714543200 + i);
    p->AddFloatPair(QUANTITY_POSITION, MODIFIER_INSTANT, UNIT_DEGREES, 8.5f,
                    47.0f + 0.001f * static_cast<float>(i));
    if (distances)
      p->AddFloat(QUANTITY_DISTANCE, MODIFIER_INSTANT, UNIT_METRES, 10.0f * static_cast<float>(i));
  }
  return track;
}

const std::initializer_list<const char*> kA301 = {"A301", "D310", "D301"};
const std::initializer_list<const char*> kCourses = {"A301",  "D311",  "D304",  "A1006", "D1006",
                                                     "A1007", "D1007", "A1008", "D1012"};

TEST(TxTransfers, TrackLogsByProtocol) {
  struct Row {
    const char* legend;
    std::initializer_list<const char*> protocols;
    std::vector<int> points;  // per track
    std::vector<unsigned> frame;
    size_t trackPoints;
    size_t headers;
  };
  const Row rows[] = {
      {"A301 two tracks", kA301, {3, 2}, {7, 6}, 5, 2},
      {"A301 a long track thinned to 500", kA301, {501}, {501, 6}, 500, 1},
      {"A302 with D312 headers and D302 points", {"A302", "D312", "D302"}, {2}, {3, 6}, 2, 1},
      {"A300 sends the first track only, without headers", {"A300", "D300"}, {3, 2}, {3, 6}, 3, 0},
      {"A300 thins to 500", {"A300", "D300"}, {1000}, {500, 6}, 500, 0},
      {"an empty track is not announced", kA301, {0, 2}, {3, 6}, 2, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    CRecordingGarmin gps;
    gps.Protocols(row.protocols);
    CGpsDataSet set;
    int index = 0;
    for (int n : row.points) AddTrack(set, "T" + std::to_string(index), index, n, false), ++index;
    unsigned count = 0;
    ASSERT_TRUE(gps.TxGpsData(&set, count)) << gps.GetErrorText();
    EXPECT_EQ(count, static_cast<unsigned>(set.CountTrackPoints()));
    EXPECT_EQ(gps.Frame(), row.frame);
    EXPECT_EQ(gps.Payloads(APP_PID_TRK_DATA).size(), row.trackPoints);
    EXPECT_EQ(gps.Payloads(APP_PID_TRK_HDR).size(), row.headers);
  }
}

TEST(TxTransfers, NewTrackFlagsOnEverySegmentAndExcludedSegmentsStayBehind) {
  CRecordingGarmin gps;
  gps.Protocols(kA301);
  CGpsDataSet set;
  CGpsDataTrack* track = AddTrack(set, "T", 0, 2, false);
  CGpsDataTrackPoint* third = track->AddPoint(1);
  third->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, 1714549999);
  track->AddPoint(0);
  CGpsDataTrackPoint* excluded = track->AddPoint(1);
  excluded->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, 1);
  track->GetSegments().GetTail()->included = 0;
  unsigned count = 0;
  ASSERT_TRUE(gps.TxGpsData(&set, count));
  // The count announces the packets that follow: one header and four points.
  EXPECT_EQ(gps.Frame(), (std::vector<unsigned>{5, 6}));
  std::vector<uint8_t> flags;
  for (const Bytes& point : gps.Payloads(APP_PID_TRK_DATA)) flags.push_back(point.at(20));
  EXPECT_EQ(flags, (std::vector<uint8_t>{1, 0, 1, 0}));
}

TEST(TxTransfers, TracksBecomeCoursesWithMeasuredDistances) {
  CRecordingGarmin gps;
  gps.Protocols(kCourses);
  CGpsDataSet set;
  AddTrack(set, "A very long route name", 4, 3, false);
  AddTrack(set, "Second", 5, 2, false);
  unsigned count = 0;
  ASSERT_TRUE(gps.TxGpsData(&set, count)) << gps.GetErrorText();
  // Two courses, two laps, two headers and five points; no course points.
  EXPECT_EQ(gps.Frame(), (std::vector<unsigned>{2, 561, 2, 562, 7, 564}));
  // Course 0 is the first route, named to 15 bytes, with its track index.
  const Bytes& course = gps.sent.at(1).data;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&course[4])), "A very long rou");
  EXPECT_EQ(course[20], 4);
  // Points carry their distance from the start: 0.001 degrees of latitude apart.
  std::vector<float> distances;
  for (const Bytes& point : gps.Payloads(APP_PID_COURSE_TRK_DATA)) distances.push_back(FloatAt(point, 16));
  ASSERT_EQ(distances.size(), 5u);
  EXPECT_EQ(distances[0], 0.0f);
  EXPECT_NEAR(distances[1], 111.2, 0.2);
  EXPECT_NEAR(distances[2], 222.4, 0.4);
  EXPECT_EQ(distances[3], 0.0f);
  // The lap of the first course covers the measured way and the two seconds.
  const Bytes& lap = gps.sent.at(5).data;
  EXPECT_NEAR(FloatAt(lap, 8), 222.4, 0.4);
  EXPECT_EQ(lap[4] | (lap[5] << 8), 200);
}

TEST(TxTransfers, CourseFilesGoAsTheyAreInFourTransfers) {
  CRecordingGarmin gps;
  gps.Protocols(kCourses);
  CGpsDataSet set;
  for (int c = 0; c < 2; ++c) {
    CGpsDataCourse* course = set.AddCourse();
    course->track = AddTrack(set, "C" + std::to_string(c), c, 20000 * (1 - c) + 2, true);
    CGpsDataLap* lap = set.AddLap();
    lap->AddFloat(QUANTITY_TIME, MODIFIER_SUM, UNIT_SECONDS, 60.0f);
    course->AddLap(lap);
    for (int p = 0; p < 3 - c; ++p) {
      CGpsDataCoursePoint* point = course->AddCoursePoint();
      point->name = "P";
      point->pointType = "left";
      point->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME, 1714543200 + p);
    }
  }
  unsigned count = 0;
  ASSERT_TRUE(gps.TxGpsData(&set, count)) << gps.GetErrorText();
  // A course track is not thinned: 20004 points and 2 headers.
  EXPECT_EQ(gps.Frame(), (std::vector<unsigned>{2, 561, 2, 562, 20006, 564, 5, 563}));
  std::vector<unsigned> courseIndices;
  for (const Bytes& point : gps.Payloads(APP_PID_COURSE_POINT)) courseIndices.push_back(point.at(12));
  EXPECT_EQ(courseIndices, (std::vector<unsigned>{0, 0, 0, 1, 1}));
  // Carried distances go as they are, not measured again.
  EXPECT_EQ(FloatAt(gps.Payloads(APP_PID_COURSE_TRK_DATA).at(1), 16), 10.0f);
}

// Refused before anything is sent, or ended where the data fails.
TEST(TxTransfers, RefusalsAndFailures) {
  enum Data { kRoute, kBare, kCourseWithoutTime };  // bare: times only
  const HRESULT unsupported = HR_UNSUPPORTED_LINK;
  const HRESULT invalid = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  struct Row {
    const char* legend;
    std::initializer_list<const char*> protocols;
    Data data;
    HRESULT code;
    unsigned message;
    size_t packetsSent;
  };
  const Row rows[] = {
      {"no track protocol", {"A010"}, kRoute, unsupported, IDS_ERR_TRACKLOG_PROTOCOL, 0},
      {"no point type", {"A301", "D310"}, kRoute, unsupported, IDS_ERR_TRACKPOINT_PROTOCOL, 1},
      {"no header type", {"A301", "D301"}, kRoute, unsupported, IDS_ERR_TRACKHEADER_PROTOCOL, 0},
      {"no course type", {"A1006", "A1007", "D1007"}, kRoute, unsupported, IDS_ERR_COURSE_PROTOCOL, 0},
      {"no lap type", {"A1006", "D1006", "A1007"}, kRoute, unsupported, IDS_ERR_COURSELAP_PROTOCOL, 3},
      {"course receiver, no positions", kCourses, kBare, invalid, IDS_ERR_TX_INCOMPATIBLE, 0},
      {"course point without time", kCourses, kCourseWithoutTime, E_INVALIDARG, IDS_ERR_INTERNAL, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    CRecordingGarmin gps;
    gps.Protocols(row.protocols);
    CGpsDataSet set;
    if (row.data == kBare) {
      set.AddTrack("T", 0)->AddPoint(0)->AddInteger(QUANTITY_TIME, MODIFIER_INSTANT, UNIT_UNIXTIME,
                                                    1714543200);
    } else if (row.data == kCourseWithoutTime) {
      CGpsDataCourse* course = set.AddCourse();
      course->track = AddTrack(set, "C", 0, 2, true);
      course->AddCoursePoint()->name = "No time";
    } else {
      AddTrack(set, "T", 0, 2, false);
    }
    unsigned count = 0;
    EXPECT_FALSE(gps.TxGpsData(&set, count));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(gps.GetErrorCode(), row.code);
    EXPECT_EQ(gps.GetErrorText(), LoadString(row.message));
    if (row.data == kCourseWithoutTime) {
      // Stopped at the course points' announcement.
      EXPECT_EQ(gps.sent.back().id, APP_PID_RECORDS);
    } else {
      EXPECT_EQ(gps.sent.size(), row.packetsSent);
    }
  }
  // Nothing to send is no failure.
  CRecordingGarmin gps;
  gps.Protocols(kA301);
  unsigned count = 7;
  EXPECT_TRUE(gps.TxGpsData(nullptr, count));
  EXPECT_EQ(count, 0u);
  CGpsDataSet empty;
  EXPECT_TRUE(gps.TxGpsData(&empty, count));
  EXPECT_TRUE(gps.sent.empty());
}

TEST(TxTransfers, ACourseFromATrackIsTraced) {
  qvtest::CTempDir dir;
  LogClose();
  ASSERT_TRUE(LogEnable(LOG_INFO, dir.Str()));
  CRecordingGarmin gps;
  gps.Protocols(kCourses);
  CGpsDataSet set;
  AddTrack(set, "R", 0, 2, true);
  unsigned count = 0;
  EXPECT_TRUE(gps.TxGpsData(&set, count));
  CGpsDataSet bare;
  bare.AddTrack("B", 0)->AddPoint(0);
  EXPECT_FALSE(gps.TxGpsData(&bare, count));
  const std::string trace = qvtest::ReadFile(LogPath());
  LogClose();
  const char* const lines[] = {
      "CGpsGarmin::TxGpsData()",
      "CGpsGarmin::TxGpsDataTracks(): 1 tracks",
      "CGpsGarmin::TxA1006CoursesFromTracks()",
      "TxA1006CoursesFromTracks(): APP_PID_RECORDS 1 packets to transmit",
      "CGpsGarmin::TxD1006Course(CGpsDataCourse*)",
      "TxD1006Course(): APP_PID_COURSE",
      "Pid_Course (packet size = 22),",
      "D1006_Course_Type",
      "  course_name = 'R'",
      "  track_index = 0",
      "TxA1006CoursesFromTracks(): APP_PID_XFER_CMPLT",
      "CGpsGarmin::TxA1007CourseLapsFromTracks()",
      "TxA1007CourseLapsFromTracks(): APP_PID_RECORDS 1 packets to transmit",
      "CGpsGarmin::TxD1007CourseLap(2)",
      "TxD1007CourseLap(): APP_PID_COURSE_LAP",
      "Pid_Course_Lap (packet size = 32),",
      "TxA1007CourseLapsFromTracks(): APP_PID_XFER_CMPLT",
      "CGpsGarmin::TxA301A302TrackLog() course=true",
      "TxA301A302TrackLog(): APP_PID_RECORDS 3 packets to transmit",
      "CGpsGarmin::TxD311TrackHeader() course=true",
      "CD311TrackHeader",
      "  track index = 0",
      "TxD311TrackHeader(): APP_PID_COURSE_TRK_HDR",
      "CGpsGarmin::TxD311TrackHeader() numTrackPoints=2, maxTrackPoints=9999999",
      "CGpsGarmin::TxD304TrackPoint() course=true",
      "TxD304TrackPoint(): APP_PID_COURSE_TRK_DATA",
      "CGpsGarmin::TxD311TrackHeader() #track points transmitted=2, skipped=0",
      "TxA301A302TrackLog(): APP_PID_XFER_CMPLT",
      "CGpsGarmin::TxGpsDataTracks(): TX data is not compatible with device",
  };
  size_t at = 0;
  // In this order.
  for (const char* line : lines) {
    const size_t found = trace.find(line, at);
    EXPECT_NE(found, std::string::npos) << line;
    if (found != std::string::npos) at = found + std::string(line).size();
  }
}

}  // namespace
