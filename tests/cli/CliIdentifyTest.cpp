#include <gtest/gtest.h>

#include "sim/GarminSim.h"
#include "support/RunProgram.h"
#include "support/TestEnv.h"

namespace {

using qvtest::RunProgram;

std::unique_ptr<CGarminSim> StartSim(std::string& pty, const SimFaults& faults = {}) {
  std::string error;
  auto sim = CGarminSim::FromFile((qvtest::DataDir() / "sim" / "two_tracks_a301.json").string(), &error);
  EXPECT_TRUE(sim) << error;
  if (!sim) return nullptr;
  sim->SetFaults(faults);
  EXPECT_TRUE(sim->StartSerial(pty));
  return sim;
}

TEST(CliIdentify, IdentifiesTheReceiverOnTheGivenPort) {
  qvtest::CIsolatedHome home;
  std::string pty;
  auto sim = StartSim(pty);
  ASSERT_TRUE(sim);
  for (const std::string& port : {pty, "serial:" + pty}) {
    SCOPED_TRACE(port);
    const auto r = RunProgram({QV_CLI_PATH, "identify", "--port", port});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Product: Forerunner305 Software Version 3.50\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Product ID: 484\n"), std::string::npos);
    EXPECT_NE(r.out.find("Serial number: 3456789012\n"), std::string::npos);
    EXPECT_NE(r.out.find("Protocols: P0000 L0001 A0010"), std::string::npos);
    EXPECT_NE(r.out.find("Prefix: device-"), std::string::npos);
  }
}

TEST(CliIdentify, FindsTheReceiverThroughTheExtraPortsSetting) {
  qvtest::CIsolatedHome home;
  std::string pty;
  auto sim = StartSim(pty);
  ASSERT_TRUE(sim);
  ASSERT_EQ(RunProgram({QV_CLI_PATH, "settings", "set", "Device", "Ports", pty}).exitCode, 0);

  const auto ports = RunProgram({QV_CLI_PATH, "ports"});
  ASSERT_EQ(ports.exitCode, 0) << ports.err;
  EXPECT_NE(ports.out.find(pty), std::string::npos) << ports.out;
  EXPECT_NE(ports.out.find("serial"), std::string::npos);

  const auto r = RunProgram({QV_CLI_PATH, "identify"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Product ID: 484\n"), std::string::npos) << r.out;

  // A USB library that does not start is said, and the serial receiver is
  // still found.
  qvtest::CScopedEnv preload("LD_PRELOAD", std::string(QV_LIBUSB_INIT_FAILS_PATH));
  qvtest::CScopedEnv asan("ASAN_OPTIONS", std::string("verify_asan_link_order=0"));
  for (const char* command : {"ports", "identify"}) {
    SCOPED_TRACE(command);
    const auto failed = RunProgram({QV_CLI_PATH, command});
    EXPECT_EQ(failed.exitCode, 0) << failed.out << failed.err;
    EXPECT_NE(failed.out.find(command == std::string("ports") ? pty : "Product ID: 484\n"), std::string::npos)
        << failed.out;
    EXPECT_NE(failed.err.find("qvagent-cli: Unable to initialize USB communications device\n"),
              std::string::npos)
        << failed.err;
  }
}

TEST(CliIdentify, ASilentReceiverIsReportedWithTheSystemsOwnText) {
  qvtest::CIsolatedHome home;
  SimFaults silent;
  silent.silent = true;
  std::string pty;
  auto sim = StartSim(pty, silent);
  ASSERT_TRUE(sim);
  const auto r = RunProgram({QV_CLI_PATH, "identify", "--port", pty});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("No device found on " + pty), std::string::npos) << r.out << r.err;
}

TEST(CliIdentify, BadUsage) {
  qvtest::CIsolatedHome home;
  EXPECT_EQ(RunProgram({QV_CLI_PATH, "identify", "--port"}).exitCode, 2);
  EXPECT_EQ(RunProgram({QV_CLI_PATH, "identify", "extra"}).exitCode, 2);
}

}  // namespace

namespace {

TEST(CliIdentify, IdentifiesAUsbReceiverGivenOrListed) {
  qvtest::CIsolatedHome home;
  std::string error;
  auto sim = CGarminSim::FromFile((qvtest::DataDir() / "sim" / "two_tracks_a301.json").string(), &error);
  ASSERT_TRUE(sim) << error;
  const std::string socket = (home.Path() / "usb.sock").string();
  ASSERT_TRUE(sim->StartUsb(socket));

  auto r = RunProgram({QV_CLI_PATH, "identify", "--port", "usbsim:" + socket});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Product ID: 484\n"), std::string::npos) << r.out;

  ASSERT_EQ(RunProgram({QV_CLI_PATH, "settings", "set", "Device", "Ports", "usbsim:" + socket}).exitCode, 0);
  const auto ports = RunProgram({QV_CLI_PATH, "ports"});
  EXPECT_NE(ports.out.find("usbsim:" + socket + "\t"), std::string::npos) << ports.out;
  EXPECT_NE(ports.out.find("\tusb\n"), std::string::npos) << ports.out;
  r = RunProgram({QV_CLI_PATH, "identify"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Serial number: 3456789012\n"), std::string::npos) << r.out;
}

}  // namespace
