// The system on Windows: the running program's file, the user's application-data folder and the
// shell's opener of web addresses.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

#include "platform/Platform.h"
#include "platform/WindowsText.h"

namespace simhost::platform {

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
