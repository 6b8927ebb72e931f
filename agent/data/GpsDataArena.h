// Bump allocation for the records and measurements of one data set. Records
// are only ever appended and destroyed all together, so they are carved from
// large blocks and released in one go; objects that own heap memory (texts,
// pointer lists) are remembered and destroyed at release.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

// Objects of classes for which this is false are released without running
// their destructor (their destructor would do nothing for an arena object).
template <class T>
struct ArenaNeedsDestroy : std::bool_constant<!std::is_trivially_destructible_v<T>> {};

class CGpsDataArena {
public:
  CGpsDataArena() = default;
  ~CGpsDataArena();
  CGpsDataArena(const CGpsDataArena&) = delete;
  CGpsDataArena& operator=(const CGpsDataArena&) = delete;

  // Raw storage, or nullptr when memory runs out.
  void* Allocate(size_t size, size_t align) noexcept;

  // Constructs a T in the arena; nullptr when memory runs out (nothing then
  // refers to the storage, which is given back at the next release).
  template <class T, class... Args>
  T* New(Args&&... args) noexcept {
    static_assert(std::is_nothrow_constructible_v<T, Args...>, "arena objects must not throw while built");
    void* storage = Allocate(sizeof(T), alignof(T));
    if (storage == nullptr) return nullptr;
    T* object = ::new (storage) T(std::forward<Args>(args)...);
    if constexpr (ArenaNeedsDestroy<T>::value) {
      if (!_RememberForDestroy(object, [](void* p) { static_cast<T*>(p)->~T(); })) {
        object->~T();
        return nullptr;
      }
    }
    return object;
  }

  // Destroys every remembered object, newest first, and gives back every block
  // but the first, which is kept for the next fill.
  void Release() noexcept;

  // Bytes taken from the heap for blocks.
  size_t GetReservedBytes() const { return m_reserved; }

  // Lets tests make allocations fail once this many block bytes are reserved;
  // 0 means no limit.
  void SetLimitForTests(size_t bytes) { m_limit = bytes; }

private:
  struct CBlock;
  struct CDestroyNode;

  bool _RememberForDestroy(void* object, void (*destroy)(void*)) noexcept;
  bool _AddBlock(size_t minimum) noexcept;

  CBlock* m_blocks = nullptr;  // newest first; the oldest is the one kept
  char* m_cursor = nullptr;
  char* m_end = nullptr;
  CDestroyNode* m_destroy = nullptr;  // newest first
  size_t m_reserved = 0;
  size_t m_nextBlockSize = 0;
  size_t m_limit = 0;
};
