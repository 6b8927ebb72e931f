// The optional diagnostic trace: time-stamped lines in a file of the Queue folder.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

enum LogLevel : unsigned { LOG_DEBUG = 0, LOG_INFO = 1, LOG_WARN = 2, LOG_ERROR = 3, LOG_FATAL = 4 };

class CTraceLog {
public:
  // An empty name gives "Log_%Y%m%d_%H%M%S.txt" from the local time.
  CTraceLog(const std::string& name, const std::string& folder, unsigned threshold);
  ~CTraceLog();
  CTraceLog(const CTraceLog&) = delete;
  CTraceLog& operator=(const CTraceLog&) = delete;

  const std::string& Path() const { return m_path; }
  unsigned Threshold() const { return m_threshold; }

  // Appends one formatted line, opening the file on first use.
  void WriteLine(unsigned level, const char* message);

private:
  std::string m_path;
  unsigned m_threshold;
  FILE* m_stream = nullptr;
};

// Null while tracing is off; LogWrite tests it before doing anything else.
extern std::atomic<CTraceLog*> g_traceLog;

void LogWriteV(unsigned level, const char* format, va_list args);
// printf-style; a disabled trace costs one pointer test.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
inline void
LogWrite(unsigned level, const char* format, ...) {
  if (g_traceLog.load(std::memory_order_acquire) == nullptr) return;
  va_list args;
  va_start(args, format);
  LogWriteV(level, format, args);
  va_end(args);
}

// Creates the trace unless one exists; true only when it created one.
// The file itself is created by the first line written.
bool LogEnable(unsigned threshold, const std::string& folder);
bool LogIsEnabled();
// The path of the current trace file; empty while tracing is off.
std::string LogPath();
void LogWriteHeader();
void LogClose();
void LogCloseAndCompress();
