// The (port, driver) search over the two real registries, with ports found
// by the real port search from the Device\Ports setting.
#include <gtest/gtest.h>

#include <vector>

#include "data/GpsDevice.h"
#include "link/CommsDevice.h"
#include "link/CommsRegistry.h"
#include "support/TestEnv.h"
#include "threads/ThreadDevice.h"
#include "util/Util.h"

namespace {

// A communications object that is only searched, never opened.
class CSearchOnlyComms : public CCommsDevice {
public:
  CSearchOnlyComms(const CommsGuid& classGuid, const CommsGuid& interfaceGuid,
                   const std::filesystem::path& noTty) {
    SetClassGuid(classGuid);
    SetInterfaceGuid(interfaceGuid);
    // Only the ports of the setting: none of this machine's own.
    SetPortEnumerator(CPortEnumerator(noTty, noTty));
  }
  bool OpenCommsDevice() override { return false; }
  bool CloseCommsDevice() override { return true; }
  bool WriteCommsDevice(const uint8_t*, unsigned) override { return false; }
  bool ReadCommsDevice(uint8_t*, unsigned, unsigned&) override { return false; }
};

// A driver is known to the search only by the GUIDs of its own port.
class CNamedDriver : public CGpsDevice {
public:
  CNamedDriver(std::string name, const CommsGuid& classGuid, const CommsGuid& interfaceGuid,
               const std::filesystem::path& noTty)
      : name(std::move(name)), m_comms(classGuid, interfaceGuid, noTty) {}
  CCommsDevice* GetCommsDevice() override { return &m_comms; }
  bool OpenGpsDevice(int) override { return false; }
  bool CloseGpsDevice() override { return true; }
  bool ValidateDevice() override { return false; }
  bool IsRxDataValid() override { return false; }
  bool RxGpsData(unsigned&) override { return false; }
  bool TxGpsData(CGpsDataSet*, unsigned&) override { return false; }
  bool PowerDown() override { return false; }
  const std::string name;

private:
  CSearchOnlyComms m_comms;
};

class CSearchThread : public CThreadDevice {
public:
  CSearchThread() : CThreadDevice(THREAD_TYPE_RXDEVICE) {}
  bool StartThread(CMessageWindow*) override { return false; }
  void CountRun(bool success) { success ? _AddSuccess() : _AddFailure(); }
};

const CommsGuid kNone{};

class ThreadDeviceTest : public ::testing::Test {
protected:
  void SetUp() override {
    CUtil::ResetForTests();
    CUtil::Initialize();
    CCommsRegistry::Clear();
    CGpsDevice::UnregisterAllDevices();
    window.SetHandler([this](unsigned message, WPARAM wParam, LPARAM) -> LRESULT {
      EXPECT_EQ(message, WM_THREAD_UPDATE);
      posted.push_back(wParam);
      return 0;
    });
  }
  void TearDown() override {
    CCommsRegistry::Clear();
    CGpsDevice::UnregisterAllDevices();
    CUtil::ResetForTests();
  }

  // Serial ports must exist to be listed; plain files will do for a search.
  std::string SerialPort(const std::string& name) {
    const auto path = home.Path() / name;
    qvtest::WriteFile(path, "");
    return path.string();
  }

  // The pair that is current, and how many status updates the step posted.
  std::string Step(int found) {
    const size_t updates = static_cast<size_t>(window.PumpPending());
    for (WPARAM wParam : posted) EXPECT_EQ(wParam, MAKELONG(THREAD_TYPE_RXDEVICE, THREAD_UPD_STATUS));
    posted.clear();
    std::string text = std::to_string(found) + " ";
    if (thread.GetCurrentPort() != nullptr) text += thread.GetCurrentPort()->GetFriendlyName();
    text += "/";
    if (thread.GetCurrentDriver() != nullptr)
      text += static_cast<CNamedDriver*>(thread.GetCurrentDriver())->name;
    return text + " +" + std::to_string(updates);
  }

