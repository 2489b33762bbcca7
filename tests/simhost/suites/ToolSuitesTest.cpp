// The tool side's host suites as the plug-in meets them: registrations, icons, invalidation and
// the drawer.
#include <map>

#include "ToolFixture.h"

namespace {

using simhost::OverlayCall;

// A well-formed PNG header of the given size (signature and IHDR chunk with its CRC).
std::vector<std::uint8_t> pngHeader(uint32_t width, uint32_t height) {
  std::vector<std::uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                     0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  auto put32 = [&](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(v >> shift));
  };
  put32(width);
  put32(height);
  for (uint8_t b : {8, 6, 0, 0, 0}) bytes.push_back(b);
  uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 12; i < bytes.size(); ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  put32(crc ^ 0xFFFFFFFFu);
  return bytes;
}

class ToolSuitesTest : public ToolTest {
 protected:
  // The address of a rectangle that lives until the end of the statement.
  static const Rect* rectPtr(const Rect& r) { return &r; }

  void SetUp() override {
    ToolTest::SetUp();
    host.resource = [this](SPPluginRef, std::uint32_t type, int32_t id)
        -> const std::vector<std::uint8_t>* {
      auto found = resources.find({type, id});
      return found == resources.end() ? nullptr : &found->second;
    };
  }

  std::map<std::pair<std::uint32_t, int32_t>, std::vector<std::uint8_t>> resources;
  SPPluginRef self = reinterpret_cast<SPPluginRef>(0x5E1F);
};

TEST_F(ToolSuitesTest, RegistrationsAreRecordedAsThePluginMadeThem) {
  AIUnicodeStringHandle text = nullptr;
  ASSERT_EQ(kNoErr, sAIUnicodeString->NewFromCString("Sarvello", 0, &text));
  const AIPlatformAddMenuItemDataUS data{kToolPalettesMenuGroup, text};
  AIMenuItemHandle item = nullptr;
  ASSERT_EQ(kNoErr, sAIMenu->AddMenuItem(self, "Sarvello", &data, 1, &item));
  sAIUnicodeString->Dispose(text);
  ASSERT_EQ(1u, tools().menuItems.size());
  const simhost::MenuItemRecord& menu = tools().menuItems[0];
  EXPECT_EQ(item, menu.handle);
  EXPECT_EQ(self, menu.plugin);
  EXPECT_EQ("Tool Palettes", menu.group);
  EXPECT_EQ("Sarvello", menu.text);
  EXPECT_EQ(1, menu.options);

  AITimerHandle timer = nullptr;
  ASSERT_EQ(kNoErr, sAITimer->AddTimer(self, "timer", 1, &timer));
  EXPECT_TRUE(tools().findTimer(timer)->active);
  ASSERT_EQ(kNoErr, sAITimer->SetTimerActive(timer, false));
  EXPECT_FALSE(tools().findTimer(timer)->active);
  EXPECT_EQ(1, tools().findTimer(timer)->period);

  AIAnnotatorHandle annotatorHandle = nullptr;
  ASSERT_EQ(kNoErr, sAIAnnotator->AddAnnotator(self, "Sarvello Annotator", &annotatorHandle));
  AIBoolean active = 0;
  ASSERT_EQ(kNoErr, sAIAnnotator->GetAnnotatorActive(annotatorHandle, &active));
  EXPECT_EQ(1, active);
  ASSERT_EQ(kNoErr, sAIAnnotator->SetAnnotatorActive(annotatorHandle, false));
  ASSERT_EQ(kNoErr, sAIAnnotator->GetAnnotatorActive(annotatorHandle, &active));
  EXPECT_EQ(0, active);

  resources[{simhost::kIconResourceType, 16050}] = pngHeader(24, 24);
  ADMIconRef icon = sADMIcon2->GetFromResource(self, "Sarvello Tool", 1, 16050);
  const AIAddToolData toolData{"Sarvello Tool", "Sarvello Tool", 0, icon, -2, -2};
  AIToolHandle tool = nullptr;
  ASSERT_EQ(kNoErr, sAITool->AddTool(self, "Sarvello Tool", &toolData, 1, &tool));
  const simhost::ToolRecord& record = *tools().findTool(tool);
  EXPECT_EQ("Sarvello Tool", record.title);
  EXPECT_EQ("Sarvello Tool", record.tooltip);
  EXPECT_EQ(icon, record.icon);
  EXPECT_EQ(-2, record.sameGroupAs);
  EXPECT_EQ(-2, record.sameToolsetAs);
}

