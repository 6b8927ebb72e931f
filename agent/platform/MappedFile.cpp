#include "platform/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>

#include "platform/Win32Errors.h"

CMappedFile::~CMappedFile() {
  Close();
}

bool CMappedFile::_Fail(uint32_t error) {
  m_lastError = error != 0 ? error : ERROR_GEN_FAILURE;
  return false;
}

bool CMappedFile::Open(const std::filesystem::path& path) {
  Close();
  m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (m_fd < 0) return _Fail(GetLastWin32Error());
  struct stat info {};
  if (fstat(m_fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    Close();
    return _Fail(ERROR_ACCESS_DENIED);
  }
  m_lastError = 0;
  return true;
}

bool CMappedFile::CreateMapping() {
  if (m_fd < 0) return _Fail(ERROR_INVALID_HANDLE);
  struct stat info {};
  if (fstat(m_fd, &info) != 0) return _Fail(GetLastWin32Error());
  if (!S_ISREG(info.st_mode)) return _Fail(ERROR_INVALID_FUNCTION);
  if (static_cast<uintmax_t>(info.st_size) > std::numeric_limits<size_t>::max()) {
    return _Fail(ERROR_FILE_TOO_LARGE);
  }
  m_size = static_cast<size_t>(info.st_size);
  m_sized = true;
  return true;
}

bool CMappedFile::MapView() {
  if (!m_sized) return _Fail(ERROR_INVALID_HANDLE);
  if (m_size == 0) return true;
  void* view = mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, m_fd, 0);
  if (view == MAP_FAILED) return _Fail(GetLastWin32Error());
  m_data = static_cast<const uint8_t*>(view);
  return true;
}

void CMappedFile::Close() {
  if (m_data != nullptr) munmap(const_cast<uint8_t*>(m_data), m_size);
  m_data = nullptr;
  m_size = 0;
  m_sized = false;
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}
