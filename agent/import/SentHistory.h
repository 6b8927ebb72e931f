// The activities already taken from receivers: (device key, begin time)
// pairs, oldest first, kept in history.xml so that a later retrieval
// preselects only what is new.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "import/ExpatSupport.h"

struct XML_ParserStruct;

struct CSentHistoryEntry {
  std::string device;  // the data set's prefix, e.g. "device-Forerunner-484-3312345678"
  std::string begin;   // the activity's first point time, ISO-8601 UTC
};

class CSentHistory {
public:
  // Fills buffer with at most size bytes: the count, 0 at the end of the
  // input, a negative value when the input failed.
  using ReadFunction = XmlByteSource;
  static constexpr size_t kChunkSize = 128;

  void Reset();
  // The first entry with exactly this device and begin (case-sensitive);
  // null when either text is empty or nothing matches. Both sides are
  // compared in the stored form (see Add).
  const CSentHistoryEntry* Find(const std::string& device, const std::string& begin) const;
  // Appends without a duplicate check, then drops the oldest entries beyond
  // the limit. The texts are stored in the form the file reads back as: a
  // text that is not wholly UTF-8 is taken as Latin-1, and control
  // characters XML cannot carry become U+FFFD.
  void Add(const std::string& device, const std::string& begin);

  // Starts from an empty list. False when the document is not well-formed
  // or the input failed; the entries read before stay.
  bool Load(const ReadFunction& read);
  bool LoadText(std::string_view text);
  // False, with an empty list, when the file cannot be opened.
  bool LoadFile(const std::string& path);

  // Written to a temporary file that then replaces path, so a crash while
  // saving keeps the previous history.
  bool Write(const std::string& path) const;
  std::string WriteText() const;

  // The receive thread's view: a missing, unreadable or malformed file is
  // no error and leaves an empty (or partial) list; a failed save is silent.
  // An empty path means the history file of the data folder.
  void LoadHistory(const std::string& path = {});
  void SaveHistory(const std::string& path = {}) const;

  size_t GetCount() const { return m_entries.size(); }
  const CSentHistoryEntry& GetAt(size_t index) const { return m_entries.at(index); }
  int GetMaxEntries() const { return m_maxEntries; }

  // An attribute value that reads back as exactly these bytes when they are
  // UTF-8; bytes that are not, and control characters XML cannot carry,
  // become character references the file can hold.
  static std::string EscapeAttribute(std::string_view text);

private:
  struct Callbacks;  // Expat's handlers, forwarded to the history being read
  friend struct Callbacks;
  void _OnStartElement(const char* name, const char** attributes);
  void _OnEndElement(const char* name);

  int m_maxEntries = 100;
  std::deque<CSentHistoryEntry> m_entries;

  // Read state of the current Load.
  XML_ParserStruct* m_parser = nullptr;
  int m_depth = 0;
  bool m_inHistory = false;
  bool m_inActivity = false;
};
