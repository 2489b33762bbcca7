// A module's code on Linux: loaded with the dynamic linker, its clock bound through its global
// offset table, its resources in an ELF section.
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/HostClock.h"
#include "platform/Platform.h"

namespace simhost::platform {

namespace {

using hostclock::floorDiv;

// ---- The host's clock as the C library's ------------------------------------------------------

time_t moduleTime(time_t* out) {
  const time_t seconds = static_cast<time_t>(floorDiv(hostclock::moduleRead(), 1'000'000));
  if (out != nullptr) *out = seconds;
  return seconds;
}

int moduleGettimeofday(struct timeval* out, void* /*zone*/) {
  if (out == nullptr) return 0;
  const std::int64_t micros = hostclock::moduleRead();
  const std::int64_t seconds = floorDiv(micros, 1'000'000);
  out->tv_sec = static_cast<time_t>(seconds);
  out->tv_usec = static_cast<suseconds_t>(micros - seconds * 1'000'000);
  return 0;
}

int moduleClockGettime(clockid_t clock, struct timespec* out) {
  // The wall clocks follow the host's clock; the others (monotonic, CPU time) stay the system's.
  if ((clock != CLOCK_REALTIME && clock != CLOCK_REALTIME_COARSE) || !hostclock::isSet()) {
    return ::clock_gettime(clock, out);
  }
  if (out == nullptr) {
    errno = EFAULT;
    return -1;
  }
  const std::int64_t micros = hostclock::moduleRead();
  const std::int64_t seconds = floorDiv(micros, 1'000'000);
  out->tv_sec = static_cast<time_t>(seconds);
  out->tv_nsec = static_cast<long>((micros - seconds * 1'000'000) * 1000);
  return 0;
}

// ---- The module's global offset table ---------------------------------------------------------

struct Rebinding {
  const char* symbol;  // e.g. "gettimeofday"
  void* target;        // what the module calls instead
};

#if defined(__x86_64__)
constexpr std::uint32_t kJumpSlot = R_X86_64_JUMP_SLOT;
constexpr std::uint32_t kGlobalData = R_X86_64_GLOB_DAT;
constexpr std::uint32_t kAbsolute = R_X86_64_64;
#elif defined(__aarch64__)
constexpr std::uint32_t kJumpSlot = R_AARCH64_JUMP_SLOT;
constexpr std::uint32_t kGlobalData = R_AARCH64_GLOB_DAT;
constexpr std::uint32_t kAbsolute = R_AARCH64_ABS64;
#else
#error "the module's relocation types are known for x86-64 and ARM64"
#endif

struct Tables {
  const ElfW(Sym)* symbols = nullptr;
  const char* strings = nullptr;
  const ElfW(Rela)* plt = nullptr;
  std::size_t pltBytes = 0;
  const ElfW(Rela)* data = nullptr;
  std::size_t dataBytes = 0;
};

// The dynamic linker has made some of the dynamic section's addresses absolute; others remain
// relative to the load address.
template <typename T>
const T* address(ElfW(Addr) value, ElfW(Addr) base) {
  return reinterpret_cast<const T*>(value < base ? value + base : value);
}

// The module's read-only-after-relocation range, found in its program headers.
struct Relro {
  std::uintptr_t begin = 0;
  std::uintptr_t end = 0;
  const char* name = nullptr;
};

int findRelro(struct dl_phdr_info* info, std::size_t, void* data) {
  Relro* relro = static_cast<Relro*>(data);
  if (info->dlpi_name == nullptr || std::strcmp(info->dlpi_name, relro->name) != 0) return 0;
  for (int k = 0; k < info->dlpi_phnum; ++k) {
    const ElfW(Phdr)& ph = info->dlpi_phdr[k];
    if (ph.p_type == PT_GNU_RELRO) {
      relro->begin = info->dlpi_addr + ph.p_vaddr;
      relro->end = relro->begin + ph.p_memsz;
    }
  }
  return 1;
}

// Rebinds every reference of the module `library` (a handle from dlopen) to the given symbols:
// the dynamic linker has resolved the module's imports into its global offset table, and only
// the module's own slots are rewritten. Answers the number of slots rewritten, or -1.
int rebindModuleReferences(void* library, const std::vector<Rebinding>& rebindings, std::string* error) {
  struct link_map* map = nullptr;
  if (library == nullptr || ::dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
    *error = "cannot read the module's link map";
    return -1;
  }
  const ElfW(Addr) base = map->l_addr;
  Tables t;
  for (const ElfW(Dyn)* d = map->l_ld; d->d_tag != DT_NULL; ++d) {
    switch (d->d_tag) {
      case DT_SYMTAB: t.symbols = address<ElfW(Sym)>(d->d_un.d_ptr, base); break;
      case DT_STRTAB: t.strings = address<char>(d->d_un.d_ptr, base); break;
      case DT_JMPREL: t.plt = address<ElfW(Rela)>(d->d_un.d_ptr, base); break;
      case DT_PLTRELSZ: t.pltBytes = d->d_un.d_val; break;
      case DT_RELA: t.data = address<ElfW(Rela)>(d->d_un.d_ptr, base); break;
      case DT_RELASZ: t.dataBytes = d->d_un.d_val; break;
      default: break;
    }
  }
  if (t.symbols == nullptr || t.strings == nullptr) {
    *error = "the module has no dynamic symbol table";
    return -1;
  }
  Relro relro;
  relro.name = map->l_name;
  ::dl_iterate_phdr(findRelro, &relro);
  const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));

