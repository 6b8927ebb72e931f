#include "util/Util.h"

#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "platform/AtomicFile.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/ShellFolders.h"
#include "platform/SystemInfo.h"
#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "util/TraceLog.h"
#include "version.h"

namespace {

// What Initialize fills; read-only afterwards.
struct UtilState {
  bool initialised = false;
  std::string version;
  std::string documentVersion;
  OsVersion os;
  std::string osName;
  std::string dataFolder;
  std::string queueFolder;
  std::string queueResendFolder;
  std::string serverName;
  std::string serverBaseUrl;
  std::string activitiesUrl;
  std::string inboxUrl;
  std::string agentName;
};

// The serial rate given for this process alone; -1 when the setting decides.
std::atomic<long long>& SerialBitRateForProcess() {
  static std::atomic<long long> rate{-1};
  return rate;
}

UtilState& State() {
  static UtilState state;
  return state;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (needed > 0) {
    text.resize(static_cast<size_t>(needed) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(needed));
  }
  va_end(args);
  return text;
}

// Fills a string-table format whose only conversions are %s.
std::string FillFormat(const std::string& format, std::initializer_list<std::string> values) {
  std::string out;
  auto value = values.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      const char c = format[i + 1];
      if (c == 's') {
        if (value != values.end()) out += *value++;
        ++i;
        continue;
      }
      if (c == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return std::string();
  return folder + "/" + name;
}

CRegistry& UserHive() {
  return CRegistry::Hive(RegHive::CurrentUser);
}

bool CreateFolder(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return !ec;
}

}  // namespace

void CUtil::Initialize() {
  LogWrite(LOG_INFO, "CUtil::Initialize()");
  UtilState& s = State();
  if (s.initialised) return;
  s.initialised = true;
  s.version =
      Format("%d.%d.%d.%d", QV_VERSION_MAJOR, QV_VERSION_MINOR, QV_VERSION_BUILD, QV_VERSION_REVISION);
  s.documentVersion = s.version;
  s.os = CSystemInfo::GetVersion();
  s.osName = CSystemInfo::GetOsName();

  const std::string appData = CShellFolders::GetAppDataFolder();
  if (!appData.empty()) {
    s.dataFolder = JoinPath(appData, LoadString(IDS_REGISTRY_KEY));
    CreateFolder(s.dataFolder);
    s.queueFolder = JoinPath(s.dataFolder, LoadString(IDS_FOLDER_QUEUE));
    CreateFolder(s.queueFolder);
    s.queueResendFolder = JoinPath(s.dataFolder, LoadString(IDS_FOLDER_QUEUERESEND));
    CreateFolder(s.queueResendFolder);
  }

  s.serverName = GetServerName();
  s.serverBaseUrl = "http://" + s.serverName;
  s.activitiesUrl = "http://" + s.serverName + "/" + LoadString(IDS_URL_ACTIVITIES);
  s.inboxUrl = "http://" + s.serverName + "/" + LoadString(IDS_URL_INBOX);
  s.agentName = LoadString(IDS_AGENT_NAME) + "/" + s.version + " (" + s.osName + ")";
}

bool CUtil::IsInitialized() {
  return State().initialised;
}

void CUtil::ResetForTests() {
  State() = UtilState();
  SerialBitRateForProcess().store(-1);
}

std::string CUtil::GetSectionKey(unsigned section) {
  return "Software\\" + LoadString(IDS_REGISTRY_KEY) + "\\" + LoadString(IDS_APP_TITLE) + "\\" +
         LoadString(section);
}

int CUtil::GetProfileInt(unsigned section, unsigned value, int defaultValue) {
  uint32_t data = 0;
  if (!UserHive().GetDword(GetSectionKey(section), LoadString(value), data)) return defaultValue;
  return static_cast<int>(data);
}

std::string CUtil::GetProfileString(unsigned section, unsigned value, const std::string& defaultValue) {
  std::string data;
  if (!UserHive().GetString(GetSectionKey(section), LoadString(value), data)) return defaultValue;
  return data;
}

bool CUtil::WriteProfileInt(unsigned section, unsigned value, int data) {
  return UserHive().SetDword(GetSectionKey(section), LoadString(value), static_cast<uint32_t>(data));
}

bool CUtil::WriteProfileString(unsigned section, unsigned value, const std::string& data) {
  return UserHive().SetString(GetSectionKey(section), LoadString(value), data);
}

bool CUtil::GetTaskbarIcon() {
  return GetProfileInt(IDS_SECTION_USERINTERFACE, IDS_VALUE_TASKBARICON, 0) != 0;
}
void CUtil::SetTaskbarIcon(bool on) {
  WriteProfileInt(IDS_SECTION_USERINTERFACE, IDS_VALUE_TASKBARICON, on ? 1 : 0);
}
bool CUtil::GetPowerdown() {
  return GetProfileInt(IDS_SECTION_DEVICE, IDS_VALUE_POWERDOWN, 0) != 0;
}
void CUtil::SetPowerdown(bool on) {
  WriteProfileInt(IDS_SECTION_DEVICE, IDS_VALUE_POWERDOWN, on ? 1 : 0);
}
bool CUtil::GetMultipleDevices() {
  return GetProfileInt(IDS_SECTION_DEVICE, IDS_VALUE_MULTIPLEDEVICES, 0) != 0;
}
void CUtil::SetMultipleDevices(bool on) {
  WriteProfileInt(IDS_SECTION_DEVICE, IDS_VALUE_MULTIPLEDEVICES, on ? 1 : 0);
}
unsigned CUtil::GetDeviceTimeout() {
  return static_cast<unsigned>(GetProfileInt(IDS_SECTION_DEVICE, IDS_VALUE_TIMEOUT, 500));
}
void CUtil::SetDeviceTimeout(unsigned ms) {
  WriteProfileInt(IDS_SECTION_DEVICE, IDS_VALUE_TIMEOUT, static_cast<int>(ms));
}
int CUtil::GetDeviceMaxRetries(int defaultValue) {
  return GetProfileInt(IDS_SECTION_DEVICE, IDS_VALUE_MAXRETRIES, defaultValue);
}
void CUtil::SetDeviceMaxRetries(int value) {
  WriteProfileInt(IDS_SECTION_DEVICE, IDS_VALUE_MAXRETRIES, value);
}
int CUtil::GetDeviceMaxErrors(int defaultValue) {
  return GetProfileInt(IDS_SECTION_DEVICE, IDS_VALUE_MAXERRORS, defaultValue);
}
void CUtil::SetDeviceMaxErrors(int value) {
  WriteProfileInt(IDS_SECTION_DEVICE, IDS_VALUE_MAXERRORS, value);
}
std::string CUtil::GetDevicePorts() {
  return GetProfileString(IDS_SECTION_DEVICE, IDS_VALUE_PORTS, "");
}
void CUtil::SetDevicePorts(const std::string& ports) {
  WriteProfileString(IDS_SECTION_DEVICE, IDS_VALUE_PORTS, ports);
}
unsigned CUtil::GetSerialBitRate() {
  const long long forProcess = SerialBitRateForProcess().load();
  if (forProcess >= 0) return static_cast<unsigned>(forProcess);
  return static_cast<unsigned>(GetProfileInt(IDS_SECTION_DEVICE, IDS_VALUE_SERIALBITRATE, 0));
}
void CUtil::SetSerialBitRate(unsigned bitsPerSecond) {
  WriteProfileInt(IDS_SECTION_DEVICE, IDS_VALUE_SERIALBITRATE, static_cast<int>(bitsPerSecond));
}
void CUtil::SetSerialBitRateForProcess(long long bitsPerSecond) {
  SerialBitRateForProcess().store(bitsPerSecond < 0 ? -1 : bitsPerSecond);
}
const char* CUtil::DefaultServerName() {
  return "www.tavelnor.com";
}
std::string CUtil::GetServerName() {
  return GetProfileString(IDS_SECTION_SERVER, IDS_VALUE_NAME, DefaultServerName());
}
void CUtil::SetServerName(const std::string& name) {
  WriteProfileString(IDS_SECTION_SERVER, IDS_VALUE_NAME, name);
}
std::string CUtil::GetAccountName() {
  return GetProfileString(IDS_SECTION_SERVER, IDS_VALUE_ACCOUNTNAME, "");
}
void CUtil::SetAccountName(const std::string& name) {
  WriteProfileString(IDS_SECTION_SERVER, IDS_VALUE_ACCOUNTNAME, name);
}
std::string CUtil::GetEmail() {
  return GetProfileString(IDS_SECTION_SERVER, IDS_VALUE_EMAIL, "");
}
void CUtil::SetEmail(const std::string& email) {
  WriteProfileString(IDS_SECTION_SERVER, IDS_VALUE_EMAIL, email);
}
int CUtil::GetServerMaxRetries() {
  return GetProfileInt(IDS_SECTION_SERVER, IDS_VALUE_MAXRETRIES, 5);
}
void CUtil::SetServerMaxRetries(int value) {
  WriteProfileInt(IDS_SECTION_SERVER, IDS_VALUE_MAXRETRIES, value);
}
int CUtil::GetServerTimeout(int defaultValue) {
  return GetProfileInt(IDS_SECTION_SERVER, IDS_VALUE_TIMEOUT, defaultValue);
}
void CUtil::SetServerTimeout(int value) {
  WriteProfileInt(IDS_SECTION_SERVER, IDS_VALUE_TIMEOUT, value);
}
std::string CUtil::GetAnnouncementsUrlSetting() {
  return GetProfileString(IDS_SECTION_SERVER, IDS_VALUE_ANNOUNCEMENTSURL, "");
}
void CUtil::SetAnnouncementsUrlSetting(const std::string& url) {
  WriteProfileString(IDS_SECTION_SERVER, IDS_VALUE_ANNOUNCEMENTSURL, url);
}
bool CUtil::GetEditActivities() {
  return GetProfileInt(IDS_SECTION_DATA, IDS_VALUE_EDITACTIVITIES, 0) != 0;
}
void CUtil::SetEditActivities(bool on) {
  WriteProfileInt(IDS_SECTION_DATA, IDS_VALUE_EDITACTIVITIES, on ? 1 : 0);
}
bool CUtil::GetAllowTimeConflicts() {
  return GetProfileInt(IDS_SECTION_DATA, IDS_VALUE_ALLOWTIMECONFLICTS, 0) != 0;
}
void CUtil::SetAllowTimeConflicts(bool on) {
  WriteProfileInt(IDS_SECTION_DATA, IDS_VALUE_ALLOWTIMECONFLICTS, on ? 1 : 0);
}

void CUtil::MigrateOldSettings() {
  if (GetProfileInt(IDS_SECTION_USERINTERFACE, IDS_VALUE_TASKBARICON, -1) >= 0) return;
  CRegistry& hive = UserHive();
  const std::string oldKey = "Software\\" + LoadString(IDS_REGISTRY_KEY);
  if (!hive.KeyExists(oldKey)) return;

  // The old texts were read into 260-byte buffers.
  auto copyText = [&](unsigned oldName, unsigned section, unsigned value) {
    std::string text;
    if (!hive.GetString(oldKey, LoadString(oldName), text)) return;
    if (text.size() > 259) text.resize(259);
    WriteProfileString(section, value, text);
  };
  auto copyDword = [&](unsigned oldName, unsigned section, unsigned value) {
    uint32_t data = 0;
    if (!hive.GetDword(oldKey, LoadString(oldName), data)) return;
    WriteProfileInt(section, value, static_cast<int>(data));
  };
  copyText(IDS_OLD_ACCOUNTNAME, IDS_SECTION_SERVER, IDS_VALUE_ACCOUNTNAME);
  copyText(IDS_OLD_SERVER, IDS_SECTION_SERVER, IDS_VALUE_NAME);
  copyDword(IDS_OLD_TASKBARICON, IDS_SECTION_USERINTERFACE, IDS_VALUE_TASKBARICON);
  copyDword(IDS_OLD_SHUTDOWNDEVICE, IDS_SECTION_DEVICE, IDS_VALUE_POWERDOWN);
  copyDword(IDS_OLD_MAXSENDRETRIES, IDS_SECTION_DEVICE, IDS_VALUE_MAXRETRIES);
  copyDword(IDS_OLD_MAXRECVERRORS, IDS_SECTION_DEVICE, IDS_VALUE_MAXERRORS);
  copyDword(IDS_OLD_SERIALTIMEOUT, IDS_SECTION_DEVICE, IDS_VALUE_TIMEOUT);
  copyDword(IDS_OLD_INETTIMEOUT, IDS_SECTION_SERVER, IDS_VALUE_TIMEOUT);
  copyDword(IDS_OLD_MAXINETRETRIES, IDS_SECTION_SERVER, IDS_VALUE_MAXRETRIES);
}

std::string CUtil::GetDataFolder() {
  return State().dataFolder;
}

std::string CUtil::GetQueueFolder(int resend) {
  return resend != 0 ? State().queueResendFolder : State().queueFolder;
}

std::string CUtil::GetHistoryFile() {
  return JoinPath(State().dataFolder, LoadString(IDS_HISTORY_FILE));
}

std::string CUtil::GetAnnouncementsFile() {
  return JoinPath(State().dataFolder, LoadString(IDS_ANNOUNCEMENTS_FILE));
}

std::string CUtil::GetVersion() {
  return State().version;
}
std::string CUtil::GetDocumentVersion() {
  return State().documentVersion;
}

unsigned CUtil::GetVersionNumber() {
  return QV_VERSION_MAJOR * 1000000u + QV_VERSION_MINOR * 10000u + QV_VERSION_BUILD * 100u +
         QV_VERSION_REVISION;
}

uint32_t CUtil::GetPlatformId() {
  return State().os.platformId;
}
uint32_t CUtil::GetMajorVersion() {
  return State().os.major;
}
uint32_t CUtil::GetMinorVersion() {
  return State().os.minor;
}

std::string CUtil::GetOsName() {
  return State().initialised ? State().osName : CSystemInfo::GetOsName();
}

std::string CUtil::GetAgentName() {
  return State().agentName;
}
std::string CUtil::GetModulePath() {
  return CShellFolders::GetModulePath();
}
std::string CUtil::GetServerBaseUrl() {
  return State().serverBaseUrl;
}
std::string CUtil::GetUrlActivities() {
  return State().activitiesUrl;
}
std::string CUtil::GetUrlInbox() {
  return State().inboxUrl;
}

std::string CUtil::UrlEncode(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                            c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0x0F];
    }
  }
  return out;
}

