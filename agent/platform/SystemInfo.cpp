#include "platform/SystemInfo.h"

#include <sys/utsname.h>

namespace {

// Leading decimal digits of `text` from `pos`, moving `pos` past them.
uint32_t ReadNumber(const std::string& text, size_t& pos) {
  uint32_t number = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    const uint32_t digit = static_cast<uint32_t>(text[pos] - '0');
    number = number > (UINT32_MAX - digit) / 10 ? UINT32_MAX : number * 10 + digit;
    ++pos;
  }
  return number;
}

struct KernelInfo {
  std::string sysname = "Linux";
  OsVersion version;
};

KernelInfo ReadKernel() {
  KernelInfo info;
  // The device discovery takes the modern (device-interface) path for this class.
  info.version.platformId = 2;
  struct utsname names {};
  if (::uname(&names) != 0) return info;
  if (names.sysname[0] != '\0') info.sysname = names.sysname;
  const std::string release = names.release;
  size_t pos = 0;
  info.version.major = ReadNumber(release, pos);
  if (pos < release.size() && release[pos] == '.') {
    ++pos;
    info.version.minor = ReadNumber(release, pos);
  }
  return info;
}

}  // namespace

OsVersion CSystemInfo::GetVersion() {
  return ReadKernel().version;
}

std::string CSystemInfo::GetOsName() {
  const KernelInfo info = ReadKernel();
  return info.sysname + " " + std::to_string(info.version.major) + "." + std::to_string(info.version.minor);
}