  int rewritten = 0;
  const auto rewrite = [&](const ElfW(Rela)* table, std::size_t bytes) -> bool {
    for (std::size_t k = 0; table != nullptr && k < bytes / sizeof(ElfW(Rela)); ++k) {
      const ElfW(Rela)& r = table[k];
      const auto type = static_cast<std::uint32_t>(ELF64_R_TYPE(r.r_info));
      if (type != kJumpSlot && type != kGlobalData && type != kAbsolute) continue;
      const std::size_t symbol = ELF64_R_SYM(r.r_info);
      if (symbol == 0) continue;
      const char* name = t.strings + t.symbols[symbol].st_name;
      for (const Rebinding& rb : rebindings) {
        if (std::strcmp(name, rb.symbol) != 0) continue;
        void** slot = reinterpret_cast<void**>(base + r.r_offset);
        const auto at = reinterpret_cast<std::uintptr_t>(slot);
        const bool readOnly = at >= relro.begin && at < relro.end;
        void* start = reinterpret_cast<void*>(at & ~(page - 1));
        const std::size_t span = ((at + sizeof(void*) + page - 1) & ~(page - 1)) - (at & ~(page - 1));
        if (readOnly && ::mprotect(start, span, PROT_READ | PROT_WRITE) != 0) {
          *error = std::string("cannot make the module's slot of ") + name + " writable";
          return false;
        }
        *slot = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(rb.target) +
                                        (type == kAbsolute ? static_cast<std::uintptr_t>(r.r_addend) : 0));
        if (readOnly) ::mprotect(start, span, PROT_READ);
        ++rewritten;
      }
    }
    return true;
  };
  if (!rewrite(t.plt, t.pltBytes) || !rewrite(t.data, t.dataBytes)) return -1;
  return rewritten;
}

}  // namespace

void* loadModule(const std::string& path, std::string* error) {
  // A path without a slash would make the system search its library folders.
  const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
  dlerror();
  void* module = ::dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* why = dlerror();
    *error = why != nullptr ? why : "unknown error";
  }
  return module;
}

void* moduleSymbol(void* module, const std::string& name) { return ::dlsym(module, name.c_str()); }

void unloadModule(void* module) { ::dlclose(module); }

bool moduleLoaded(const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  ::dlclose(handle);
  return true;
}

int bindModuleClock(void* module, std::string* error) {
  const std::vector<Rebinding> clock = {
      {"time", reinterpret_cast<void*>(&moduleTime)},
      {"gettimeofday", reinterpret_cast<void*>(&moduleGettimeofday)},
      {"clock_gettime", reinterpret_cast<void*>(&moduleClockGettime)},
  };
  return rebindModuleReferences(module, clock, error);
}

std::optional<sarvello::res::ResourceFile> moduleResources(const sarvello::res::Bytes& file,
                                                           std::string* error) {
  const auto section = sarvello::res::readElfSection(file, sarvello::res::kResourceSection, error);
  if (!section) return std::nullopt;
  auto resources = sarvello::res::ResourceFile::parse(*section, error);
  if (!resources) *error = "its resources are damaged: " + *error;
  return resources;
}

}  // namespace simhost::platform
