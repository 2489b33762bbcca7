#include "ASMemory.h"

#include <cstdint>
#include <limits>

#include "SarvelloSuites.h"

namespace ai {

void* HostAllocate(std::size_t size) noexcept {
  if (sSPBasic == nullptr || sSPBasic->AllocateBlock == nullptr) return nullptr;
  // The operators must hand out a distinct block even for zero bytes.
  if (size == 0) size = 1;
  void* block = nullptr;
  if (sSPBasic->AllocateBlock(size, &block) != kNoErr) return nullptr;
  return block;
}

void HostFree(void* block) noexcept {
  if (block == nullptr || sSPBasic == nullptr || sSPBasic->FreeBlock == nullptr) return;
  sSPBasic->FreeBlock(block);
}

// An aligned block keeps the address of the host block it was carved from just before itself.
void* HostAllocateAligned(std::size_t size, std::size_t alignment) noexcept {
  if (alignment < alignof(void*)) alignment = alignof(void*);
  if ((alignment & (alignment - 1)) != 0) return nullptr;
  const std::size_t extra = alignment - 1 + sizeof(void*);
  if (size > std::numeric_limits<std::size_t>::max() - extra) return nullptr;
  void* raw = HostAllocate(size + extra);
  if (raw == nullptr) return nullptr;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
  const std::uintptr_t aligned = (start + alignment - 1) & ~static_cast<std::uintptr_t>(alignment - 1);
  reinterpret_cast<void**>(aligned)[-1] = raw;
  return reinterpret_cast<void*>(aligned);
}

void HostFreeAligned(void* block) noexcept {
  if (block == nullptr) return;
  HostFree(static_cast<void**>(block)[-1]);
}

}  // namespace ai
