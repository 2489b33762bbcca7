// Acquisition of the host's suites by table: the frame's basic suites and the plug-in's own table,
// with an optional section after an "OPTS" terminator. One object holds them while it lives.
#ifndef SARVELLO_HOST_SUITES_H
#define SARVELLO_HOST_SUITES_H

#include <cstddef>

#include "HostAPI.h"
#include "SarvelloSuites.h"

// The frame's own suites: exactly 5 rows, walked by count.
inline constexpr int kBasicSuiteRows = 5;
extern ImportSuite gBasicSuites[kBasicSuiteRows];

// A terminator row with this version starts the optional section of an import table.
inline constexpr int32_t kOptionalSuitesMarker = AS_FOURCC('O', 'P', 'T', 'S');

class Suites {
 public:
  // Acquires the basic rows and the rows of `imports` (the plug-in's gImportSuites unless a
  // different table is given); the outcome is in fAcquireError.
  explicit Suites(ImportSuite* imports = gImportSuites);
  ~Suites();
  Suites(const Suites&) = delete;
  Suites& operator=(const Suites&) = delete;

  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* block) noexcept;

  ASErr Error() const { return fAcquireError; }
  // 0, or the code of the first release that failed.
  ASErr ReleaseSuites();
  // Tries again the optional rows that are still missing.
  void acquire_Optional_Suites();

  uint16_t optionalCount() const { return fOptionalCount; }
  uint16_t requiredCount() const { return fRequiredCount; }
  uint16_t optionalAcquired() const { return fOptionalAcquired; }

  // How many Suites objects currently hold the tables.
  static int16_t fAcquiredCount;

 private:
  ASErr fAcquireError;
  uint16_t fOptionalCount;
  uint16_t fRequiredCount;
  uint16_t fOptionalAcquired;
  ImportSuite* fImports;
};

#endif
