// Finding the ports: the kernel's tty list (a prepared tree whose device
// nodes are pseudo-terminals), the extra ports of the settings, the duplicate
// check, the registry of comms objects and the old systems' Enum walk.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PtyPeer.h"
#include "link/CommsRegistry.h"
#include "link/CommsSerial.h"
#include "link/GpsGarminUsb.h"
#include "platform/PortEnumerator.h"
#include "platform/SerialPort.h"
#include "platform/UsbReceiverBus.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "support/TestEnv.h"
#include "util/TraceLog.h"
#include "util/Util.h"

namespace fs = std::filesystem;

namespace {

// A /sys/class/tty and /dev laid out like the kernel's, in a temporary folder.
class CFakeTtyTree {
public:
  CFakeTtyTree() {
    fs::create_directories(TtyClass());
    fs::create_directories(Dev());
  }
  fs::path TtyClass() const { return m_dir.Path() / "sys/class/tty"; }
  fs::path Dev() const { return m_dir.Path() / "dev"; }

  // A device folder under sys/devices, with an optional driver and USB identity.
  fs::path Device(const std::string& relative, const std::string& driver = "") {
    const fs::path dir = m_dir.Path() / "sys/devices" / relative;
    fs::create_directories(dir);
    if (!driver.empty()) {
      const fs::path drv = m_dir.Path() / "sys/bus/drivers" / driver;
      fs::create_directories(drv);
      fs::create_directory_symlink(drv, dir / "driver");
    }
    return dir;
  }
  static void UsbIdentity(const fs::path& usbDevice, const std::string& product) {
    qvtest::WriteFile(usbDevice / "idVendor", "091e\n");
    if (!product.empty()) qvtest::WriteFile(usbDevice / "product", product + "\n");
  }
  // A tty entry; with a device folder it is a real port whose node is a fresh
  // pseudo-terminal.
  void Tty(const std::string& name, const fs::path& device, const std::string& type = "") {
    const fs::path entry = TtyClass() / name;
    fs::create_directories(entry);
    if (!device.empty()) fs::create_directory_symlink(device, entry / "device");
    if (!type.empty()) qvtest::WriteFile(entry / "type", type + "\n");
    m_peers.push_back(std::make_unique<linktest::CPtyPeer>());
    fs::create_symlink(m_peers.back()->SlavePath(), Dev() / name);
  }
  CPortEnumerator Enumerator() const { return CPortEnumerator(TtyClass(), Dev()); }

private:
  qvtest::CTempDir m_dir;
  std::vector<std::unique_ptr<linktest::CPtyPeer>> m_peers;
};

// USB buses whose library may fail to start, with receivers that answer a
// claim with a set error (absent: free).
class CFakeUsbBus : public CUsbReceiverBus {
public:
  uint32_t startError = 0;
  std::vector<std::string> receivers;
  std::map<std::string, uint32_t> claimErrors;

