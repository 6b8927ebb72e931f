#include "data/GpsDataArena.h"

#include <cstdint>
#include <new>

namespace {
// Blocks start small, since most sets hold a few records, and double up to a
// size at which the heap's own overhead is negligible.
constexpr size_t FIRST_BLOCK_SIZE = 16 * 1024;
constexpr size_t LARGEST_BLOCK_SIZE = 4 * 1024 * 1024;
}  // namespace

struct CGpsDataArena::CBlock {
  CBlock* next;
  size_t size;  // bytes including this header
};

struct CGpsDataArena::CDestroyNode {
  CDestroyNode* next;
  void* object;
  void (*destroy)(void*);
};

CGpsDataArena::~CGpsDataArena() {
  Release();
  while (m_blocks != nullptr) {
    CBlock* next = m_blocks->next;
    ::operator delete(m_blocks);
    m_blocks = next;
  }
}

void* CGpsDataArena::Allocate(size_t size, size_t align) noexcept {
  uintptr_t cursor = reinterpret_cast<uintptr_t>(m_cursor);
  uintptr_t aligned = (cursor + align - 1) & ~(uintptr_t{align} - 1);
  if (m_cursor == nullptr || aligned + size > reinterpret_cast<uintptr_t>(m_end)) {
    if (!_AddBlock(size + align)) return nullptr;
    cursor = reinterpret_cast<uintptr_t>(m_cursor);
    aligned = (cursor + align - 1) & ~(uintptr_t{align} - 1);
  }
  m_cursor = reinterpret_cast<char*>(aligned + size);
  return reinterpret_cast<void*>(aligned);
}

bool CGpsDataArena::_AddBlock(size_t minimum) noexcept {
  size_t size = m_nextBlockSize == 0 ? FIRST_BLOCK_SIZE : m_nextBlockSize;
  while (size < minimum + sizeof(CBlock)) size *= 2;
  if (m_limit != 0 && m_reserved + size > m_limit) return false;
  auto* block = static_cast<CBlock*>(::operator new(size, std::nothrow));
  if (block == nullptr) return false;
  block->next = m_blocks;
  block->size = size;
  m_blocks = block;
  m_reserved += size;
  m_cursor = reinterpret_cast<char*>(block + 1);
  m_end = reinterpret_cast<char*>(block) + size;
  m_nextBlockSize = size < LARGEST_BLOCK_SIZE ? size * 2 : size;
  return true;
}

bool CGpsDataArena::_RememberForDestroy(void* object, void (*destroy)(void*)) noexcept {
  void* storage = Allocate(sizeof(CDestroyNode), alignof(CDestroyNode));
  if (storage == nullptr) return false;
  m_destroy = ::new (storage) CDestroyNode{m_destroy, object, destroy};
  return true;
}

void CGpsDataArena::Release() noexcept {
  for (CDestroyNode* node = m_destroy; node != nullptr; node = node->next) node->destroy(node->object);
  m_destroy = nullptr;
  if (m_blocks == nullptr) return;
  // Keep the oldest (smallest) block for the next fill.
  while (m_blocks->next != nullptr) {
    CBlock* next = m_blocks->next;
    m_reserved -= m_blocks->size;
    ::operator delete(m_blocks);
    m_blocks = next;
  }
  m_cursor = reinterpret_cast<char*>(m_blocks + 1);
  m_end = reinterpret_cast<char*>(m_blocks) + m_blocks->size;
  m_nextBlockSize = m_blocks->size < LARGEST_BLOCK_SIZE ? m_blocks->size * 2 : m_blocks->size;
}
