// The three readers on small documents of the kinds other programs write.
// Every case is read in chunks of 1 byte, 128 bytes and the reader's own
// size, which must all give the same data, error and line. The readers share
// one value scanner, so each class of error (nesting, number, time,
// coordinates) has one row, not one per format.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "data/GpsDataSet.h"
#include "data/GpsUnits.h"
#include "import/ImportReader.h"
#include "resources/StringIds.h"

namespace {

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

std::string DescribePoint(const CGpsDataTrackPoint& point) {
  std::string out;
  float longitude = 0;
  float latitude = 0;
  if (const CGpsDataValue* position = point.FindValue(QUANTITY_POSITION, MODIFIER_INSTANT)) {
    if (position->GetPairFloat(UNIT_DEGREES, &longitude, &latitude))
      out = Number(longitude) + "," + Number(latitude);
  }
  float real = 0;
  if (const CGpsDataValue* v = point.FindValue(QUANTITY_ELEVATION, MODIFIER_INSTANT)) {
    if (v->GetFloat(UNIT_METRES, &real)) out += ",e=" + Number(real);
  }
  const struct {
    int quantity, unit;
    const char* name;
  } wholes[] = {{QUANTITY_TIME, UNIT_UNIXTIME, ",t="},
                {QUANTITY_HEARTRATE, UNIT_BPM, ",hr="},
                {QUANTITY_CADENCE, UNIT_RPM, ",cad="}};
  for (const auto& w : wholes) {
    int whole = 0;
    const CGpsDataValue* v = point.FindValue(w.quantity, MODIFIER_INSTANT);
    if (v != nullptr && v->GetInt(w.unit, &whole)) out += w.name + std::to_string(whole);
  }
  for (const CGpsDataValue* v : point.GetValues()) {
    if (v->GetQuantity() == QUANTITY_DISTANCE && v->GetFloat(UNIT_METRES, &real)) out += ",d=" + Number(real);
  }
  return out;
}

// A data set as one line: tracks as `ident#index{segment|segment}`, points as
// `lon,lat[,e=..][,t=unix time][,hr=..][,cad=..][,d=..]`, then
// `run(track,first-last,sport,program,multisport)`, `lap(first id..last id)`
// and `course(name,laps,points,track ident)`.
std::string DescribeDataSet(const CGpsDataSet& data) {
  std::string out;
  for (const CGpsDataTrack* track : data.GetTracks()) {
    out += track->ident + "#" + std::to_string(track->index) + "{";
    bool firstSegment = true;
    for (const CGpsDataSegment* segment : track->GetSegments()) {
      if (segment->first == nullptr) continue;
      if (!firstSegment) out += "|";
      firstSegment = false;
      for (const CGpsDataTrackPoint* point = segment->first; point != nullptr; point = point->GetNext()) {
        if (point != segment->first) out += " ";
        out += DescribePoint(*point);
        if (point == segment->last) break;
      }
    }
    out += "}";
  }
  for (const CGpsDataRun* run : data.GetRuns()) {
    out += " run(" + std::to_string(run->trackIndex) + "," + std::to_string(run->firstLapIndex) + "-" +
           std::to_string(run->lastLapIndex) + "," + std::to_string(run->sport) + "," +
           std::to_string(run->program) + "," + std::to_string(run->multisport) + ")";
  }
  for (const CGpsDataLap* lap : data.GetLaps()) {
    out += " lap(" + lap->firstId + ".." + lap->lastId + ")";
  }
  for (const CGpsDataCourse* course : data.GetCourses()) {
    out += " course(" + course->name + "," + std::to_string(course->GetLaps().size()) + "," +
           std::to_string(course->GetPoints().GetCount()) + "," +
           (course->track != nullptr ? course->track->ident : std::string("-")) + ")";
  }
  return out;
}

struct ReaderCase {
  const char* legend;
  const char* file;  // the name that chooses the reader
  std::string document;
  std::string expected;    // DescribeDataSet of the result
  unsigned errorId = 0;    // the first validation error; 0 when valid
  unsigned errorLine = 0;  // its line
  bool malformed = false;  // the parse stops: not well-formed (errorLine is then Expat's line)
};

std::string Gpx(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" "
         "xmlns=\"http://www.topografix.com/GPX/1/1\">\n" +
         body + "</gpx>\n";
}

std::string Kml(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
         "xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n<Document>\n" +
         body + "</Document>\n</kml>\n";
}

std::string Tcx(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<TrainingCenterDatabase "
         "xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\">\n" +
         body + "</TrainingCenterDatabase>\n";
}

const char* const kPoint = "<trkpt lat=\"2\" lon=\"1\"/>\n";

const ReaderCase kCases[] = {
    // GPX
    {"two tracks, two segments, metadata, waypoints and routes skipped", "a.gpx",
     Gpx("<metadata><name>x</name><time>bad</time></metadata>\n<wpt lat=\"9\" "
         "lon=\"9\"><name>w</name></wpt>\n"
         "<rte><rtept lat=\"9\" lon=\"9\"/></rte>\n"
         "<trk><name>n</name><trkseg>\n<trkpt lat=\"47.5\" lon=\"8.25\"><ele>400.5</ele>"
         "<time>2006-05-01T10:00:00Z</time><course>3</course><speed>2</speed></trkpt>\n"
         "<trkpt lat=\"47.6\" lon=\"8.5\"><ele>-12.5</ele></trkpt></trkseg>\n"
         "<trkseg>" +
         std::string(kPoint) + "</trkseg></trk>\n<trk><trkseg>" + kPoint + "</trkseg></trk>\n"),
     "Imported 01#1{8.25,47.5,e=400.5,t=1146477600 8.5,47.6,e=-12.5|1,2}Imported 02#2{1,2}"},
    {"every time form gives the same instant; a date without a time is error 3606 with its line", "a.gpx",
     Gpx("<trk><trkseg>\n<trkpt lat=\"2\" lon=\"1\"><time>2006-05-01T12:00:00+02:00</time></trkpt>\n"
         "<trkpt lat=\"2\" lon=\"1\"><time>2006-05-01T10:00:00.7Z</time></trkpt>\n"
         "<trkpt lat=\"2\" lon=\"1\"><time>2006-05-01T11:30:00.524+01:30</time></trkpt>\n"
         "<trkpt lat=\"2\" lon=\"1\"><time>2006-05-01T10:00:00</time></trkpt>\n"
         "<trkpt lat=\"2\" lon=\"1\"><time>2006-04-30T23:30:00-10:30</time></trkpt>\n"
         "<trkpt lat=\"2\" lon=\"1\">\n<time>2006-05-01</time></trkpt>\n</trkseg></trk>\n"),
     "Imported 01#1{1,2,t=1146477600 1,2,t=1146477600 1,2,t=1146477600 1,2,t=1146477600 1,2,t=1146477600 "
     "1,2}",
     IDS_IMP_GPX_BAD_TIME, 10},
    {"an elevation of 1e30 is error 3605 and parsing goes on; an unreadable latitude skips the point and "
     "its children silently",
     "a.gpx",
     Gpx("<trk><trkseg>\n<trkpt lat=\"abc\" lon=\"1\"><ele>1e30</ele></trkpt>\n"
         "<trkpt lat=\"2\" lon=\"1\"><ele>1e30</ele></trkpt>\n"
         "<trkpt lat=\"3\" lon=\"1\"><ele>x</ele></trkpt>\n</trkseg></trk>\n"),
     "Imported 01#1{1,2 1,3}", IDS_IMP_GPX_BAD_ELEVATION, 5},
    {"a track point directly in the track is error 3604 and adds nothing", "a.gpx",
     Gpx("<trk>\n<trkpt lat=\"2\" lon=\"1\"/>\n</trk>\n"), "Imported 01#1{}", IDS_IMP_GPX_TAG_TRKPT, 4},
    {"heart rate and cadence of the track-point extension, whatever the prefix", "a.gpx",
     Gpx("<trk><trkseg><trkpt lat=\"2\" lon=\"1\"><extensions><ns3:TrackPointExtension xmlns:ns3=\"x\">"
         "<ns3:hr>142</ns3:hr><ns3:cad>88</ns3:cad></ns3:TrackPointExtension></extensions></trkpt>\n"
         "<trkpt lat=\"2\" lon=\"1\"><extensions><gpxtpx:TrackPointExtension><gpxtpx:hr>0</gpxtpx:hr>"
         "<gpxtpx:atemp>20</gpxtpx:atemp></gpxtpx:TrackPointExtension></extensions></trkpt></trkseg></"
         "trk>\n"),
     "Imported 01#1{1,2,hr=142,cad=88 1,2}"},
    {"a byte-order mark and CR LF line ends", "a.GPX",
     "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<gpx>\r\n<trk><trkseg>\r\n<trkpt lat=\"2\" lon=\"1\"/>\r\n"
     "<trkpt lat=\"2\">\r\n</trkpt></trkseg></trk></gpx>\r\n",
     "Imported 01#1{1,2}", IDS_IMP_GPX_BAD_POSITION, 5},
    {"an entity declaration stops the parse like malformed XML", "a.gpx",
     "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [\n<!ENTITY a \"aaaaaaaaaa\">\n]>\n<gpx>&a;</gpx>\n", "", 0, 3,
     true},
    {"malformed XML stops the parse at its line", "a.gpx", Gpx("<trk>\n<trkseg></trk>\n"), "Imported 01#1{}",
     0, 4, true},
    // KML
    {"placemarks named, tuples on lines and tabs, two-number tuples, points and polygons skipped", "a.kml",
     Kml("<name>the document</name>\n<Folder><Placemark><name> Morning ride </name><Style/><LineString>"
         "<tessellate>1</tessellate><coordinates>\n  8.5,47.25,400\n\t8.75,47.5,410.5\n "
         "9,47.75\n</coordinates>"
         "</LineString></Placemark>\n"
         "<Placemark><Point><coordinates>1,2,3</coordinates></Point></Placemark>\n"
         "<Placemark><name>area</name><Polygon><outerBoundaryIs><LinearRing><coordinates>1,2 3,4 "
         "1,2</coordinates>"
         "</LinearRing></outerBoundaryIs></Polygon></Placemark></Folder>\n"
         "<GroundOverlay><gx:LatLonQuad><coordinates>1,2 "
         "3,4</coordinates></gx:LatLonQuad></GroundOverlay>\n"),
     "Morning ride#1{8.5,47.25,e=400 8.75,47.5,e=410.5 9,47.75}Imported 02#2{}area#3{}"},
    {"multi-geometry paths become segments of one track", "a.kml",
     Kml("<kml:Placemark xmlns:kml=\"k\"><kml:MultiGeometry><kml:LineString><kml:coordinates>1,2,3 4,5,6"
         "</kml:coordinates></kml:LineString><LineString><coordinates>7,8,9</coordinates></LineString>"
         "</kml:MultiGeometry></kml:Placemark>\n"),
     "Imported 01#1{1,2,e=3 4,5,e=6|7,8,e=9}"},
    {"a tuple with one number is error 3704 and ends that path", "a.kml",
     Kml("<Placemark><LineString><coordinates>1,2,3\n5\n6,7,8</coordinates></LineString></Placemark>\n"),
     "Imported 01#1{1,2,e=3}", IDS_IMP_KML_BAD_COORDINATES, 6},
    {"gx:Track pairs times and coordinates in order; a multi-track gives segments", "a.kml",
     Kml("<Placemark><name>run</name><TimeStamp><when>2001-01-01</when></TimeStamp><gx:MultiTrack>"
         "<gx:Track><when>2010-05-28T02:02:09Z</when><when>2010-05-28T02:02:35Z</when>\n"
         "<gx:coord>-122.207881 37.371915 156.0</gx:coord><gx:coord>-122.205712 37.373288 152.0</gx:coord>"
         "<ExtendedData/></gx:Track>\n<gx:Track><when>2010-05-28T03:00:00+01:00</when><gx:coord>1 "
         "2</gx:coord>"
         "</gx:Track></gx:MultiTrack></Placemark>\n"),
     "run#1{-122.208,37.3719,e=156,t=1275012129 -122.206,37.3733,e=152,t=1275012155|1,2,t=1275012000}"},
    // Training centre, first generation and courses
    {"a running history with two runs", "a.hst",
     Tcx("<History><Running Name=\"\">\n<Run><Lap><TotalTimeSeconds>60</TotalTimeSeconds><Track>"
         "<Trackpoint><Time>2006-05-01T10:00:00Z</Time><Position><LatitudeDegrees>2</LatitudeDegrees>"
         "<LongitudeDegrees>1</LongitudeDegrees></Position><AltitudeMeters>5</AltitudeMeters>"
         "<HeartRateBpm>120</HeartRateBpm><Cadence>80</Cadence></Trackpoint>\n"
         "<Trackpoint><Time>2006-05-01T10:00:05Z</Time></Trackpoint>\n"
         "<Trackpoint><Time>2006-05-01T10:00:09</Time><Position><LatitudeDegrees>3</LatitudeDegrees>"
         "<LongitudeDegrees>1</LongitudeDegrees></Position></Trackpoint>"
         "</Track></Lap></Run>\n<Run><Lap/><Lap/></Run></Running></History>\n"),
     "00 Run#0{1,2,e=5,t=1146477600,hr=120,cad=80 1,3,t=1146477609}01 Run#1{} run(0,0-0,0,0,0) "
     "run(1,1-2,0,0,0)"
     " lap(..) lap(..) lap(..)"},
    {"a first-generation multisport session: legs grouped, the last one marked", "a.hst",
     Tcx("<MultiSportSession><FirstSport Sport=\"Running\"><Run/></FirstSport>\n"
         "<NextSport Sport=\"Biking\"><Run/></NextSport></MultiSportSession>\n"),
     "00 Run Multisport#0{}01 Bike Multisport#1{} run(0,0-0,0,3,1) run(1,0-0,1,3,2)"},
    {"a course over several Track elements keeps one track, one segment per Track", "a.crs",
     Tcx("<Courses><Course><Name>Loop</Name><Lap><TotalTimeSeconds>9</TotalTimeSeconds><BeginPosition>"
         "<LatitudeDegrees>2</LatitudeDegrees><LongitudeDegrees>1</LongitudeDegrees></BeginPosition>"
         "<AverageHeartRateBpm><Value>140</Value></AverageHeartRateBpm></Lap>\n"
         "<Track><Trackpoint><Time>2006-05-01T10:00:00Z</Time><Position><LatitudeDegrees>2</LatitudeDegrees>"
         "<LongitudeDegrees>1</LongitudeDegrees></Position></Trackpoint></Track>\n"
         "<Track><Trackpoint><Time>2006-05-01T10:00:01Z</Time><Position><LatitudeDegrees>3</LatitudeDegrees>"
         "<LongitudeDegrees>1</LongitudeDegrees></Position></Trackpoint></Track>\n"
         "<CoursePoint><Name>Top</Name><Time>2006-05-01T10:00:01Z</Time><Position><LatitudeDegrees>3"
         "</LatitudeDegrees><LongitudeDegrees>1</LongitudeDegrees></Position><PointType>Summit</PointType>"
         "</CoursePoint></Course></Courses>\n"),
     "00 Loop#0{1,2,t=1146477600|1,3,t=1146477601} lap(..) course(Loop,1,1,00 Loop)"},
    // Training centre, second generation
    {"a second-generation activity: laps linked to their points, values as received", "a.tcx",
     Tcx("<Activities><Activity Sport=\"Biking\"><Id>2019-05-04T08:01:48Z</Id>\n"
         "<Lap StartTime=\"2019-05-04T10:01:48.524+02:00\"><TotalTimeSeconds>2.0</TotalTimeSeconds>"
         "<DistanceMeters>10</DistanceMeters><MaximumSpeed>5</MaximumSpeed><Calories>3</Calories>"
         "<AverageHeartRateBpm><Value>130</Value></AverageHeartRateBpm><Intensity>Active</Intensity>"
         "<Cadence>80</Cadence><TriggerMethod>Manual</TriggerMethod><Track>\n"
         "<Trackpoint><Time>2019-05-04T08:01:48Z</Time><Position><LatitudeDegrees>47.123456</LatitudeDegrees>"
         "<LongitudeDegrees>8.654321</LongitudeDegrees></Position><AltitudeMeters>400</AltitudeMeters>"
         "<DistanceMeters>0</DistanceMeters><HeartRateBpm><Value>128</Value></HeartRateBpm>"
         "<Cadence>79</Cadence><SensorState>Present</SensorState>"
         "<Extensions><TPX><Speed>3</Speed></TPX></Extensions></Trackpoint>\n"
         "<Trackpoint><Time>2019-05-04T08:01:50Z</Time><Position><LatitudeDegrees>47.2</LatitudeDegrees>"
         "<LongitudeDegrees>8.7</LongitudeDegrees></Position></Trackpoint></Track></Lap>\n"
         "<Lap StartTime=\"2019-05-04T08:01:50Z\"><TotalTimeSeconds>2</TotalTimeSeconds><Track>"
         "<Trackpoint><Time>2019-05-04T08:01:52Z</Time><Position><LatitudeDegrees>47.3</LatitudeDegrees>"
         "<LongitudeDegrees>8.8</LongitudeDegrees></Position></Trackpoint></Track></Lap>\n"
         "<Creator><Name>x</Name></Creator></Activity></Activities>\n"),
     "00 Bike#0{8.65432,47.1235,e=400,t=1556956908,hr=128,cad=79,d=0 8.7,47.2,t=1556956910|8.8,47.3,"
     "t=1556956912} run(0,0-1,1,0,0) lap(-0-1..-0-2) lap(-0-2..-0-3)"},
    {"a second-generation multisport session maps as the first generation's", "a.tcx",
     Tcx("<Activities><MultiSportSession><Id>x</Id><FirstSport><Activity Sport=\"Running\"/></FirstSport>\n"
         "<NextSport><Transition><TotalTimeSeconds>5</TotalTimeSeconds></Transition><Activity "
         "Sport=\"Other\"/>"
         "</NextSport></MultiSportSession>\n<Activity Sport=\"Running\"/></Activities>\n"),
     "00 Run Multisport#0{}01 Other Multisport#1{}02 Run#2{} run(0,0-0,0,3,1) run(1,0-0,2,3,2) "
     "run(2,0-0,0,0,0)"},
};

class ReaderTest : public testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTest, ReadsWhatTheFileHolds) {
  const ReaderCase& c = GetParam();
  for (size_t chunk : {size_t{1}, size_t{128}, CXmlFileReader::kChunkSize}) {
    SCOPED_TRACE(std::string(c.legend) + ", chunk " + std::to_string(chunk));
    std::unique_ptr<CXmlFileReader> reader = CreateImportReader(c.file);
    ASSERT_NE(reader, nullptr);
    const size_t size = c.document.size();
    const int parsed = reader->ParseSource(
        [&, offset = size_t{0}](char* buffer, size_t room) mutable -> int64_t {
          const size_t n = std::min(room, size - offset);
          c.document.copy(buffer, n, offset);
          offset += n;
          return static_cast<int64_t>(n);
        },
        chunk);
    EXPECT_EQ(DescribeDataSet(reader->GetData()), c.expected);
    if (c.malformed) {
      EXPECT_EQ(parsed, 0);
      EXPECT_EQ(reader->GetFailure(), EXmlParseFailure::Malformed);
      EXPECT_EQ(reader->GetXmlErrorLine(), c.errorLine);
      EXPECT_FALSE(reader->GetXmlErrorText().empty());
    } else {
      EXPECT_EQ(parsed, 1);
      EXPECT_EQ(reader->GetErrorId(), c.errorId);
      EXPECT_EQ(reader->GetErrorLine(), c.errorLine);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Documents, ReaderTest, testing::ValuesIn(kCases));

TEST(ImportDispatchTest, ChoosesByTheExtensionAlone) {
  const struct {
    const char* path;
    const char* extension;
    bool supported;
  } rows[] = {{"TRACK.GPX", "GPX", true},
              {"dir.kml/file.kml", "KML", true},
              {"trail.gpx..", "GPX", true},
              {"track.gpx.bak", "BAK", false},
              {"/home/me/gpx", "/HOME/ME/GPX", false}};
  for (const auto& row : rows) {
    EXPECT_EQ(GetImportExtension(row.path), row.extension) << row.path;
    EXPECT_EQ(CreateImportReader(row.path) != nullptr, row.supported) << row.path;
  }
}

}  // namespace
