#include "platform/Terminal.h"

#include <unistd.h>

bool CTerminal::IsStdoutTerminal() {
  return isatty(STDOUT_FILENO) == 1;
}
