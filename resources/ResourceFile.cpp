#include "ResourceFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sarvello::res {
namespace {

constexpr std::uint8_t kMagic[4] = {'S', 'R', 'S', 'C'};
constexpr std::uint32_t kFormatVersion = 1;
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kEntrySize = 16;

void set32(Bytes& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = std::uint8_t(v >> (8 * i));
}

// Little-endian reads that check their bounds.
class Reader {
 public:
  Reader(const Bytes& bytes, std::size_t begin = 0, std::size_t end = SIZE_MAX)
      : b_(bytes), pos_(begin), end_(end < bytes.size() ? end : bytes.size()) {}
  bool u16(std::uint16_t* v) { return get(2, v); }
  bool u32(std::uint32_t* v) { return get(4, v); }
  bool u64(std::uint64_t* v) { return get(8, v); }
  bool bytes(std::size_t n, Bytes* out) {
    if (n > end_ - pos_) return false;
    out->assign(b_.begin() + long(pos_), b_.begin() + long(pos_ + n));
    pos_ += n;
    return true;
  }
  std::size_t pos() const { return pos_; }
  std::size_t left() const { return end_ - pos_; }

 private:
  template <typename T>
  bool get(std::size_t n, T* v) {
    if (n > end_ - pos_) return false;
    T r = 0;
    for (std::size_t i = 0; i < n; ++i) r |= T(b_[pos_ + i]) << (8 * i);
    *v = r;
    pos_ += n;
    return true;
  }
  const Bytes& b_;
  std::size_t pos_;
  std::size_t end_;
};

void fail(std::string* error, const std::string& why) {
  if (error != nullptr) *error = why;
}

}  // namespace

std::string fourccText(std::uint32_t code) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = char((code >> shift) & 0xFF);
    s += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return s;
}

void ResourceFile::add(std::uint32_t type, std::int32_t id, Bytes data) {
  resources_[{type, id}] = std::move(data);
}

const Bytes* ResourceFile::find(std::uint32_t type, std::int32_t id) const {
  const auto it = resources_.find({type, id});
  return it == resources_.end() ? nullptr : &it->second;
}

Bytes ResourceFile::serialize() const {
  Bytes out(kMagic, kMagic + 4);
  put32(out, kFormatVersion);
  put32(out, std::uint32_t(resources_.size()));
  const std::size_t directory = out.size();
  out.resize(directory + kEntrySize * resources_.size());
  std::size_t entry = directory;
  for (const auto& [key, data] : resources_) {
    while (out.size() % 4 != 0) out.push_back(0);
    set32(out, entry, key.first);
    set32(out, entry + 4, std::uint32_t(key.second));
    set32(out, entry + 8, std::uint32_t(out.size()));
    set32(out, entry + 12, std::uint32_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    entry += kEntrySize;
  }
  return out;
}

std::optional<ResourceFile> ResourceFile::parse(const Bytes& bytes, std::string* error) {
  if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMagic, 4) != 0) {
    fail(error, "not a resource file");
    return std::nullopt;
  }
  Reader r(bytes, 4);
  std::uint32_t version = 0, count = 0;
  r.u32(&version);
  r.u32(&count);
  if (version != kFormatVersion) {
    fail(error, "resource file format version " + std::to_string(version) + " is not supported");
    return std::nullopt;
  }
  if (count > r.left() / kEntrySize) {
    fail(error, "resource directory runs past the end of the file");
    return std::nullopt;
  }
  ResourceFile file;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t type = 0, id = 0, offset = 0, length = 0;
    r.u32(&type);
    r.u32(&id);
    r.u32(&offset);
    r.u32(&length);
    if (offset > bytes.size() || length > bytes.size() - offset) {
      fail(error, "resource " + fourccText(type) + " " + std::to_string(std::int32_t(id)) +
                      " runs past the end of the file");
      return std::nullopt;
    }
    if (file.find(type, std::int32_t(id)) != nullptr) {
      fail(error, "resource " + fourccText(type) + " " + std::to_string(std::int32_t(id)) +
                      " appears twice");
      return std::nullopt;
    }
    file.add(type, std::int32_t(id), Bytes(bytes.begin() + offset, bytes.begin() + offset + length));
  }
  return file;
}

Bytes encodeStringList(const std::vector<std::string>& strings) {
  Bytes out;
  put32(out, std::uint32_t(strings.size()));
  for (const std::string& s : strings) {
    put32(out, std::uint32_t(s.size()));
    out.insert(out.end(), s.begin(), s.end());
  }
  return out;
}

std::optional<std::vector<std::string>> decodeStringList(const Bytes& data) {
  Reader r(data);
  std::uint32_t count = 0;
  if (!r.u32(&count) || count > r.left() / 4) return std::nullopt;
  std::vector<std::string> strings;
  strings.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t length = 0;
    Bytes text;
    if (!r.u32(&length) || !r.bytes(length, &text)) return std::nullopt;
    strings.emplace_back(text.begin(), text.end());
  }
  if (r.left() != 0) return std::nullopt;
  return strings;
}

