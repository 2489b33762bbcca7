// The plug-in's resources as the build embeds them, and the readers' guard against damaged files.
#include <gtest/gtest.h>

#include <cstdlib>

#include "PeResources.h"
#include "Png.h"
#include "ResourceFile.h"
#include "loader/PluginHost.h"

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

// A Windows module (resources only) that windres and ld made from a resource script rescomp wrote:
// dialog 16020, menu 16073, a 4 x 4 cursor 16060 with its hot spot at (1, 2), the property list and
// the About texts.
TEST(Resources, WindowsModulesAreReadAndTheirDamageRefused) {
  const char* root = std::getenv("SARVELLO_SOURCE_DIR");
  std::string error;
  const std::string path = std::string(root ? root : ".") + "/tests/fuzz/corpus/resources/windows-module.dll";
  const auto file = readFile(path, &error);
  ASSERT_TRUE(file.has_value()) << error;
  const auto read = resourcesFromPe(*file, &error);
  ASSERT_TRUE(read.has_value()) << error;
  EXPECT_EQ(read->size(), 5u);
  ASSERT_NE(read->find(kPiPLType, 16000), nullptr);
  EXPECT_EQ(decodeStringList(*read->find(kStringListType, 16600))->size(), 2u);
  EXPECT_EQ(decodeStringList(*read->find(kMenuType, 16073)),
            (std::vector<std::string>{"GridPopup", "16", "32", "64", "128", "256"}));
  EXPECT_EQ(decodeStringList(*read->find(kDialogType, 16020)),
            (std::vector<std::string>{"Notice \u00fc", "80 50",
                                      "5\tADM Text Push Button Type\t5\t30\t70\t14\tVisit",
                                      "3\tADM Text Static Type\t5\t5\t70\t20\tSay \"\"hi\"\"",
                                      "1\tADM Frame Type\t2\t2\t76\t46\tBox",
                                      "4\tADM Spin Edit Popup Type\t5\t20\t40\t10\t"}));
  const auto cursor = decodeCursor(*read->find(kCursorType, 16060));
  ASSERT_TRUE(cursor.has_value());
  EXPECT_EQ(cursor->hotX, 1);
  EXPECT_EQ(cursor->hotY, 2);
  const auto image = decodePng(cursor->png, &error);
  ASSERT_TRUE(image.has_value()) << error;
  ASSERT_EQ(image->pixels.size(), 4u * 4 * 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const std::uint8_t* p = &image->pixels[4 * (4 * y + x)];
      EXPECT_EQ(p[0], x % 2 ? 255 : 0);
      EXPECT_EQ(p[2], y % 2 ? 255 : 0);
      EXPECT_EQ(p[3], x == y ? 0 : 255);
    }
  }

  // Every truncation is refused or read from inside the file; a file of another kind is refused.
  for (std::size_t n = 0; n < file->size(); ++n) {
    const Bytes cut(file->begin(), file->begin() + long(n));
    if (!resourcesFromPe(cut, &error)) {
      EXPECT_FALSE(error.empty()) << n;
    }
  }
  EXPECT_FALSE(resourcesFromPe(Bytes(64, 0), &error).has_value());
  EXPECT_NE(error.find("not a PE file"), std::string::npos);
}

}  // namespace
