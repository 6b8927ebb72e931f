// The element operations of the page being shown, in order, numbered from 1.
// A page that connects (or reconnects after a reload) is sent the operations
// after the last number it has, so every copy of the page ends in the same
// state. An operation that makes an earlier one pointless (new inner HTML of
// the same element, a new value, a later outer replacement) retires the
// earlier one, so the log stays as small as the page's state, however many
// updates a long transfer makes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CPageOpLog {
public:
  enum Kind { Inner, Outer, Value, Checked, Overlay };

  struct Op {
    uint64_t seq = 0;
    Kind kind = Inner;
    std::string target;  // element id; the overlay's number for overlays
    std::string json;    // the operation as the page's bridge reads it
  };

  // Empties the log for a new page; numbers go on from where they were, so a
  // page of the old generation can never mistake new numbers for its own.
  void Reset();
  uint64_t Append(Kind kind, const std::string& target, std::string json);
  // Retires an overlay once it is answered.
  void Retire(Kind kind, const std::string& target);
  // Live operations numbered above `after`, in order.
  std::vector<const Op*> After(uint64_t after) const;
  uint64_t LastSeq() const { return m_nextSeq - 1; }
  size_t LiveCount() const { return m_live.size(); }

private:
  void _Compact();

  std::vector<Op> m_ops;                                   // in order of seq; retired ones have an empty json
  std::map<std::pair<int, std::string>, uint64_t> m_live;  // (kind, target) -> seq
  size_t m_retired = 0;
  uint64_t m_nextSeq = 1;
};
