#include "link/CommsRegistry.h"

namespace {

struct CTable {
  CCommsDevice* entries[CCommsRegistry::MAX_ENTRIES] = {};
  size_t count = 0;
  size_t cursor = 0;
};

CTable& Table() {
  static CTable table;
  return table;
}

}  // namespace

void CCommsRegistry::Register(CCommsDevice* device) {
  CTable& t = Table();
  if (device == nullptr || t.count >= MAX_ENTRIES) return;
  t.entries[t.count++] = device;
}

CCommsDevice* CCommsRegistry::GetFirst() {
  CTable& t = Table();
  t.cursor = 0;
  return GetNext();
}

CCommsDevice* CCommsRegistry::GetNext() {
  CTable& t = Table();
  if (t.cursor >= t.count) return nullptr;
  return t.entries[t.cursor++];
}

size_t CCommsRegistry::Count() {
  return Table().count;
}

void CCommsRegistry::Clear() {
  CTable& t = Table();
  t = CTable{};
}
