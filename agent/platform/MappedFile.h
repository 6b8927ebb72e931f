// A file mapped read-only into memory, so that a queued upload is handed to
// the network without being copied. The three steps are separate, as each
// has its own failure message: open the file, learn its size for the
// mapping, map the view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

class CMappedFile {
public:
  CMappedFile() = default;
  ~CMappedFile();
  CMappedFile(const CMappedFile&) = delete;
  CMappedFile& operator=(const CMappedFile&) = delete;

  // Opens an existing file for reading; others may read and write it meanwhile.
  bool Open(const std::filesystem::path& path);
  // Takes the size the view will have; fails for a file too large to map.
  bool CreateMapping();
  // Maps the whole file. An empty file maps to an empty view (Data() null,
  // Size() 0), so that it can still be sent and answered.
  bool MapView();
  // Unmaps and closes; safe to call at any point.
  void Close();

  const uint8_t* Data() const { return m_data; }
  size_t Size() const { return m_size; }
  // Win32 number of the last failure.
  uint32_t LastError() const { return m_lastError; }

private:
  bool _Fail(uint32_t error);

  int m_fd = -1;
  bool m_sized = false;
  const uint8_t* m_data = nullptr;
  size_t m_size = 0;
  uint32_t m_lastError = 0;
};
