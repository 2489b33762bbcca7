// The plug-in's resources as a Windows resource script, which the Windows build compiles into the
// module with windres: the property list, string lists and PNG tool image as resources of their
// own types, the dialogs as dialog templates (in dialog units, font "MS Sans Serif" 8 point), the
// preset lists as menus of one popup, and the cursor as a cursor file beside the script.
#ifndef SARVELLO_RESOURCES_RCSCRIPT_H
#define SARVELLO_RESOURCES_RCSCRIPT_H

#include <string>
#include <vector>

#include "ResourceFile.h"
#include "ResourceSources.h"

namespace sarvello::res {

// Writes the script for the manifest's entries to `path`, and each cursor's file beside it
// (tool-cursor.png becomes tool-cursor.cur). The tool icon (type ICON) is left out: a Windows
// host binds the tool's icon to the PNG tool image. Throws SourceError.
void writeRcScript(const std::vector<ManifestEntry>& entries, const std::string& path);

// A Windows cursor file holding one 32-bit image with its mask, made from a PNG image, with the
// given hot spot. Throws SourceError naming `where` when the PNG cannot be read.
Bytes cursorFile(const Bytes& png, int hotX, int hotY, const std::string& where);

}  // namespace sarvello::res

#endif
