// A name qualified by the namespace URI of its vocabulary.
#pragma once

#include <string>

struct CGpsDataNamePair {
  std::string name;
  std::string codeSpace;
};
