// The resource compiler: turns the readable sources listed in a manifest into the plug-in's
// resource file, which the build embeds into the module.
//
//   rescomp <manifest> <output>
//
// Each manifest line is "<type> <id> <kind> <source> [arguments]". Sources
// are read relative to the manifest's folder; a line whose first word starts with "#" is a comment
// (a type such as "STR#" is not). Kinds:
//   pipl     a property list: lines "<vendor> <key> <value>", value an integer, a "quoted string"
//            (stored zero-terminated) or a bare four-character code
//   strings  a string list: one string a line (blank lines and lines starting with "#" skipped)
//   errors   a string list of code/message pairs, checked: an even count, codes of at most
//            9 characters, messages under 120 characters holding exactly one "%s" and no other "%"
//   file     the file's bytes as they are (images)
//   cursor   a PNG image with its hot spot: arguments <x> <y>
//   dialog   a dialog: lines "title "<text>"", "size <width> <height>" and one
//            "item <id> <kind> <x> <y> <width> <height> "<text>"" an item (kinds: text, spinedit,
//            button, group), stored as a string list
//   menu     a popup menu: argument <name>, the name of a line "<name> <entry> <entry> ..." of the
//            source, stored as a string list (the name, then the entries)
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ResourceFile.h"

using namespace sarvello::res;

namespace {

struct Failure {
  std::string text;
};

[[noreturn]] void fail(const std::string& where, const std::string& why) { throw Failure{where + ": " + why}; }

std::string directoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

Bytes load(const std::string& path, const std::string& where) {
  std::string error;
  auto bytes = readFile(path, &error);
  if (!bytes) fail(where, "cannot read " + path + ": " + error);
  return *bytes;
}

std::vector<std::string> lines(const std::string& path, const std::string& where) {
  const Bytes bytes = load(path, where);
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

long integer(const std::string& text, const std::string& where) {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') fail(where, "\"" + text + "\" is not a number");
  return v;
}

void put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
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
      put32(p.data, std::uint32_t(integer(value, where)));
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

// A quoted text at the end of a line, from the first double quote to the last.
std::string quoted(const std::string& line, const std::string& where) {
  const auto first = line.find('"');
  const auto last = line.rfind('"');
  if (first == std::string::npos || last == first) fail(where, "expected a \"quoted text\"");
  if (line.find_first_not_of(" \t", last + 1) != std::string::npos)
    fail(where, "nothing may follow the quoted text");
  return line.substr(first + 1, last - first - 1);
}

const char* itemKind(const std::string& word, const std::string& where) {
  if (word == "text") return "ADM Text Static Type";
  if (word == "spinedit") return "ADM Spin Edit Popup Type";
  if (word == "button") return "ADM Text Push Button Type";
  if (word == "group") return "ADM Frame Type";
  fail(where, "unknown item kind \"" + word + "\" (text, spinedit, button, group)");
}

// A dialog as a string list: the title, "<width> <height>", then one entry an item:
// "<id>\t<kind>\t<x>\t<y>\t<width>\t<height>\t<text>".
Bytes compileDialog(const std::string& path) {
  std::string title;
  std::string size;
  std::vector<std::string> items;
  int number = 0;
  for (const std::string& line : lines(path, path)) {
    const std::string where = path + ":" + std::to_string(++number);
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word[0] == '#') continue;
    if (word == "title") {
      title = quoted(line, where);
    } else if (word == "size") {
      std::string w, h, rest;
      in >> w >> h;
      if (in >> rest) fail(where, "expected \"size <width> <height>\"");
      const long width = integer(w, where), height = integer(h, where);
      if (width <= 0 || height <= 0) fail(where, "a dialog's size must be positive");
      size = std::to_string(width) + " " + std::to_string(height);
    } else if (word == "item") {
      std::string fields[6];
      for (std::string& f : fields) in >> f;
      std::string entry = std::to_string(integer(fields[0], where));
      entry += std::string("\t") + itemKind(fields[1], where);
      for (int i = 2; i < 6; ++i) entry += "\t" + std::to_string(integer(fields[i], where));
      const std::string text = quoted(line, where);
      if (text.find('\t') != std::string::npos) fail(where, "an item's text may not hold a tab");
      items.push_back(entry + "\t" + text);
    } else {
      fail(where, "expected \"title\", \"size\" or \"item\"");
    }
  }
  if (title.empty() || size.empty()) fail(path, "a dialog needs a title and a size");
  if (items.empty()) fail(path, "a dialog needs at least one item");
  std::vector<std::string> strings{title, size};
  strings.insert(strings.end(), items.begin(), items.end());
  return encodeStringList(strings);
}

Bytes compileMenu(const std::string& path, const std::string& name, const std::string& where) {
  for (const std::string& line : lines(path, path)) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word[0] == '#' || word != name) continue;
    std::vector<std::string> strings{name};
    for (std::string entry; in >> entry;) strings.push_back(entry);
    if (strings.size() < 2) fail(where, "menu \"" + name + "\" has no entries");
    return encodeStringList(strings);
  }
  fail(where, "no menu \"" + name + "\" in " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: rescomp <manifest> <output>\n");
    return 2;
  }
  const std::string manifest = argv[1];
  const std::string base = directoryOf(manifest);
  try {
    ResourceFile file;
    int number = 0;
    for (const std::string& line : lines(manifest, manifest)) {
      const std::string where = manifest + ":" + std::to_string(++number);
      std::istringstream in(line);
      std::vector<std::string> words;
      for (std::string w; in >> w;) words.push_back(w);
      if (words.empty() || words[0][0] == '#') continue;
      if (words.size() < 4) fail(where, "expected \"<type> <id> <kind> <source> [arguments]\"");
      const std::uint32_t type = code(words[0], where);
      const long id = integer(words[1], where);
      const std::string& kind = words[2];
      const std::string source = base + "/" + words[3];
      if (file.find(type, std::int32_t(id)) != nullptr) fail(where, "resource defined twice");
      Bytes data;
      if (kind == "pipl") {
        data = compilePropertyList(source);
      } else if (kind == "strings") {
        data = encodeStringList(readStrings(source));
      } else if (kind == "errors") {
        const auto strings = readStrings(source);
        checkErrorTexts(strings, source);
        data = encodeStringList(strings);
      } else if (kind == "file") {
        data = load(source, where);
      } else if (kind == "cursor") {
        if (words.size() != 6) fail(where, "a cursor needs its hot spot: <x> <y>");
        Cursor c;
        c.png = load(source, where);
        c.hotX = std::int32_t(integer(words[4], where));
        c.hotY = std::int32_t(integer(words[5], where));
        data = encodeCursor(c);
      } else if (kind == "dialog") {
        data = compileDialog(source);
      } else if (kind == "menu") {
        if (words.size() != 5) fail(where, "a menu needs its name: <name>");
        data = compileMenu(source, words[4], where);
      } else {
        fail(where, "unknown kind \"" + kind + "\"");
      }
      file.add(type, std::int32_t(id), std::move(data));
    }
    const Bytes out = file.serialize();
    std::ofstream o(argv[2], std::ios::binary | std::ios::trunc);
    o.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
    if (!o) fail(argv[2], "cannot write");
  } catch (const Failure& f) {
    std::fprintf(stderr, "rescomp: %s\n", f.text.c_str());
    std::remove(argv[2]);
    return 1;
  }
  return 0;
}
