#include "resources/WebResources.h"

extern const SWebResource kWebResources[];
extern const size_t kWebResourceCount;

const SWebResource* FindWebResource(std::string_view type, unsigned number) {
  for (size_t i = 0; i < kWebResourceCount; ++i) {
    if (kWebResources[i].number == number && type == kWebResources[i].type) return &kWebResources[i];
  }
  return nullptr;
}
