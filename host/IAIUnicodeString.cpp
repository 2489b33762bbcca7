#include "IAIUnicodeString.h"

#include "SarvelloSuites.h"

namespace ai {

const char* Error::what() const noexcept { return "host error"; }

void* SPAlloc::AllocateBlock(std::size_t size) {
  void* block = nullptr;
  if (sSPBlocks == nullptr ||
      sSPBlocks->AllocateBlock(size, "ai::SPAlloc::AllocateBlock", &block) != kNoErr ||
      block == nullptr) {
    throw Error(kOutOfMemoryErr);
  }
  return block;
}

void SPAlloc::DeleteBlock(void* block) {
  if (block == nullptr || sSPBlocks == nullptr) return;
  sSPBlocks->FreeBlock(block);
}

namespace {
AIUnicodeStringSuite& suite() {
  if (sAIUnicodeString == nullptr) throw Error(kSuiteNotFoundErr);
  return *sAIUnicodeString;
}
}  // namespace

UnicodeString::UnicodeString(const char* text, int32_t encoding) {
  check_ai_error(suite().NewFromCString(text != nullptr ? text : "", encoding, &fString));
}

UnicodeString::UnicodeString(const UnicodeString& other) {
  // An empty string needs no host object.
  if (other.fString != nullptr) check_ai_error(suite().Copy(&fString, other.fString));
}

UnicodeString& UnicodeString::operator=(const UnicodeString& other) {
  if (this != &other) check_ai_error(suite().Copy(&fString, other.fString));
  return *this;
}

UnicodeString::~UnicodeString() {
  if (fString != nullptr && sAIUnicodeString != nullptr) sAIUnicodeString->Dispose(fString);
}

}  // namespace ai
