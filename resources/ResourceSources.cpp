#include "ResourceSources.h"

#include <cstdlib>
#include <sstream>

namespace sarvello::res {
namespace {

[[noreturn]] void fail(const std::string& where, const std::string& why) { throw SourceError(where + ": " + why); }

std::vector<std::string> lines(const std::string& path, const std::string& where) {
  const Bytes bytes = readSourceFile(path, where);
  std::vector<std::string> out;
  std::string line;
  for (std::uint8_t b : bytes) {
    if (b == '\n') {
      out.push_back(line);
      line.clear();
    } else if (b != '\r') {
      line += char(b);
    }
  }
  if (!line.empty()) out.push_back(line);
  return out;
}

std::uint32_t code(const std::string& text, const std::string& where) {
  if (text.size() != 4) fail(where, "\"" + text + "\" is not a four-character code");
  return (std::uint32_t(std::uint8_t(text[0])) << 24) | (std::uint32_t(std::uint8_t(text[1])) << 16) |
         (std::uint32_t(std::uint8_t(text[2])) << 8) | std::uint32_t(std::uint8_t(text[3]));
}

// A quoted text at the end of a line, from the first double quote to the last.
std::string quoted(const std::string& line, const std::string& where) {
  const auto first = line.find('"');
  const auto last = line.rfind('"');
  if (first == std::string::npos || last == first) fail(where, "expected a \"quoted text\"");
  if (line.find_first_not_of(" \t", last + 1) != std::string::npos)
    fail(where, "nothing may follow the quoted text");
  return line.substr(first + 1, last - first - 1);
}

// "<width> <height>", both positive, and nothing after them.
void readSize(std::istringstream& in, const std::string& keyword, const std::string& where, std::int32_t* width,
              std::int32_t* height) {
  std::string w, h, rest;
  in >> w >> h;
  if (in >> rest) fail(where, "expected \"" + keyword + " <width> <height>\"");
  *width = sourceInteger(w, where);
  *height = sourceInteger(h, where);
  if (*width <= 0 || *height <= 0) fail(where, "a dialog's " + keyword + " must be positive");
}

}  // namespace

Bytes readSourceFile(const std::string& path, const std::string& where) {
  std::string error;
  auto bytes = readFile(path, &error);
  if (!bytes) fail(where, "cannot read " + path + ": " + error);
  return *bytes;
}

std::int32_t sourceInteger(const std::string& text, const std::string& where) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') fail(where, "\"" + text + "\" is not a number");
  if (v < INT32_MIN || v > INT32_MAX) fail(where, "\"" + text + "\" is out of range");
  return std::int32_t(v);
}

std::vector<ManifestEntry> readManifest(const std::string& path) {
  const std::string base = directoryOf(path);
  std::vector<ManifestEntry> entries;
  int number = 0;
  for (const std::string& line : lines(path, path)) {
    const std::string where = path + ":" + std::to_string(++number);
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    if (words.empty() || words[0][0] == '#') continue;
    if (words.size() < 4) fail(where, "expected \"<type> <id> <kind> <source> [arguments]\"");
    ManifestEntry e;
    e.typeName = words[0];
    e.type = code(words[0], where);
    e.id = sourceInteger(words[1], where);
    e.kind = words[2];
    e.source = base + "/" + words[3];
    e.arguments.assign(words.begin() + 4, words.end());
    e.where = where;
    for (const ManifestEntry& other : entries)
      if (other.type == e.type && other.id == e.id) fail(where, "resource defined twice");
    entries.push_back(std::move(e));
  }
  return entries;
}

Bytes compilePropertyList(const std::string& path) {
  std::vector<Property> properties;
  int number = 0;
  for (const std::string& line : lines(path, path)) {
    const std::string where = path + ":" + std::to_string(++number);
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    std::string vendor, key;
    in >> vendor >> key >> std::ws;
    std::string value;
    std::getline(in, value);
    if (value.empty()) fail(where, "expected \"<vendor> <key> <value>\"");
    Property p;
    p.vendor = code(vendor, where);
    p.key = code(key, where);
    if (value.front() == '"') {
      if (value.size() < 2 || value.back() != '"') fail(where, "unterminated string");
      const std::string text = value.substr(1, value.size() - 2);
      p.data.assign(text.begin(), text.end());
      p.data.push_back(0);
    } else if (value.size() == 4 && !(value[0] >= '0' && value[0] <= '9') && value[0] != '-') {
      put32(p.data, code(value, where));
    } else {
      put32(p.data, std::uint32_t(sourceInteger(value, where)));
    }
    properties.push_back(std::move(p));
  }
  return encodePropertyList(properties);
}

std::vector<std::string> readStrings(const std::string& path) {
  std::vector<std::string> strings;
  for (const std::string& line : lines(path, path)) {
    if (line.empty() || line[0] == '#') continue;
    strings.push_back(line);
  }
  return strings;
}

