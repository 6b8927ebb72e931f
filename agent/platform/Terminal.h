// Whether the program's output goes to a person at a terminal, who can be
// shown a line that rewrites itself, or to a file or pipe, which gets plain
// lines only.
#pragma once

class CTerminal {
public:
  static bool IsStdoutTerminal();
};
