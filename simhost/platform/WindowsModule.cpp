// A module's code on Windows: loaded with LoadLibrary, its clock bound through its import address
// table, its resources in the PE file's resource directory.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "PeResources.h"
#include "core/HostClock.h"
#include "platform/Platform.h"
#include "platform/WindowsText.h"

namespace simhost::platform {

namespace {

using hostclock::floorDiv;

// ---- The host's clock as the system's -------------------------------------------------------

// FILETIME counts 100-nanosecond intervals since 1601-01-01.
constexpr std::int64_t kFileTimeAtEpoch = 116444736000000000LL;

__time64_t __cdecl moduleTime64(__time64_t* out) {
  const __time64_t seconds = static_cast<__time64_t>(floorDiv(hostclock::moduleRead(), 1'000'000));
  if (out != nullptr) *out = seconds;
  return seconds;
}

void WINAPI moduleSystemTime(FILETIME* out) {
  if (out == nullptr) return;
  const auto ticks = static_cast<std::uint64_t>(hostclock::moduleRead() * 10 + kFileTimeAtEpoch);
  out->dwLowDateTime = static_cast<DWORD>(ticks);
  out->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
}

// The C runtime's gettimeofday and clock_gettime look up the precise system time by name at their
// first call, and take the imported one only when that fails: the lookup answers the host's.
FARPROC WINAPI moduleGetProcAddress(HMODULE module, LPCSTR name) {
  if (!IS_INTRESOURCE(name) && (std::strcmp(name, "GetSystemTimePreciseAsFileTime") == 0 ||
                                std::strcmp(name, "GetSystemTimeAsFileTime") == 0))
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&moduleSystemTime));
  return ::GetProcAddress(module, name);
}

struct Rebinding {
  const char* symbol;  // an imported function's name, e.g. "_time64"
  void* target;        // what the module calls instead
};

// Points the module's own import slots of the named functions at the targets: the loader has
// filled the import address table (FirstThunk) of each imported library, whose names stand in the
// parallel lookup table (OriginalFirstThunk). Nothing outside the module changes. Answers the
// number of slots rewritten, or -1.
int rebindImports(HMODULE module, const std::vector<Rebinding>& rebindings, std::string* error) {
  auto* base = reinterpret_cast<std::uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE || nt->Signature != IMAGE_NT_SIGNATURE ||
      nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    *error = "cannot read the module's headers";
    return -1;
  }
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return 0;
  int rewritten = 0;
  const auto* first = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
  for (const IMAGE_IMPORT_DESCRIPTOR* d = first; d->Name != 0; ++d) {
    const DWORD lookup = d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk;
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA64*>(base + lookup);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL64(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<const char*>(
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
      for (const Rebinding& r : rebindings) {
        if (std::strcmp(name, r.symbol) != 0) continue;
        DWORD was = 0;
        if (!::VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &was)) {
          *error = std::string("cannot make the module's slot of ") + name + " writable";
          return -1;
        }
        slots->u1.Function = reinterpret_cast<ULONGLONG>(r.target);
        ::VirtualProtect(&slots->u1.Function, sizeof(void*), was, &was);
        ++rewritten;
      }
    }
  }
  return rewritten;
}

std::wstring modulePath(const std::string& path) {
  // A name without a folder would make the system search its library folders.
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(wide(path)), ec);
  if (ec) full = std::filesystem::path(wide(path));
  return full.make_preferred().wstring();
}

}  // namespace

void* loadModule(const std::string& path, std::string* error) {
  HMODULE module = ::LoadLibraryW(modulePath(path).c_str());
  if (module == nullptr) *error = systemMessage(::GetLastError());
  return reinterpret_cast<void*>(module);
}

void* moduleSymbol(void* module, const std::string& name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name.c_str()));
}

void unloadModule(void* module) { ::FreeLibrary(static_cast<HMODULE>(module)); }

bool moduleLoaded(const std::string& path) { return ::GetModuleHandleW(modulePath(path).c_str()) != nullptr; }

int bindModuleClock(void* module, std::string* error) {
  const std::vector<Rebinding> clock = {
      {"_time64", reinterpret_cast<void*>(&moduleTime64)},  // time() of msvcrt
      {"time", reinterpret_cast<void*>(&moduleTime64)},     // time() of the universal C runtime
      {"GetSystemTimeAsFileTime", reinterpret_cast<void*>(&moduleSystemTime)},
      {"GetSystemTimePreciseAsFileTime", reinterpret_cast<void*>(&moduleSystemTime)},
      {"GetProcAddress", reinterpret_cast<void*>(&moduleGetProcAddress)},
  };
  return rebindImports(static_cast<HMODULE>(module), clock, error);
}

std::optional<sarvello::res::ResourceFile> moduleResources(const sarvello::res::Bytes& file,
                                                           std::string* error) {
  return sarvello::res::resourcesFromPe(file, error);
}

}  // namespace simhost::platform
