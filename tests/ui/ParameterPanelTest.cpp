// The parameter panel: its controls and starting values, the values the user chooses or types,
// Clear and Retry, and the placement it restores and saves.
#include <cstring>
#include <string>

#include "PanelFixture.h"

namespace {

using simhost::choosePreset;
using simhost::pressButton;
using simhost::typeValue;

AIPoint point(int32_t h, int32_t v) {
  AIPoint p{};
  p.h = h;
  p.v = v;
  return p;
}

void storePoint(simhost::Host& host, const char* key, AIPoint value) {
  simhost::Preference p;
  p.kind = simhost::Preference::Point;
  p.point = value;
  host.preferences()[{kPanelPrefsSection, key}] = p;
}

const simhost::Preference* stored(simhost::Host& host, const char* key) {
  auto it = host.preferences().find({kPanelPrefsSection, key});
  return it == host.preferences().end() ? nullptr : &it->second;
}

TEST_F(PanelTest, FirstStartPlacesThePanelBottomRightAndPushesTheStartingValues) {
  makeParameters();
  simhost::Dialog* d = parameterDialog();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->title, "Sarvello");
  EXPECT_EQ(d->bounds, firstPlace());
  EXPECT_EQ(d->groupName, "Sarvello Dialogs");
  EXPECT_EQ(d->dockCode, 7168);
  EXPECT_TRUE(d->visible);

  EXPECT_EQ(annotator->size, 400);
  SarvelloMain& engine = *annotator->engine;
  EXPECT_FLOAT_EQ(engine.viscosity, 0.0005f);
  EXPECT_FLOAT_EQ(engine.dt, 0.01f);
  EXPECT_FLOAT_EQ(engine.force_scale, 4.0f * 4000.0f);
  EXPECT_EQ(engine.pending_N, 64);
  EXPECT_FLOAT_EQ(engine.sampling, 2.0f);
}

TEST_F(PanelTest, ControlsHoldTheirPresetListsDecimalPlacesBoundsAndSelection) {
  makeParameters();
  simhost::Dialog* d = parameterDialog();
  ASSERT_NE(d, nullptr);
  struct Expected {
    int32_t item;
    std::size_t entries;
    int selected;  // from 0
    const char* text;
    int32_t precision;
    double minimum, maximum;
    bool integer;
  };
  const Expected expected[] = {
      {kViscosityItem, 14, 2, ".0005", 5, 0.0, 100.0, false},
      {kTimeStepItem, 13, 3, ".01", 8, 0.0001f, 1.5, false},
      {kForceItem, 22, 10, "4.0", 5, 0.01f, 1000.0, false},
      {kGridItem, 5, 2, "64", 0, 8, 512, true},
      {kSamplingItem, 7, 3, "2.0", 8, 0.01f, 10.0, false},
      {kSizeItem, 7, 3, "400", 0, 100, 1000, true},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.item);
    simhost::DialogItem* item = d->item(e.item);
    ASSERT_NE(item, nullptr);
    EXPECT_NE(item->notify, nullptr);
    EXPECT_EQ(item->entries.size(), e.entries);
    EXPECT_EQ(item->selected, e.selected);
    EXPECT_EQ(item->text, e.text);
    EXPECT_EQ(item->precision, e.precision);
    EXPECT_DOUBLE_EQ(item->minimum, e.minimum);
    EXPECT_DOUBLE_EQ(item->maximum, e.maximum);
    EXPECT_EQ(item->integerBounds, e.integer);
  }
  EXPECT_EQ(d->item(kViscosityItem)->entries.front(), ".0");
  EXPECT_EQ(d->item(kForceItem)->entries.back(), "400.0");
  EXPECT_NE(d->item(kClearButtonItem)->notify, nullptr);
  EXPECT_NE(d->item(kRetryButtonItem)->notify, nullptr);
}

