#include "app/PageResources.h"

#include "resources/WebResources.h"

SPageResource FindPageResource(const std::string& type, unsigned number) {
  const SWebResource* resource = FindWebResource(type, number);
  if (resource == nullptr) return {};
  return {resource->mimeType,
          std::string_view(reinterpret_cast<const char*>(resource->data), resource->size)};
}

PageResourceLookup PageResources() {
  return &FindPageResource;
}
