// The plug-in's resource file: the format written by the resource compiler at build time and read
// by the host from the plug-in file, without running any of the module's code. docs/RESOURCES.md
// describes the bytes.
#ifndef SARVELLO_RESOURCES_RESOURCEFILE_H
#define SARVELLO_RESOURCES_RESOURCEFILE_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sarvello::res {

using Bytes = std::vector<std::uint8_t>;

// A four-character code as a 32-bit value, the first character in the most significant byte.
constexpr std::uint32_t fourcc(const char (&code)[5]) {
  return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
         (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}
std::string fourccText(std::uint32_t code);  // "PiPL"; non-printable bytes as '?'

// Little-endian 16- and 32-bit values appended to bytes, as the resource file and the Windows
// formats store them.
void put16(Bytes& out, std::uint16_t v);
void put32(Bytes& out, std::uint32_t v);

// Resource types.
inline constexpr std::uint32_t kPiPLType = fourcc("PiPL");  // plug-in property list
inline constexpr std::uint32_t kStringListType = fourcc("STR#");
inline constexpr std::uint32_t kPNGImageType = fourcc("PNGI");
inline constexpr std::uint32_t kIconType = fourcc("ICON");
inline constexpr std::uint32_t kCursorType = fourcc("CURS");
inline constexpr std::uint32_t kDialogType = fourcc("DLOG");
inline constexpr std::uint32_t kMenuType = fourcc("MENU");

// The name of the ELF section of the plug-in module that holds the resource file.
inline constexpr const char* kResourceSection = ".sarvello_rsrc";

// The resources of one plug-in, by type and id.
class ResourceFile {
 public:
  void add(std::uint32_t type, std::int32_t id, Bytes data);  // replaces an existing one
  const Bytes* find(std::uint32_t type, std::int32_t id) const;
  std::size_t size() const { return resources_.size(); }
  const std::map<std::pair<std::uint32_t, std::int32_t>, Bytes>& all() const { return resources_; }

  Bytes serialize() const;
  // Parses a resource file; on a malformed file answers none and says why in *error.
  static std::optional<ResourceFile> parse(const Bytes& bytes, std::string* error);

 private:
  std::map<std::pair<std::uint32_t, std::int32_t>, Bytes> resources_;
};

// String lists ('STR#').
Bytes encodeStringList(const std::vector<std::string>& strings);
std::optional<std::vector<std::string>> decodeStringList(const Bytes& data);

// Plug-in property lists ('PiPL').
struct Property {
  std::uint32_t vendor = 0;
  std::uint32_t key = 0;
  std::int32_t id = 0;
  Bytes data;  // as stored: zero-padded to a multiple of 4 bytes
};
Bytes encodePropertyList(const std::vector<Property>& properties);
std::optional<std::vector<Property>> decodePropertyList(const Bytes& data, std::string* error);

// Cursors ('CURS'): a hot spot and a PNG image.
struct Cursor {
  std::int32_t hotX = 0;
  std::int32_t hotY = 0;
  Bytes png;
};
Bytes encodeCursor(const Cursor& cursor);
std::optional<Cursor> decodeCursor(const Bytes& data);

// The contents of a named section of a 64-bit little-endian ELF file, read from the section
// headers with every offset and size checked against the file. None, with the reason in *error,
// when the file is not such an ELF file or has no such section.
std::optional<Bytes> readElfSection(const Bytes& file, const std::string& section, std::string* error);

// Reads a whole file; none (and the reason in *error) when it cannot be read.
std::optional<Bytes> readFile(const std::string& path, std::string* error);

}  // namespace sarvello::res

#endif
