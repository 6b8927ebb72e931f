#include "cli/CliStatusPrinter.h"

#include <cstdio>

#include "threads/UploadWorkflow.h"

namespace {

const char kProgressOpen[] = "<span id=\"Progress\">";

// The line with the progress element showing percent instead of its start value.
std::string WithProgress(const std::string& html, int percent) {
  const std::string open = kProgressOpen;
  const size_t start = html.find(open);
  if (start == std::string::npos) return html;
  const size_t end = html.find("</span>", start);
  if (end == std::string::npos) return html;
  return html.substr(0, start + open.size()) + std::to_string(percent) + "%" + html.substr(end);
}

bool HasProgress(const std::string& html) {
  return html.find(kProgressOpen) != std::string::npos;
}

}  // namespace

void CStatusPrinter::PrintChanges(const CStatusList& list) {
  const std::vector<CStatusList::Entry> lines = list.GetAll();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i < m_shown.size() && m_shown[i] == lines[i]) continue;
    _PrintLine(lines[i].text);
  }
  m_shown = lines;
  std::fflush(stdout);
}

void CStatusPrinter::PrintAll(const CStatusList& list) {
  for (const CStatusList::Entry& line : list.GetAll()) _PrintLine(line.text);
  m_shown = list.GetAll();
  std::fflush(stdout);
}

void CStatusPrinter::PrintProgress(int percent) {
  if (!m_terminal || m_progressLine.empty()) return;
  std::printf("\r%s", StatusLineToText(WithProgress(m_progressLine, percent)).c_str());
  std::fflush(stdout);
}

void CStatusPrinter::PrintNote(const std::string& text) {
  _CloseOpenLine();
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

void CStatusPrinter::Finish() {
  _CloseOpenLine();
  std::fflush(stdout);
}

void CStatusPrinter::_PrintLine(const std::string& html) {
  _CloseOpenLine();
  if (m_terminal && HasProgress(html)) {
    m_progressLine = html;
    std::printf("%s", StatusLineToText(html).c_str());
    return;
  }
  std::printf("%s\n", StatusLineToText(html).c_str());
}

void CStatusPrinter::_CloseOpenLine() {
  if (m_progressLine.empty()) return;
  std::printf("\n");
  m_progressLine.clear();
}
