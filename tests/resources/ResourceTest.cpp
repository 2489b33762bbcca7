// The plug-in's resources as the build embeds them, and the reader's guard against damaged files.
#include <gtest/gtest.h>

#include "loader/PluginHost.h"
#include "ResourceFile.h"

namespace {

using namespace sarvello::res;

TEST(Resources, PropertyListIsByteForByte) {
  const simhost::PluginFileInfo info = simhost::readPluginFile(SARVELLO_MODULE_PATH);
  const Bytes* pipl = info.resources.find(kPiPLType, 16000);
  ASSERT_NE(pipl, nullptr);
  const Bytes expected = {
      1, 0,                    // 16-bit 1
      0, 0, 0, 0,              // 32-bit 0
      4, 0, 0, 0,              // four properties
      'E', 'B', 'D', 'A', 'd', 'n', 'i', 'k', 0, 0, 0, 0, 4, 0, 0, 0,   // ADBE kind, id 0, 4 bytes
      'A', 'E', 'P', 'S',
      'E', 'B', 'D', 'A', 's', 'r', 'v', 'i', 0, 0, 0, 0, 4, 0, 0, 0,   // ADBE ivrs
      2, 0, 0, 0,
      'E', 'B', 'D', 'A', '6', '8', 'x', 'w', 0, 0, 0, 0, 12, 0, 0, 0,  // ADBE wx86
      'P', 'l', 'u', 'g', 'i', 'n', 'M', 'a', 'i', 'n', 0, 0,
      'E', 'B', 'D', 'A', 'm', 'n', 'i', 'p', 0, 0, 0, 0, 12, 0, 0, 0,  // ADBE pinm
      'S', 'a', 'r', 'v', 'e', 'l', 'l', 'o', 0, 0, 0, 0,
  };
  EXPECT_EQ(*pipl, expected);
  EXPECT_EQ(info.entryName, "PluginMain");
  EXPECT_EQ(info.pluginName, "Sarvello");
}

TEST(Resources, ErrorTextsArePairsWithOneCodeInEachMessage) {
  const simhost::PluginFileInfo info = simhost::readPluginFile(SARVELLO_MODULE_PATH);
  const Bytes* list = info.resources.find(kStringListType, 16050);
  ASSERT_NE(list, nullptr);
  const auto strings = decodeStringList(*list);
  ASSERT_TRUE(strings.has_value());
  ASSERT_EQ(strings->size() % 2, 0u);
  for (const char* code : {"!MEM", "CANT", "!ico", "!SUI", "!VER", "!ART", "PARM"}) {
    bool found = false;
    for (std::size_t i = 0; i < strings->size(); i += 2) found = found || (*strings)[i] == code;
    EXPECT_TRUE(found) << code;
  }
  for (std::size_t i = 1; i < strings->size(); i += 2) {
    const std::string& m = (*strings)[i];
    EXPECT_LT(m.size(), 120u) << m;
    EXPECT_EQ(m.find('%'), m.find("%s")) << m;
    EXPECT_EQ(m.find('%', m.find('%') + 1), std::string::npos) << m;
  }
  const Bytes* about = info.resources.find(kStringListType, 16600);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(decodeStringList(*about)->size(), 2u);
}

TEST(Resources, DamagedFilesAreRefusedNotOverread) {
  ResourceFile file;
  file.add(kStringListType, 1, encodeStringList({"a", "bc"}));
  file.add(kCursorType, 2, encodeCursor(Cursor{3, -4, {1, 2, 3}}));
  const Bytes good = file.serialize();
  std::string error;
  const auto parsed = ResourceFile::parse(good, &error);
  ASSERT_TRUE(parsed.has_value()) << error;
  EXPECT_EQ(decodeStringList(*parsed->find(kStringListType, 1)), (std::vector<std::string>{"a", "bc"}));
  const auto cursor = decodeCursor(*parsed->find(kCursorType, 2));
  ASSERT_TRUE(cursor.has_value());
  EXPECT_EQ(cursor->hotY, -4);

  // Every truncation of the file is refused or yields data inside the file.
  for (std::size_t n = 0; n < good.size(); ++n) {
    const Bytes cut(good.begin(), good.begin() + long(n));
    EXPECT_FALSE(ResourceFile::parse(cut, &error).has_value()) << n;
  }
  Bytes huge = good;
  huge[8] = 0xFF;  // a count far beyond the file
  EXPECT_FALSE(ResourceFile::parse(huge, &error).has_value());
  EXPECT_FALSE(decodeStringList(Bytes{5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}).has_value());
  EXPECT_FALSE(decodePropertyList(Bytes{1, 0, 0, 0, 0, 0, 1, 0, 0, 0}, &error).has_value());

  // ELF section headers pointing outside the file.
  Bytes elf(64, 0);
  elf[0] = 0x7F, elf[1] = 'E', elf[2] = 'L', elf[3] = 'F', elf[4] = 2, elf[5] = 1;
  elf[0x28] = 0xF0;  // section headers past the end
  elf[0x3A] = 64, elf[0x3C] = 1;
  EXPECT_FALSE(readElfSection(elf, kResourceSection, &error).has_value());
  EXPECT_NE(error.find("damaged"), std::string::npos);
}

}  // namespace
