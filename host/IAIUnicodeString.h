// Host utility types: the error carried through the plug-in, host memory blocks, host strings.
#ifndef SARVELLO_HOST_IAIUNICODESTRING_H
#define SARVELLO_HOST_IAIUNICODESTRING_H

#include <cstddef>
#include <exception>

#include "HostAPI.h"

namespace ai {

// A host error code thrown inside an operation and caught at its boundary.
class Error : public std::exception {
 public:
  explicit Error(ASErr code) noexcept : fErr(code) {}
  ASErr code() const noexcept { return fErr; }
  operator ASErr() const noexcept { return fErr; }
  const char* what() const noexcept override;

 private:
  ASErr fErr;
};

// Throws a non-zero host result as ai::Error.
inline void check_ai_error(ASErr err) {
  if (err != kNoErr) throw Error(err);
}

// Runs an operation's body at the operation's boundary and answers its code: a host failure
// thrown as ai::Error becomes that code, anything else "CANT". Callers that answer "!MEM" for a
// refused allocation catch std::bad_alloc inside the body.
template <typename Body>
ASErr Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const Error& error) {
    return error.code();
  } catch (...) {
    return kCantHappenErr;
  }
}

// Memory blocks of the SP Blocks Suite.
class SPAlloc {
 public:
  // Throws ai::Error(kOutOfMemoryErr) when the host refuses or no SP Blocks Suite is acquired.
  static void* AllocateBlock(std::size_t size);
  // A null block is ignored.
  static void DeleteBlock(void* block);
};

// A string object of the AI Unicode String Suite; no handle means the empty string.
class UnicodeString {
 public:
  UnicodeString() noexcept = default;
  // Throws ai::Error with the host's code when the host cannot make the string.
  explicit UnicodeString(const char* text, int32_t encoding = kAIPlatformCharacterEncoding);
  UnicodeString(const UnicodeString& other);
  UnicodeString& operator=(const UnicodeString& other);
  ~UnicodeString();

  AIUnicodeStringHandle handle() const noexcept { return fString; }

 private:
  AIUnicodeStringHandle fString = nullptr;
};

}  // namespace ai

#endif
