// Sending to the receiver: the entry, the compatibility test and the track
// log transfers A300 and A301/A302 with their headers and points, which the
// course transfers also use for a course's track.
#include <algorithm>
#include <vector>

#include "garmin/GarminIds.h"
#include "garmin/RxCountedTransfer.h"
#include "garmin/TrackDistances.h"
#include "garmin/TrackEncoders.h"
#include "resources/StringIds.h"
#include "util/TraceLog.h"

namespace {

constexpr HRESULT HR_INVALID_DATA = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

const char* BoolText(bool value) {
  return value ? "true" : "false";
}

uint16_t ChooseTxPointType(const CGpsGarmin& gps) {
  for (uint16_t type : {300, 301, 302, 303, 304}) {
    if (gps.IsProtocolSupported('D', type)) return type;
  }
  return 0;
}

uint16_t ChooseTxHeaderType(const CGpsGarmin& gps) {
  for (uint16_t type : {310, 311, 312}) {
    if (gps.IsProtocolSupported('D', type)) return type;
  }
  return 0;
}

bool IsCourseCapable(const CGpsGarmin& gps) {
  return gps.IsProtocolSupported('A', 1006) && gps.IsProtocolSupported('A', 1007);
}

// Calls visit(point, firstOfSegment) for every point of the track's included
// segments, in order; stops when visit returns false.
template <class Visit>
bool WalkIncludedPoints(CGpsDataTrack& track, Visit visit) {
  for (CGpsDataSegment* segment : track.GetSegments()) {
    if (segment->included == 0 || segment->last == nullptr) continue;
    bool first = true;
    for (CGpsDataTrackPoint* point = segment->first; point != nullptr; point = point->GetNext()) {
      if (!visit(*point, first)) return false;
      first = false;
      if (point == segment->last) break;
    }
  }
  return true;
}

// The points a track sends once thinned to maxPoints.
int CountPointsSent(CGpsDataTrack& track, int maxPoints) {
  CTrackThinning thinning(track.GetPoints().GetCount(), maxPoints);
  WalkIncludedPoints(track, [&](CGpsDataTrackPoint&, bool) {
    thinning.Keep();
    return true;
  });
  return thinning.GetSent();
}

bool IsSentTrack(const CGpsDataTrack* track) {
  return CGpsDataSet::HasIncludedSegment(track) && track->GetPoints().GetCount() > 0;
}

// The track whose first included point decides whether the data suit a
// course receiver: the first course's track, or without courses the first track.
const CGpsDataTrack* FindDecidingTrack(const CGpsDataSet& set) {
  if (!set.GetCourses().IsEmpty()) {
    for (const CGpsDataCourse* course : set.GetCourses()) {
      if (CGpsDataSet::HasIncludedSegment(course->track)) return course->track;
    }
    return nullptr;
  }
  for (const CGpsDataTrack* track : set.GetTracks()) {
    if (track->HasIncludedSegment()) return track;
  }
  return nullptr;
}

}  // namespace

bool CGpsGarmin::TxGpsData(CGpsDataSet* data, unsigned& count) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxGpsData()");
  count = 0;
  if (data == nullptr) return true;
  if (!TxGpsDataTracks(data)) return false;
  count += static_cast<unsigned>(data->CountTrackPoints());
  return true;
}

bool CGpsGarmin::IsTxDataCompatible(CGpsDataSet* data) {
  if (!IsCourseCapable(*this)) return true;
  if (data == nullptr) return false;
  const CGpsDataTrack* track = FindDecidingTrack(*data);
  if (track == nullptr) return false;
  for (const CGpsDataSegment* segment : track->GetSegments()) {
    if (segment->included == 0 || segment->first == nullptr) continue;
    for (const CGpsDataValue* value : segment->first->GetValues()) {
      if (value->GetQuantity() == QUANTITY_DISTANCE && value->GetModifier() == MODIFIER_INSTANT) return true;
    }
    return false;
  }
  return false;
}

