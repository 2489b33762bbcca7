// The system on Windows: files, the running program's file, the user's application-data folder
// and the shell's opener of web addresses.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "platform/WindowsText.h"

namespace simhost::platform {

std::FILE* openForReading(const std::string& path, std::string* reason) {
  std::FILE* f = ::_wfopen(wide(path).c_str(), L"rb");
  if (f == nullptr) *reason = std::strerror(errno);
  return f;
}

bool writeNewFileBeside(const std::string& path, const std::string& bytes, std::string* temp,
                        std::string* reason) {
  // ".NAME.XXXXXXXX" in the target's folder, with a number tried until the name is free.
  const std::wstring target = wide(path);
  const std::size_t slash = target.find_last_of(L"\\/:");
  const std::wstring dir = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
  const std::wstring file = slash == std::wstring::npos ? target : target.substr(slash + 1);
  static unsigned counter = 0;
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::wstring name;
  for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
    const unsigned long long stamp =
        (::GetTickCount64() << 20) ^ (static_cast<unsigned long long>(::GetCurrentProcessId()) << 8) ^ ++counter;
    wchar_t suffix[24];
    std::swprintf(suffix, sizeof suffix / sizeof suffix[0], L".%08llx", stamp & 0xFFFFFFFFull);
    name = dir + L"." + file + suffix;
    handle = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (handle == INVALID_HANDLE_VALUE) {
    *reason = systemMessage(::GetLastError());
    return false;
  }
  DWORD code = 0;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 30));
    DWORD n = 0;
    if (!::WriteFile(handle, bytes.data() + written, chunk, &n, nullptr)) {
      code = ::GetLastError();
      break;
    }
    written += n;
  }
  if (code == 0 && !::FlushFileBuffers(handle)) code = ::GetLastError();
  if (!::CloseHandle(handle) && code == 0) code = ::GetLastError();
  if (code != 0) {
    ::DeleteFileW(name.c_str());
    *reason = systemMessage(code);
    return false;
  }
  *temp = narrow(name);
  return true;
}

bool replaceFile(const std::string& from, const std::string& to, std::string* reason) {
  if (::MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  *reason = systemMessage(::GetLastError());
  return false;
}

void removeFile(const std::string& path) { ::DeleteFileW(wide(path).c_str()); }

std::string programPath() {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return narrow(buffer.substr(0, n));
    buffer.resize(buffer.size() * 2);  // cut off: try a longer buffer
  }
}

std::string defaultPreferencesPath() {
  const wchar_t* appData = ::_wgetenv(L"APPDATA");
  if (appData == nullptr || appData[0] == L'\0') return std::string();
  return narrow(appData) + "\\Sarvello\\preferences.ini";
}

bool openWithSystem(const std::string& url) {
  // The shell hands the address to the user's browser, through handlers that may need COM on the
  // calling thread; values above 32 mean it did.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const HINSTANCE result =
      ::ShellExecuteW(nullptr, L"open", wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (SUCCEEDED(com)) ::CoUninitialize();
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace simhost::platform