TEST_F(PanelTest, StoredPlacementIsRestoredWithTheHeightFixed) {
  storePoint(host, kLocationPref, point(30, 40));
  storePoint(host, kSizePref, point(260, 300));
  simhost::Preference group;
  group.kind = simhost::Preference::String;
  group.text = "Left Dock";
  host.preferences()[{kPanelPrefsSection, kDockGroupPref}] = group;
  simhost::Preference code;
  code.kind = simhost::Preference::Integer;
  code.integer = 3;
  host.preferences()[{kPanelPrefsSection, kDockCodePref}] = code;

  makeParameters();
  simhost::Dialog* d = parameterDialog();
  // The stored width as it is, a fixed height whatever was stored.
  EXPECT_EQ(d->bounds, byVariant(rect(30, 34, 275, 234), rect(30, 40, 290, 247)));
  EXPECT_EQ(d->groupName, "Left Dock");
  EXPECT_EQ(d->dockCode, 3);
}

TEST_F(PanelTest, OverlongStoredDockGroupIsCutTo63Characters) {
  simhost::Preference group;
  group.kind = simhost::Preference::String;
  group.text = std::string(40, 'a') + std::string(60, 'b');
  host.preferences()[{kPanelPrefsSection, kDockGroupPref}] = group;
  makeParameters();
  EXPECT_EQ(parameterDialog()->groupName, group.text.substr(0, 63));
}

TEST_F(PanelTest, FailedPreferenceReadsKeepTheDefaults) {
  host.faults().failAllCalls("AIPreference.GetStringPreference", kCantHappenErr);
  host.faults().failAllCalls("AIPreference.GetPointPreference", kCantHappenErr);
  storePoint(host, kLocationPref, point(30, 40));
  makeParameters();
  EXPECT_EQ(parameterDialog()->groupName, "Sarvello Dialogs");
  EXPECT_EQ(parameterDialog()->bounds, firstPlace());
}

TEST_F(PanelTest, ChosenAndTypedValuesReachTheEngineOneAtATime) {
  makeParameters();
  SarvelloMain& engine = *annotator->engine;
  EXPECT_EQ(typeValue(host, "Sarvello", kGridItem, "100"), "");
  EXPECT_EQ(engine.pending_N, 100);  // not a preset, passed as typed
  EXPECT_FLOAT_EQ(engine.viscosity, 0.0005f);
  EXPECT_EQ(annotator->size, 400);

  EXPECT_EQ(typeValue(host, "Sarvello", kGridItem, "4"), "");
  EXPECT_EQ(engine.pending_N, 8);
  EXPECT_EQ(typeValue(host, "Sarvello", kGridItem, "5000"), "");
  EXPECT_EQ(engine.pending_N, 512);

  EXPECT_EQ(choosePreset(host, "Sarvello", kViscosityItem, 1), "");  // ".0" is a real value
  EXPECT_EQ(engine.viscosity, 0.0f);
  EXPECT_EQ(choosePreset(host, "Sarvello", kTimeStepItem, 13), "");
  EXPECT_FLOAT_EQ(engine.dt, 0.1f);
  EXPECT_EQ(choosePreset(host, "Sarvello", kForceItem, 22), "");
  EXPECT_FLOAT_EQ(engine.force_scale, 400.0f * 4000.0f);
  EXPECT_EQ(typeValue(host, "Sarvello", kSamplingItem, "0.001"), "");
  EXPECT_FLOAT_EQ(engine.sampling, 0.01f);
  EXPECT_EQ(engine.pending_N, 512);
}

TEST_F(PanelTest, SizeIsTruncated) {
  makeParameters();
  EXPECT_EQ(typeValue(host, "Sarvello", kSizeItem, "250.9"), "");
  EXPECT_EQ(annotator->size, 250);
}

TEST_F(PanelTest, OtherNotificationsAndAMissingPluginOrAnnotatorChangeNothing) {
  makeParameters();
  ADMItemRef grid = sADMDialog->GetItem(parameters->GetDialogRef(), kGridItem);
  sADMItem->SetIntValue(grid, 200);
  ADMNonModalDialog::gridPopupProc(grid, nullptr);  // no notifier: not a user change
  EXPECT_EQ(annotator->engine->pending_N, 64);

  paneltest::setPluginPresent(false);
  EXPECT_EQ(typeValue(host, "Sarvello", kGridItem, "128"), "");
  annotator->step = 9;
  EXPECT_EQ(pressButton(host, "Sarvello", kClearButtonItem), "");
  EXPECT_EQ(annotator->engine->pending_N, 64);
  EXPECT_EQ(annotator->step, 9);

  paneltest::setPluginPresent(true);
  SarvelloMain* engine = annotator->engine;
  annotator->engine = nullptr;  // the buttons then only reset the step counter
  EXPECT_EQ(pressButton(host, "Sarvello", kRetryButtonItem), "");
  EXPECT_EQ(annotator->step, 0);
  annotator->engine = engine;
}