Bytes encodePropertyList(const std::vector<Property>& properties) {
  Bytes out;
  put16(out, 1);
  put32(out, 0);
  put32(out, std::uint32_t(properties.size()));
  for (const Property& p : properties) {
    put32(out, p.vendor);
    put32(out, p.key);
    put32(out, std::uint32_t(p.id));
    Bytes data = p.data;
    while (data.size() % 4 != 0) data.push_back(0);
    put32(out, std::uint32_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
  }
  return out;
}

std::optional<std::vector<Property>> decodePropertyList(const Bytes& data, std::string* error) {
  Reader r(data);
  std::uint16_t version = 0;
  std::uint32_t reserved = 0, count = 0;
  if (!r.u16(&version) || !r.u32(&reserved) || !r.u32(&count)) {
    fail(error, "property list is truncated");
    return std::nullopt;
  }
  if (version != 1) {
    fail(error, "property list version " + std::to_string(version) + " is not supported");
    return std::nullopt;
  }
  if (count > r.left() / 16) {
    fail(error, "property list is truncated");
    return std::nullopt;
  }
  std::vector<Property> properties;
  for (std::uint32_t i = 0; i < count; ++i) {
    Property p;
    std::uint32_t id = 0, length = 0;
    if (!r.u32(&p.vendor) || !r.u32(&p.key) || !r.u32(&id) || !r.u32(&length) ||
        !r.bytes(length, &p.data)) {
      fail(error, "property list is truncated");
      return std::nullopt;
    }
    p.id = std::int32_t(id);
    properties.push_back(std::move(p));
  }
  return properties;
}

Bytes encodeCursor(const Cursor& cursor) {
  Bytes out;
  put32(out, std::uint32_t(cursor.hotX));
  put32(out, std::uint32_t(cursor.hotY));
  out.insert(out.end(), cursor.png.begin(), cursor.png.end());
  return out;
}

std::optional<Cursor> decodeCursor(const Bytes& data) {
  Reader r(data);
  std::uint32_t x = 0, y = 0;
  Cursor c;
  if (!r.u32(&x) || !r.u32(&y) || !r.bytes(r.left(), &c.png)) return std::nullopt;
  c.hotX = std::int32_t(x);
  c.hotY = std::int32_t(y);
  return c;
}

std::optional<Bytes> readElfSection(const Bytes& file, const std::string& section, std::string* error) {
  // ELF identification: magic, 64-bit class, little-endian data.
  if (file.size() < 64 || file[0] != 0x7F || file[1] != 'E' || file[2] != 'L' || file[3] != 'F') {
    fail(error, "not an ELF file");
    return std::nullopt;
  }
  if (file[4] != 2 || file[5] != 1) {
    fail(error, "not a 64-bit little-endian ELF file");
    return std::nullopt;
  }
  std::uint64_t shoff = 0;
  std::uint16_t shentsize = 0, shnum = 0, shstrndx = 0;
  Reader h(file, 0x28);
  h.u64(&shoff);
  Reader h2(file, 0x3A);
  h2.u16(&shentsize);
  h2.u16(&shnum);
  h2.u16(&shstrndx);
  if (shnum == 0 || shentsize < 64 || shoff > file.size() ||
      std::uint64_t(shnum) * shentsize > file.size() - shoff || shstrndx >= shnum) {
    fail(error, "the ELF section headers are missing or damaged");
    return std::nullopt;
  }
  struct SectionHeader {
    std::uint32_t name = 0, type = 0;
    std::uint64_t offset = 0, size = 0;
  };
  auto header = [&](std::uint16_t index) {
    SectionHeader s;
    const std::size_t at = std::size_t(shoff + std::uint64_t(index) * shentsize);
    Reader(file, at).u32(&s.name);
    Reader(file, at + 4).u32(&s.type);
    Reader(file, at + 24).u64(&s.offset);
    Reader(file, at + 32).u64(&s.size);
    return s;
  };
  constexpr std::uint32_t kNoBits = 8;  // a section that takes no room in the file
  auto inFile = [&](const SectionHeader& s) {
    return s.type != kNoBits && s.offset <= file.size() && s.size <= file.size() - s.offset;
  };
  const SectionHeader names = header(shstrndx);
  if (!inFile(names)) {
    fail(error, "the ELF section name table is damaged");
    return std::nullopt;
  }
  for (std::uint16_t i = 0; i < shnum; ++i) {
    const SectionHeader s = header(i);
    if (s.name >= names.size) continue;
    // The name must end inside the name table.
    const char* begin = reinterpret_cast<const char*>(file.data() + names.offset + s.name);
    const std::size_t room = std::size_t(names.size - s.name);
    const void* end = std::memchr(begin, 0, room);
    if (end == nullptr || std::string(begin) != section) continue;
    if (!inFile(s)) {
      fail(error, "section " + section + " runs past the end of the file");
      return std::nullopt;
    }
    return Bytes(file.begin() + long(s.offset), file.begin() + long(s.offset + s.size));
  }
  fail(error, "no " + section + " section (not a Sarvello plug-in module)");
  return std::nullopt;
}

std::optional<Bytes> readFile(const std::string& path, std::string* error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    fail(error, std::strerror(errno));
    return std::nullopt;
  }
  Bytes out;
  std::uint8_t buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
  const bool bad = std::ferror(f) != 0;
  std::fclose(f);
  if (bad) {
    fail(error, "read error");
    return std::nullopt;
  }
  return out;
}

void put16(Bytes& out, std::uint16_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}

void put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}

}  // namespace sarvello::res
