#include "threads/StatusList.h"

#include "resources/StringTable.h"

void CStatusList::StatusLine::Set(int kind, const std::string& text) {
  // A line changes lists only under both lists' locks: once its list's lock
  // is held and it is still in that list, it stays there.
  for (;;) {
    CStatusList* list = m_list.load();
    std::lock_guard<std::mutex> lock(list->m_mutex);
    if (m_list.load() != list) continue;
    m_entry.kind = kind;
    m_entry.text = text;
    return;
  }
}

CStatusList::Entry CStatusList::StatusLine::Get() const {
  for (;;) {
    CStatusList* list = m_list.load();
    std::lock_guard<std::mutex> lock(list->m_mutex);
    if (m_list.load() == list) return m_entry;
  }
}

CStatusList::StatusLine* CStatusList::Append(int kind, const std::string& text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_lines.push_back(std::unique_ptr<StatusLine>(new StatusLine(this, kind, text)));
  return m_lines.back().get();
}

CStatusList::StatusLine* CStatusList::Append(int kind, unsigned stringId) {
  return Append(kind, LoadString(stringId));
}

CStatusList::StatusLine* CStatusList::SetLast(int kind, const std::string& text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_lines.empty()) {
    m_lines.push_back(std::unique_ptr<StatusLine>(new StatusLine(this, kind, text)));
  } else {
    m_lines.back()->m_entry = Entry{kind, text};
  }
  return m_lines.back().get();
}

CStatusList::StatusLine* CStatusList::SetLast(int kind, unsigned stringId) {
  return SetLast(kind, LoadString(stringId));
}

void CStatusList::RemoveLast() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_lines.empty()) m_lines.pop_back();
}

void CStatusList::TakeAll(CStatusList& other) {
  if (&other == this) return;
  std::scoped_lock lock(m_mutex, other.m_mutex);
  m_lines = std::move(other.m_lines);
  other.m_lines.clear();
  for (auto& line : m_lines) line->m_list = this;
}

void CStatusList::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_lines.clear();
}

size_t CStatusList::GetCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lines.size();
}

CStatusList::Entry CStatusList::GetAt(size_t index) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return index < m_lines.size() ? m_lines[index]->m_entry : Entry{};
}

std::optional<CStatusList::Entry> CStatusList::GetLast() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_lines.empty()) return std::nullopt;
  return m_lines.back()->m_entry;
}

std::vector<CStatusList::Entry> CStatusList::GetAll() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<Entry> entries;
  entries.reserve(m_lines.size());
  for (const auto& line : m_lines) entries.push_back(line->m_entry);
  return entries;
}

int CStatusList::GetImageId(int kind) {
  switch (kind) {
    case STATUS_WARNING:
      return 155;
    case STATUS_ERROR:
      return 157;
    case STATUS_UNSUPPORTED:
      return 156;
    case STATUS_DONE:
      return 158;
    default:
      return 159;  // info, busy and anything unknown
  }
}
