#include "RcScript.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "Png.h"

namespace sarvello::res {
namespace {

[[noreturn]] void fail(const std::string& where, const std::string& why) { throw SourceError(where + ": " + why); }

// A string of the script: doubled double quotes and backslashes; other bytes as they are
// (UTF-8, which the script's code page declares).
std::string rcString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += "\"\"";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out + "\"";
}

// Bytes of a resource of the plug-in's own type, as a block of little-endian words; an odd last
// byte as a one-byte string. windres takes a quoted type name only in this block form.
void writeTyped(std::ostream& out, const ManifestEntry& e, const Bytes& data) {
  std::string type = e.typeName;
  for (char& c : type) c = char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);  // as the tools store it
  std::vector<std::string> words;
  char word[16];
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    std::snprintf(word, sizeof word, "0x%04x", unsigned(data[i] | (data[i + 1] << 8)));
    words.push_back(word);
  }
  if (data.size() % 2 != 0) {
    std::snprintf(word, sizeof word, "\"\\x%02x\"", unsigned(data.back()));
    words.push_back(word);
  }
  out << e.id << " " << rcString(type) << "\nBEGIN";
  for (std::size_t k = 0; k < words.size(); ++k)
    out << (k == 0 ? "\n  " : k % 12 == 0 ? ",\n  " : ", ") << words[k];
  out << "\nEND\n";
}

void writeDialog(std::ostream& out, const ManifestEntry& e) {
  const DialogSource dialog = readDialog(e.source);
  if (dialog.unitsWidth == 0)
    fail(e.source, "a Windows dialog needs its size in dialog units: units <width> <height>");
  out << e.id << " DIALOG 0, 0, " << dialog.unitsWidth << ", " << dialog.unitsHeight << "\n"
      << "STYLE DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU\n"
      << "CAPTION " << rcString(dialog.title) << "\n"
      << "FONT 8, \"MS Sans Serif\"\nBEGIN\n";
  for (const DialogItemSource& item : dialog.items) {
    std::ostringstream place;
    place << item.id << ", " << item.x << ", " << item.y << ", " << item.width << ", " << item.height;
    if (item.kind == "text") out << "  LTEXT " << rcString(item.text) << ", " << place.str() << "\n";
    else if (item.kind == "button") out << "  PUSHBUTTON " << rcString(item.text) << ", " << place.str() << "\n";
    else if (item.kind == "group") out << "  GROUPBOX " << rcString(item.text) << ", " << place.str() << "\n";
    else
      out << "  CONTROL " << rcString(item.text) << ", " << item.id << ", " << rcString(dialogItemType(item.kind))
          << ", WS_TABSTOP, " << item.x << ", " << item.y << ", " << item.width << ", " << item.height << "\n";
  }
  out << "END\n";
}

void writeMenu(std::ostream& out, const ManifestEntry& e) {
  if (e.arguments.size() != 1) fail(e.where, "a menu needs its name: <name>");
  const MenuSource menu = readMenu(e.source, e.arguments[0], e.where);
  out << e.id << " MENU\nBEGIN\n  POPUP " << rcString(menu.name) << "\n  BEGIN\n";
  for (std::size_t k = 0; k < menu.entries.size(); ++k)
    out << "    MENUITEM " << rcString(menu.entries[k]) << ", " << k + 1 << "\n";
  out << "  END\nEND\n";
}

void writeFile(const std::string& path, const std::string& where, const Bytes& bytes) {
  std::ofstream o(path, std::ios::binary | std::ios::trunc);
  o.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!o) fail(where, "cannot write " + path);
}

std::string withoutExtension(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.rfind('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
}

}  // namespace

Bytes cursorFile(const Bytes& png, int hotX, int hotY, const std::string& where) {
  std::string error;
  const auto image = decodePng(png, &error);
  if (!image) fail(where, error);
  const std::uint32_t w = image->width, h = image->height;
  if (w > 256 || h > 256) fail(where, "a cursor is at most 256 pixels on each side");
  if (hotX < 0 || hotY < 0 || std::uint32_t(hotX) >= w || std::uint32_t(hotY) >= h)
    fail(where, "the hot spot lies outside the cursor");

  // The image: a bitmap header (its height counts the colour rows and the mask's), the colours as
  // blue, green, red, alpha from the bottom row up, then the mask (1: transparent), rows of whole
  // 32-bit words, also from the bottom up.
  Bytes bitmap;
  put32(bitmap, 40);
  put32(bitmap, w);
  put32(bitmap, 2 * h);
  put16(bitmap, 1);
  put16(bitmap, 32);
  for (int i = 0; i < 6; ++i) put32(bitmap, 0);
  for (std::uint32_t y = h; y-- > 0;) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::uint8_t* p = &image->pixels[4 * (std::size_t(y) * w + x)];
      bitmap.insert(bitmap.end(), {p[2], p[1], p[0], p[3]});
    }
  }
  const std::size_t maskStride = (std::size_t(w) + 31) / 32 * 4;
  for (std::uint32_t y = h; y-- > 0;) {
    Bytes row(maskStride, 0);
    for (std::uint32_t x = 0; x < w; ++x)
      if (image->pixels[4 * (std::size_t(y) * w + x) + 3] == 0) row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
    bitmap.insert(bitmap.end(), row.begin(), row.end());
  }

  // The file's directory of one cursor: its size (0 stands for 256), the hot spot, where the
  // image lies.
  Bytes file;
  put16(file, 0);
  put16(file, 2);
  put16(file, 1);
  file.push_back(std::uint8_t(w));
  file.push_back(std::uint8_t(h));
  file.push_back(0);
  file.push_back(0);
  put16(file, std::uint32_t(hotX));
  put16(file, std::uint32_t(hotY));
  put32(file, std::uint32_t(bitmap.size()));
  put32(file, 22);
  file.insert(file.end(), bitmap.begin(), bitmap.end());
  return file;
}

void writeRcScript(const std::vector<ManifestEntry>& entries, const std::string& path) {
  std::ostringstream out;
  out << "// The plug-in's resources, written by rescomp from the resource manifest.\n"
      << "#pragma code_page(65001)\n#include <windows.h>\nLANGUAGE LANG_NEUTRAL, SUBLANG_NEUTRAL\n\n";
  for (const ManifestEntry& e : entries) {
    if (e.type == kIconType) continue;
    if (e.kind == "dialog") {
      writeDialog(out, e);
    } else if (e.kind == "menu") {
      writeMenu(out, e);
    } else if (e.kind == "cursor") {
      if (e.arguments.size() != 2) fail(e.where, "a cursor needs its hot spot: <x> <y>");
      const std::string name = e.source.substr(e.source.find_last_of('/') + 1);
      const std::string cursor = directoryOf(path) + "/" + withoutExtension(name) + ".cur";
      writeFile(cursor, e.where,
                cursorFile(readSourceFile(e.source, e.where), sourceInteger(e.arguments[0], e.where),
                           sourceInteger(e.arguments[1], e.where), e.source));
      out << e.id << " CURSOR " << rcString(cursor) << "\n";
    } else {
      writeTyped(out, e, compileEntry(e));
    }
    out << "\n";
  }
  const std::string text = out.str();
  writeFile(path, path, Bytes(text.begin(), text.end()));
}

}  // namespace sarvello::res
