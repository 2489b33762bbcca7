// The plug-in's memory over the host: every block comes from the SP Basic Suite held in sSPBasic.
// The module's global memory operators (ASMemoryOperators.cpp) are built on these functions.
#ifndef SARVELLO_HOST_ASMEMORY_H
#define SARVELLO_HOST_ASMEMORY_H

#include <cstddef>

namespace ai {

// A block of at least `size` bytes (at least one byte for size 0), aligned for any fundamental
// type as the host's blocks are. None when the host refuses, when the size overflows, or while no
// SP Basic Suite is known. Never throws.
void* HostAllocate(std::size_t size) noexcept;

// Gives a block of HostAllocate back. A null block is ignored, and so is every block while no
// SP Basic Suite is known.
void HostFree(void* block) noexcept;

// A block aligned to `alignment` (a power of two) for the over-aligned memory operators; it is
// carved out of a larger host block and must be given back with HostFreeAligned.
void* HostAllocateAligned(std::size_t size, std::size_t alignment) noexcept;
void HostFreeAligned(void* block) noexcept;

}  // namespace ai

#endif
