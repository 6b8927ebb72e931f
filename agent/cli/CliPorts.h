// The ports identify and receive try, and the receiver object for each.
#pragma once

#include <memory>
#include <string>
#include <vector>

class CGpsGarmin;

struct CandidatePort {
  std::string path;
  std::string friendlyName;
  bool usb = false;
};

// The port given on the command line (a plain path, serial:PATH, usb:... or
// usbsim:...), or, when none was given, every port a receiver search tries:
// USB first, since a receiver there answers at once while a serial search may
// wait out a timeout on every port.
std::vector<CandidatePort> CandidatePorts(bool portGiven, const std::string& port);

// The protocol engine for the port's kind, pointed at the port with the
// Timeout setting; nothing is opened yet.
std::unique_ptr<CGpsGarmin> CreateReceiver(const CandidatePort& port);

// What the receive search says of a port where the receiver did not open:
// "No device found on %s" or "Unsupported device found on %s".
std::string OpenFailureText(CGpsGarmin& gps, const CandidatePort& port);
