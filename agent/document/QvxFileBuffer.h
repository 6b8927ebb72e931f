// The bytes of a document on their way to its file: collected in one block
// and handed to the file when the block is full, so that writing a large
// track log costs few system calls. A failed write is remembered until the
// file is closed, because the write that fails is often not the one whose
// caller would look at the result.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

class CQvxFileBuffer {
public:
  CQvxFileBuffer() = default;
  ~CQvxFileBuffer();
  CQvxFileBuffer(const CQvxFileBuffer&) = delete;
  CQvxFileBuffer& operator=(const CQvxFileBuffer&) = delete;

  // Closes a file still open, then creates or truncates path.
  bool Open(const char* path);
  // Writes what is buffered and closes the file; false when that failed or
  // when any write since Open failed. True when no file is open.
  bool Close();
  bool IsOpen() const { return m_file != nullptr; }
  bool HasFailed() const { return m_failed; }
  // The errno of the first failure since Open, or of a failed Open; 0 when none.
  int LastErrno() const { return m_lastErrno; }

  // The appenders may be used only while a file is open.
  void Append(const char* data, size_t size) {
    if (size <= kCapacity - m_used) {
      std::memcpy(m_data.get() + m_used, data, size);
      m_used += size;
    } else {
      _AppendLarge(data, size);
    }
  }
  void Append(std::string_view text) { Append(text.data(), text.size()); }
  void Append(char c) { Append(&c, 1); }
  void AppendSpaces(size_t count) {
    // Indentation is short: one fixed-size copy, of which count bytes count.
    if (count <= kSpaceRun && kSpaceRun <= kCapacity - m_used) {
      std::memcpy(m_data.get() + m_used, kSpaces, kSpaceRun);
      m_used += count;
    } else {
      _AppendSpacesSlowly(count);
    }
  }

  // Hands the block to the file once it is full; false when that fails.
  bool FlushIfFull() { return m_used < kFlushSize || Flush(); }
  bool Flush();
  // Writes what is buffered and moves to the start of the file.
  bool Rewind();

private:
  static constexpr size_t kFlushSize = 64 * 1024;
  static constexpr size_t kCapacity = 2 * kFlushSize;
  static constexpr size_t kSpaceRun = 32;
  static constexpr char kSpaces[kSpaceRun + 1] = "                                ";

  void _AppendLarge(const char* data, size_t size);
  void _AppendSpacesSlowly(size_t count);
  bool _Write(const char* data, size_t size);
  void _Fail(int err);

  FILE* m_file = nullptr;
  std::unique_ptr<char[]> m_data;
  size_t m_used = 0;
  bool m_failed = false;
  int m_lastErrno = 0;
};