std::string CUtil::GetUrlTxServer(bool allowTimeConflicts) {
  const std::string account = GetAccountName();
  const std::string email = GetEmail();
  if (account.empty() || email.empty()) return std::string();
  // An address such as "a+b@x.org" or a name with "&" must reach the service unchanged.
  return FillFormat(LoadString(IDS_URL_TXSERVER),
                    {LoadString(IDS_URL_PARAM_USERNAME), UrlEncode(account), LoadString(IDS_URL_PARAM_EMAIL),
                     UrlEncode(email), allowTimeConflicts ? "true" : "false"});
}

std::string CUtil::GetUrlRxMsgs() {
  std::string format = GetAnnouncementsUrlSetting();
  if (format.empty()) format = LoadString(IDS_URL_RXMSGS);
  std::string url;
  if (!format.empty()) {
    // An override without a placeholder still gets the account name appended as the query.
    if (format.find("%s") == std::string::npos) {
      format += (format.find('?') == std::string::npos ? "?username=%s" : "&username=%s");
    }
    url = FillFormat(format, {UrlEncode(GetAccountName())});
  }
  LogWrite(LOG_INFO, "CUtil::GetUrlRxMsgs(): %s", url.c_str());
  return url;
}

uint64_t CUtil::GetQueuedBytes() {
  const std::string suffix = "." + LoadString(IDS_EXT_GZ);
  uint64_t total = 0;
  for (int resend = 0; resend < 2; ++resend) {
    const std::string folder = GetQueueFolder(resend);
    if (folder.empty()) continue;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (name.size() < suffix.size() ||
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        continue;
      }
      std::error_code sizeError;
      const auto size = it->file_size(sizeError);
      if (!sizeError && it->is_regular_file(sizeError)) total += size;
    }
  }
  return total;
}

