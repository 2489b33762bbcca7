// The AI Preference store kept in a small, human-readable file between runs of the host:
//
//   # Sarvello host preferences
//   [SarvelloADMNonModalDialog]
//   kADM_DPDockCodeStr = integer 7168
//   kADM_DPDockGroupStr = string "Sarvello Dialogs"
//   kADM_DPLocationStr = point 1240 693
//   kADM_DPVisibleStr = boolean true
//
// Names that are not plain words are written as quoted strings; strings escape \ " and control
// characters. A file that does not follow this form is refused as a whole and left untouched.

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "core/Files.h"
#include "core/HostImpl.h"
#include "platform/Platform.h"

namespace simhost {
namespace {

bool plainName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (!(std::isalnum(c) || c == '_' || c == '.' || c == '-')) return false;
  return true;
}

std::string quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string name(const std::string& text) { return plainName(text) ? text : quote(text); }

// Reads a line's pieces; every failure throws the reason.
class LineReader {
 public:
  explicit LineReader(const std::string& line) : line_(line) {}

  void skipSpace() {
    while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t')) ++pos_;
  }
  bool atEnd() {
    skipSpace();
    return pos_ == line_.size();
  }
  bool take(char c) {
    skipSpace();
    if (pos_ < line_.size() && line_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  void expect(char c) {
    if (!take(c)) throw std::string("expected '") + c + "'";
  }
  std::string word() {
    skipSpace();
    const std::size_t start = pos_;
    while (pos_ < line_.size() && line_[pos_] != ' ' && line_[pos_] != '\t' &&
           line_[pos_] != '=' && line_[pos_] != ']')
      ++pos_;
    if (pos_ == start) throw std::string("expected a word");
    return line_.substr(start, pos_ - start);
  }
  std::string quoted() {
    skipSpace();
    if (pos_ >= line_.size() || line_[pos_] != '"') throw std::string("expected a quoted string");
    ++pos_;
    std::string out;
    while (true) {
      if (pos_ >= line_.size()) throw std::string("unterminated string");
      const char c = line_[pos_++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= line_.size()) throw std::string("unterminated string");
      const char e = line_[pos_++];
      switch (e) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
          if (pos_ + 2 > line_.size()) throw std::string("bad \\x escape");
          const std::string hex = line_.substr(pos_, 2);
          char* end = nullptr;
          const long v = std::strtol(hex.c_str(), &end, 16);
          if (end != hex.c_str() + 2) throw std::string("bad \\x escape");
          out += static_cast<char>(v);
          pos_ += 2;
          break;
        }
        default: throw std::string("unknown escape \\") + e;
      }
    }
  }
  std::string nameOrQuoted() {
    skipSpace();
    return pos_ < line_.size() && line_[pos_] == '"' ? quoted() : word();
  }
  int32_t integer() {
    const std::string w = word();
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(w.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < std::numeric_limits<int32_t>::min() ||
        v > std::numeric_limits<int32_t>::max())
      throw "\"" + w + "\" is not a 32-bit integer";
    return static_cast<int32_t>(v);
  }