bool CGpsGarmin::TxGpsDataTracks(CGpsDataSet* set) {
  const int trackCount = set->GetTracks().GetCount();
  LogWrite(LOG_INFO, "CGpsGarmin::TxGpsDataTracks(): %d tracks", trackCount);
  if (trackCount == 0) return true;

  const bool courses = IsCourseCapable(*this);
  if (courses) {
    // Routes from files carry no distances, which a course receiver needs:
    // they are measured along the track before the data are judged.
    auto measure = [&](CGpsDataTrack* track) {
      if (!IsSentTrack(track) || AddComputedDistances(*track)) return true;
      LogWrite(LOG_ERROR, "CGpsGarmin::TxGpsDataTracks(): Out of memory");
      SetError(E_OUTOFMEMORY, IDS_ERR_OUT_OF_MEMORY);
      return false;
    };
    if (!set->GetCourses().IsEmpty()) {
      for (CGpsDataCourse* course : set->GetCourses()) {
        if (!measure(course->track)) return false;
      }
    } else {
      for (CGpsDataTrack* track : set->GetTracks()) {
        if (!measure(track)) return false;
      }
    }
  }
  if (!IsTxDataCompatible(set)) {
    LogWrite(LOG_ERROR, "CGpsGarmin::TxGpsDataTracks(): TX data is not compatible with device");
    SetError(HR_INVALID_DATA, IDS_ERR_TX_INCOMPATIBLE);
    return false;
  }
  // The total becomes the point count, whatever opening the link counted.
  ProgressAddTotal(set->CountTrackPoints() - GetProgressTotal(), GPS_DIRECTION_TX);

  if (courses) {
    if (!set->GetCourses().IsEmpty()) {
      ProgressAddTotal(set->CountCourseLaps() + set->CountCoursePoints() + set->GetCourses().GetCount() +
                           set->CountCoursesWithTrack(),
                       GPS_DIRECTION_TX);
      return TxA1006Courses(set) && TxA1007CourseLaps(set) && TxA301A302CourseTracks(set) &&
             TxA1008CoursePoint(set);
    }
    const bool runsAndLaps = !set->GetRuns().IsEmpty() && !set->GetLaps().IsEmpty();
    ProgressAddTotal(runsAndLaps ? set->GetLaps().GetCount() + trackCount : 2 * trackCount, GPS_DIRECTION_TX);
    return TxA1006CoursesFromTracks(set) && TxA1007CourseLapsFromTracks(set) && TxA301A302TrackLog(set, true);
  }
  if (IsProtocolSupported('A', 300)) return TxA300TrackLog(set);
  if (IsProtocolSupported('A', 301) || IsProtocolSupported('A', 302)) return TxA301A302TrackLog(set, false);
  LogWrite(LOG_ERROR, "CGpsGarmin::TxGpsDataTracks(): track log transfer protocol unsupported");
  SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_TRACKLOG_PROTOCOL);
  return false;
}

bool CGpsGarmin::_TxPacket(unsigned packetId, const uint8_t* data, unsigned size) {
  // The percent changes only every so many packets; a cancellation must not wait for it.
  if (!ProgressContinue(GPS_DIRECTION_TX)) return false;
  return TransmitPacket(packetId, data, size);
}

bool CGpsGarmin::_TxRecords(uint16_t count) {
  const uint8_t data[2] = {static_cast<uint8_t>(count & 0xFF), static_cast<uint8_t>(count >> 8)};
  return _TxPacket(APP_PID_RECORDS, data, sizeof data);
}

bool CGpsGarmin::_TxComplete(uint16_t command) {
  const uint8_t data[2] = {static_cast<uint8_t>(command & 0xFF), static_cast<uint8_t>(command >> 8)};
  return _TxPacket(APP_PID_XFER_CMPLT, data, sizeof data);
}

bool CGpsGarmin::_TxTrackPoint(uint16_t pointType, CGpsDataTrackPoint& point, bool newTrack, bool course) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxD%uTrackPoint() course=%s", static_cast<unsigned>(pointType),
           BoolText(course));
  uint8_t record[TRACK_POINT_MAX_SIZE];
  const size_t size =
      EncodeTrackPoint(pointType, CollectTrackPointFields(point), newTrack, record, sizeof record);
  if (size == 0) {
    SetError(E_INVALIDARG, IDS_ERR_INTERNAL);
    return false;
  }
  LogWrite(LOG_INFO, "TxD%uTrackPoint(): %s", static_cast<unsigned>(pointType),
           course ? "APP_PID_COURSE_TRK_DATA" : "APP_PID_TRK_DATA");
  return _TxPacket(course ? APP_PID_COURSE_TRK_DATA : APP_PID_TRK_DATA, record, static_cast<unsigned>(size));
}