TEST_F(PanelTest, ClearEmptiesTheFieldAndRetryRestoresTheCapturedPaths) {
  makeParameters();
  SarvelloMain& engine = *annotator->engine;
  AIPathSegment s{};
  s.p = s.in = s.out = AIRealPoint{10.0f, 20.0f};
  AIArtHandle path = host.document().addPath({s, s}, false);
  ASSERT_EQ(engine.prepare(), 0);
  if (!engine.has_grid()) {
    ASSERT_EQ(engine.allocate_data(), 1);
  }
  const int cells = (engine.N + 2) * (engine.N + 2);
  engine.u[cells / 2] = 3.0f;
  annotator->step = 12;
  EXPECT_EQ(pressButton(host, "Sarvello", kClearButtonItem), "");
  EXPECT_EQ(annotator->step, 0);
  EXPECT_EQ(engine.u[cells / 2], 0.0f);

  host.document().find(path)->segments[0].p = AIRealPoint{99.0f, 99.0f};
  annotator->step = 5;
  EXPECT_EQ(pressButton(host, "Sarvello", kRetryButtonItem), "");
  EXPECT_EQ(annotator->step, 0);
  EXPECT_EQ(host.document().find(path)->segments[0].p.h, 10.0f);
}

TEST_F(PanelTest, DialogManagerDestroyingThePanelSavesItsPlacementAndLeavesThePanelSafe) {
  makeParameters();
  simhost::Dialog* d = parameterDialog();
  d->bounds = rect(100, 120, 330, 327);
  d->visible = false;
  simhost::destroyAllDialogs(host);
  EXPECT_EQ(parameters->GetDialogRef(), nullptr);
  EXPECT_EQ(host.outstanding().dialogs, 0u);

  ASSERT_NE(stored(host, kDockCodePref), nullptr);
  EXPECT_EQ(stored(host, kDockCodePref)->integer, 7168);
  EXPECT_EQ(stored(host, kDockGroupPref)->text, "Sarvello Dialogs");
  EXPECT_EQ(stored(host, kLocationPref)->point.h, 100);
  EXPECT_EQ(stored(host, kLocationPref)->point.v, 120);
  EXPECT_EQ(stored(host, kSizePref)->point.h, 230);
  EXPECT_EQ(stored(host, kSizePref)->point.v, 207);
  EXPECT_EQ(stored(host, kVisiblePref)->integer, 0);

  // The plug-in deletes the panel afterwards: nothing is destroyed twice.
  const int destroys = host.faults().calls("ADMDialog.Destroy");
  delete parameters;
  parameters = nullptr;
  EXPECT_EQ(host.faults().calls("ADMDialog.Destroy"), destroys);

  // The next panel starts where this one was.
  makeParameters();
  EXPECT_EQ(parameterDialog()->bounds, byVariant(rect(100, 114, 315, 314), rect(100, 120, 330, 327)));
}

TEST_F(PanelTest, UnreadableDockGroupKeepsTheStoredGroupWhenSaving) {
  simhost::Preference group;
  group.kind = simhost::Preference::String;
  group.text = "Right Dock";
  host.preferences()[{kPanelPrefsSection, kDockGroupPref}] = group;
  makeParameters();
  host.faults().failCall("ADMDialogGroup.GetDialogGroupInfo", 1, kCantHappenErr);
  simhost::destroyAllDialogs(host);
  EXPECT_EQ(stored(host, kDockGroupPref)->text, "Right Dock");
  EXPECT_EQ(stored(host, kDockCodePref), nullptr);
  EXPECT_NE(stored(host, kLocationPref), nullptr);
}

TEST_F(PanelTest, DeletingThePanelFirstDestroysItsDialogWithoutSaving) {
  makeParameters();
  delete parameters;
  parameters = nullptr;
  EXPECT_EQ(host.outstanding().dialogs, 0u);
  EXPECT_EQ(stored(host, kLocationPref), nullptr);
  simhost::destroyAllDialogs(host);  // the host's quitting then finds nothing
  EXPECT_EQ(host.outstanding().dialogs, 0u);
}

}  // namespace