void checkErrorTexts(const std::vector<std::string>& strings, const std::string& path) {
  if (strings.empty() || strings.size() % 2 != 0)
    fail(path, "error texts must be code/message pairs, ending with the catch-all message");
  for (std::size_t i = 0; i < strings.size(); i += 2) {
    const std::string& c = strings[i];
    const std::string& m = strings[i + 1];
    const std::string where = path + ": entry " + std::to_string(i + 1);
    if (c.size() > 9) fail(where, "code \"" + c + "\" is longer than 9 characters");
    if (m.size() >= 120) fail(where, "message is 120 characters or longer");
    const auto first = m.find('%');
    if (first == std::string::npos || m.compare(first, 2, "%s") != 0 ||
        m.find('%', first + 1) != std::string::npos)
      fail(where, "message must hold exactly one \"%s\" and no other \"%\"");
  }
}

const char* dialogItemType(const std::string& kind) {
  if (kind == "text") return "ADM Text Static Type";
  if (kind == "spinedit") return "ADM Spin Edit Popup Type";
  if (kind == "button") return "ADM Text Push Button Type";
  if (kind == "group") return "ADM Frame Type";
  return nullptr;
}

DialogSource readDialog(const std::string& path) {
  DialogSource dialog;
  int number = 0;
  for (const std::string& line : lines(path, path)) {
    const std::string where = path + ":" + std::to_string(++number);
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word[0] == '#') continue;
    if (word == "title") {
      dialog.title = quoted(line, where);
    } else if (word == "size") {
      readSize(in, "size", where, &dialog.width, &dialog.height);
    } else if (word == "units") {
      readSize(in, "units", where, &dialog.unitsWidth, &dialog.unitsHeight);
    } else if (word == "item") {
      std::string fields[6];
      for (std::string& f : fields) in >> f;
      DialogItemSource item;
      item.id = sourceInteger(fields[0], where);
      item.kind = fields[1];
      if (dialogItemType(item.kind) == nullptr)
        fail(where, "unknown item kind \"" + item.kind + "\" (text, spinedit, button, group)");
      item.x = sourceInteger(fields[2], where);
      item.y = sourceInteger(fields[3], where);
      item.width = sourceInteger(fields[4], where);
      item.height = sourceInteger(fields[5], where);
      item.text = quoted(line, where);
      if (item.text.find('\t') != std::string::npos) fail(where, "an item's text may not hold a tab");
      dialog.items.push_back(std::move(item));
    } else {
      fail(where, "expected \"title\", \"size\", \"units\" or \"item\"");
    }
  }
  if (dialog.title.empty() || dialog.width == 0) fail(path, "a dialog needs a title and a size");
  if (dialog.items.empty()) fail(path, "a dialog needs at least one item");
  return dialog;
}

// A dialog as a string list: the title, "<width> <height>", then one entry an item:
// "<id>\t<kind>\t<x>\t<y>\t<width>\t<height>\t<text>".
Bytes encodeDialog(const DialogSource& dialog) {
  std::vector<std::string> strings{dialog.title,
                                   std::to_string(dialog.width) + " " + std::to_string(dialog.height)};
  for (const DialogItemSource& item : dialog.items) {
    strings.push_back(std::to_string(item.id) + "\t" + dialogItemType(item.kind) + "\t" + std::to_string(item.x) +
                      "\t" + std::to_string(item.y) + "\t" + std::to_string(item.width) + "\t" +
                      std::to_string(item.height) + "\t" + item.text);
  }
  return encodeStringList(strings);
}

MenuSource readMenu(const std::string& path, const std::string& name, const std::string& where) {
  for (const std::string& line : lines(path, path)) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word[0] == '#' || word != name) continue;
    MenuSource menu{name, {}};
    for (std::string entry; in >> entry;) menu.entries.push_back(entry);
    if (menu.entries.empty()) fail(where, "menu \"" + name + "\" has no entries");
    return menu;
  }
  fail(where, "no menu \"" + name + "\" in " + path);
}

Bytes encodeMenu(const MenuSource& menu) {
  std::vector<std::string> strings{menu.name};
  strings.insert(strings.end(), menu.entries.begin(), menu.entries.end());
  return encodeStringList(strings);
}

Bytes compileEntry(const ManifestEntry& e) {
  const auto arguments = [&](std::size_t n, const char* what) {
    if (e.arguments.size() != n) fail(e.where, what);
  };
  if (e.kind == "pipl") return compilePropertyList(e.source);
  if (e.kind == "strings") return encodeStringList(readStrings(e.source));
  if (e.kind == "errors") {
    const auto strings = readStrings(e.source);
    checkErrorTexts(strings, e.source);
    return encodeStringList(strings);
  }
  if (e.kind == "file") return readSourceFile(e.source, e.where);
  if (e.kind == "cursor") {
    arguments(2, "a cursor needs its hot spot: <x> <y>");
    Cursor c;
    c.png = readSourceFile(e.source, e.where);
    c.hotX = sourceInteger(e.arguments[0], e.where);
    c.hotY = sourceInteger(e.arguments[1], e.where);
    return encodeCursor(c);
  }
  if (e.kind == "dialog") return encodeDialog(readDialog(e.source));
  if (e.kind == "menu") {
    arguments(1, "a menu needs its name: <name>");
    return encodeMenu(readMenu(e.source, e.arguments[0], e.where));
  }
  fail(e.where, "unknown kind \"" + e.kind + "\"");
}

std::string directoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace sarvello::res
