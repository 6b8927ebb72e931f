// The one exception the agent handles: a failure of the internet calls,
// carrying the WinINet error number of the same meaning (12029 cannot
// connect, 12002 timeout, ...). The upload and announcements jobs catch it
// and turn it into a result code; it never travels further.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

class CInternetException : public std::exception {
public:
  // detail is the transport's own wording, kept for trace lines.
  CInternetException(uint32_t error, uintptr_t context = 1, std::string detail = {});

  uint32_t ErrorCode() const { return m_error; }
  uintptr_t Context() const { return m_context; }
  // The text the system shows for the number; the transport's wording when
  // the number has none, "Unknown error" when neither exists.
  const std::string& ErrorMessage() const { return m_message; }
  const std::string& Detail() const { return m_detail; }
  const char* what() const noexcept override { return m_message.c_str(); }

private:
  uint32_t m_error;
  uintptr_t m_context;
  std::string m_detail;
  std::string m_message;
};