 private:
  const std::string& line_;
  std::size_t pos_ = 0;
};

template <class T>
T coordinate(int32_t value) {
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
    throw std::string("a point's coordinate is out of range");
  return static_cast<T>(value);
}

// Parses the whole text; throws "line N: reason".
std::map<PreferenceKey, Preference> parse(const std::string& text) {
  std::map<PreferenceKey, Preference> store;
  std::istringstream in(text);
  std::string line;
  std::string section;
  bool haveSection = false;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    try {
      LineReader r(line);
      if (r.atEnd() || r.take('#')) continue;
      if (r.take('[')) {
        section = r.nameOrQuoted();
        r.expect(']');
        if (!r.atEnd()) throw std::string("text after the section name");
        haveSection = true;
        continue;
      }
      if (!haveSection) throw std::string("a value before the first [section]");
      const std::string key = r.nameOrQuoted();
      r.expect('=');
      const std::string type = r.word();
      Preference p;
      if (type == "integer") {
        p.kind = Preference::Integer;
        p.integer = r.integer();
      } else if (type == "boolean") {
        p.kind = Preference::Boolean;
        const std::string v = r.word();
        if (v != "true" && v != "false") throw std::string("a boolean is true or false");
        p.integer = v == "true" ? 1 : 0;
      } else if (type == "string") {
        p.kind = Preference::String;
        p.text = r.quoted();
      } else if (type == "point") {
        p.kind = Preference::Point;
        p.point.h = coordinate<decltype(p.point.h)>(r.integer());
        p.point.v = coordinate<decltype(p.point.v)>(r.integer());
      } else {
        throw "unknown type \"" + type + "\"";
      }
      if (!r.atEnd()) throw std::string("text after the value");
      store[PreferenceKey{section, key}] = std::move(p);
    } catch (const std::string& why) {
      throw "line " + std::to_string(number) + ": " + why;
    }
  }
  return store;
}

std::string format(const std::map<PreferenceKey, Preference>& store) {
  std::string out = "# Sarvello host preferences\n";
  const std::string* section = nullptr;
  for (const auto& [key, p] : store) {
    if (section == nullptr || *section != key.first) {
      section = &key.first;
      out += "[" + name(key.first) + "]\n";
    }
    out += name(key.second) + " = ";
    switch (p.kind) {
      case Preference::Integer: out += "integer " + std::to_string(p.integer); break;
      case Preference::Boolean: out += std::string("boolean ") + (p.integer ? "true" : "false"); break;
      case Preference::String: out += "string " + quote(p.text); break;
      case Preference::Point:
        out += "point " + std::to_string(p.point.h) + " " + std::to_string(p.point.v);
        break;
    }
    out += "\n";
  }
  return out;
}

}  // namespace

std::string Host::defaultPreferencesPath() { return platform::defaultPreferencesPath(); }

bool Host::usePreferencesFile(const std::string& path, std::string* warning) {
  impl_->preferencesFile = path;
  impl_->preferences.clear();
  if (path.empty()) return true;
  const std::filesystem::path file = pathFromUtf8(path);
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  if (status.type() == std::filesystem::file_type::not_found) return true;  // first start
  auto fail = [&](const std::string& why) {
    if (warning != nullptr)
      *warning = "preferences " + path + ": " + why + "; using the defaults (the file is kept)";
    return false;
  };
  if (ec) return fail(ec.message());
  if (status.type() != std::filesystem::file_type::regular) return fail("not a regular file");
  std::ifstream in(file, std::ios::binary);
  if (!in) return fail(std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return fail("cannot be read");
  try {
    impl_->preferences = parse(text.str());
  } catch (const std::string& why) {
    return fail(why);
  }
  return true;
}

bool Host::savePreferences(std::string* error) const {
  const std::string& path = impl_->preferencesFile;
  if (path.empty()) return true;
  auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = "cannot save preferences " + path + ": " + why;
    return false;
  };
  const std::filesystem::path target = pathFromUtf8(path);
  std::error_code ec;
  // The save replaces the file by renaming a new one over it; something that is not a regular
  // file (a device, a named pipe, a folder) is never replaced.
  const std::filesystem::file_status status = std::filesystem::status(target, ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    return fail("not a regular file; left as it is");
  ec.clear();
  if (target.has_parent_path()) {
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec) return fail(ec.message());
  }
  // A new file beside it, renamed over it in one step: a reader sees the old preferences or the
  // new ones.
  std::string temporary, why;
  if (!platform::writeNewFileBeside(path, format(impl_->preferences), &temporary, &why) ||
      !platform::replaceFile(temporary, path, &why)) {
    if (!temporary.empty()) platform::removeFile(temporary);
    return fail(why);
  }
  return true;
}

}  // namespace simhost
