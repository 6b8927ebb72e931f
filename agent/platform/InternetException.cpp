#include "platform/InternetException.h"

#include <utility>

#include "platform/Win32Errors.h"

CInternetException::CInternetException(uint32_t error, uintptr_t context, std::string detail)
    : m_error(error), m_context(context), m_detail(std::move(detail)), m_message(Win32MessageText(error)) {
  if (m_message.empty()) m_message = m_detail.empty() ? "Unknown error" : m_detail;
}
