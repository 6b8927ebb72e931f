#include "import/ExpatSupport.h"

bool XmlNameIs(const char* name, const char* expected) {
  for (; *name != '\0' && *expected != '\0'; ++name, ++expected) {
    const char a = (*name >= 'A' && *name <= 'Z') ? static_cast<char>(*name - 'A' + 'a') : *name;
    if (a != *expected) return false;
  }
  return *name == '\0' && *expected == '\0';
}
