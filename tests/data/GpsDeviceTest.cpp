// The device object's own data: progress accounting, error state, registry.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "data/GpsDevice.h"
#include "resources/StringTable.h"
#include "support/TestEnv.h"
#include "util/TraceLog.h"

namespace {

class CTestDevice : public CGpsDevice {
public:
  CCommsDevice* GetCommsDevice() override { return nullptr; }
  bool OpenGpsDevice(int) override { return false; }
  bool CloseGpsDevice() override { return true; }
  bool ValidateDevice() override { return false; }
  bool IsRxDataValid() override { return false; }
  bool RxGpsData(unsigned& count) override {
    count = 0;
    return false;
  }
  bool TxGpsData(CGpsDataSet*, unsigned& count) override {
    count = 0;
    return false;
  }
  bool PowerDown() override { return false; }
};

// Records every percent a callback is told and answers with `answer`.
struct CRecorder {
  std::vector<int> seen;
  int answer = 1;
  static int Callback(void* userData, int percent) {
    auto* self = static_cast<CRecorder*>(userData);
    self->seen.push_back(percent);
    return self->answer;
  }
};

TEST(GpsDeviceProgressTest, ResetTellsTheCallbackOfItsDirection) {
  CTestDevice device;
  CRecorder rx, tx;
  EXPECT_TRUE(device.ProgressReset(GPS_DIRECTION_RX)) << "no callback set";
  device.SetRxProgressCallback(&CRecorder::Callback, &rx);
  device.SetTxProgressCallback(&CRecorder::Callback, &tx);
  EXPECT_TRUE(device.ProgressReset(GPS_DIRECTION_RX));
  EXPECT_EQ(rx.seen, std::vector<int>{0});
  EXPECT_TRUE(tx.seen.empty());
  tx.answer = 0;
  EXPECT_FALSE(device.ProgressReset(GPS_DIRECTION_TX)) << "the callback's answer is returned";
  EXPECT_EQ(tx.seen, std::vector<int>{0});
  EXPECT_EQ(device.GetProgressStep(), 1);
  EXPECT_EQ(device.GetProgressDone(), 0);
  EXPECT_EQ(device.GetProgressTotal(), 100);
}

// Each row: a sequence of operations from a fresh reset, and the state after.
TEST(GpsDeviceProgressTest, Rescaling) {
  enum Op { ADD_RX, ADD_TX, STEP_RX };
  const struct {
    const char* legend;
    std::vector<std::pair<Op, int>> ops;
    int step;
    int done;
    int total;
  } cases[] = {
      {"adding 0 changes nothing", {{STEP_RX, 10}, {ADD_RX, 0}}, 1, 10, 100},
      {"announced packets share the whole bar", {{ADD_RX, 50}}, 3, 0, 150},
      {"percent is kept when more arrive", {{ADD_RX, 50}, {STEP_RX, 25}, {ADD_RX, 2}}, 38, 76, 152},
      {"adding 1 rescales done but keeps the step", {{ADD_RX, 50}, {STEP_RX, 25}, {ADD_RX, 1}}, 3, 75, 151},
      {"step is at least 1", {{ADD_RX, 1000}}, 1, 0, 1100},
      {"transmit only grows the total", {{STEP_RX, 40}, {ADD_TX, 100}}, 1, 40, 200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    CTestDevice device;
    device.ProgressReset(GPS_DIRECTION_RX);
    for (const auto& [op, units] : c.ops) {
      switch (op) {
        case ADD_RX:
          EXPECT_TRUE(device.ProgressAddTotal(units, GPS_DIRECTION_RX));
          break;
        case ADD_TX:
          EXPECT_TRUE(device.ProgressAddTotal(units, GPS_DIRECTION_TX));
          break;
        case STEP_RX:
          for (int i = 0; i < units; ++i) device.ProgressStep(1, GPS_DIRECTION_RX);
          break;
      }
    }
    EXPECT_EQ(device.GetProgressStep(), c.step);
    EXPECT_EQ(device.GetProgressDone(), c.done);
    EXPECT_EQ(device.GetProgressTotal(), c.total);
  }
}

TEST(GpsDeviceProgressTest, EachPercentIsReportedOnce) {
  CTestDevice device;
  CRecorder rx, tx;
  device.SetRxProgressCallback(&CRecorder::Callback, &rx);
  device.SetTxProgressCallback(&CRecorder::Callback, &tx);
  device.ProgressReset(GPS_DIRECTION_RX);
  rx.seen.clear();
  // 900 more units: step (1000 - 0) / 900 = 1, so a step moves 0.1 %.
  device.ProgressAddTotal(900, GPS_DIRECTION_RX);
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(device.ProgressStep(1, GPS_DIRECTION_RX));
  EXPECT_TRUE(rx.seen.empty()) << "steps within 0 % do not call back";
  device.ProgressStep(1, GPS_DIRECTION_RX);
  EXPECT_EQ(rx.seen, std::vector<int>{1});
  for (int i = 0; i < 2000; ++i) device.ProgressStep(1, GPS_DIRECTION_RX);
  ASSERT_EQ(rx.seen.size(), 100u) << "1 to 100, each once, capped at 100";
  for (int p = 1; p <= 100; ++p) EXPECT_EQ(rx.seen[p - 1], p);
  EXPECT_TRUE(tx.seen.empty()) << "the other direction's callback stays silent";
}

TEST(GpsDeviceProgressTest, CancelledByTheCallback) {
  CTestDevice device;
  CRecorder rx;
  rx.answer = 0;
  device.SetRxProgressCallback(&CRecorder::Callback, &rx);
  EXPECT_FALSE(device.ProgressReset(GPS_DIRECTION_RX));
  EXPECT_FALSE(device.ProgressStep(1, GPS_DIRECTION_RX));
  EXPECT_EQ(rx.seen, (std::vector<int>{0, 1}));
  device.SetRxProgressCallback(nullptr, nullptr);
  EXPECT_TRUE(device.ProgressStep(1, GPS_DIRECTION_RX));
}

TEST(GpsDeviceProgressTest, TotalBroughtToZeroDoesNotDivideByIt) {
  CTestDevice device;
  device.ProgressReset(GPS_DIRECTION_TX);
  device.ProgressAddTotal(-100, GPS_DIRECTION_TX);
  EXPECT_EQ(device.GetProgressTotal(), 0);
  EXPECT_EQ(device.GetProgressPercent(), 100);
  EXPECT_TRUE(device.ProgressStep(1, GPS_DIRECTION_TX));
}

TEST(GpsDeviceProgressTest, ResetIsTraced) {
  qvtest::CTempDir dir;
  ASSERT_TRUE(LogEnable(LOG_DEBUG, dir.Str()));
  CTestDevice device;
  device.ProgressReset(GPS_DIRECTION_RX);
  std::string path = LogPath();
  LogClose();
  EXPECT_NE(qvtest::ReadFile(path).find("CGpsDevice:ProgressReset()"), std::string::npos);
}

TEST(GpsDeviceErrorTest, SetAndReset) {
  CTestDevice device;
  EXPECT_EQ(device.GetErrorCode(), S_OK);
  device.SetError(E_OUTOFMEMORY, 3518);
  EXPECT_EQ(device.GetErrorCode(), E_OUTOFMEMORY);
  EXPECT_EQ(device.GetErrorText(), LoadString(3518));
  device.SetErrorWithText(HRESULT_FROM_WIN32(ERROR_TIMEOUT), "timed out");
  EXPECT_EQ(device.GetErrorText(), "timed out");
  device.ResetError();
  EXPECT_EQ(device.GetErrorCode(), S_OK);
  EXPECT_EQ(device.GetErrorText(), "");
}

class GpsDeviceRegistryTest : public ::testing::Test {
protected:
  void SetUp() override { CGpsDevice::UnregisterAllDevices(); }
  void TearDown() override { CGpsDevice::UnregisterAllDevices(); }
};

TEST_F(GpsDeviceRegistryTest, EmptyRegistry) {
  EXPECT_EQ(CGpsDevice::FirstRegisteredDevice(), nullptr);
  EXPECT_EQ(CGpsDevice::NextRegisteredDevice(), nullptr);
}

TEST_F(GpsDeviceRegistryTest, KeepsTwentyAndClearsWhatItHandsOut) {
  std::vector<std::unique_ptr<CTestDevice>> devices;
  for (int i = 0; i < 21; ++i) {
    devices.push_back(std::make_unique<CTestDevice>());
    devices.back()->GetDataSet().prefix = "D" + std::to_string(i);
    devices.back()->GetDataSet().AddTrack("t", i);
    CGpsDevice::RegisterDevice(devices.back().get());
  }
  CGpsDevice::RegisterDevice(nullptr);
  EXPECT_EQ(CGpsDevice::GetRegisteredDeviceCount(), 20);

  std::vector<CGpsDevice*> walked;
  for (CGpsDevice* device = CGpsDevice::FirstRegisteredDevice(); device != nullptr;
       device = CGpsDevice::NextRegisteredDevice()) {
    walked.push_back(device);
    EXPECT_EQ(device->GetDataSet().GetTracks().GetCount(), 0) << "handed out cleared";
    EXPECT_EQ(device->GetDataSet().prefix, "");
  }
  ASSERT_EQ(walked.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(walked[i], devices[i].get());
  EXPECT_EQ(devices[20]->GetDataSet().GetTracks().GetCount(), 1) << "the 21st was never registered";
  EXPECT_EQ(CGpsDevice::NextRegisteredDevice(), nullptr) << "stays at the end";
  EXPECT_EQ(CGpsDevice::FirstRegisteredDevice(), devices[0].get()) << "First starts over";
}

}  // namespace
