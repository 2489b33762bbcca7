// What the stand-in host asks of the operating system, in one place: loading a module's code and
// binding its clock, reading the plug-in resources a module file holds, the files the host reads
// and replaces whole, the running program's file, where the user's preferences live and the
// system's opener of web addresses. Posix*.cpp
// serve Linux, Windows*.cpp serve Windows; the build takes one set.
#ifndef SARVELLO_SIMHOST_PLATFORM_PLATFORM_H
#define SARVELLO_SIMHOST_PLATFORM_PLATFORM_H

#include <cstdio>
#include <optional>
#include <string>

#include "ResourceFile.h"

namespace simhost::platform {

// Loads a module's code (RTLD_NOW | RTLD_LOCAL; LoadLibrary). None, with the system's reason in
// *error, when it cannot be loaded.
void* loadModule(const std::string& path, std::string* error);
// The address of an exported function of a loaded module; none when it exports no such name.
void* moduleSymbol(void* module, const std::string& name);
void unloadModule(void* module);
// True while the system has the code of the module file at `path` loaded in this process.
bool moduleLoaded(const std::string& path);

// Points the loaded module's own references to the system's wall clock at the host's clock
// (core/HostClock.h), and nothing else in the process. Answers the number of references
// rebound, or -1 with the reason in *error when the module's tables cannot be read or written.
int bindModuleClock(void* module, std::string* error);

// The plug-in resources a module file holds: the ELF section .sarvello_rsrc on Linux, the PE
// resource directory on Windows. None, with the reason in *error, for a file of another format
// or damaged resources.
std::optional<sarvello::res::ResourceFile> moduleResources(const sarvello::res::Bytes& file,
                                                           std::string* error);

// Files, named by UTF-8 paths on every system. Each failure gives the system's reason in
// *reason; nothing is left behind by a write that fails.
//
// Opens a file to read its bytes; null when it cannot be opened.
std::FILE* openForReading(const std::string& path, std::string* reason);
// Writes bytes to a new file beside `path` under a name no other file has, flushed to the disk
// and with the permissions of any new file; its name in *temp.
bool writeNewFileBeside(const std::string& path, const std::string& bytes, std::string* temp,
                        std::string* reason);
// Puts the file `from` in the place of `to` in one step: readers of `to` see the old file or the
// new one, never neither.
bool replaceFile(const std::string& from, const std::string& to, std::string* reason);
void removeFile(const std::string& path);

// The running program's file; empty when the system does not say.
std::string programPath();

// Where the preference file lives by default: $XDG_CONFIG_HOME/sarvello/preferences.ini or
// ~/.config/sarvello/preferences.ini on Linux, %APPDATA%\Sarvello\preferences.ini on Windows;
// empty when the environment names no such folder.
std::string defaultPreferencesPath();

// Hands a web address to the system's opener (xdg-open, the shell's default browser), never
// through a command interpreter. False when there is no opener or it cannot be started.
bool openWithSystem(const std::string& url);

}  // namespace simhost::platform

#endif
