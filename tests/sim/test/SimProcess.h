// Runs the garmin-sim program as a separate process, as a developer or another
// tool would, and reads the slave path it prints first.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class CSimProcess {
public:
  CSimProcess() = default;
  ~CSimProcess() { Stop(); }
  CSimProcess(const CSimProcess&) = delete;
  CSimProcess& operator=(const CSimProcess&) = delete;

  // Starts the program and waits (up to 10 s) for its first output line.
  bool Start(const std::string& program, const std::vector<std::string>& arguments, std::string& firstLine);
  // Asks it to end (SIGTERM) and returns its exit status, or -1.
  int Stop();

private:
  pid_t m_pid = -1;
  int m_stdout = -1;
};

// Runs a command line through the shell and returns its exit status.
int RunCommand(const std::string& commandLine);
// Quotes a word for the shell.
std::string ShellQuote(const std::string& word);
