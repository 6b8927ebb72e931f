#include "platform/PageOpLog.h"

#include <algorithm>

void CPageOpLog::Reset() {
  m_ops.clear();
  m_live.clear();
  m_retired = 0;
}

uint64_t CPageOpLog::Append(Kind kind, const std::string& target, std::string json) {
  // An outer replacement makes every earlier operation on that element
  // pointless; any other operation only its own kind's predecessor.
  if (kind == Outer) {
    for (int k : {Inner, Outer, Value, Checked}) Retire(static_cast<Kind>(k), target);
  } else {
    Retire(kind, target);
  }
  const uint64_t seq = m_nextSeq++;
  m_ops.push_back({seq, kind, target, std::move(json)});
  m_live[{kind, target}] = seq;
  return seq;
}

void CPageOpLog::Retire(Kind kind, const std::string& target) {
  const auto live = m_live.find({kind, target});
  if (live == m_live.end()) return;
  const auto op = std::lower_bound(m_ops.begin(), m_ops.end(), live->second,
                                   [](const Op& o, uint64_t seq) { return o.seq < seq; });
  if (op != m_ops.end() && op->seq == live->second) {
    op->json.clear();
    ++m_retired;
  }
  m_live.erase(live);
  if (m_retired > 64 && m_retired > m_ops.size() / 2) _Compact();
}

void CPageOpLog::_Compact() {
  std::erase_if(m_ops, [](const Op& op) { return op.json.empty(); });
  m_retired = 0;
}

std::vector<const CPageOpLog::Op*> CPageOpLog::After(uint64_t after) const {
  std::vector<const Op*> ops;
  auto op = std::upper_bound(m_ops.begin(), m_ops.end(), after,
                             [](uint64_t seq, const Op& o) { return seq < o.seq; });
  for (; op != m_ops.end(); ++op) {
    if (!op->json.empty()) ops.push_back(&*op);
  }
  return ops;
}
