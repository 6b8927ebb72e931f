// A communications port that can carry a receiver's link, and the list of the
// ports of its kind found on this computer. The serial and the USB ports
// derive from it; the port search hands out one port at a time by copying its
// path and friendly name into the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/CommsGuid.h"
#include "platform/PortEnumerator.h"
#include "platform/Win32Errors.h"

class CRegistry;

// Equality of two texts when case is ignored (ASCII letters).
bool CommsEqualNoCase(const std::string& a, const std::string& b);

class CCommsDevice {
public:
  // Longest path and friendly name, terminator excluded.
  static constexpr size_t MAX_DEVICE_PATH = 259;
  static constexpr size_t MAX_FRIENDLY_NAME = 255;
  static constexpr unsigned DEFAULT_TIMEOUT_MS = 500;
  static constexpr unsigned DEFAULT_RETRY_COUNT = 5;

  // The ports found by the last search, in the order found.
  class CDeviceList {
  public:
    struct CEntry {
      std::string path;
      std::string friendlyName;
    };

    CDeviceList() = default;
    ~CDeviceList();
    CDeviceList(const CDeviceList&) = delete;
    CDeviceList& operator=(const CDeviceList&) = delete;

    void Append(std::string path, std::string friendlyName);
    void RemoveAll();
    // The entry whose path has the same key (the part before the first
    // "{", compared without regard to case); nullptr when there is none.
    const CEntry* FindByKey(const std::string& path) const;
    size_t Count() const { return m_entries.size(); }
    const CEntry& At(size_t index) const { return m_entries[index]; }

  private:
    std::vector<CEntry> m_entries;
  };

  CCommsDevice();
  virtual ~CCommsDevice();
  CCommsDevice(const CCommsDevice&) = delete;
  CCommsDevice& operator=(const CCommsDevice&) = delete;

  virtual bool OpenCommsDevice() = 0;
  virtual bool CloseCommsDevice() = 0;
  virtual bool WriteCommsDevice(const uint8_t* data, unsigned length) = 0;
  virtual bool ReadCommsDevice(uint8_t* buffer, unsigned bufferSize, unsigned& bytesRead) = 0;

  // Rebuilds the list of ports and hands out the first; false when none.
  bool FindFirstCommsDevice();
  // Copies the next port's path and friendly name into this object; false
  // after the last one.
  bool FindNextCommsDevice();
  // Adds the ports of one device class or interface (the search of the
  // current systems) or of one class text (the registry walk of the old ones).
  void AppendDeviceList_win2k(const CommsGuid& guid);
  void AppendDeviceList_win9x(const std::string& guidText);
  const CDeviceList& GetDeviceList() const { return m_deviceList; }

  // Last error in result-code form (0 when none) and its user-facing text.
  HRESULT GetLastError() const { return m_lastError; }
  const std::string& GetErrorMessage() const { return m_errorMessage; }
  // Stores the code and loads string `messageId` as the message.
  void SetLastError(HRESULT code, unsigned messageId);
  void SetLastErrorWithText(HRESULT code, const std::string& message);
  void ResetError();

  const std::string& GetDevicePath() const { return m_devicePath; }
  void SetDevicePath(const std::string& path);
  const std::string& GetFriendlyName() const { return m_friendlyName; }
  void SetFriendlyName(const std::string& name);

  const CommsGuid& GetClassGuid() const { return m_classGuid; }
  const std::string& GetClassGuidText() const { return m_classGuidText; }
  void SetClassGuid(const CommsGuid& guid);
  const CommsGuid& GetInterfaceGuid() const { return m_interfaceGuid; }
  const std::string& GetInterfaceGuidText() const { return m_interfaceGuidText; }
  void SetInterfaceGuid(const CommsGuid& guid);

  unsigned GetTimeout() const { return m_timeout; }
  void SetTimeout(unsigned ms) { m_timeout = ms; }
  unsigned GetRetryCount() const { return m_retryCount; }

  // Where the search looks for ports (tests point it at a prepared tree).
  void SetPortEnumerator(const CPortEnumerator& enumerator) { m_enumerator = enumerator; }

protected:
  // Appends a port unless one with the same key is listed already.
  void _AppendDevice(const std::string& path, const std::string& friendlyName);

private:
  void _RecurseAppendDeviceList_win9x(const CRegistry& hklm, const std::string& relativePath,
                                      const std::string& guidText);
  std::string _FindDeviceInstance_win9x(const CRegistry& hklm, const std::string& instancePath);
  std::string _RecurseDeviceInstance_win9x(const CRegistry& hklm, const std::string& relativePath,
                                           const std::string& instancePath);
  std::string _RecurseValue_win9x(const CRegistry& hklm, const std::string& key,
                                  const std::string& valueName);

  HRESULT m_lastError = S_OK;
  std::string m_errorMessage;
  std::string m_devicePath;
  std::string m_friendlyName;
  CommsGuid m_classGuid;
  CommsGuid m_interfaceGuid;
  std::string m_classGuidText;
  std::string m_interfaceGuidText;
  unsigned m_timeout = DEFAULT_TIMEOUT_MS;
  unsigned m_retryCount = DEFAULT_RETRY_COUNT;
  CDeviceList m_deviceList;
  size_t m_cursor = 0;
  CPortEnumerator m_enumerator;
};
