// Opaque handles of the host's own objects (art, strings, contexts, the view).
#ifndef SARVELLO_SIMHOST_CORE_HANDLES_H
#define SARVELLO_SIMHOST_CORE_HANDLES_H

#include <cstdint>

namespace simhost {

// Host objects handed to the plug-in as opaque handles carry a never-reused id and a kind tag in
// the pointer value; the host never dereferences them, so a stale or foreign handle is simply
// not found.
enum class HandleKind : std::uintptr_t { Art = 0x8, String = 0x4, Context = 0x2, View = 0xC };

template <class H>
H makeHandle(HandleKind kind, std::uint64_t id) {
  return reinterpret_cast<H>(static_cast<std::uintptr_t>(id << 4) |
                             static_cast<std::uintptr_t>(kind));
}

// The id of a handle of the given kind, or 0 when the handle is none or of another kind.
template <class H>
std::uint64_t handleId(HandleKind kind, H handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if ((value & 0xF) != static_cast<std::uintptr_t>(kind)) return 0;
  return static_cast<std::uint64_t>(value >> 4);
}

}  // namespace simhost

#endif