bool CGpsGarmin::TxD300TrackPoint(CGpsDataTrackPoint* point, bool newTrack, bool course) {
  return _TxTrackPoint(300, *point, newTrack, course);
}
bool CGpsGarmin::TxD301TrackPoint(CGpsDataTrackPoint* point, bool newTrack, bool course) {
  return _TxTrackPoint(301, *point, newTrack, course);
}
bool CGpsGarmin::TxD302TrackPoint(CGpsDataTrackPoint* point, bool newTrack, bool course) {
  return _TxTrackPoint(302, *point, newTrack, course);
}
bool CGpsGarmin::TxD303TrackPoint(CGpsDataTrackPoint* point, bool newTrack, bool course) {
  return _TxTrackPoint(303, *point, newTrack, course);
}
bool CGpsGarmin::TxD304TrackPoint(CGpsDataTrackPoint* point, bool newTrack, bool course) {
  return _TxTrackPoint(304, *point, newTrack, course);
}

bool CGpsGarmin::_TxTrackHeader(uint16_t headerType, CGpsDataTrack& track, bool course) {
  const unsigned type = headerType;
  LogWrite(LOG_INFO, "CGpsGarmin::TxD%uTrackHeader() course=%s", type, BoolText(course));
  const uint16_t pointType = ChooseTxPointType(*this);
  if (pointType == 0) {
    LogWrite(LOG_ERROR, "CGpsGarmin::TxD%uTrackHeader(): track point type unsupported", type);
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_TRACKPOINT_PROTOCOL);
    return false;
  }
  uint8_t header[TRACK_HEADER_MAX_SIZE];
  const size_t size = EncodeTrackHeader(headerType, track, header, sizeof header);
  if (size == 0) {
    SetError(E_INVALIDARG, IDS_ERR_INTERNAL);
    return false;
  }
  if (course && headerType == 311) {
    LogWrite(LOG_INFO, "CD311TrackHeader");
    LogWrite(LOG_INFO, "{");
    LogWrite(LOG_INFO, "  track index = %u", static_cast<unsigned>(track.index & 0xFFFF));
    LogWrite(LOG_INFO, "}");
  }
  LogWrite(LOG_INFO, "TxD%uTrackHeader(): %s", type, course ? "APP_PID_COURSE_TRK_HDR" : "APP_PID_TRK_HDR");
  if (!_TxPacket(course ? APP_PID_COURSE_TRK_HDR : APP_PID_TRK_HDR, header, static_cast<unsigned>(size))) {
    LogWrite(LOG_ERROR, "CGpsGarmin::TxD%uTrackHeader(): Unable to transmit track header", type);
    return false;
  }

  const int pointCount = track.GetPoints().GetCount();
  const int maxPoints = course ? COURSE_TRACK_MAX_POINTS : TRACK_LOG_MAX_POINTS;
  LogWrite(LOG_INFO, "CGpsGarmin::TxD%uTrackHeader() numTrackPoints=%d, maxTrackPoints=%d", type, pointCount,
           maxPoints);
  CTrackThinning thinning(pointCount, maxPoints);
  bool newTrack = true;
  const bool sent = WalkIncludedPoints(track, [&](CGpsDataTrackPoint& point, bool firstOfSegment) {
    if (firstOfSegment) newTrack = true;
    if (!thinning.Keep()) return true;
    if (!_TxTrackPoint(pointType, point, newTrack, course)) return false;
    newTrack = false;
    return true;
  });
  if (!sent) return false;
  LogWrite(LOG_INFO, "CGpsGarmin::TxD%uTrackHeader() #track points transmitted=%d, skipped=%d", type,
           thinning.GetSent(), thinning.GetSkipped());
  return true;
}

bool CGpsGarmin::TxD310TrackHeader(CGpsDataTrack* track, bool course) {
  return _TxTrackHeader(310, *track, course);
}
bool CGpsGarmin::TxD311TrackHeader(CGpsDataTrack* track, bool course) {
  return _TxTrackHeader(311, *track, course);
}
bool CGpsGarmin::TxD312TrackHeader(CGpsDataTrack* track, bool course) {
  return _TxTrackHeader(312, *track, course);
}

bool CGpsGarmin::TxA301A302TrackLog(CGpsDataSet* set, bool course) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxA301A302TrackLog() course=%s", BoolText(course));
  return _TxTrackLog(*set, course, false);
}

bool CGpsGarmin::TxA301A302CourseTracks(CGpsDataSet* set) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxA301A302CourseTracks()");
  return _TxTrackLog(*set, true, true);
}

