// The track log transfers against a scripted receiver: protocol choice, the
// announced count, headers and points, and what a receiver may slip in.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "RxDriverTestSupport.h"
#include "resources/StringTable.h"

namespace {

using namespace rxtest;

constexpr uint32_t kT0 = 1'000'000'000;

ScriptPacket Point(uint32_t time) {
  return {APP_PID_TRK_DATA, D304Point(time)};
}
ScriptPacket D301Point(uint32_t time, uint8_t newTrack = 0) {
  Bytes b(21, 0);
  PutU32(b, 0, 100);
  PutU32(b, 4, 200);
  PutU32(b, 8, time);
  PutF32(b, 12, 10.0f);
  PutF32(b, 16, 1.0e25f);
  PutU8(b, 20, newTrack);
  return {APP_PID_TRK_DATA, b};
}
ScriptPacket Header(const std::string& ident) {
  // Sized once: GCC 12 at -O2 misreads an insert after a two-byte list as a
  // write out of bounds (-Warray-bounds).
  Bytes b(2 + ident.size() + 1, 0);
  b[0] = 1;
  std::copy(ident.begin(), ident.end(), b.begin() + 2);
  return {APP_PID_TRK_HDR, b};
}
ScriptPacket ProtocolArray(const std::vector<ProtocolTag>& tags) {
  Bytes b;
  for (const ProtocolTag& t : tags) {
    b.push_back(static_cast<uint8_t>(t.letter));
    b.push_back(static_cast<uint8_t>(t.number));
    b.push_back(static_cast<uint8_t>(t.number >> 8));
  }
  return {APP_PID_PROTOCOL_ARRAY, b};
}

struct TransferCase {
  const char* legend;
  std::vector<std::string> protocols;
  std::vector<ScriptPacket> packets;
  bool ok;
  HRESULT error;
  unsigned message;                 // 0: none
  std::vector<std::string> tracks;  // "ident:points:segments" per track
  std::vector<uint16_t> commands;
};

const std::vector<std::string> kA301 = {"L001", "A301", "D310", "D304"};

void SetProtocols(CGpsGarmin& gps, const std::vector<std::string>& tags) {
  std::vector<ProtocolTag> list;
  for (const std::string& tag : tags)
    list.push_back({tag[0], static_cast<uint16_t>(std::stoi(tag.substr(1)))});
  gps.SetProtocolCapabilities(list.data(), list.size());
}

std::vector<TransferCase> Cases() {
  return {
      {"A301 announced 5: one header and four points",
       kA301,
       {Records(5), Header("RUN"), Point(kT0), Point(kT0 + 1), Point(kT0 + 2), Point(kT0 + 3), Complete(6)},
       true,
       S_OK,
       0,
       {"RUN:4:1"},
       {6}},
      {"A301 a sixth data packet is too many",
       kA301,
       {Records(5), Header("RUN"), Point(kT0), Point(kT0 + 1), Point(kT0 + 2), Point(kT0 + 3), Point(kT0 + 4),
        Complete(6)},
       false,
       S_OK,
       0,
       {"RUN:4:1"},
       {6}},
      {"points before any header are counted and dropped",
       kA301,
       {Records(4), Point(kT0), Point(kT0 + 1), Header("B"), Point(kT0 + 2), Complete(6)},
       true,
       S_OK,
       0,
       {"B:1:1"},
       {6}},
      {"count 0 then completion", kA301, {Records(0), Complete(6)}, true, S_OK, 0, {}, {6}},
      {"several tracks keep their order",
       kA301,
       {Records(6), Header("A"), Point(kT0), Header("B"), Point(kT0 + 10), Point(kT0 + 11), Header("C"),
        Complete(6)},
       true,
       S_OK,
       0,
       {"A:1:1", "B:2:1", "C:0:1"},
       {6}},
      {"fewer packets than announced",
       kA301,
       {Records(3), Header("A"), Point(kT0), Complete(6)},
       false,
       HR_READ_FAULT,
       IDS_ERR_PACKETS_LOST,
       {"A:1:1"},
       {6}},
      {"a second count restarts the counting",
       kA301,
       {Records(7), Header("A"), Records(1), Point(kT0), Complete(6)},
       true,
       S_OK,
       0,
       {"A:1:1"},
       {6}},
      {"protocol array and unknown ids inside the transfer are not counted",
       kA301,
       {Records(2), Header("A"), ProtocolArray({{'L', 1}, {'A', 301}, {'D', 310}, {'D', 304}, {'A', 906}}),
        ScriptPacket{77, {9, 9}}, ScriptPacket{78, {}}, Point(kT0), Complete(6)},
       true,
       S_OK,
       0,
       {"A:1:1"},
       {6}},
      {"count packet without its count",
       kA301,
       {ScriptPacket{APP_PID_RECORDS, {5}}},
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       {},
       {6}},
      {"short point fails the transfer",
       kA301,
       {Records(2), Header("A"), ScriptPacket{APP_PID_TRK_DATA, Bytes(22, 0)}, Complete(6)},
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       {"A:0:1"},
       {6}},
      {"skipped points do not fail the transfer",
       kA301,
       {Records(3), Header("A"), Point(0xFFFFFFFF), Point(kT0), Complete(6)},
       true,
       S_OK,
       0,
       {"A:1:1"},
       {6}},
      {"negative count: every record is too many",
       kA301,
       {Records(-1), Header("A"), Complete(6)},
       false,
       S_OK,
       0,
       {},
       {6}},
      {"receiver falls silent", kA301, {Records(3), Header("A")}, false, S_OK, 0, {"A:0:1"}, {6}},
      {"A300: one track for the whole log, new-track flags open segments",
       {"L001", "A300", "D301"},
       {Records(3), D301Point(kT0, 1), D301Point(kT0 + 1), D301Point(kT0 + 2, 1), Complete(6)},
       true,
       S_OK,
       0,
       {":3:3"},
       {6}},
      {"A300 preferred over A301: a header is an unexpected packet",
       {"L001", "A301", "D310", "A300", "D301"},
       {Records(2), Header("IGNORED"), D301Point(kT0), D301Point(kT0 + 1), Complete(6)},
       true,
       S_OK,
       0,
       {":2:1"},
       {6}},
      {"A300 a point ahead of the count is one too many",
       {"L001", "A300", "D301"},
       {D301Point(kT0), Records(1), D301Point(kT0 + 1), Complete(6)},
       false,
       S_OK,
       0,
       {},
       {6}},
      {"A302 with D311 headers",
       {"L001", "A302", "D311", "D300"},
       {Records(2), ScriptPacket{APP_PID_TRK_HDR, D311Header(4)},
        ScriptPacket{APP_PID_TRK_DATA, Bytes{1, 0, 0, 0, 2, 0, 0, 0, 0, 0x10, 0, 0, 0}}, Complete(6)},
       true,
       S_OK,
       0,
       {":1:1"},
       {6}},
      {"no track log protocol",
       {"L001", "A906", "D304"},
       {},
       false,
       HR_UNSUPPORTED_LINK,
       IDS_ERR_TRACKLOG_PROTOCOL,
       {},
       {}},
      {"no point type",
       {"L001", "A301", "D310"},
       {},
       false,
       HR_UNSUPPORTED_LINK,
       IDS_ERR_TRACKPOINT_PROTOCOL,
       {},
       {}},
      {"no header type",
       {"L001", "A301", "D304"},
       {},
       false,
       HR_UNSUPPORTED_LINK,
       IDS_ERR_TRACKHEADER_PROTOCOL,
       {},
       {}},
  };
}

std::vector<std::string> Summary(const CGpsDataSet& set) {
  std::vector<std::string> out;
  for (const CGpsDataTrack* t : set.GetTracks()) {
    out.push_back(t->ident + ":" + std::to_string(t->GetPoints().GetCount()) + ":" +
                  std::to_string(t->GetSegments().GetCount()));
  }
  return out;
}

TEST(TrackTransfer, CountsPacketsAndFillsTracks) {
  for (const TransferCase& c : Cases()) {
    SCOPED_TRACE(c.legend);
    CScriptedGarmin gps;
    SetProtocols(gps, c.protocols);
    gps.Answer(CMD_TRANSFER_TRK, c.packets);
    EXPECT_EQ(gps.RxGpsDataTracks(), c.ok);
    EXPECT_EQ(gps.GetErrorCode(), c.error);
    if (c.message != 0) {
      EXPECT_EQ(gps.GetErrorText(), LoadString(c.message));
    }
    EXPECT_EQ(Summary(gps.GetDataSet()), c.tracks);
    EXPECT_EQ(gps.commands, c.commands);
  }
}

TEST(TrackTransfer, ProtocolArrayInsideTheTransferReplacesTheList) {
  CScriptedGarmin gps;
  SetProtocols(gps, kA301);
  gps.Answer(CMD_TRANSFER_TRK, {Records(2), Header("A"), ProtocolArray({{'L', 1}, {'A', 906}, {'D', 1011}}),
                                Point(kT0), Complete(6)});
  ASSERT_TRUE(gps.RxGpsDataTracks());
  EXPECT_TRUE(gps.IsProtocolSupported('D', 1011));
  EXPECT_FALSE(gps.IsProtocolSupported('A', 301));
  // The point type chosen before the array still decoded the point.
  EXPECT_EQ(gps.GetDataSet().CountTrackPoints(), 1);
}

TEST(TrackTransfer, TrackIdsAndPointIdsFollowThePrefix) {
  CScriptedGarmin gps;
  gps.Protocols({"L001", "A302", "D311", "D304"});
  gps.Answer(CMD_TRANSFER_TRK, {Records(4), ScriptPacket{APP_PID_TRK_HDR, D311Header(3)}, Point(kT0),
                                ScriptPacket{APP_PID_TRK_HDR, D311Header(9)}, Point(kT0 + 5), Complete(6)});
  ASSERT_TRUE(gps.RxGpsDataTracks());
  const CGpsDataSet& set = gps.GetDataSet();
  ASSERT_EQ(set.GetTracks().GetCount(), 2);
  EXPECT_EQ(set.GetTracks().GetHead()->GetId(), "device-Garmin-484-3456789012-3");
  EXPECT_EQ(set.GetTracks().GetTail()->GetPoints().GetHead()->GetId(), "device-Garmin-484-3456789012-9-1");
  EXPECT_EQ(set.FindTrack(9), set.GetTracks().GetTail());
}

}  // namespace

namespace {

TEST(TrackTransfer, EndlessStrayPacketsEndTheTransfer) {
  struct Case {
    const char* legend;
    int strays;
    bool ok;
  };
  // The count packet is one of the packets between records.
  const Case cases[] = {{"1023 stray packets after the count are tolerated", 1023, true},
                        {"1024 are a protocol error", 1024, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CScriptedGarmin gps;
    SetProtocols(gps, kA301);
    std::vector<ScriptPacket> packets{Records(1)};
    for (int i = 0; i < c.strays; ++i) packets.push_back({77, {}});
    packets.push_back(Header("A"));
    packets.push_back(Complete(6));
    gps.Answer(CMD_TRANSFER_TRK, packets);
    EXPECT_EQ(gps.RxGpsDataTracks(), c.ok);
    EXPECT_EQ(gps.GetErrorCode(), c.ok ? S_OK : HR_READ_FAULT);
    if (!c.ok) {
      EXPECT_EQ(gps.GetErrorText(), LoadString(IDS_ERR_UNEXPECTED_PACKET));
    }
  }
}

}  // namespace
