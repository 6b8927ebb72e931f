// Runs a program to its end and collects its exit status and output.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

struct ProgramResult {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs `argv` with the current environment; standard input is empty.
// A program still running after `timeoutSeconds` is killed.
ProgramResult RunProgram(const std::vector<std::string>& argv, int timeoutSeconds = 60);

}  // namespace qvtest