bool CGpsGarmin::_TxTrackLog(CGpsDataSet& set, bool course, bool courseTracks) {
  const uint16_t headerType = ChooseTxHeaderType(*this);
  if (headerType == 0) {
    LogWrite(LOG_ERROR, "CGpsGarmin::TxA301A302TrackLog(): track header type unsupported");
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_TRACKHEADER_PROTOCOL);
    return false;
  }
  std::vector<CGpsDataTrack*> tracks;
  if (courseTracks) {
    for (CGpsDataCourse* c : set.GetCourses()) {
      if (IsSentTrack(c->track)) tracks.push_back(c->track);
    }
  } else {
    for (CGpsDataTrack* track : set.GetTracks()) {
      if (IsSentTrack(track)) tracks.push_back(track);
    }
  }
  if (set.GetTracks().IsEmpty()) return true;
  // The count announces exactly the packets that follow: a header per track
  // and the points its walk sends.
  const int maxPoints = course ? COURSE_TRACK_MAX_POINTS : TRACK_LOG_MAX_POINTS;
  unsigned packets = 0;
  for (CGpsDataTrack* track : tracks)
    packets += static_cast<unsigned>(CountPointsSent(*track, maxPoints)) + 1;
  const uint16_t count = static_cast<uint16_t>(packets & 0xFFFF);
  if (count == 0) return true;

  const char* const name = courseTracks ? "TxA301A302CourseTracks" : "TxA301A302TrackLog";
  LogWrite(LOG_INFO, "%s(): APP_PID_RECORDS %u packets to transmit", name, static_cast<unsigned>(count));
  if (!_TxRecords(count)) return false;
  for (CGpsDataTrack* track : tracks) {
    if (!_TxTrackHeader(headerType, *track, course)) return false;
  }
  LogWrite(LOG_INFO, "%s(): APP_PID_XFER_CMPLT", name);
  return _TxComplete(course ? CMD_TRANSFER_COURSE_TRACKS : CMD_TRANSFER_TRK);
}

bool CGpsGarmin::TxA300TrackLog(CGpsDataSet* set) {
  LogWrite(LOG_INFO, "CGpsGarmin::TxA300TrackLog()");
  const uint16_t pointType = ChooseTxPointType(*this);
  if (pointType == 0) {
    LogWrite(LOG_ERROR, "CGpsGarmin::TxA300TrackLog(): track point type unsupported");
    SetError(HR_PROTOCOL_UNSUPPORTED, IDS_ERR_TRACKPOINT_PROTOCOL);
    return false;
  }
  CGpsDataTrack* track = nullptr;
  for (CGpsDataTrack* candidate : set->GetTracks()) {
    if (candidate->HasIncludedSegment()) {
      track = candidate;
      break;
    }
  }
  if (track == nullptr) return true;
  const CGpsDataSegment* firstSegment = track->GetSegments().GetHead();
  const int pointCount = track->GetPoints().GetCount();
  if (firstSegment == nullptr || firstSegment->first == nullptr || (pointCount & 0xFFFF) == 0) return true;

  // One track without headers: its points, each once, in the order of its
  // segments, the first of each segment starting a new track on the receiver.
  const uint16_t count = static_cast<uint16_t>(std::min(pointCount & 0xFFFF, TRACK_LOG_MAX_POINTS));
  LogWrite(LOG_INFO, "CGpsGarmin::TxA300TrackLog() numTrackPoints=%d, maxTrackPoints=%d", pointCount,
           TRACK_LOG_MAX_POINTS);
  LogWrite(LOG_INFO, "TxA300TrackLog(): APP_PID_RECORDS");
  if (!_TxRecords(count)) return false;
  CTrackThinning thinning(pointCount, TRACK_LOG_MAX_POINTS);
  bool newTrack = true;
  for (const CGpsDataSegment* segment : track->GetSegments()) {
    if (segment->first == nullptr) continue;
    newTrack = true;
    for (CGpsDataTrackPoint* point = segment->first; point != nullptr; point = point->GetNext()) {
      if (thinning.Keep()) {
        if (!_TxTrackPoint(pointType, *point, newTrack, false)) return false;
        newTrack = false;
      }
      if (point == segment->last) break;
    }
  }
  LogWrite(LOG_INFO, "CGpsGarmin::TxA300TrackLog() #track points transmitted=%d, skipped=%d",
           thinning.GetSent(), thinning.GetSkipped());
  LogWrite(LOG_INFO, "TxA300TrackLog(): APP_PID_XFER_CMPLT");
  return _TxComplete(CMD_TRANSFER_TRK);
}