uint32_t CUtil::GzipFile(const char* source, const char* target) {
  if (source == nullptr || target == nullptr) return ERROR_INVALID_PARAMETER;
  FILE* in = std::fopen(source, "rb");
  if (in == nullptr) return GetLastWin32Error();
  errno = 0;
  gzFile out = gzopen(target, "wb");
  if (out == nullptr) {
    const uint32_t error = errno != 0 ? GetLastWin32Error() : ERROR_NOT_ENOUGH_MEMORY;
    std::fclose(in);
    return error;
  }
  uint32_t result = ERROR_SUCCESS;
  char buffer[4096];
  for (;;) {
    const size_t n = std::fread(buffer, 1, sizeof buffer, in);
    if (n > 0 && gzwrite(out, buffer, static_cast<unsigned>(n)) != static_cast<int>(n)) {
      result = errno != 0 ? GetLastWin32Error() : ERROR_WRITE_FAULT;
      break;
    }
    if (n < sizeof buffer) {
      if (std::ferror(in)) result = ERROR_READ_FAULT;
      break;
    }
  }
  std::fclose(in);
  // gzclose flushes the last block and the trailer: a full disk shows here.
  if (gzclose(out) != Z_OK && result == ERROR_SUCCESS) {
    result = errno != 0 ? GetLastWin32Error() : ERROR_WRITE_FAULT;
  }
  return result;
}

