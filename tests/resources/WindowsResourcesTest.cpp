// The Windows module's resources, read from its PE file, against the resource file that the same
// sources compile to: the same bytes where the two forms agree, the dialog templates' size in
// dialog units, the cursor's pixels and hot spot, and no icon (the tool image serves).
#include <gtest/gtest.h>

#include "Png.h"
#include "ResourceFile.h"
#include "loader/PluginHost.h"

namespace {

using namespace sarvello::res;

std::vector<std::uint8_t> pixels(const Bytes& png) {
  std::string error;
  const auto image = decodePng(png, &error);
  EXPECT_TRUE(image.has_value()) << error;
  return image ? image->pixels : std::vector<std::uint8_t>{};
}

TEST(WindowsResources, MatchTheResourceFileOfTheSameSources) {
  std::string error;
  const auto bytes = readFile(SARVELLO_RESOURCE_FILE, &error);
  ASSERT_TRUE(bytes.has_value()) << error;
  const auto compiled = ResourceFile::parse(*bytes, &error);
  ASSERT_TRUE(compiled.has_value()) << error;
  const ResourceFile module = simhost::readPluginFile(SARVELLO_MODULE_PATH).resources;

  for (const auto& [key, data] : compiled->all()) {
    SCOPED_TRACE(fourccText(key.first) + " " + std::to_string(key.second));
    const Bytes* found = module.find(key.first, key.second);
    if (key.first == kIconType) {
      EXPECT_EQ(found, nullptr);
      continue;
    }
    ASSERT_NE(found, nullptr);
    if (key.first == kDialogType) {
      auto expected = *decodeStringList(data);
      expected[1] = "160 133";
      EXPECT_EQ(decodeStringList(*found), expected);
    } else if (key.first == kCursorType) {
      const auto a = decodeCursor(*found), b = decodeCursor(data);
      ASSERT_TRUE(a && b);
      EXPECT_EQ(a->hotX, b->hotX);
      EXPECT_EQ(a->hotY, b->hotY);
      EXPECT_EQ(pixels(a->png), pixels(b->png));
    } else {
      EXPECT_EQ(*found, data);
    }
  }
  EXPECT_EQ(module.size() + 1, compiled->size());
}

}  // namespace
