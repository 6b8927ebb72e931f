// Laps and runs decoded from byte vectors laid out as the receivers send
// them, and their transfers against a scripted receiver.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RxDriverTestSupport.h"
#include "data/GpsDataSet.h"
#include "garmin/LapDecoders.h"
#include "garmin/RunDecoders.h"
#include "resources/StringTable.h"

namespace {

using namespace rxtest;

constexpr uint32_t kStart = 1'000'000'000;

// The measurements of a record as "quantity/modifier/unit=value" texts.
std::vector<std::string> Describe(const CGpsDataValues& values) {
  std::vector<std::string> out;
  for (const CGpsDataValue* v : values.GetValues()) {
    std::string text = std::to_string(v->GetQuantity()) + "/" + std::to_string(v->GetModifier()) + "/" +
                       std::to_string(v->GetUnit()) + "=";
    int a = 0;
    int b = 0;
    if (v->GetPairInt(v->GetUnit(), &a, &b)) {
      text += std::to_string(a) + "," + std::to_string(b);
    } else if (dynamic_cast<const CGpsDataInteger*>(v) != nullptr && v->GetInt(v->GetUnit(), &a)) {
      text += std::to_string(a);
    } else {
      text += v->Format(v->GetUnit());
    }
    out.push_back(text);
  }
  return out;
}

// D1011: as D1001 with a 16-bit index and a reserved word, then cadence and trigger.
Bytes D1011Lap(uint32_t start, uint8_t avgHr, uint8_t maxHr, uint8_t cadence) {
  Bytes b(43, 0);
  PutU16(b, 0, 3);
  PutU32(b, 4, start);
  PutU32(b, 8, 12345);
  PutF32(b, 12, 2500.0f);
  PutF32(b, 16, 6.5f);
  PutU32(b, 20, 100);
  PutU32(b, 24, 200);
  PutU32(b, 28, 0x7FFFFFFF);
  PutU32(b, 32, 0x7FFFFFFF);
  PutU16(b, 36, 321);
  PutU8(b, 38, avgHr);
  PutU8(b, 39, maxHr);
  PutU8(b, 41, cadence);
  return b;
}

const std::string kStartTime = "0/1/1=" + std::to_string(kStart);

TEST(LapDecoders, LapsKeepTheirValidMeasurementsInOrder) {
  struct Case {
    const char* legend;
    uint16_t type;
    Bytes bytes;
    EGarminDecode result;
    int trackIndex;
    std::vector<std::string> values;
  };
  Bytes d906Positions = D906Lap(kStart, 6000, 3);
  PutU32(d906Positions, 12, 10);
  PutU32(d906Positions, 16, 20);
  PutU32(d906Positions, 20, 0x7FFFFFFF);  // only one coordinate marked: still a position
  PutU32(d906Positions, 24, 40);
  Bytes d906Time7fff = D906Lap(0x7FFFFFFF, 6000, 3);
  const Case cases[] = {
      {"D906 without positions",
       906,
       D906Lap(kStart, 6000, 255),
       EGarminDecode::Stored,
       255,
       {kStartTime, "0/3/2=60.0", "6/3/6=1000.0", "7/3/15=50"}},
      {"D906 with positions",
       906,
       d906Positions,
       EGarminDecode::Stored,
       3,
       {kStartTime, "1/1/3=20,10", "1/2/3=40,2147483647", "0/3/2=60.0", "6/3/6=1000.0", "7/3/15=50"}},
      {"D906 start time 0 skipped", 906, D906Lap(0, 6000, 3), EGarminDecode::Skipped, 0, {}},
      {"D906 start time 0x7FFFFFFF skipped", 906, d906Time7fff, EGarminDecode::Skipped, 0, {}},
      {"D906 start time 0xFFFFFFFF skipped", 906, D906Lap(0xFFFFFFFF, 1, 3), EGarminDecode::Skipped, 0, {}},
      {"D906 short", 906, Bytes(31, 1), EGarminDecode::BadData, 0, {}},
      {"D1001 heart rates and speed",
       1001,
       D1001Lap(kStart, 12345),
       EGarminDecode::Stored,
       -1,
       {kStartTime, "0/3/2=123.4", "6/3/6=1000.0", "7/3/15=60", "4/6/13=140", "4/5/13=170", "8/5/9=4.5"}},
      {"D1001 short", 1001, Bytes(40, 1), EGarminDecode::BadData, 0, {}},
      {"D1011 cadence 0 stored",
       1011,
       D1011Lap(kStart, 0, 255, 0),
       EGarminDecode::Stored,
       -1,
       {kStartTime, "1/1/3=200,100", "0/3/2=123.4", "6/3/6=2500.0", "7/3/15=321", "8/5/9=6.5", "9/6/19=0"}},
      {"D1011 cadence 255 dropped",
       1011,
       D1011Lap(kStart, 150, 180, 255),
       EGarminDecode::Stored,
       -1,
       {kStartTime, "1/1/3=200,100", "0/3/2=123.4", "6/3/6=2500.0", "7/3/15=321", "4/6/13=150", "4/5/13=180",
        "8/5/9=6.5"}},
      {"D1011 short", 1011, Bytes(42, 1), EGarminDecode::BadData, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    EXPECT_EQ(DecodeLap(*FindLapLayout(c.type), c.bytes.data(), c.bytes.size(), set), c.result);
    if (c.values.empty()) {
      EXPECT_EQ(set.GetLaps().GetCount(), 0);
      continue;
    }
    ASSERT_EQ(set.GetLaps().GetCount(), 1);
    const CGpsDataLap* lap = set.GetLaps().GetHead();
    EXPECT_EQ(lap->trackIndex, c.trackIndex);
    EXPECT_EQ(lap->pending, 1);
    EXPECT_EQ(Describe(*lap), c.values);
  }
  EXPECT_EQ(FindLapLayout(1015), nullptr);
}

Bytes WideRun(size_t size, int32_t track, uint32_t first, uint32_t last, uint8_t sport, uint8_t program,
              uint8_t multisport) {
  Bytes b(size, 0xAB);  // the unread workout fields
  PutU32(b, 0, static_cast<uint32_t>(track));
  PutU32(b, 4, first);
  PutU32(b, 8, last);
  PutU8(b, 12, sport);
  PutU8(b, 13, program);
  PutU8(b, 14, multisport);
  return b;
}

TEST(RunDecoders, RunsNameTheirTrackLapsAndSport) {
  struct Case {
    const char* legend;
    uint16_t type;
    Bytes bytes;
    EGarminDecode result;
    std::vector<int> fields;  // track, first, last, sport, program, multisport
  };
  Bytes d1009 = D1009Run(2, 4, 6, 1);
  PutU8(d1009, 7, 3);
  PutU8(d1009, 8, 2);
  const Case cases[] = {
      {"D1000", 1000, WideRun(685, 5, 0, 2, 1, 3, 9), EGarminDecode::Stored, {5, 0, 2, 1, 3, 0}},
      {"D1000 track -1", 1000, WideRun(685, -1, 1, 1, 0, 0, 0), EGarminDecode::Stored, {-1, 1, 1, 0, 0, 0}},
      {"D1000 short", 1000, WideRun(684, 5, 0, 2, 1, 3, 9), EGarminDecode::BadData, {}},
      {"D1009", 1009, d1009, EGarminDecode::Stored, {2, 4, 6, 1, 3, 2}},
      {"D1009 track 0xFFFF is no track",
       1009,
       D1009Run(0xFFFF, 0, 1, 2),
       EGarminDecode::Stored,
       {-1, 0, 1, 2, 0, 0}},
      {"D1009 short", 1009, Bytes(680, 0), EGarminDecode::BadData, {}},
      {"D1010 multisport", 1010, WideRun(685, 7, 3, 5, 2, 3, 1), EGarminDecode::Stored, {7, 3, 5, 2, 3, 1}},
      {"D1010 short", 1010, WideRun(684, 7, 3, 5, 2, 3, 1), EGarminDecode::BadData, {}},
      {"unknown run type", 1011, WideRun(685, 7, 3, 5, 2, 3, 1), EGarminDecode::BadData, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CGpsDataSet set;
    EXPECT_EQ(DecodeRun(c.type, c.bytes.data(), c.bytes.size(), set), c.result);
    if (c.fields.empty()) {
      EXPECT_EQ(set.GetRuns().GetCount(), 0);
      continue;
    }
    ASSERT_EQ(set.GetRuns().GetCount(), 1);
    const CGpsDataRun* r = set.GetRuns().GetHead();
    EXPECT_EQ((std::vector<int>{r->trackIndex, r->firstLapIndex, r->lastLapIndex, r->sport, r->program,
                                r->multisport}),
              c.fields);
  }
}

TEST(LapRunTransfers, CountedLikeTheTrackLog) {
  struct Case {
    const char* legend;
    bool runs;  // false: laps
    std::vector<std::string> protocols;
    std::vector<ScriptPacket> packets;
    bool ok;
    HRESULT error;
    unsigned message;
    int records;
    std::vector<uint16_t> commands;
  };
  const Bytes run = D1009Run(0, 0, 1);
  const std::vector<Case> cases = {
      {"D906 laps",
       false,
       {"A906", "D906"},
       Counted(117, APP_PID_LAP, {D906Lap(kStart, 1, 0), D906Lap(kStart, 2, 0)}),
       true,
       S_OK,
       0,
       2,
       {117}},
      {"D1001 chosen before D1011 whatever the order listed",
       false,
       {"A906", "D1011", "D1001"},
       Counted(117, APP_PID_LAP, {D1001Lap(kStart, 1)}),
       true,
       S_OK,
       0,
       1,
       {117}},
      {"skipped lap still counted",
       false,
       {"A906", "D906"},
       Counted(117, APP_PID_LAP, {D906Lap(0, 1, 0), D906Lap(kStart, 2, 0)}),
       true,
       S_OK,
       0,
       1,
       {117}},
      {"no laps", false, {"A906", "D906"}, {Records(0), Complete(117)}, true, S_OK, 0, 0, {117}},
      {"too many laps",
       false,
       {"A906", "D906"},
       {Records(1), {APP_PID_LAP, D906Lap(kStart, 1, 0)}, {APP_PID_LAP, D906Lap(kStart, 1, 0)}},
       false,
       S_OK,
       0,
       1,
       {117}},
      {"lost laps",
       false,
       {"A906", "D906"},
       {Records(2), {APP_PID_LAP, D906Lap(kStart, 1, 0)}, Complete(117)},
       false,
       HR_READ_FAULT,
       IDS_ERR_PACKETS_LOST,
       1,
       {117}},
      {"short lap",
       false,
       {"A906", "D906"},
       {Records(1), {APP_PID_LAP, Bytes(31, 0)}},
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       0,
       {117}},
      {"no lap protocol",
       false,
       {"A1000", "D906"},
       {},
       false,
       HR_UNSUPPORTED_LINK,
       IDS_ERR_LAP_PROTOCOL,
       0,
       {}},
      {"no lap type", false, {"A906", "D1000"}, {}, false, HR_UNSUPPORTED_LINK, IDS_ERR_LAP_PROTOCOL, 0, {}},
      {"D1009 runs with a protocol array and a stray packet",
       true,
       {"A1000", "D1009"},
       {Records(2),
        {APP_PID_RUN, run},
        {APP_PID_PROTOCOL_ARRAY, {'A', 0xE8, 0x03}},
        {500, {}},
        {APP_PID_RUN, run},
        Complete(450)},
       true,
       S_OK,
       0,
       2,
       {450}},
      {"short run",
       true,
       {"A1000", "D1009"},
       Counted(450, APP_PID_RUN, {Bytes(680, 0)}),
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       0,
       {450}},
      {"run count packet without its count",
       true,
       {"A1000", "D1000"},
       {{APP_PID_RECORDS, {}}},
       false,
       HR_READ_FAULT,
       IDS_ERR_BAD_PACKET,
       0,
       {450}},
      {"too many runs", true, {"A1000", "D1009"}, {Records(0), {APP_PID_RUN, run}}, false, S_OK, 0, 0, {450}},
      {"no run protocol",
       true,
       {"A906", "D1009"},
       {},
       false,
       HR_UNSUPPORTED_LINK,
       IDS_ERR_RUN_PROTOCOL,
       0,
       {}},
      {"no run type", true, {"A1000", "D906"}, {}, false, HR_UNSUPPORTED_LINK, IDS_ERR_RUN_PROTOCOL, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CScriptedGarmin gps;
    std::vector<ProtocolTag> tags;
    for (const std::string& t : c.protocols)
      tags.push_back({t[0], static_cast<uint16_t>(std::stoi(t.substr(1)))});
    gps.SetProtocolCapabilities(tags.data(), tags.size());
    gps.Answer(c.runs ? CMD_TRANSFER_RUNS : CMD_TRANSFER_LAPS, c.packets);
    EXPECT_EQ(c.runs ? gps.RxGpsDataRuns() : gps.RxGpsDataLaps(), c.ok);
    EXPECT_EQ(gps.GetErrorCode(), c.error);
    if (c.message != 0) {
      EXPECT_EQ(gps.GetErrorText(), LoadString(c.message));
    }
    const CGpsDataSet& set = gps.GetDataSet();
    EXPECT_EQ(c.runs ? set.GetRuns().GetCount() : set.GetLaps().GetCount(), c.records);
    EXPECT_EQ(gps.commands, c.commands);
  }
}

}  // namespace