uint32_t CUtil::GzipFileWhole(const char* source, const char* target) {
  if (source == nullptr || target == nullptr) return ERROR_INVALID_PARAMETER;
  const std::string temporary = std::string(target) + ".tmp";
  uint32_t error = GzipFile(source, temporary.c_str());
  std::error_code ec;
  if (error == ERROR_SUCCESS) {
    std::filesystem::rename(temporary, target, ec);
    if (ec) error = Win32FromErrno(ec.value());
  }
  if (error != ERROR_SUCCESS) std::filesystem::remove(temporary, ec);
  return error;
}

uint32_t CUtil::GzipFileNew(const char* source, const char* target) {
  if (source == nullptr || target == nullptr) return ERROR_INVALID_PARAMETER;
  const std::string temporary = std::string(target) + ".tmp";
  uint32_t error = GzipFile(source, temporary.c_str());
  int renameError = 0;
  if (error == ERROR_SUCCESS && !RenameNoReplace(temporary, target, &renameError)) {
    error = Win32FromErrno(renameError);
  }
  std::error_code ec;
  if (error != ERROR_SUCCESS) std::filesystem::remove(temporary, ec);
  return error;
}

std::string CUtil::GetErrorText(HRESULT code) {
  if (code >= 0) return std::string();
  switch (HRESULT_FACILITY(code)) {
    case FACILITY_WIN32:
      return GetSystemMessage(HRESULT_CODE(code));
    case FACILITY_HTTP:
      return GetHttpStatusText(HRESULT_CODE(code));
    default:
      return "Unknown error";
  }
}

