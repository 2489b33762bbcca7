// The plug-in's resources as a Windows module holds them, read from the PE file's bytes without
// loading it: the resource directory, and the Windows forms of the resources (dialog and menu
// templates, cursor groups, the plug-in's own typed resources) turned into the resource file's
// model, which the host's dialog manager and tool side read on every platform. The reader checks
// every offset and size against the file, so it runs on any file, and on Linux as well.
#ifndef SARVELLO_RESOURCES_PERESOURCES_H
#define SARVELLO_RESOURCES_PERESOURCES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ResourceFile.h"

namespace sarvello::res {

// Windows resource types by number.
inline constexpr std::uint16_t kPeCursor = 1;
inline constexpr std::uint16_t kPeMenu = 4;
inline constexpr std::uint16_t kPeDialog = 5;
inline constexpr std::uint16_t kPeGroupCursor = 12;

// A type or an id of the resource directory: a number, or a name (UTF-8) when `named`.
struct PeName {
  bool named = false;
  std::uint16_t number = 0;
  std::string name;
};

struct PeResource {
  PeName type;
  PeName id;
  std::uint16_t language = 0;
  Bytes data;
};

// More resources than this in one file, or more entries of its directory's tables than this
// visited in all, are refused.
inline constexpr std::size_t kMaxPeResources = 4096;
inline constexpr std::size_t kMaxPeDirectoryEntries = 65536;

// Every resource of a PE file (32- or 64-bit), in the directory's order. None, and the reason in
// *error, when the file is not a PE file or its resource directory is damaged.
std::optional<std::vector<PeResource>> readPeResources(const Bytes& file, std::string* error);

// The plug-in's resources in a PE file, in the model of the resource file:
// - the types of the plug-in's own, stored under their names (windres writes a type's name in
//   upper case): "PIPL" as PiPL, "STR#" as STR#, "PNGI" as PNGI, their bytes as they are;
// - dialog templates (DIALOG and DIALOGEX) as DLOG: the title, the template's size, then each
//   item (id, the dialog manager's kind, x, y, width, height, text), in the template's units,
//   which the host's dialog manager lays out one to a pixel; a button whose style is a group box
//   is an "ADM Frame Type", other buttons are push buttons, static controls are static texts,
//   and a control of a named class takes the name as its kind;
// - menu templates holding one popup as MENU: the popup's name, then its entries;
// - cursor groups as CURS: the hot spot and the image of the group's first cursor as a PNG.
// Resources of other types, and those with named ids, are left out; of several languages the
// first is taken. None, with the reason in *error, when the file cannot be read or one of these
// resources is damaged.
std::optional<ResourceFile> resourcesFromPe(const Bytes& file, std::string* error);

}  // namespace sarvello::res

#endif
