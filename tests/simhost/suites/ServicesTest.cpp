// AI Document View, AI Unicode String, AI Context, ADM Basic, AI Preference and AI URL.
#include <cmath>
#include <cstring>
#include <limits>

#include "HostFixture.h"

namespace {

TEST_F(HostTest, ViewMapsArtworkAndViewPointsBothWays) {
  auto* dv = acquire<AIDocumentViewSuite>(kAIDocumentViewSuite, 1010);
  simhost::ViewState& view = host.view();
  view.width = 800;
  view.height = 600;
  view.center = {100.0f, 50.0f};
  view.zoom = 2.0;

  AIRealRect bounds{};
  ASSERT_EQ(dv->GetDocumentViewBounds(nullptr, &bounds), kNoErr);
  EXPECT_FLOAT_EQ(bounds.left, -100.0f);
  EXPECT_FLOAT_EQ(bounds.right, 300.0f);
  EXPECT_FLOAT_EQ(bounds.top, 200.0f);  // artwork y grows upward
  EXPECT_FLOAT_EQ(bounds.bottom, -100.0f);

  AIRealPoint centre{100.0f, 50.0f};
  AIPoint vp{};
  ASSERT_EQ(dv->ArtworkPointToViewPoint(nullptr, &centre, &vp), kNoErr);
  EXPECT_EQ(vp.h, 400);
  EXPECT_EQ(vp.v, 300);
  AIRealPoint off{100.3f, 49.2f};  // 0.6 px right, 1.6 px down: rounds to the nearest pixel
  ASSERT_EQ(dv->ArtworkPointToViewPoint(host.viewHandle(), &off, &vp), kNoErr);
  EXPECT_EQ(vp.h, 401);
  EXPECT_EQ(vp.v, 302);

  // View to artwork and back lands on the same pixel; artwork to view and back within half a
  // pixel.
  for (int32_t h : {0, 17, 400, 799}) {
    for (int32_t v : {0, 299, 600}) {
      AIPoint p{};
      p.h = h;
      p.v = v;
      AIRealPoint a{};
      ASSERT_EQ(dv->ViewPointToArtworkPoint(nullptr, &p, &a), kNoErr);
      AIPoint back{};
      ASSERT_EQ(dv->ArtworkPointToViewPoint(nullptr, &a, &back), kNoErr);
      EXPECT_EQ(back.h, h);
      EXPECT_EQ(back.v, v);
      AIRealPoint again{};
      ASSERT_EQ(dv->ViewPointToArtworkPoint(nullptr, &back, &again), kNoErr);
      EXPECT_NEAR(again.h, a.h, 0.25);
    }
  }
  // Far-away points saturate instead of overflowing; non-finite ones are refused.
  AIRealPoint far{1e30f, -1e30f};
  ASSERT_EQ(dv->ArtworkPointToViewPoint(nullptr, &far, &vp), kNoErr);
  EXPECT_EQ(vp.h, std::numeric_limits<decltype(vp.h)>::max());
  EXPECT_EQ(vp.v, std::numeric_limits<decltype(vp.v)>::max());
  AIRealPoint nan{std::nanf(""), 0};
  EXPECT_EQ(dv->ArtworkPointToViewPoint(nullptr, &nan, &vp), kBadParameterErr);
  EXPECT_EQ(dv->GetDocumentViewBounds(reinterpret_cast<AIDocumentViewHandle>(0x40), &bounds),
            kBadParameterErr);
}

TEST_F(HostTest, ViewCountShowEdgesAndNoDocument) {
  auto* dv = acquire<AIDocumentViewSuite>(kAIDocumentViewSuite, 1010);
  int32_t count = -1;
  ASSERT_EQ(dv->CountDocumentViews(&count), kNoErr);
  EXPECT_EQ(count, 1);
  AIBoolean show = 0;
  ASSERT_EQ(dv->GetShowEdges(nullptr, &show), kNoErr);
  EXPECT_EQ(show, 1);
  ASSERT_EQ(dv->SetShowEdges(nullptr, 0), kNoErr);
  EXPECT_EQ(host.view().showEdges, 0);

  host.view().open = false;
  ASSERT_EQ(dv->CountDocumentViews(&count), kNoErr);
  EXPECT_EQ(count, 0);
  AIRealRect bounds{};
  EXPECT_EQ(dv->GetDocumentViewBounds(nullptr, &bounds), kNoDocumentErr);
  EXPECT_EQ(dv->SetShowEdges(nullptr, 1), kNoDocumentErr);
  EXPECT_EQ(host.view().showEdges, 0);

  host.view().open = true;
  host.faults().failCall("AIDocumentView.CountDocumentViews", 1, kCantHappenErr);
  EXPECT_EQ(dv->CountDocumentViews(&count), kCantHappenErr);
}

TEST_F(HostTest, UnicodeStringsAndContextsAreCounted) {
  auto* us = acquire<AIUnicodeStringSuite>(kAIUnicodeStringSuite, 1006);
  AIUnicodeStringHandle a = nullptr;
  ASSERT_EQ(us->NewFromCString("Sarvello", kAIPlatformCharacterEncoding, &a), kNoErr);
  EXPECT_EQ(host.text(a), "Sarvello");
  AIUnicodeStringHandle b = nullptr;
  ASSERT_EQ(us->Copy(&b, a), kNoErr);  // makes the target
  ASSERT_EQ(us->Copy(&a, nullptr), kNoErr);  // none copies as the empty string
  EXPECT_EQ(host.text(a), "");
  EXPECT_EQ(host.text(b), "Sarvello");
  EXPECT_EQ(host.outstanding().unicodeStrings, 2u);
  AIUnicodeStringHandle bad = nullptr;
  EXPECT_EQ(us->NewFromCString("x", 99, &bad), kBadParameterErr);
  EXPECT_EQ(us->NewFromCString(nullptr, 0, &bad), kBadParameterErr);
  EXPECT_EQ(bad, nullptr);
  EXPECT_EQ(us->Dispose(b), kNoErr);
  EXPECT_EQ(us->Dispose(b), kBadParameterErr);
  EXPECT_FALSE(host.stringValid(b));
  EXPECT_EQ(us->Copy(&a, b), kBadParameterErr);  // a dead source
  EXPECT_EQ(us->Dispose(a), kNoErr);

  auto* ctx = acquire<AIAppContextSuite>(kAIAppContextSuite, 1004);
  AIAppContextHandle c1 = nullptr, c2 = nullptr;
  ASSERT_EQ(ctx->PushAppContext(nullptr, &c1), kNoErr);
  ASSERT_EQ(ctx->PushAppContext(nullptr, &c2), kNoErr);
  EXPECT_EQ(host.outstanding().describe(),
            "2 suite acquisitions (AI Context Suite 1004 x1, AI Unicode String Suite 1006 x1), "
            "2 app contexts");
  EXPECT_EQ(ctx->PopAppContext(c2), kNoErr);
  EXPECT_EQ(ctx->PopAppContext(c2), kBadParameterErr);
  EXPECT_EQ(ctx->PopAppContext(c1), kNoErr);
  // A string handle is no context.
  EXPECT_EQ(ctx->PopAppContext(reinterpret_cast<AIAppContextHandle>(b)), kBadParameterErr);
}

TEST_F(HostTest, AdmBasicRecordsAlertsAndReadsStrings) {
  auto* adm = acquire<ADMBasicSuite>(kADMBasicSuite, 10);
  EXPECT_EQ(acquire<ADMBasicSuite>(kADMBasicSuite, 2), adm);  // one table at both versions
  std::vector<std::string> told;
  host.onAlert = [&](const simhost::Alert& a) { told.push_back(a.text); };
  adm->MessageAlert("Please select at least one path object.");
  adm->ErrorAlert(nullptr);
  adm->AboutBox(nullptr, "About Sarvello", "Sarvello Sample Project");
  ASSERT_EQ(host.alerts().size(), 3u);
  EXPECT_EQ(host.alerts()[0].kind, simhost::Alert::Message);
  EXPECT_EQ(host.alerts()[1].kind, simhost::Alert::Error);
  EXPECT_EQ(host.alerts()[2].text2, "Sarvello Sample Project");
  EXPECT_EQ(told.size(), 3u);

  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(adm->GetIndexString(nullptr, 16600, 1, buffer, sizeof buffer), kStringNotFoundErr);
  EXPECT_EQ(buffer[0], '\0');
  host.stringResource = [](SPPluginRef, int32_t list, int32_t index, std::string* text) {
    if (list != 16600 || index != 1) return false;
    *text = "A rather long About text";
    return true;
  };
  ASSERT_EQ(adm->GetIndexString(nullptr, 16600, 1, buffer, sizeof buffer), kNoErr);
  EXPECT_STREQ(buffer, "A rathe");  // cut to the buffer, terminated inside it
  EXPECT_EQ(adm->GetIndexString(nullptr, 16600, 2, buffer, sizeof buffer), kStringNotFoundErr);
  EXPECT_EQ(adm->GetIndexString(nullptr, 16600, 1, buffer, 0), kBadParameterErr);

  EXPECT_EQ(adm->SetPlatformCursor(nullptr, 16060), kNoErr);
  EXPECT_EQ(host.cursor(), 16060);
  Rect area{};
  adm->GetPaletteLayoutBounds(&area);
  EXPECT_EQ(area.right, 1440);
  EXPECT_EQ(area.bottom, 900);
}

TEST_F(HostTest, PreferencesKeepValuesAndUrlsAreRecorded) {
  auto* prefs = acquire<AIPreferenceSuite>(kAIPreferenceSuite, 1004);
  const char* section = "SarvelloADMNonModalDialog";
  int32_t code = 42;
  ASSERT_EQ(prefs->GetIntegerPreference(section, "kADM_DPDockCodeStr", &code), kNoErr);
  EXPECT_EQ(code, 42);  // nothing stored: left as it was
  ASSERT_EQ(prefs->PutIntegerPreference(section, "kADM_DPDockCodeStr", 7168), kNoErr);
  ASSERT_EQ(prefs->GetIntegerPreference(section, "kADM_DPDockCodeStr", &code), kNoErr);
  EXPECT_EQ(code, 7168);

  ASSERT_EQ(prefs->PutStringPreference(section, "kADM_DPDockGroupStr", "Sarvello Dialogs"),
            kNoErr);
  char group[9];
  ASSERT_EQ(prefs->GetStringPreference(section, "kADM_DPDockGroupStr", group, sizeof group),
            kNoErr);
  EXPECT_STREQ(group, "Sarvello");
  AIPoint where{};
  where.h = -20;
  where.v = 300;
  ASSERT_EQ(prefs->PutPointPreference(section, "kADM_DPLocationStr", &where), kNoErr);
  AIPoint read{};
  ASSERT_EQ(prefs->GetPointPreference(section, "kADM_DPLocationStr", &read), kNoErr);
  EXPECT_EQ(read.h, -20);
  AIBoolean visible = 1;
  ASSERT_EQ(prefs->PutBooleanPreference(section, "kADM_DPVisibleStr", 0), kNoErr);
  ASSERT_EQ(prefs->GetBooleanPreference(section, "kADM_DPVisibleStr", &visible), kNoErr);
  EXPECT_EQ(visible, 0);
  EXPECT_EQ(host.preferences().size(), 4u);
  EXPECT_EQ(prefs->PutIntegerPreference(nullptr, "k", 1), kBadParameterErr);

  auto* url = acquire<AIURLSuite>(kAIURLSuite, 1001);
  ASSERT_EQ(url->OpenURL("https://example.org/sarvello"), kNoErr);
  EXPECT_EQ(url->OpenURL(nullptr), kBadParameterErr);
  EXPECT_EQ(host.openedURLs(), std::vector<std::string>{"https://example.org/sarvello"});
}

}  // namespace
