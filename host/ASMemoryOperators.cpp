// The global memory operators of the plug-in module: all of the module's memory, its containers
// and objects included, lives in blocks of the host's SP Basic Suite. Linked into the module only
// (a test program linking it would move its whole process onto the host's memory).
//
// The plain forms throw std::bad_alloc when the host refuses, as the language requires of them
// (the operation boundaries turn it into the out-of-memory code); the no-throw forms yield none.
#include <cstddef>
#include <new>

#include "ASMemory.h"

void* operator new(std::size_t size) {
  void* block = ai::HostAllocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* operator new[](std::size_t size) {
  void* block = ai::HostAllocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return ai::HostAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return ai::HostAllocate(size);
}

void operator delete(void* block) noexcept { ai::HostFree(block); }
void operator delete[](void* block) noexcept { ai::HostFree(block); }
void operator delete(void* block, std::size_t) noexcept { ai::HostFree(block); }
void operator delete[](void* block, std::size_t) noexcept { ai::HostFree(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { ai::HostFree(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { ai::HostFree(block); }

void* operator new(std::size_t size, std::align_val_t alignment) {
  void* block = ai::HostAllocateAligned(size, static_cast<std::size_t>(alignment));
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  void* block = ai::HostAllocateAligned(size, static_cast<std::size_t>(alignment));
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return ai::HostAllocateAligned(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return ai::HostAllocateAligned(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* block, std::align_val_t) noexcept { ai::HostFreeAligned(block); }
void operator delete[](void* block, std::align_val_t) noexcept { ai::HostFreeAligned(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  ai::HostFreeAligned(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  ai::HostFreeAligned(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  ai::HostFreeAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  ai::HostFreeAligned(block);
}