TEST_F(ToolSuitesTest, HandlesOfOneKindAreNotTakenForAnother) {
  AITimerHandle timer = nullptr;
  ASSERT_EQ(kNoErr, sAITimer->AddTimer(self, "timer", 1, &timer));
  AIAnnotatorHandle annotatorHandle = nullptr;
  ASSERT_EQ(kNoErr, sAIAnnotator->AddAnnotator(self, "a", &annotatorHandle));
  EXPECT_EQ(kNoSuchObjectErr,
            sAITimer->SetTimerActive(reinterpret_cast<AITimerHandle>(annotatorHandle), false));
  EXPECT_EQ(kNoSuchObjectErr, sAITimer->SetTimerActive(nullptr, false));
  EXPECT_EQ(kNoSuchObjectErr,
            sAIAnnotator->SetAnnotatorActive(reinterpret_cast<AIAnnotatorHandle>(timer), false));
  EXPECT_EQ(kBadParameterErr, sAITimer->AddTimer(self, "never", 0, &timer));
  EXPECT_EQ(kBadParameterErr, sAIAnnotator->GetAnnotatorActive(annotatorHandle, nullptr));
}

TEST_F(ToolSuitesTest, EveryOperationAnswersAnInjectedFaultAndRecordsNothing) {
  const char* text = "x";
  AIUnicodeStringHandle s = nullptr;
  ASSERT_EQ(kNoErr, sAIUnicodeString->NewFromCString(text, 0, &s));
  const AIPlatformAddMenuItemDataUS data{kToolPalettesMenuGroup, s};
  AIMenuItemHandle item = nullptr;
  host.faults().failCall("AIMenu.AddMenuItem", 1, kOutOfMemoryErr);
  EXPECT_EQ(kOutOfMemoryErr, sAIMenu->AddMenuItem(self, "Sarvello", &data, 1, &item));
  sAIUnicodeString->Dispose(s);
  EXPECT_TRUE(tools().menuItems.empty());

  AITimerHandle timer = nullptr;
  host.faults().failCall("AITimer.AddTimer", 1, kOutOfMemoryErr);
  EXPECT_EQ(kOutOfMemoryErr, sAITimer->AddTimer(self, "timer", 1, &timer));
  ASSERT_EQ(kNoErr, sAITimer->AddTimer(self, "timer", 1, &timer));
  host.faults().failCall("AITimer.SetTimerActive", 1, kBadParameterErr);
  EXPECT_EQ(kBadParameterErr, sAITimer->SetTimerActive(timer, false));
  EXPECT_TRUE(tools().findTimer(timer)->active);

  AIAnnotatorHandle annotatorHandle = nullptr;
  host.faults().failCall("AIAnnotator.AddAnnotator", 1, kOutOfMemoryErr);
  EXPECT_EQ(kOutOfMemoryErr, sAIAnnotator->AddAnnotator(self, "a", &annotatorHandle));
  EXPECT_TRUE(tools().annotators.empty());

  host.faults().failCall("AITool.AddTool", 1, kOutOfMemoryErr);
  const AIAddToolData toolData{"t", "t", 0, nullptr, -2, -2};
  AIToolHandle tool = nullptr;
  EXPECT_EQ(kOutOfMemoryErr, sAITool->AddTool(self, "t", &toolData, 1, &tool));
  EXPECT_TRUE(tools().tools.empty());
}

TEST_F(ToolSuitesTest, IconIsUnknownWhenItsResourceIsMissingOrNoPng) {
  EXPECT_EQ(kADMUnknownIconType,
            sADMIcon2->GetType(sADMIcon2->GetFromResource(self, "Sarvello Tool", 1, 16050)));

  std::vector<std::uint8_t> broken = pngHeader(24, 24);
  broken[20] ^= 1;  // the IHDR's CRC no longer matches
  resources[{simhost::kIconResourceType, 16050}] = broken;
  EXPECT_EQ(kADMUnknownIconType,
            sADMIcon2->GetType(sADMIcon2->GetFromResource(self, "Sarvello Tool", 1, 16050)));
  resources[{simhost::kIconResourceType, 16050}] = pngHeader(0, 24);
  EXPECT_EQ(kADMUnknownIconType,
            sADMIcon2->GetType(sADMIcon2->GetFromResource(self, "Sarvello Tool", 1, 16050)));
  resources[{simhost::kIconResourceType, 16050}] = {0x89, 'P', 'N', 'G'};
  EXPECT_EQ(kADMUnknownIconType,
            sADMIcon2->GetType(sADMIcon2->GetFromResource(self, "Sarvello Tool", 1, 16050)));

  // A Windows module has no icon resource: its PNG tool image with the next id serves.
  resources.erase({simhost::kIconResourceType, 16050});
  resources[{simhost::kToolImageResourceType, 16051}] = pngHeader(24, 32);
  EXPECT_EQ(32, tools().findIcon(sADMIcon2->GetFromResource(self, "Sarvello Tool", 1, 16050))->height);

  resources[{simhost::kIconResourceType, 16050}] = pngHeader(24, 24);
  ADMIconRef icon = sADMIcon2->GetFromResource(self, "Sarvello Tool", 1, 16050);
  EXPECT_EQ(kADMPNGIconType, sADMIcon2->GetType(icon));
  EXPECT_EQ(24, tools().findIcon(icon)->width);

  host.faults().failCall("ADMIcon.GetFromResource", 1, kOutOfMemoryErr);
  EXPECT_EQ(kADMUnknownIconType,
            sADMIcon2->GetType(sADMIcon2->GetFromResource(self, "Sarvello Tool", 1, 16050)));
  host.faults().failCall("ADMIcon.GetType", 1, kOutOfMemoryErr);
  EXPECT_EQ(kADMUnknownIconType, sADMIcon2->GetType(icon));
  host.resource = nullptr;  // a host without the loader's resources
  EXPECT_EQ(kADMUnknownIconType,
            sADMIcon2->GetType(sADMIcon2->GetFromResource(self, "Sarvello Tool", 1, 16050)));
}

