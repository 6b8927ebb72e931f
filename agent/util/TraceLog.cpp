#include "util/TraceLog.h"

#include <chrono>
#include <cstdarg>
#include <ctime>
#include <filesystem>
#include <mutex>

#include "resources/StringIds.h"
#include "resources/StringTable.h"
#include "util/Util.h"

std::atomic<CTraceLog*> g_traceLog{nullptr};

namespace {

// One lock orders every line, the lazy open and the closes, so lines from
// several threads never interleave and no line is written to a closed stream.
std::mutex& TraceMutex() {
  static std::mutex m;
  return m;
}

const char* LevelText(unsigned level) {
  switch (level) {
    case LOG_DEBUG:
      return "DEBUG";
    case LOG_INFO:
      return "INFO ";
    case LOG_WARN:
      return "WARN ";
    case LOG_ERROR:
      return "ERROR";
    default:
      return "FATAL";
  }
}

std::string LocalTimeText(const char* pattern, std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char buffer[60];
  const size_t n = std::strftime(buffer, sizeof buffer, pattern, &local);
  return std::string(buffer, n);
}

}  // namespace

CTraceLog::CTraceLog(const std::string& name, const std::string& folder, unsigned threshold)
    : m_threshold(threshold) {
  const std::string file = name.empty() ? LocalTimeText("Log_%Y%m%d_%H%M%S.txt", std::time(nullptr)) : name;
  m_path = folder;
  if (!m_path.empty() && m_path.back() != '/') m_path += '/';
  m_path += file;
}

CTraceLog::~CTraceLog() {
  if (m_stream != nullptr) std::fclose(m_stream);
}

void CTraceLog::WriteLine(unsigned level, const char* message) {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const unsigned millis =
      static_cast<unsigned>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  const std::string timeOfDay = LocalTimeText("%H:%M:%S", seconds);

  if (m_stream == nullptr) {
    // A trace that cannot be created loses its lines silently; the next line tries again.
    m_stream = std::fopen(m_path.c_str(), "w");
    if (m_stream == nullptr) return;
  }
  std::fprintf(m_stream, "%s %s.%03u %s\n", LevelText(level), timeOfDay.c_str(), millis, message);
  std::fflush(m_stream);
}

void LogWriteV(unsigned level, const char* format, va_list args) {
  std::lock_guard<std::mutex> lock(TraceMutex());
  CTraceLog* log = g_traceLog.load(std::memory_order_acquire);
  if (log == nullptr || level < log->Threshold()) return;
  char stackBuffer[1024];
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(stackBuffer, sizeof stackBuffer, format, copy);
  va_end(copy);
  if (needed < 0) return;
  if (static_cast<size_t>(needed) < sizeof stackBuffer) {
    log->WriteLine(level, stackBuffer);
    return;
  }
  // Packet dumps and long paths can exceed the stack buffer; never cut a line.
  std::string big(static_cast<size_t>(needed) + 1, '\0');
  std::vsnprintf(big.data(), big.size(), format, args);
  big.resize(static_cast<size_t>(needed));
  log->WriteLine(level, big.c_str());
}

bool LogEnable(unsigned threshold, const std::string& folder) {
  std::lock_guard<std::mutex> lock(TraceMutex());
  if (g_traceLog.load(std::memory_order_acquire) != nullptr) return true;
  g_traceLog.store(new CTraceLog("", folder, threshold), std::memory_order_release);
  return true;
}

bool LogIsEnabled() {
  return g_traceLog.load(std::memory_order_acquire) != nullptr;
}

std::string LogPath() {
  std::lock_guard<std::mutex> lock(TraceMutex());
  CTraceLog* log = g_traceLog.load(std::memory_order_acquire);
  return log != nullptr ? log->Path() : std::string();
}

void LogWriteHeader() {
  LogWrite(LOG_INFO, "%s", LocalTimeText("%A, %B %d, %Y %H:%M:%S", std::time(nullptr)).c_str());
  LogWrite(LOG_INFO, "Agent: %s", CUtil::GetVersion().c_str());
  LogWrite(LOG_INFO, "PlatformId=%u MajorVersion=%u MinorVersion=%u", CUtil::GetPlatformId(),
           CUtil::GetMajorVersion(), CUtil::GetMinorVersion());
  // The Windows version names have no meaning here; the system names itself.
  if (CUtil::IsInitialized()) LogWrite(LOG_INFO, "OS: %s", CUtil::GetOsName().c_str());
  LogWrite(LOG_INFO, "User : %s", CUtil::GetAccountName().c_str());
  LogWrite(LOG_INFO, "Email: %s", CUtil::GetEmail().c_str());
}

void LogClose() {
  std::lock_guard<std::mutex> lock(TraceMutex());
  delete g_traceLog.exchange(nullptr, std::memory_order_acq_rel);
}

void LogCloseAndCompress() {
  std::string path;
  {
    std::lock_guard<std::mutex> lock(TraceMutex());
    CTraceLog* log = g_traceLog.exchange(nullptr, std::memory_order_acq_rel);
    if (log == nullptr) return;
    path = log->Path();
    delete log;
  }
  const std::string compressed = path + "." + LoadString(IDS_EXT_GZ);
  std::error_code ec;
  // A trace that was enabled but never written has no file to compress. It
  // lies in the queue, so it appears there only once it is whole.
  if (std::filesystem::exists(path, ec)) CUtil::GzipFileWhole(path.c_str(), compressed.c_str());
  std::filesystem::remove(path, ec);
}
