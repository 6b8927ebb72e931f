// The status lines a worker thread shows on the pages, oldest first. The
// worker fills the list and then notifies the dialog, which draws it as
// table rows with one image per kind.
//
// A worker that posts its update goes on working, so it may change the list
// again while the dialog is still drawing it. The list therefore guards its
// lines itself, and readers get copies; the lock is held only inside these
// calls, never while anything else runs.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

enum StatusKind : int {
  STATUS_INFO = 1,         // searching, announcements
  STATUS_WARNING = 2,      // no device found, user abort
  STATUS_ERROR = 3,        // errors
  STATUS_UNSUPPORTED = 4,  // unsupported or incompatible device
  STATUS_BUSY = 5,         // connecting, transferring, sending, reading a file
  STATUS_DONE = 6,         // finished successfully
};

class CStatusList {
public:
  // A copy of one line, as the dialog draws it.
  struct Entry {
    int kind = 0;
    std::string text;
    bool operator==(const Entry&) const = default;
  };

  // One line of the list; a worker may keep it and rewrite it later.
  class StatusLine {
  public:
    void Set(int kind, const std::string& text);
    Entry Get() const;

  private:
    friend class CStatusList;
    StatusLine(CStatusList* list, int kind, std::string text)
        : m_list(list), m_entry{kind, std::move(text)} {}
    std::atomic<CStatusList*> m_list;  // the list the line is in (changes with TakeAll)
    Entry m_entry;
  };

  CStatusList() = default;
  CStatusList(const CStatusList&) = delete;
  CStatusList& operator=(const CStatusList&) = delete;

  // The returned line stays valid until it is removed or the list cleared.
  StatusLine* Append(int kind, const std::string& text);
  // The text from the string table; an unknown id gives an empty text.
  StatusLine* Append(int kind, unsigned stringId);
  // Rewrites the last line, or appends one to an empty list.
  StatusLine* SetLast(int kind, const std::string& text);
  StatusLine* SetLast(int kind, unsigned stringId);
  void RemoveLast();
  // Replaces this list's lines by all of other's, leaving other empty.
  void TakeAll(CStatusList& other);
  void Clear();

  size_t GetCount() const;
  bool IsEmpty() const { return GetCount() == 0; }
  // Empty entry (kind 0) when index is out of range.
  Entry GetAt(size_t index) const;
  std::optional<Entry> GetLast() const;
  std::vector<Entry> GetAll() const;

  // The number of the image resource the pages show beside a line of this kind.
  static int GetImageId(int kind);

private:
  mutable std::mutex m_mutex;
  std::vector<std::unique_ptr<StatusLine>> m_lines;
};
