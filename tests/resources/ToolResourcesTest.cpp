// The tool's icon and cursor as the built module carries them, made into an icon by the host's
// icon suite.
#include "ResourceFile.h"
#include "loader/PluginHost.h"
#include "ToolFixture.h"

namespace {

class ToolResourcesTest : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    file = simhost::readPluginFile(SARVELLO_MODULE_PATH).resources;
    host.resource = [this](SPPluginRef, std::uint32_t type, int32_t id) {
      return file.find(type, id);
    };
  }
  sarvello::res::ResourceFile file;
};

TEST_F(ToolResourcesTest, IconCursorAndToolImageAreWellFormed) {
  ADMIconRef icon = sADMIcon2->GetFromResource(nullptr, "Sarvello Tool", 1, 16050);
  ASSERT_EQ(kADMPNGIconType, sADMIcon2->GetType(icon));
  EXPECT_EQ(24, tools().findIcon(icon)->width);
  EXPECT_EQ(24, tools().findIcon(icon)->height);

  int32_t width = 0, height = 0;
  const auto* image = file.find(sarvello::res::kPNGImageType, 16051);
  ASSERT_NE(nullptr, image);
  ASSERT_TRUE(simhost::pngSize(*image, &width, &height));
  EXPECT_EQ(24, width);
  EXPECT_EQ(24, height);

  const auto* cursorData = file.find(sarvello::res::kCursorType, 16060);
  ASSERT_NE(nullptr, cursorData);
  auto cursor = sarvello::res::decodeCursor(*cursorData);
  ASSERT_TRUE(cursor);
  EXPECT_EQ(15, cursor->hotX);
  EXPECT_EQ(15, cursor->hotY);
  ASSERT_TRUE(simhost::pngSize(cursor->png, &width, &height));
  EXPECT_EQ(32, width);
  EXPECT_EQ(32, height);
}

}  // namespace