  uint32_t ListReceivers(std::vector<UsbDeviceInfo>& found) override {
    if (startError != 0) return startError;
    for (const std::string& path : receivers) found.push_back({path, "Receiver " + path});
    return 0;
  }
  uint32_t TryClaim(const std::string& path) override {
    const auto it = claimErrors.find(path);
    return it == claimErrors.end() ? 0 : it->second;
  }
};

std::vector<std::string> Describe(const std::vector<PortEntry>& ports) {
  std::vector<std::string> lines;
  for (const PortEntry& p : ports) {
    lines.push_back(fs::path(p.path).filename().string() + " | " + p.friendlyName + " | " +
                    CPortEnumerator::KindName(p.kind));
  }
  return lines;
}

TEST(PortEnumerator, ListsRealSerialPortsWithTheirNames) {
  CFakeTtyTree tree;
  const fs::path uart = tree.Device("platform/serial8250", "serial8250");
  const fs::path usbDevice = tree.Device("pci0000:00/usb1/1-1");
  CFakeTtyTree::UsbIdentity(usbDevice, "Garmin USB-Serial Cable");
  const fs::path usbPort = tree.Device("pci0000:00/usb1/1-1/1-1:1.0/ttyUSB0", "pl2303");
  const fs::path acmDevice = tree.Device("pci0000:00/usb1/1-2");
  CFakeTtyTree::UsbIdentity(acmDevice, "");
  const fs::path acmPort = tree.Device("pci0000:00/usb1/1-2/1-2:1.0", "cdc_acm");
  const fs::path bluetooth = tree.Device("virtual/tty/rfcomm0");

  tree.Tty("ttyS0", uart, "4");
  tree.Tty("ttyS1", uart, "0");  // a UART the board does not have
  tree.Tty("ttyS10", uart, "4");
  tree.Tty("ttyS2", uart, "4");
  tree.Tty("ttyUSB0", usbPort);
  tree.Tty("ttyUSB1", {});  // no device behind it
  tree.Tty("ttyACM0", acmPort);
  tree.Tty("rfcomm0", bluetooth);
  tree.Tty("tty1", uart);  // a console, not a serial port
  tree.Tty("ttyUSB2", usbPort);

  CSerialPort holder;  // another program holds ttyUSB2
  ASSERT_EQ(holder.Open((tree.Dev() / "ttyUSB2").string()), SerialStatus::Ok);

  CPortEnumerator enumerator = tree.Enumerator();
  std::vector<PortEntry> ports;
  ASSERT_TRUE(enumerator.Enumerate(PortKind::Serial, "", ports));
  EXPECT_EQ(Describe(ports), (std::vector<std::string>{
                                 "rfcomm0 | rfcomm0 | serial",
                                 "ttyACM0 | cdc_acm (ttyACM0) | serial",
                                 "ttyS0 | serial8250 (ttyS0) | serial",
                                 "ttyS2 | serial8250 (ttyS2) | serial",
                                 "ttyS10 | serial8250 (ttyS10) | serial",
                                 "ttyUSB0 | Garmin USB-Serial Cable (ttyUSB0) | serial",
                             }));
  EXPECT_EQ(ports[0].path, (tree.Dev() / "rfcomm0").string());
}

TEST(PortEnumerator, ExtraPortsOfTheSettings) {
  struct Case {
    const char* legend;
    std::string text;
    std::vector<std::string> entries;  // path | kind
  };
  const Case cases[] = {
      {"empty", "", {}},
      {"plain path", "/dev/ttyUSB7", {"/dev/ttyUSB7 | serial"}},
      {"prefixed, spaced and empty items",
       " serial:/tmp/a ;; usbsim:/run/sim.sock;usb:1:4 ",
       {"/tmp/a | serial", "usbsim:/run/sim.sock | usb", "usb:1:4 | usb"}},
      {"prefix without a path", "serial:;x", {"x | serial"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    std::vector<std::string> got;
    for (const PortEntry& e : CPortEnumerator::ParseExtraPorts(c.text)) {
      EXPECT_EQ(e.friendlyName, e.path);
      got.push_back(e.path + " | " + CPortEnumerator::KindName(e.kind));
    }
    EXPECT_EQ(got, c.entries);
  }

  linktest::CPtyPeer free;
  linktest::CPtyPeer held;
  CSerialPort holder;
  ASSERT_EQ(holder.Open(held.SlavePath()), SerialStatus::Ok);
  CPortEnumerator missingSys("/nonexistent/sys/class/tty", "/nonexistent/dev");
  CFakeUsbBus noReceivers;
  missingSys.SetUsbBus(&noReceivers);
  std::vector<PortEntry> ports;
  const std::string extra =
      "serial:" + free.SlavePath() + ";" + held.SlavePath() + ";/nonexistent/ttyX;usbsim:/s";
  EXPECT_FALSE(missingSys.Enumerate(PortKind::Serial, extra, ports));
  EXPECT_EQ(missingSys.LastError(), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports[0].path, free.SlavePath());
  ports.clear();
  EXPECT_TRUE(missingSys.Enumerate(PortKind::Usb, extra, ports));
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports.back().path, "usbsim:/s");
  EXPECT_EQ(ports.back().kind, PortKind::Usb);
}

// A serial port whose duplicate check can be driven directly.
class CTestSerial : public CCommsSerial {
public:
  using CCommsDevice::_AppendDevice;
};

TEST(CommsDevice, DuplicateKeyIsThePathBeforeTheFirstBrace) {
  struct Case {
    const char* legend;
    std::vector<std::string> paths;
    size_t listed;
  };
  const Case cases[] = {
      {"same device under two interfaces",
       {"\\\\?\\usb#vid_091e&pid_0003#1#{2c9c45c2-8e7d-4c08-a12d-816bbae722c0}",
        "\\\\?\\USB#VID_091E&PID_0003#1#{86e0d1e0-8089-11d0-9ce4-08003e301f73}"},
       1},
      {"two devices", {"\\\\?\\usb#a#{x}", "\\\\?\\usb#b#{x}"}, 2},
      {"no brace, case differs", {"/dev/ttyS0", "/DEV/TTYS0"}, 1},
      {"no brace, other port", {"/dev/ttyS0", "/dev/ttyS1"}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CTestSerial device;
    for (const std::string& path : c.paths) device._AppendDevice(path, "name");
    ASSERT_EQ(device.GetDeviceList().Count(), c.listed);
    EXPECT_EQ(device.GetDeviceList().At(0).path, c.paths[0]);
  }
}

TEST(CommsDevice, SerialObjectCarriesThePortGuids) {
  CCommsSerial serial;
  EXPECT_EQ(serial.GetClassGuidText(), "{4d36e978-e325-11ce-bfc1-08002be10318}");
  EXPECT_EQ(serial.GetInterfaceGuidText(), "{86e0d1e0-8089-11d0-9ce4-08003e301f73}");
  EXPECT_EQ(FormatCommsGuid(GUID_GARMIN_USB_INTERFACE), "{2c9c45c2-8e7d-4c08-a12d-816bbae722c0}");
  EXPECT_EQ(FormatCommsGuid(GUID_GARMIN_USB_CLASS_WIN9X), "{a12a4c5a-e1a3-4151-9927-7f724ca5dc92}");
  serial.SetClassGuid(CommsGuid{});
  EXPECT_EQ(serial.GetClassGuidText(), "");
  EXPECT_EQ(serial.GetTimeout(), 500u);
  EXPECT_EQ(serial.GetRetryCount(), 5u);
}

class CommsDiscoveryTest : public ::testing::Test {
protected:
  void SetUp() override {
    CUtil::ResetForTests();
    CUtil::Initialize();
  }
  void TearDown() override { CUtil::ResetForTests(); }

  qvtest::CIsolatedHome home;
};

TEST_F(CommsDiscoveryTest, FindFirstAndNextHandOutEachPortOnce) {
  CFakeTtyTree tree;
  tree.Tty("ttyS0", tree.Device("platform/serial8250", "serial8250"), "4");
  linktest::CPtyPeer sim;
  CUtil::SetDevicePorts("serial:" + sim.SlavePath() + ";" + sim.SlavePath() + ";usbsim:/x");

  CCommsSerial serial;
  serial.SetPortEnumerator(tree.Enumerator());
  ASSERT_TRUE(serial.FindFirstCommsDevice());
  EXPECT_EQ(serial.GetDevicePath(), (tree.Dev() / "ttyS0").string());
  EXPECT_EQ(serial.GetFriendlyName(), "serial8250 (ttyS0)");
  ASSERT_TRUE(serial.FindNextCommsDevice());
  EXPECT_EQ(serial.GetDevicePath(), sim.SlavePath());
  EXPECT_EQ(serial.GetFriendlyName(), sim.SlavePath());
  EXPECT_FALSE(serial.FindNextCommsDevice());
  EXPECT_EQ(serial.GetDevicePath(), sim.SlavePath());
  EXPECT_EQ(serial.GetDeviceList().Count(), 2u);
  EXPECT_EQ(serial.GetLastError(), S_OK);

  // The list is rebuilt by every search.
  CUtil::SetDevicePorts("");
  ASSERT_TRUE(serial.FindFirstCommsDevice());
  EXPECT_EQ(serial.GetDeviceList().Count(), 1u);
}

TEST_F(CommsDiscoveryTest, UnreadablePortListKeepsTheExtraPortsAndTheError) {
  linktest::CPtyPeer sim;
  CUtil::SetDevicePorts(sim.SlavePath());
  CCommsSerial serial;
  serial.SetPortEnumerator(CPortEnumerator("/nonexistent/sys/class/tty", "/nonexistent/dev"));
  ASSERT_TRUE(serial.FindFirstCommsDevice());
  EXPECT_EQ(serial.GetDevicePath(), sim.SlavePath());
  EXPECT_EQ(serial.GetLastError(), E_HANDLE);
  EXPECT_EQ(serial.GetErrorMessage(), LoadString(IDS_ERR_USB_INIT));
}

// Receivers that another program holds or that the user may not open are
// left out with a trace line, as serial ports in use are; a USB library that
// does not start is reported, and ports named by hand are still listed.
TEST_F(CommsDiscoveryTest, UsbSearchSkipsReceiversItCannotTake) {
  struct Case {
    const char* legend;
    uint32_t startError;
    std::vector<std::string> receivers;
    std::map<std::string, uint32_t> claimErrors;  // one skipped line each
    std::string extraPorts;
    std::vector<std::string> listed;
  };
  const Case cases[] = {
      {"forbidden and held receivers skipped, the free one listed",
       0,
       {"usb:001:004", "usb:001:005", "usb:002:003"},
       {{"usb:001:004", ERROR_ACCESS_DENIED}, {"usb:001:005", ERROR_BUSY}},
       "",
       {"usb:002:003"}},
      {"a held receiver named by hand is skipped too",
       0,
       {},
       {{"usb:003:001", ERROR_BUSY}},
       "usb:003:001;usbsim:/run/sim",
       {"usbsim:/run/sim"}},
      {"library does not start",
       ERROR_DLL_INIT_FAILED,
       {"usb:001:004"},
       {},
       "usbsim:/run/sim",
       {"usbsim:/run/sim"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    qvtest::CTempDir traceDir;
    ASSERT_TRUE(LogEnable(LOG_DEBUG, traceDir.Path().string()));
    CFakeUsbBus bus;
    bus.startError = c.startError;
    bus.receivers = c.receivers;
    bus.claimErrors = c.claimErrors;
    CPortEnumerator enumerator;
    enumerator.SetUsbBus(&bus);
    CUtil::SetDevicePorts(c.extraPorts);
    CGpsGarminUsb gps;
    CCommsDevice& usb = *gps.GetCommsDevice();
    usb.SetPortEnumerator(enumerator);
    std::vector<std::string> listed;
    for (bool found = usb.FindFirstCommsDevice(); found; found = usb.FindNextCommsDevice()) {
      listed.push_back(usb.GetDevicePath());
    }
    const std::string trace = qvtest::ReadFile(LogPath());
    LogClose();
    EXPECT_EQ(listed, c.listed);
    EXPECT_EQ(usb.GetLastError(), HRESULT_FROM_WIN32(c.startError));
    EXPECT_EQ(usb.GetErrorMessage(), c.startError == 0 ? "" : LoadString(IDS_ERR_USB_INIT));
    size_t lines = 0;
    for (size_t at = trace.find("(skipped): "); at != std::string::npos;
         at = trace.find("(skipped): ", at + 1)) {
      ++lines;
    }
    EXPECT_EQ(lines, c.claimErrors.size()) << trace;
  }
}

TEST_F(CommsDiscoveryTest, OldSystemsWalkTheEnumTree) {
  fs::create_directories(home.DataHome() / "Tavelnor");
  fs::copy_file(qvtest::DataDir() / "link/win98_machine.reg", home.DataHome() / "Tavelnor/machine.reg");

  CCommsSerial serial;
  serial.AppendDeviceList_win9x(serial.GetClassGuidText());
  ASSERT_EQ(serial.GetDeviceList().Count(), 1u);
  EXPECT_EQ(serial.GetDeviceList().At(0).path, "COM2");
  EXPECT_EQ(serial.GetDeviceList().At(0).friendlyName, "Communications Port (COM2)");
  serial.AppendDeviceList_win9x(serial.GetInterfaceGuidText());
  EXPECT_EQ(serial.GetDeviceList().Count(), 1u);

  CCommsSerial usb;  // any comms object walks the same way
  usb.AppendDeviceList_win9x(FormatCommsGuid(GUID_GARMIN_USB_CLASS_WIN9X));
  ASSERT_EQ(usb.GetDeviceList().Count(), 1u);
  EXPECT_EQ(usb.GetDeviceList().At(0).path,
            "\\\\?\\usb#vid_091e&pid_0003#5&1a2b#{2c9c45c2-8e7d-4c08-a12d-816bbae722c0}");
  EXPECT_EQ(usb.GetDeviceList().At(0).friendlyName, "Garmin USB GPS");
}

TEST(CommsRegistry, HoldsTwentyAndWalksInOrder) {
  CCommsRegistry::Clear();
  EXPECT_EQ(CCommsRegistry::GetFirst(), nullptr);
  std::vector<std::unique_ptr<CCommsSerial>> devices;
  for (int i = 0; i < 21; ++i) {
    devices.push_back(std::make_unique<CCommsSerial>());
    CCommsRegistry::Register(devices.back().get());
  }
  CCommsRegistry::Register(nullptr);
  EXPECT_EQ(CCommsRegistry::Count(), 20u);
  EXPECT_EQ(CCommsRegistry::GetFirst(), devices[0].get());
  for (int i = 1; i < 20; ++i) EXPECT_EQ(CCommsRegistry::GetNext(), devices[static_cast<size_t>(i)].get());
  EXPECT_EQ(CCommsRegistry::GetNext(), nullptr);
  EXPECT_EQ(CCommsRegistry::GetFirst(), devices[0].get());
  CCommsRegistry::Clear();
  EXPECT_EQ(CCommsRegistry::Count(), 0u);
}

}  // namespace
