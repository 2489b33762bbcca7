#include "Suites.h"

#include "ASMemory.h"

ImportSuite gBasicSuites[kBasicSuiteRows] = {
    {kSPAccessSuite, kSPAccessSuiteVersion, static_cast<void*>(&sSPAccess)},
    {kSPPluginsSuite, kSPPluginsSuiteVersion, static_cast<void*>(&sSPPlugins)},
    {kAINotifierSuite, kAINotifierSuiteVersion, static_cast<void*>(&sAINotifier)},
    {kAIAppContextSuite, kAIAppContextSuiteVersion, static_cast<void*>(&sAIAppContext)},
    {kADMBasicSuite, kADMBasicSuiteVersion10, static_cast<void*>(&sADMBasic)},
};

int16_t Suites::fAcquiredCount = 0;

namespace {

ASErr acquireRow(const ImportSuite& row) {
  const void* suite = nullptr;
  const ASErr err = sSPBasic->AcquireSuite(row.name, row.version, &suite);
  if (err == kNoErr) StoreSuite(row, suite);
  return err;
}

// Releases a row whose pointer is set; the pointer is cleared whatever the host answers.
ASErr releaseRow(const ImportSuite& row) {
  if (row.target == nullptr || LoadSuite(row) == nullptr) return kNoErr;
  const ASErr err = sSPBasic->ReleaseSuite(row.name, row.version);
  StoreSuite(row, nullptr);
  return err;
}

}  // namespace

void* Suites::operator new(std::size_t size) noexcept { return ai::HostAllocate(size); }
void Suites::operator delete(void* block) noexcept { ai::HostFree(block); }

Suites::Suites(ImportSuite* imports)
    : fAcquireError(kNoErr), fOptionalCount(0), fRequiredCount(0), fOptionalAcquired(0), fImports(imports) {
  if (fAcquiredCount != 0) {
    // Another object holds the tables already.
    ++fAcquiredCount;
  } else if (sSPBasic == nullptr) {
    fAcquireError = kSuiteNotFoundErr;
  } else {
    bool failed = false;
    for (int i = 0; i < kBasicSuiteRows && !failed; ++i) {
      if (gBasicSuites[i].target == nullptr) continue;
      fAcquireError = acquireRow(gBasicSuites[i]);
      failed = fAcquireError != kNoErr;
    }
    for (const ImportSuite* row = fImports; !failed && row->name != nullptr; ++row) {
      if (row->target == nullptr) continue;
      fAcquireError = acquireRow(*row);
      failed = fAcquireError != kNoErr;
    }
    if (!failed) ++fAcquiredCount;
  }

  const ImportSuite* row = fImports;
  while (row->name != nullptr) ++row;
  fRequiredCount = static_cast<uint16_t>(row - fImports);
  if (row->version == kOptionalSuitesMarker) {
    for (const ImportSuite* opt = row + 1; opt->name != nullptr; ++opt) ++fOptionalCount;
  }
  if (fAcquireError == kNoErr && fOptionalAcquired < fOptionalCount) acquire_Optional_Suites();
}

Suites::~Suites() { ReleaseSuites(); }

void Suites::acquire_Optional_Suites() {
  if (fOptionalAcquired == fOptionalCount || sSPBasic == nullptr) return;
  const ImportSuite* row = fImports + fRequiredCount + 1;
  for (uint16_t i = 0; i < fOptionalCount; ++i, ++row) {
    if (row->target == nullptr) break;
    if (LoadSuite(*row) != nullptr) continue;
    if (acquireRow(*row) == kNoErr) ++fOptionalAcquired;
    else StoreSuite(*row, nullptr);
  }
}

ASErr Suites::ReleaseSuites() {
  // The count never falls below 0, so that a release too many cannot stop the next acquisition.
  if (fAcquiredCount > 0) --fAcquiredCount;
  if (fAcquiredCount != 0) return kNoErr;
  if (sSPBasic == nullptr) return kNoErr;
  for (int i = 0; i < kBasicSuiteRows; ++i) {
    const ASErr err = releaseRow(gBasicSuites[i]);
    if (err != kNoErr) return err;
  }
  const ImportSuite* row = fImports;
  for (; row->name != nullptr; ++row) {
    const ASErr err = releaseRow(*row);
    if (err != kNoErr) return err;
  }
  if (row->version == kOptionalSuitesMarker) {
    // Only a row that holds a suite counts against the acquired ones: a missing optional suite
    // before an acquired one must not end the walk early and leave that one held.
    for (const ImportSuite* opt = row + 1; fOptionalAcquired > 0 && opt->name != nullptr; ++opt) {
      if (opt->target == nullptr || LoadSuite(*opt) == nullptr) continue;
      const ASErr err = releaseRow(*opt);
      --fOptionalAcquired;
      if (err != kNoErr) return err;
    }
  }
  return kNoErr;
}
