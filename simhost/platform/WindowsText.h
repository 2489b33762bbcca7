// Text between the host's UTF-8 strings and the system's UTF-16, and the system's error texts.
#ifndef SARVELLO_SIMHOST_PLATFORM_WINDOWSTEXT_H
#define SARVELLO_SIMHOST_PLATFORM_WINDOWSTEXT_H

#include <windows.h>

#include <string>

namespace simhost::platform {

inline std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
  return out;
}

inline std::string narrow(const std::wstring& utf16) {
  if (utf16.empty()) return std::string();
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// The system's text for an error code, without its line break.
inline std::string systemMessage(DWORD code) {
  wchar_t buffer[512];
  const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                   buffer, DWORD(sizeof buffer / sizeof buffer[0]), nullptr);
  std::string text = narrow(std::wstring(buffer, n));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text.empty() ? "system error " + std::to_string(code) : text;
}

}  // namespace simhost::platform

#endif