  qvtest::CIsolatedHome home;
  std::filesystem::path noTty = home.Path() / "no-tty";
  CMessageWindow window;
  std::vector<WPARAM> posted;
  CSearchThread thread;
  CStatusList statusList;
};

TEST_F(ThreadDeviceTest, NothingRegisteredFindsNothingAndPostsNothing) {
  EXPECT_EQ(Step(thread.GetFirstDevice(&window, statusList, THREAD_TYPE_RXDEVICE)), "0 / +0");
  EXPECT_EQ(Step(thread.GetNextDevice(statusList, THREAD_TYPE_RXDEVICE)), "0 / +0");
  EXPECT_TRUE(statusList.IsEmpty());
}

TEST_F(ThreadDeviceTest, CommsObjectsWithoutPortsFindNothing) {
  CSearchOnlyComms serial(GUID_PORTS_CLASS, GUID_COMPORT_INTERFACE, noTty);
  CNamedDriver driver("serial", GUID_PORTS_CLASS, GUID_COMPORT_INTERFACE, noTty);
  CCommsRegistry::Register(&serial);
  CGpsDevice::RegisterDevice(&driver);
  CUtil::SetDevicePorts(home.Path().string() + "/missing-port");  // gone ports are not listed
  EXPECT_EQ(Step(thread.GetFirstDevice(&window, statusList, THREAD_TYPE_RXDEVICE)), "0 / +0");
  EXPECT_EQ(Step(thread.GetNextDevice(statusList, THREAD_TYPE_RXDEVICE)), "0 / +0");
  EXPECT_TRUE(statusList.IsEmpty());
}

TEST_F(ThreadDeviceTest, PortsThatNoDriverServesAreStillAnnounced) {
  const std::string s1 = SerialPort("ttyA");
  const std::string s2 = SerialPort("ttyB");
  CUtil::SetDevicePorts(s1 + ";" + s2);
  CSearchOnlyComms serial(GUID_PORTS_CLASS, GUID_COMPORT_INTERFACE, noTty);
  CNamedDriver usb("usb", GUID_GARMIN_USB_INTERFACE, kNone, noTty);
  CNamedDriver blank("blank", kNone, kNone, noTty);
  CCommsRegistry::Register(&serial);
  CGpsDevice::RegisterDevice(&usb);
  CGpsDevice::RegisterDevice(&blank);
  statusList.Append(STATUS_INFO, "first line, written by the dialog");
  EXPECT_EQ(Step(thread.GetFirstDevice(&window, statusList, THREAD_TYPE_RXDEVICE)), "0 / +2");
  ASSERT_EQ(statusList.GetCount(), 1u) << "each port rewrites the last line";
  EXPECT_EQ(statusList.GetAt(0).kind, STATUS_INFO);
  EXPECT_EQ(statusList.GetAt(0).text, "Searching for supported device on " + s2);
}

TEST_F(ThreadDeviceTest, WalksEveryPairOfSeveralPortsAndDrivers) {
  const std::string s1 = SerialPort("ttyS1");
  const std::string s2 = SerialPort("ttyS2");
  const std::string u1 = "usbsim:" + home.Path().string() + "/u1";
  const std::string u2 = "usbsim:" + home.Path().string() + "/u2";
  CUtil::SetDevicePorts(s1 + ";" + u1 + ";" + s2 + ";" + u2);
  // Registered as start-up does: the USB side first, then serial.
  CSearchOnlyComms usbComms(GUID_GARMIN_USB_INTERFACE, kNone, noTty);
  CSearchOnlyComms serialComms(GUID_PORTS_CLASS, GUID_COMPORT_INTERFACE, noTty);
  CCommsRegistry::Register(&usbComms);
  CCommsRegistry::Register(&serialComms);
  CNamedDriver usbDriver("usb", GUID_GARMIN_USB_INTERFACE, kNone, noTty);
  CNamedDriver blank("blank", kNone, kNone, noTty);
  CNamedDriver serialDriver("serial", GUID_PORTS_CLASS, GUID_COMPORT_INTERFACE, noTty);
  CNamedDriver byInterface("interface-only", kNone, GUID_COMPORT_INTERFACE, noTty);
  CGpsDevice::RegisterDevice(&usbDriver);
  CGpsDevice::RegisterDevice(&blank);
  CGpsDevice::RegisterDevice(&serialDriver);
  CGpsDevice::RegisterDevice(&byInterface);

  thread.RequestAbort();
  thread.CountRun(true);
  thread.CountRun(false);
  const std::vector<std::string> expected = {
      "1 " + u1 + "/usb +1",
      "1 " + u2 + "/usb +2",  // the current port again, then the next
      "1 " + s1 + "/serial +2",
      "1 " + s1 + "/interface-only +1",
      "1 " + s2 + "/serial +2",
      "1 " + s2 + "/interface-only +1",
      "0 / +1",
      "0 / +0",
  };
  std::vector<std::string> walked;
  walked.push_back(Step(thread.GetFirstDevice(&window, statusList, THREAD_TYPE_RXDEVICE)));
  EXPECT_FALSE(thread.IsAbortRequested());
  EXPECT_EQ(thread.GetResult(), 0);
  EXPECT_EQ(thread.GetSuccessCount(), 0);
  EXPECT_EQ(thread.GetFailureCount(), 0);
  EXPECT_EQ(thread.GetOwner(), &window);
  EXPECT_EQ(statusList.GetLast()->text, "Searching for supported device on " + u1);
  while (walked.size() < expected.size()) {
    walked.push_back(Step(thread.GetNextDevice(statusList, THREAD_TYPE_RXDEVICE)));
  }
  EXPECT_EQ(walked, expected);
  EXPECT_EQ(statusList.GetCount(), 1u);
  EXPECT_EQ(statusList.GetLast()->text, "Searching for supported device on " + s2);
}

TEST_F(ThreadDeviceTest, StatusUpdatesCarryTheCallersThreadType) {
  const std::string s1 = SerialPort("ttyS1");
  CUtil::SetDevicePorts(s1);
  CSearchOnlyComms serialComms(GUID_PORTS_CLASS, GUID_COMPORT_INTERFACE, noTty);
  CNamedDriver serialDriver("serial", GUID_PORTS_CLASS, GUID_COMPORT_INTERFACE, noTty);
  CCommsRegistry::Register(&serialComms);
  CGpsDevice::RegisterDevice(&serialDriver);
  EXPECT_EQ(thread.GetFirstDevice(&window, statusList, THREAD_TYPE_TXDEVICE), 1);
  window.PumpPending();
  EXPECT_EQ(posted, std::vector<WPARAM>{MAKELONG(THREAD_TYPE_TXDEVICE, THREAD_UPD_STATUS)});
  posted.clear();
}

TEST(ThreadDeviceMatchTest, DriverMatchesAPortByAnyNonZeroGuid) {
  const std::filesystem::path noTty = "/nonexistent";
  const CommsGuid a = GUID_PORTS_CLASS;
  const CommsGuid b = GUID_COMPORT_INTERFACE;
  const CommsGuid c = GUID_GARMIN_USB_INTERFACE;
  struct Row {
    const char* legend;
    CommsGuid driverClass, driverInterface, portClass, portInterface;
    bool matches;
  };
  const Row rows[] = {
      {"class equals class", a, kNone, a, b, true},
      {"class equals the port's interface", b, kNone, a, b, true},
      {"interface equals the port's class", kNone, a, a, kNone, true},
      {"interface equals interface", c, b, a, b, true},
      {"no GUID in common", c, kNone, a, b, false},
      {"all-zero driver never matches an all-zero port", kNone, kNone, kNone, kNone, false},
      {"all-zero driver class against a port with a zero interface", kNone, c, a, kNone, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.legend);
    CNamedDriver driver("d", row.driverClass, row.driverInterface, noTty);
    CSearchOnlyComms port(row.portClass, row.portInterface, noTty);
    EXPECT_EQ(CThreadDevice::IsDriverForPort(driver, port), row.matches);
  }
}

}  // namespace
