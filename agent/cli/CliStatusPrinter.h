// The status lines of a job printed as plain text as they change, for the
// commands that run a job the way the dialog does. On a terminal the line of
// a running transfer stays open and its percentage is rewritten in place.
#pragma once

#include <string>
#include <vector>

#include "threads/StatusList.h"

class CStatusPrinter {
public:
  explicit CStatusPrinter(bool terminal) : m_terminal(terminal) {}

  // The lines that changed since the last call, in the order of the list.
  void PrintChanges(const CStatusList& list);
  void PrintAll(const CStatusList& list);
  void PrintProgress(int percent);
  // A message of the tool's own between status lines.
  void PrintNote(const std::string& text);
  void Finish();

private:
  void _PrintLine(const std::string& html);
  void _CloseOpenLine();

  bool m_terminal;
  std::vector<CStatusList::Entry> m_shown;
  std::string m_progressLine;  // the transfer line left open on a terminal
};
