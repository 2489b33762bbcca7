// The resource compiler: turns the readable sources listed in a manifest into the plug-in's
// resources, in one of two forms:
//
//   rescomp <manifest> <output>          the resource file, which the Linux build embeds into the
//                                        module (docs/RESOURCES.md)
//   rescomp --rc <manifest> <output.rc>  a Windows resource script, with each cursor's file
//                                        beside it, which the Windows build compiles into the
//                                        module with windres
//
// Each manifest line is "<type> <id> <kind> <source> [arguments]". Sources are read relative to
// the manifest's folder; a line whose first word starts with "#" is a comment (a type such as
// "STR#" is not). Kinds:
//   pipl     a property list: lines "<vendor> <key> <value>", value an integer, a "quoted string"
//            (stored zero-terminated) or a bare four-character code
//   strings  a string list: one string a line (blank lines and lines starting with "#" skipped)
//   errors   a string list of code/message pairs, checked: an even count, codes of at most
//            9 characters, messages under 120 characters holding exactly one "%s" and no other "%"
//   file     the file's bytes as they are (images)
//   cursor   a PNG image with its hot spot: arguments <x> <y>
//   dialog   a dialog: lines "title "<text>"", "size <width> <height>" (pixels), "units <width>
//            <height>" (the Windows template's size in dialog units) and one
//            "item <id> <kind> <x> <y> <width> <height> "<text>"" an item (kinds: text, spinedit,
//            button, group)
//   menu     a popup menu: argument <name>, the name of a line "<name> <entry> <entry> ..." of the
//            source
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "RcScript.h"
#include "ResourceFile.h"
#include "ResourceSources.h"

using namespace sarvello::res;

int main(int argc, char** argv) {
  const bool script = argc == 4 && std::strcmp(argv[1], "--rc") == 0;
  if (argc != 3 && !script) {
    std::fprintf(stderr, "usage: rescomp <manifest> <output>\n       rescomp --rc <manifest> <output.rc>\n");
    return 2;
  }
  const std::string manifest = argv[argc - 2];
  const std::string output = argv[argc - 1];
  try {
    const std::vector<ManifestEntry> entries = readManifest(manifest);
    if (script) {
      writeRcScript(entries, output);
      return 0;
    }
    ResourceFile file;
    for (const ManifestEntry& e : entries) file.add(e.type, e.id, compileEntry(e));
    const Bytes out = file.serialize();
    std::ofstream o(output, std::ios::binary | std::ios::trunc);
    o.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    if (!o) throw SourceError(output + ": cannot write");
  } catch (const SourceError& e) {
    std::fprintf(stderr, "rescomp: %s\n", e.what());
    std::remove(output.c_str());
    return 1;
  }
  return 0;
}
