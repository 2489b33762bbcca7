// What the panels start with through the loaded module: placement on a first start and with a
// stored one, and the starting Parameter set reaching the engine and the overlay.
#include <string>

#include "PanelsFixture.h"

namespace {

TEST_F(PanelsTest, FirstStartPushesTheStartingValuesToTheEngine) {
  ::testing::internal::CaptureStdout();
  boot();
  const std::string said = ::testing::internal::GetCapturedStdout();
  ASSERT_FALSE(HasFatalFailure());
  // The panel's grid resolution reached the engine, which announces the requested regrid.
  EXPECT_EQ(said, "changin grid resolution to 64\n");
  EXPECT_NE(panel(), nullptr);
  EXPECT_NE(panel(kInfoPanel), nullptr);
}

TEST_F(PanelsTest, StoredPlacementKeepsItsWidthButNotItsHeight) {
  boot([&] {
    auto& prefs = host->preferences();
    simhost::Preference point;
    point.kind = simhost::Preference::Point;
    point.point.h = 100;
    point.point.v = 120;
    prefs[{kPanelPrefsSection, kLocationPref}] = point;
    point.point.h = 250;
    point.point.v = 300;
    prefs[{kPanelPrefsSection, kSizePref}] = point;
    simhost::Preference code;
    code.kind = simhost::Preference::Integer;
    code.integer = 3;
    prefs[{kPanelPrefsSection, kDockCodePref}] = code;
  });
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(bounds(), byVariant(rect(100, 114, 335, 314), rect(100, 120, 350, 327)));
  EXPECT_EQ(panel()->dockCode, 3);
  EXPECT_EQ(panel()->groupName, "Sarvello Dialogs");  // not stored: the default
}

// One parameter control: its preselected preset, and another preset of its list.
struct Control {
  const char* name;
  int32_t item;
  int32_t menuID;
  int preselected;
  int other;
  const char* otherText;
};

void PrintTo(const Control& control, std::ostream* out) { *out << control.name; }

class StartingValue : public PanelsTest, public ::testing::WithParamInterface<Control> {};

// The engine's and the annotator's own defaults equal the presets, so a run with the standard
// presets cannot tell whether the panel's values arrived. With the preselected entry reading
// another value, the panel starts with that value, and the stroke comes out exactly as when the
// user chooses that value after a standard start, and unlike a standard run.
TEST_P(StartingValue, ReachesTheEngineFromThePreselectedPreset) {
  const Control& control = GetParam();
  const Segments standard = run();
  const Segments started =
      run([&] { EXPECT_EQ(field(control.item), control.otherText); },
          [&] { replacePreset(control.menuID, control.preselected, control.otherText); });
  const Segments chosen = run([&] { choose(control.item, control.other); });
  ASSERT_FALSE(standard.empty());
  EXPECT_FALSE(samePoints(standard, started));
  EXPECT_TRUE(samePoints(started, chosen));
}

INSTANTIATE_TEST_SUITE_P(
    EachControl, StartingValue,
    ::testing::Values(Control{"Viscosity", kViscosityItem, kViscosityMenuID, 3, 13, ".3"},
                      Control{"TimeStep", kTimeStepItem, kTimeStepMenuID, 4, 8, ".05"},
                      Control{"Force", kForceItem, kForceMenuID, 11, 16, "40.0"},
                      Control{"GridRes", kGridItem, kGridMenuID, 3, 2, "32"},
                      Control{"Sampling", kSamplingItem, kSamplingMenuID, 4, 7, "5.0"},
                      Control{"Size", kSizeItem, kSizeMenuID, 4, 3, "300"}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
