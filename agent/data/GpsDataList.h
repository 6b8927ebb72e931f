// Intrusive, append-only lists of data records. Items live in the arena of
// their data set and are destroyed only all together, so a list needs no
// ownership of its own and every item pointer stays valid until the set is
// cleared.
#pragma once

#include <cstddef>
#include <iterator>

template <class T>
class CGpsDataList;

// Base of every record: the link to the next item of its list.
template <class T>
class CGpsDataItem {
public:
  T* GetNext() const { return m_next; }

protected:
  CGpsDataItem() noexcept = default;
  ~CGpsDataItem() = default;
  CGpsDataItem(const CGpsDataItem&) = delete;
  CGpsDataItem& operator=(const CGpsDataItem&) = delete;

private:
  friend class CGpsDataList<T>;
  T* m_next = nullptr;
};

template <class T>
class CGpsDataList {
public:
  class CIterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T*;
    using difference_type = std::ptrdiff_t;
    using pointer = T**;
    using reference = T*;

    explicit CIterator(T* item = nullptr) : m_item(item) {}
    T* operator*() const { return m_item; }
    CIterator& operator++() {
      m_item = m_item->GetNext();
      return *this;
    }
    CIterator operator++(int) {
      CIterator before = *this;
      ++*this;
      return before;
    }
    bool operator==(const CIterator& other) const = default;

  private:
    T* m_item;
  };

  T* GetHead() const { return m_head; }
  T* GetTail() const { return m_tail; }
  int GetCount() const { return m_count; }
  bool IsEmpty() const { return m_count == 0; }

  CIterator begin() const { return CIterator(m_head); }
  CIterator end() const { return CIterator(); }

  // Links item at the end; a null item is ignored. Returns the item.
  T* Append(T* item) {
    if (item == nullptr) return nullptr;
    item->CGpsDataItem<T>::m_next = nullptr;
    if (m_head == nullptr) m_head = item;
    if (m_tail != nullptr) m_tail->CGpsDataItem<T>::m_next = item;
    m_tail = item;
    ++m_count;
    return item;
  }

  // Forgets every item; the arena that holds them releases their storage.
  void Reset() {
    m_head = m_tail = nullptr;
    m_count = 0;
  }

private:
  T* m_head = nullptr;
  T* m_tail = nullptr;
  int m_count = 0;
};
