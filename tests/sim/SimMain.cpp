// garmin-sim: plays a Garmin receiver on a pseudo-terminal, or with --usb on
// a Unix socket, until killed. The first line on stdout is the port to open:
// the slave path of the serial port, or "usbsim:SOCKET".
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "sim/GarminSim.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) {
  g_stop = true;
}

void PrintUsage() {
  std::fprintf(stderr,
               "usage: garmin-sim --scenario FILE [--record FILE] [--pacing] [--silent]\n"
               "                  [--bad-checksum N] [--nak N] [--no-ack N] [--garbage]\n"
               "                  [--second-product-request] [--pid248] [--no-power-off-ack]\n"
               "                  [--bit-rate accept|refuse|ignore|silent] [--max-bit-rate N]\n"
               "                  [--usb SOCKET [--usb-interrupt-transfers] [--usb-app-session]\n"
               "                   [--usb-session-size N] [--usb-announce-on-bulk] [--usb-truncate N]]\n");
}

bool ReadCount(int argc, char** argv, int& i, int& value) {
  if (i + 1 >= argc) return false;
  char* end = nullptr;
  const long number = std::strtol(argv[++i], &end, 10);
  if (end == argv[i] || *end != '\0' || number < 0 || number > 1000000) return false;
  value = static_cast<int>(number);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string scenarioPath;
  std::string recordPath;
  bool pacing = false;
  // Flags given on the command line add to the scenario's own faults.
  bool silent = false, garbage = false, second = false, pid248 = false, noPowerOffAck = false;
  int badChecksum = 0, nak = 0, noAck = 0;
  std::string usbSocket;
  SimUsbFaults usbFaults;
  bool usbInterruptTransfers = false;
  SimBitRateOptions bitRate;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    bool ok = true;
    if (arg == "--scenario" && i + 1 < argc) {
      scenarioPath = argv[++i];
    } else if (arg == "--record" && i + 1 < argc) {
      recordPath = argv[++i];
    } else if (arg == "--pacing") {
      pacing = true;
    } else if (arg == "--silent") {
      silent = true;
    } else if (arg == "--garbage") {
      garbage = true;
    } else if (arg == "--second-product-request") {
      second = true;
    } else if (arg == "--pid248") {
      pid248 = true;
    } else if (arg == "--no-power-off-ack") {
      noPowerOffAck = true;
    } else if (arg == "--bad-checksum") {
      ok = ReadCount(argc, argv, i, badChecksum);
    } else if (arg == "--nak") {
      ok = ReadCount(argc, argv, i, nak);
    } else if (arg == "--no-ack") {
      ok = ReadCount(argc, argv, i, noAck);
    } else if (arg == "--bit-rate" && i + 1 < argc) {
      const std::string mode = argv[++i];
      ok = mode == "accept" || mode == "refuse" || mode == "ignore" || mode == "silent";
      bitRate.mode = mode == "refuse"   ? SimBitRateMode::Refuse
                     : mode == "ignore" ? SimBitRateMode::Ignore
                     : mode == "silent" ? SimBitRateMode::AcceptThenSilent
                                        : SimBitRateMode::Accept;
    } else if (arg == "--max-bit-rate") {
      int highest = 0;
      ok = ReadCount(argc, argv, i, highest);
      bitRate.highest = static_cast<unsigned>(highest);
    } else if (arg == "--usb" && i + 1 < argc) {
      usbSocket = argv[++i];
    } else if (arg == "--usb-interrupt-transfers") {
      usbInterruptTransfers = true;
    } else if (arg == "--usb-app-session") {
      usbFaults.appPacketForSession = true;
    } else if (arg == "--usb-session-size") {
      int size = 0;
      ok = ReadCount(argc, argv, i, size);
      usbFaults.sessionStartedSize = static_cast<size_t>(size);
    } else if (arg == "--usb-announce-on-bulk") {
      usbFaults.announceOnBulk = true;
    } else if (arg == "--usb-truncate") {
      ok = ReadCount(argc, argv, i, usbFaults.truncateSent);
    } else {
      ok = false;
    }
    if (!ok) {
      PrintUsage();
      return 2;
    }
  }
  if (scenarioPath.empty()) {
    PrintUsage();
    return 2;
  }
  std::string error;
  auto sim = CGarminSim::FromFile(scenarioPath, &error);
  if (!sim) {
    std::fprintf(stderr, "garmin-sim: %s\n", error.c_str());
    return 1;
  }
  SimFaults faults = sim->Faults();
  faults.silent = faults.silent || silent;
  faults.garbageBetweenFrames = faults.garbageBetweenFrames || garbage;
  faults.answerSecondProductRequestOnly = faults.answerSecondProductRequestOnly || second;
  faults.packet248BeforeProtocolArray = faults.packet248BeforeProtocolArray || pid248;
  faults.powerOffAck = faults.powerOffAck && !noPowerOffAck;
  if (badChecksum) faults.badChecksumOnSent = badChecksum;
  if (nak) faults.nakHostPacket = nak;
  if (noAck) faults.noAckHostPacket = noAck;
  sim->SetFaults(faults);
  sim->SetPacing(pacing);
  sim->SetBitRateOptions(bitRate);

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::string port;
  if (!usbSocket.empty()) {
    sim->SetUsbFaults(usbFaults);
    sim->SetUsbBulkTransfers(!usbInterruptTransfers);
    if (!sim->StartUsb(usbSocket)) {
      std::fprintf(stderr, "garmin-sim: %s\n", sim->LastError().c_str());
      return 1;
    }
    port = "usbsim:" + usbSocket;
  } else if (!sim->StartSerial(port)) {
    std::fprintf(stderr, "garmin-sim: %s\n", sim->LastError().c_str());
    return 1;
  }
  std::printf("%s\n", port.c_str());
  std::fflush(stdout);

  // The record is rewritten whenever it changed, so it is current even if the
  // simulator is killed without a chance to clean up.
  size_t writtenGeneration = static_cast<size_t>(-1);
  while (!g_stop) {
    if (!recordPath.empty() && sim->HostLogGeneration() != writtenGeneration) {
      writtenGeneration = sim->HostLogGeneration();
      if (!sim->WriteHostLog(recordPath, error)) std::fprintf(stderr, "garmin-sim: %s\n", error.c_str());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  sim->Stop();
  if (!recordPath.empty() && !sim->WriteHostLog(recordPath, error)) {
    std::fprintf(stderr, "garmin-sim: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