std::string CUtil::GetSystemMessage(uint32_t number) {
  std::string text = Win32MessageText(number);
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\r' || text.back() == '\n' || text.back() == '\t')) {
    text.pop_back();
  }
  if (text.empty()) return "Unknown error";
  return text;
}

std::string CUtil::GetHttpStatusText(unsigned status) {
  switch (status) {
    case 400:
      return LoadString(IDS_ERR_HTTP_400);
    case 401:
      return LoadString(IDS_ERR_HTTP_401);
    case 407:
      return LoadString(IDS_ERR_HTTP_407);
    default:
      return Format(LoadString(IDS_HTTP_STATUS).c_str(), status);
  }
}

std::string CUtil::EscapeMarkup(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
        break;
    }
  }
  return out;
}

std::string CUtil::BuildErrorList(const std::string& prefix, HRESULT code1, const std::string& message1,
                                  HRESULT code2, const std::string& message2) {
  std::string list;
  auto addEntry = [&](HRESULT code, const std::string& message) {
    const std::string codeText = EscapeMarkup(GetErrorText(code));
    bool appended = false;
    if (!message.empty()) {
      if (list.empty()) list = LoadString(IDS_HTML_ERRORLIST);
      list += "<li>";
      list += EscapeMarkup(message);
      appended = true;
    }
    if (!codeText.empty()) {
      if (appended) {
        list += ' ';
      } else {
        if (list.empty()) list = LoadString(IDS_HTML_ERRORLIST);
        list += "<li>";
      }
      list += "(" + codeText + ")";
      appended = true;
    }
    if (appended) list += "</li>";
  };
  addEntry(code1, message1);
  addEntry(code2, message2);
  if (list.empty()) return prefix;
  return prefix + list + "</ul>";
}

void CUtil::SetStartupShortcut(bool on) {
  const std::string path = GetStartupShortcutPath();
  if (path.empty()) return;
  if (on) {
    CShell::CreateStartupEntry(path, GetModulePath(), LoadString(IDS_AGENT_NAME));
  } else {
    CShell::RemoveStartupEntry(path);
  }
}

std::string CUtil::GetStartupShortcutPath() {
  const std::string folder = CShellFolders::GetStartupFolder();
  if (folder.empty()) return std::string();
  // A desktop session starts what it finds in the autostart folder by its .desktop entries.
  return folder + "/" + LoadString(IDS_AGENT_NAME) + ".desktop";
}
