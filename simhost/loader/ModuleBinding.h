// Points a loaded module's own references to C library functions at functions of the host.
//
// The dynamic linker has resolved the module's imports into its global offset table; this
// rewrites the table's slots of the named symbols (and only the module's, so that nothing else
// in the process sees a change). Used to give the module the host's clock.
#ifndef SARVELLO_SIMHOST_LOADER_MODULEBINDING_H
#define SARVELLO_SIMHOST_LOADER_MODULEBINDING_H

#include <string>
#include <vector>

namespace simhost {

struct Rebinding {
  const char* symbol;  // e.g. "gettimeofday"
  void* target;        // what the module calls instead
};

// Rebinds every reference of the module `library` (a handle from dlopen) to the given symbols.
// Answers the number of slots rewritten, or -1 with *error when the module's tables cannot be
// read or written.
int rebindModuleReferences(void* library, const std::vector<Rebinding>& rebindings, std::string* error);

}  // namespace simhost

#endif
