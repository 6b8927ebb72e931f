#include "document/QvxFileBuffer.h"

#include <cerrno>
#include <new>

CQvxFileBuffer::~CQvxFileBuffer() {
  Close();
}

bool CQvxFileBuffer::Open(const char* path) {
  Close();
  m_failed = false;
  m_lastErrno = 0;
  m_used = 0;
  if (m_data == nullptr) m_data.reset(new (std::nothrow) char[kCapacity]);
  if (m_data == nullptr) {
    m_lastErrno = ENOMEM;
    return false;
  }
  if (path == nullptr) {
    m_lastErrno = EINVAL;
    return false;
  }
  // Binary: the CR LF line ends are part of the bytes written, so the file
  // is the same on every system.
  m_file = std::fopen(path, "wb");
  if (m_file == nullptr) {
    m_lastErrno = errno;
    return false;
  }
  // This block is the only buffer, so a failed write is seen by the flush
  // that made it.
  std::setvbuf(m_file, nullptr, _IONBF, 0);
  return true;
}

bool CQvxFileBuffer::Close() {
  if (m_file == nullptr) return true;
  bool ok = Flush();
  if (std::fclose(m_file) != 0) {
    _Fail(errno);
    ok = false;
  }
  m_file = nullptr;
  return ok && !m_failed;
}

void CQvxFileBuffer::_Fail(int err) {
  if (!m_failed) m_lastErrno = err != 0 ? err : EIO;
  m_failed = true;
}

bool CQvxFileBuffer::_Write(const char* data, size_t size) {
  if (m_file == nullptr) return false;
  errno = 0;
  if (std::fwrite(data, 1, size, m_file) == size) return true;
  _Fail(errno);
  return false;
}

bool CQvxFileBuffer::Flush() {
  if (m_file == nullptr) return false;
  if (m_used == 0) return true;
  const bool ok = _Write(m_data.get(), m_used);
  // Bytes that could not be written are dropped: keeping them would let the
  // block overflow on a full disk.
  m_used = 0;
  return ok;
}

bool CQvxFileBuffer::Rewind() {
  if (!Flush()) return false;
  if (std::fseek(m_file, 0, SEEK_SET) == 0) return true;
  _Fail(errno);
  return false;
}

void CQvxFileBuffer::_AppendLarge(const char* data, size_t size) {
  Flush();
  if (size <= kCapacity) {
    std::memcpy(m_data.get(), data, size);
    m_used = size;
  } else {
    _Write(data, size);
  }
}

void CQvxFileBuffer::_AppendSpacesSlowly(size_t count) {
  while (count > 0) {
    const size_t run = count < kSpaceRun ? count : kSpaceRun;
    Append(kSpaces, run);
    count -= run;
  }
}
