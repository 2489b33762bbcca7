// The readable sources of the plug-in's resources and their manifest, read and checked for the
// resource compiler, which writes them as the resource file (Linux) or as a Windows resource
// script (rescomp.cpp). Every reader throws SourceError naming the file and line.
#ifndef SARVELLO_RESOURCES_RESOURCESOURCES_H
#define SARVELLO_RESOURCES_RESOURCESOURCES_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "ResourceFile.h"

namespace sarvello::res {

class SourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One line of the manifest: "<type> <id> <kind> <source> [arguments]".
struct ManifestEntry {
  std::string typeName;  // "STR#"
  std::uint32_t type = 0;
  std::int32_t id = 0;
  std::string kind;    // pipl, strings, errors, file, cursor, dialog, menu
  std::string source;  // the source's path, relative to the manifest's folder resolved
  std::vector<std::string> arguments;
  std::string where;  // "<manifest>:<line>", for messages
};
std::vector<ManifestEntry> readManifest(const std::string& path);

// A dialog: its title, its size in pixels, the size of its Windows template in dialog units
// (zero when the source gives none) and its items in resource order.
struct DialogItemSource {
  std::int32_t id = 0;
  std::string kind;  // text, spinedit, button, group
  std::int32_t x = 0, y = 0, width = 0, height = 0;
  std::string text;
};
struct DialogSource {
  std::string title;
  std::int32_t width = 0, height = 0;
  std::int32_t unitsWidth = 0, unitsHeight = 0;
  std::vector<DialogItemSource> items;
};
DialogSource readDialog(const std::string& path);
// The dialog manager's name of an item kind ("ADM Text Static Type").
const char* dialogItemType(const std::string& kind);

// A popup menu: its name and its entries in order.
struct MenuSource {
  std::string name;
  std::vector<std::string> entries;
};
MenuSource readMenu(const std::string& path, const std::string& name, const std::string& where);

// The other kinds, as the bytes they are stored as on every platform.
Bytes compilePropertyList(const std::string& path);
std::vector<std::string> readStrings(const std::string& path);
// Checks error texts: code/message pairs, codes of at most 9 characters, messages under 120
// characters holding exactly one "%s" and no other "%".
void checkErrorTexts(const std::vector<std::string>& strings, const std::string& path);
Bytes readSourceFile(const std::string& path, const std::string& where);
// The folder of a source file's path ("." for a bare name), where the files it names are found.
std::string directoryOf(const std::string& path);
std::int32_t sourceInteger(const std::string& text, const std::string& where);

// The stored forms of dialogs and menus: string lists (docs/RESOURCES.md).
Bytes encodeDialog(const DialogSource& dialog);
Bytes encodeMenu(const MenuSource& menu);

// The data of one manifest entry as the resource file stores it.
Bytes compileEntry(const ManifestEntry& entry);

}  // namespace sarvello::res

#endif
