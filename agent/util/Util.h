// Process-wide settings, folders, service addresses, version, error texts and
// gzip compression. Initialize fills the static data once, on the user
// interface thread, before any worker exists; afterwards it is read-only and
// every member may be called from any thread. Settings are read afresh from
// the registry on every access.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Win32Errors.h"

class CUtil {
public:
  static void Initialize();
  static bool IsInitialized();
  // Forgets what Initialize filled, so that tests can initialise again with
  // another environment. Never called by the agent itself.
  static void ResetForTests();

  // Generic accessors of HKCU\Software\Tavelnor\QVAgent\<section>\<value>,
  // section and value named by their string-table numbers.
  static int GetProfileInt(unsigned section, unsigned value, int defaultValue);
  static std::string GetProfileString(unsigned section, unsigned value, const std::string& defaultValue);
  static bool WriteProfileInt(unsigned section, unsigned value, int data);
  static bool WriteProfileString(unsigned section, unsigned value, const std::string& data);
  // The registry key of a section, e.g. "Software\Tavelnor\QVAgent\Device".
  static std::string GetSectionKey(unsigned section);

  // One getter and setter per setting; booleans read any non-zero value as on.
  static bool GetTaskbarIcon();
  static void SetTaskbarIcon(bool on);
  static bool GetPowerdown();
  static void SetPowerdown(bool on);
  static bool GetMultipleDevices();
  static void SetMultipleDevices(bool on);
  static unsigned GetDeviceTimeout();
  static void SetDeviceTimeout(unsigned ms);
  static int GetDeviceMaxRetries(int defaultValue);
  static void SetDeviceMaxRetries(int value);
  static int GetDeviceMaxErrors(int defaultValue);
  static void SetDeviceMaxErrors(int value);
  static std::string GetDevicePorts();
  static void SetDevicePorts(const std::string& ports);
  // Device\SerialBitRate: 0 (never switch a serial link) or the highest rate
  // to ask a serial receiver for. A rate given for this process alone (the
  // command line's --baud) takes the setting's place; -1 removes it again.
  static unsigned GetSerialBitRate();
  static void SetSerialBitRate(unsigned bitsPerSecond);
  static void SetSerialBitRateForProcess(long long bitsPerSecond);
  static std::string GetServerName();
  static void SetServerName(const std::string& name);
  static std::string GetAccountName();
  static void SetAccountName(const std::string& name);
  static std::string GetEmail();
  static void SetEmail(const std::string& email);
  static int GetServerMaxRetries();
  static void SetServerMaxRetries(int value);
  static int GetServerTimeout(int defaultValue);
  static void SetServerTimeout(int value);
  static std::string GetAnnouncementsUrlSetting();
  static void SetAnnouncementsUrlSetting(const std::string& url);
  static bool GetEditActivities();
  static void SetEditActivities(bool on);
  static bool GetAllowTimeConflicts();
  static void SetAllowTimeConflicts(bool on);

  // The built-in service host used when Server\Name is absent.
  static const char* DefaultServerName();

  // Copies the flat settings of older versions once, before the main window.
  static void MigrateOldSettings();

  // Folders and files; every path is empty when the data folder is unknown.
  static std::string GetDataFolder();
  static std::string GetQueueFolder(int resend);
  static std::string GetHistoryFile();
  static std::string GetAnnouncementsFile();

  static std::string GetVersion();
  static std::string GetDocumentVersion();
  static unsigned GetVersionNumber();
  static uint32_t GetPlatformId();
  static uint32_t GetMajorVersion();
  static uint32_t GetMinorVersion();
  static std::string GetOsName();
  static std::string GetAgentName();
  static std::string GetModulePath();

  static std::string GetServerBaseUrl();
  static std::string GetUrlActivities();
  static std::string GetUrlInbox();
  // Request path and query of an upload; empty unless account name and
  // e-mail are both set. Both values are percent-encoded.
  static std::string GetUrlTxServer(bool allowTimeConflicts);
  static std::string GetUrlRxMsgs();
  // RFC 3986 percent-encoding: unreserved characters stay as they are.
  static std::string UrlEncode(const std::string& text);

  static uint64_t GetQueuedBytes();
  // 0 on success, 87 for a null source, else the Win32 error of the failing step.
  static uint32_t GzipFile(const char* source, const char* target);
  // GzipFile by way of a temporary name beside target that is renamed once
  // the file is complete, so that a reader of the folder (the upload) never
  // meets a half-written file; the temporary file never outlives a failure.
  static uint32_t GzipFileWhole(const char* source, const char* target);
  // GzipFileWhole for a queue file: target is never replaced; 80 (file
  // exists) when a file of that name is there, nothing written then.
  static uint32_t GzipFileNew(const char* source, const char* target);

  static std::string GetErrorText(HRESULT code);
  static std::string GetSystemMessage(uint32_t number);
  static std::string GetHttpStatusText(unsigned status);
  // Text from outside (port and device names, error and exception texts,
  // paths) as it stands inside a page fragment: "&", "<", ">", '"' and "'"
  // as entities.
  static std::string EscapeMarkup(const std::string& text);
  // The error list below prefix (a fragment, kept as it is); the messages
  // and the code texts are escaped.
  static std::string BuildErrorList(const std::string& prefix, HRESULT code1, const std::string& message1,
                                    HRESULT code2, const std::string& message2);

  static void SetStartupShortcut(bool on);
  static std::string GetStartupShortcutPath();
};
