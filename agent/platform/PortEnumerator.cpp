#include "platform/PortEnumerator.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

#include "platform/SerialPort.h"
#include "platform/UsbReceiverBus.h"
#include "platform/Win32Errors.h"

namespace fs = std::filesystem;

namespace {

// Kernel names of the terminals a receiver can sit behind: on-board and
// PCI UARTs, USB serial adapters, USB modems (CDC ACM) and Bluetooth serial.
const char* const kSerialPrefixes[] = {"ttyS", "ttyUSB", "ttyACM", "rfcomm"};

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  if (!in) return {};
  std::string line;
  std::getline(in, line);
  return Trim(line);
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// The name's prefix, or empty when it is not a serial terminal we look at.
std::string SerialPrefix(const std::string& name) {
  for (const char* prefix : kSerialPrefixes) {
    const std::string p(prefix);
    if (name.size() > p.size() && StartsWith(name, prefix) &&
        std::all_of(name.begin() + static_cast<long>(p.size()), name.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
      return p;
    }
  }
  return {};
}

// ttyS2 before ttyS10: by prefix, then by number.
bool PortNameLess(const std::string& a, const std::string& b) {
  const std::string pa = SerialPrefix(a);
  const std::string pb = SerialPrefix(b);
  if (pa != pb) return pa < pb;
  const std::string na = a.substr(pa.size());
  const std::string nb = b.substr(pb.size());
  if (na.size() != nb.size()) return na.size() < nb.size();
  return na < nb;
}

}  // namespace

CPortEnumerator::CPortEnumerator() : CPortEnumerator("/sys/class/tty", "/dev") {}

CPortEnumerator::CPortEnumerator(fs::path ttyClassFolder, fs::path devFolder)
    : m_ttyClassFolder(std::move(ttyClassFolder)), m_devFolder(std::move(devFolder)) {}

const char* CPortEnumerator::KindName(PortKind kind) {
  return kind == PortKind::Usb ? "usb" : "serial";
}

std::vector<PortEntry> CPortEnumerator::ParseExtraPorts(const std::string& text) {
  std::vector<PortEntry> entries;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string item = Trim(text.substr(start, end - start));
    start = end + 1;
    if (item.empty()) continue;
    PortEntry entry;
    if (StartsWith(item, "usb:") || StartsWith(item, "usbsim:")) {
      entry.kind = PortKind::Usb;
      entry.path = item;
    } else {
      entry.kind = PortKind::Serial;
      entry.path = StartsWith(item, "serial:") ? Trim(item.substr(7)) : item;
    }
    if (entry.path.empty()) continue;
    entry.friendlyName = entry.path;
    entries.push_back(std::move(entry));
  }
  return entries;
}

bool CPortEnumerator::Enumerate(PortKind kind, const std::string& extraPorts, std::vector<PortEntry>& ports) {
  m_lastError = 0;
  m_skipped.clear();
  const bool listed = kind == PortKind::Serial ? _AppendSerialPorts(ports) : _AppendUsbPorts(ports);
  for (PortEntry& extra : ParseExtraPorts(extraPorts)) {
    if (extra.kind != kind) continue;
    // A serial port named by hand is skipped like a listed one when it is
    // gone or another program holds it.
    if (kind == PortKind::Serial && !CSerialPort::IsAvailable(extra.path)) continue;
    // So is a USB receiver named by hand; the simulated one has no bus.
    if (kind == PortKind::Usb && StartsWith(extra.path, "usb:")) {
      _AppendClaimableUsbPort(std::move(extra), ports);
      continue;
    }
    ports.push_back(std::move(extra));
  }
  return listed;
}

bool CPortEnumerator::_AppendSerialPorts(std::vector<PortEntry>& ports) {
  std::error_code ec;
  fs::directory_iterator it(m_ttyClassFolder, ec);
  if (ec) {
    m_lastError = Win32FromErrno(ec.value());
    return false;
  }
  std::vector<std::string> names;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    if (SerialPrefix(name).empty()) continue;
    // Virtual consoles and pseudo-terminals have no device behind them.
    if (!fs::exists(it->path() / "device", ec)) continue;
    // The kernel keeps placeholders for legacy UARTs that are not fitted;
    // their port type is 0 (unknown).
    if (StartsWith(name, "ttyS") && ReadAttribute(it->path() / "type") == "0") continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), PortNameLess);
  for (const std::string& name : names) {
    const fs::path device = m_devFolder / name;
    if (!CSerialPort::IsAvailable(device.string())) continue;
    ports.push_back({device.string(), _SerialFriendlyName(m_ttyClassFolder / name, name), PortKind::Serial});
  }
  return true;
}

CUsbReceiverBus& CPortEnumerator::_UsbBus() const {
  return m_usbBus != nullptr ? *m_usbBus : CUsbReceiverBus::System();
}

bool CPortEnumerator::_AppendUsbPorts(std::vector<PortEntry>& ports) {
  std::vector<UsbDeviceInfo> receivers;
  const uint32_t error = _UsbBus().ListReceivers(receivers);
  if (error != 0) {
    m_lastError = error;
    return false;
  }
  for (UsbDeviceInfo& receiver : receivers) {
    _AppendClaimableUsbPort({std::move(receiver.path), std::move(receiver.friendlyName), PortKind::Usb},
                            ports);
  }
  return true;
}

bool CPortEnumerator::_AppendClaimableUsbPort(PortEntry port, std::vector<PortEntry>& ports) {
  // Listing a receiver that then fails to open would stop the search on it
  // with an error instead of trying the next port.
  const uint32_t error = _UsbBus().TryClaim(port.path);
  if (error != 0) {
    m_skipped.push_back({std::move(port), error});
    return false;
  }
  ports.push_back(std::move(port));
  return true;
}

std::string CPortEnumerator::_SerialFriendlyName(const fs::path& ttyEntry, const std::string& name) const {
  std::error_code ec;
  const fs::path device = fs::canonical(ttyEntry / "device", ec);
  std::string product;
  if (!ec) {
    // The USB device that carries the port names itself in "product", a few
    // levels above the port (interface, then device).
    fs::path dir = device;
    for (int level = 0; level < 4 && product.empty() && dir.has_parent_path() && dir != dir.parent_path();
         ++level) {
      if (fs::exists(dir / "idVendor", ec)) product = ReadAttribute(dir / "product");
      dir = dir.parent_path();
    }
  }
  if (!product.empty()) return product + " (" + name + ")";
  // The driver that owns the hardware; newer kernels put a generic serial
  // port device (bus serial-base) between it and the terminal.
  fs::path dir = ttyEntry / "device";
  for (int level = 0; level < 4; ++level) {
    const fs::path driver = fs::read_symlink(dir / "driver", ec);
    if (!ec && !driver.filename().empty() && driver.string().find("serial-base") == std::string::npos) {
      return driver.filename().string() + " (" + name + ")";
    }
    dir /= "..";
  }
  return name;
}
