#include "SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

bool CSimProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                        std::string& firstLine) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  std::vector<std::string> words = arguments;
  words.insert(words.begin(), program);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  m_pid = fork();
  if (m_pid < 0) return false;
  if (m_pid == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  m_stdout = pipeFds[0];
  firstLine.clear();
  for (int waited = 0; waited < 10000;) {
    struct pollfd fd = {m_stdout, POLLIN, 0};
    if (poll(&fd, 1, 100) <= 0) {
      waited += 100;
      continue;
    }
    char byte = 0;
    if (read(m_stdout, &byte, 1) != 1) return false;
    if (byte == '\n') return true;
    firstLine.push_back(byte);
  }
  return false;
}

int CSimProcess::Stop() {
  int status = -1;
  if (m_pid > 0) {
    kill(m_pid, SIGTERM);
    int raw = 0;
    if (waitpid(m_pid, &raw, 0) == m_pid && WIFEXITED(raw)) status = WEXITSTATUS(raw);
    m_pid = -1;
  }
  if (m_stdout >= 0) close(m_stdout);
  m_stdout = -1;
  return status;
}

int RunCommand(const std::string& commandLine) {
  const int raw = std::system(commandLine.c_str());
  return raw >= 0 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string ShellQuote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}