TEST_F(ToolSuitesTest, InvalidationIsClippedToTheWindow) {
  ASSERT_EQ(kNoErr, sAIAnnotator->InvalAnnotationRect(nullptr, rectPtr(rect(-50, 10, 20, 900))));
  ASSERT_EQ(kNoErr, sAIAnnotator->InvalAnnotationRect(host.viewHandle(),
                                                     rectPtr(rect(600, 700, 400, 710))));
  ASSERT_EQ(kNoErr, sAIAnnotator->InvalAnnotationRect(nullptr, rectPtr(rect(1200, 0, 1300, 5))));
  ASSERT_EQ(1u, tools().invalidRects.size());  // the inverted and the outside ones are dropped
  EXPECT_EQ(rect(0, 10, 20, 800), tools().invalidRects[0]);
  ASSERT_EQ(kNoErr, sAIAnnotator->InvalAnnotationRect(nullptr, rectPtr(rect(100, 100, 200, 200))));
  EXPECT_EQ(rect(0, 10, 200, 800), tools().invalidBounds());

  EXPECT_EQ(kBadParameterErr, sAIAnnotator->InvalAnnotationRect(nullptr, nullptr));
  host.view().open = false;
  EXPECT_EQ(kNoDocumentErr,
            sAIAnnotator->InvalAnnotationRect(nullptr, rectPtr(rect(0, 0, 10, 10))));
}

TEST_F(ToolSuitesTest, DrawerRecordsCallsAndAnswersTheFontsTextHeight) {
  simhost::OverlayRecording recording;
  _t_AIAnnotatorDrawer drawer;
  drawer.recording = &recording;
  const AIRGBColor red{65535, 0, 0};
  ASSERT_EQ(kNoErr, sAIAnnotatorDrawer->SetColor(&drawer, &red));
  ASSERT_EQ(kNoErr, sAIAnnotatorDrawer->SetFontPreset(&drawer, 1));
  AIReal height = 0;
  ASSERT_EQ(kNoErr, sAIAnnotatorDrawer->GetTextHeight(&drawer, &height));
  EXPECT_EQ(simhost::textHeightForPreset(1), height);
  ASSERT_EQ(kNoErr, sAIAnnotatorDrawer->SetFontPreset(&drawer, 12345));  // unknown: preset 1
  ASSERT_EQ(kNoErr, sAIAnnotatorDrawer->GetTextHeight(&drawer, &height));
  EXPECT_EQ(simhost::textHeightForPreset(1), height);

  AIUnicodeStringHandle text = nullptr;
  ASSERT_EQ(kNoErr, sAIUnicodeString->NewFromCString("Step = 3", 0, &text));
  Point origin{};
  origin.h = 7;
  origin.v = 9;
  ASSERT_EQ(kNoErr, sAIAnnotatorDrawer->DrawText(&drawer, text, &origin));
  sAIUnicodeString->Dispose(text);
  ASSERT_EQ(4u, recording.size());
  EXPECT_EQ(65535, recording[0].color.red);
  EXPECT_EQ(12345, recording[2].preset);
  EXPECT_EQ("Step = 3", recording[3].text);
  EXPECT_EQ(7, recording[3].origin.h);

  // A disposed string, a drawer the host never handed out, a missing point: refused.
  EXPECT_EQ(kBadParameterErr, sAIAnnotatorDrawer->DrawText(&drawer, text, &origin));
  EXPECT_EQ(kBadParameterErr, sAIAnnotatorDrawer->DrawRect(nullptr, rectPtr(rect(0, 0, 1, 1)), 0));
  EXPECT_EQ(kBadParameterErr, sAIAnnotatorDrawer->DrawRect(&drawer, nullptr, 0));
  EXPECT_EQ(kBadParameterErr, sAIAnnotatorDrawer->SetLineWidth(&drawer, -1.0f));
  EXPECT_EQ(4u, recording.size());
}

}  // namespace
