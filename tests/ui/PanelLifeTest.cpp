// The panels' life with the plug-in through the loaded module: the menu item, showing them on
// picking the tool, the website button, the placement kept across restarts of the host, quitting
// in either order, and panels that cannot be made.
#include <string>
#include <vector>

#include "PanelsFixture.h"

namespace {

using simhost::HostEvent;

TEST_F(PanelsTest, MenuItemTogglesTheParameterPanelOnceItExists) {
  load();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceStartupSelector), kNoErr);
  // Before the application has started there is no panel: the item does nothing.
  EXPECT_EQ(chooseMenuItem(), kNoErr);
  EXPECT_TRUE(dialogs().dialogs.empty());

  ASSERT_EQ(plugins->notify(kAIApplicationStartedNotifier), kNoErr);
  ASSERT_TRUE(visible(kParameterPanel));
  EXPECT_EQ(chooseMenuItem(), kNoErr);
  EXPECT_FALSE(visible(kParameterPanel));
  EXPECT_TRUE(visible(kInfoPanel));  // the item is the parameter panel's only
  EXPECT_EQ(chooseMenuItem(), kNoErr);
  EXPECT_TRUE(visible(kParameterPanel));

  // A second notification makes no second pair.
  ASSERT_EQ(plugins->notify(kAIApplicationStartedNotifier), kNoErr);
  EXPECT_EQ(dialogs().dialogs.size(), 2u);

  simhost::destroyAllDialogs(*host);
  EXPECT_EQ(plugins->notify(kAIApplicationShutdownNotifier), kNoErr);
  EXPECT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceShutdownSelector), kNoErr);
  EXPECT_TRUE(host->alerts().empty());
}

TEST_F(PanelsTest, PickingTheToolShowsBothPanelsAgainTheNoticeFirst) {
  boot();
  ASSERT_FALSE(HasFatalFailure());
  for (const char* name : {kParameterPanel, kInfoPanel})
    ASSERT_EQ(simhost::closeDialog(*host, name), "");
  ASSERT_EQ(dispatch(HostEvent::select()), kNoErr);
  EXPECT_TRUE(visible(kInfoPanel));
  EXPECT_TRUE(visible(kParameterPanel));

  // When only the first of the two requests reaches the dialog manager, it is the notice's.
  ASSERT_EQ(dispatch(HostEvent::deselect()), kNoErr);
  for (const char* name : {kParameterPanel, kInfoPanel})
    ASSERT_EQ(simhost::closeDialog(*host, name), "");
  host->faults().failCall("ADMDialog.Show", 2, kBadParameterErr);
  ASSERT_EQ(dispatch(HostEvent::select()), kNoErr);
  EXPECT_TRUE(visible(kInfoPanel));
  EXPECT_FALSE(visible(kParameterPanel));
}

TEST_F(PanelsTest, VisitWebsiteOpensTheAddressAndChangesNothingElse) {
  const Segments standard = run();

  boot();
  ASSERT_FALSE(HasFatalFailure());
  tools().invalidRects.clear();
  ::testing::internal::CaptureStdout();
  press(kInfoPanel, kWebsiteButtonItem);
  const std::string said = ::testing::internal::GetCapturedStdout();
  // Recorded and printed, not launched: the host opens nothing during tests.
  EXPECT_EQ(host->openedURLs(), std::vector<std::string>{kSarvelloWebsite});
  EXPECT_EQ(said, std::string("Open in a browser: ") + kSarvelloWebsite + "\n");
  EXPECT_FALSE(tools().invalid());

  // The engine was not touched: the same stroke gives the same path as without the visit.
  const Segments visited = stir();
  EXPECT_TRUE(samePoints(standard, visited));

  // Nor is the document, and no redraw (which would advance the fluid) is asked for.
  tools().invalidRects.clear();
  ::testing::internal::CaptureStdout();
  press(kInfoPanel, kWebsiteButtonItem);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(host->openedURLs().size(), 2u);
  EXPECT_TRUE(samePoints(segments(art), visited));
  EXPECT_FALSE(tools().invalid());
  EXPECT_TRUE(host->alerts().empty());
}

TEST_F(PanelsTest, PlacementSavedAtQuitIsRestoredAtTheNextStart) {
  boot();
  ASSERT_FALSE(HasFatalFailure());
  // The user moves and widens the panel, docks it elsewhere and closes it.
  simhost::Dialog* parameters = panel();
  parameters->bounds = rect(40, 60, 270, 267);
  parameters->groupName = "Other Palettes";
  parameters->dockCode = 42;
  ASSERT_EQ(simhost::closeDialog(*host, kParameterPanel), "");
  quit();

  {
    // What the file holds now.
    simhost::Host reader;
    std::string warning;
    ASSERT_TRUE(reader.usePreferencesFile(preferencesFile, &warning)) << warning;
    auto& prefs = reader.preferences();
    auto stored = [&](const char* key) -> const simhost::Preference& {
      return prefs[{kPanelPrefsSection, key}];
    };
    EXPECT_EQ(prefs.size(), 5u);
    EXPECT_EQ(stored(kDockCodePref).integer, 42);
    EXPECT_EQ(stored(kDockGroupPref).text, "Other Palettes");
    EXPECT_EQ(stored(kLocationPref).point.h, 40);
    EXPECT_EQ(stored(kLocationPref).point.v, 60);
    EXPECT_EQ(stored(kSizePref).point.h, 230);
    EXPECT_EQ(stored(kSizePref).point.v, 207);
    EXPECT_EQ(stored(kVisiblePref).kind, simhost::Preference::Boolean);
    EXPECT_EQ(stored(kVisiblePref).integer, 0);
  }

  boot();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(bounds(), byVariant(rect(40, 54, 255, 254), rect(40, 60, 270, 267)));
  EXPECT_EQ(panel()->groupName, "Other Palettes");
  EXPECT_EQ(panel()->dockCode, 42);
  EXPECT_TRUE(visible(kParameterPanel));  // the stored visibility is kept, not applied
}

TEST_F(PanelsTest, PlacementIsNotSavedWhenTheShutdownIsAnnouncedFirst) {
  boot();
  ASSERT_FALSE(HasFatalFailure());
  panel()->bounds = rect(40, 60, 270, 267);
  // The plug-in deletes its panels on the notification, which destroys their dialogs without
  // calling back: nothing is written.
  quit(QuitOrder::ShutdownFirst);
  boot();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(bounds(), firstPlace());
  EXPECT_TRUE(host->preferences().empty());
}

TEST_F(PanelsTest, QuittingInEitherOrderLeavesNothingOutstanding) {
  for (QuitOrder order : {QuitOrder::DialogsFirst, QuitOrder::ShutdownFirst}) {
    SCOPED_TRACE(order == QuitOrder::DialogsFirst ? "dialogs first" : "shutdown first");
    boot();
    ASSERT_FALSE(HasFatalFailure());
    stir();
    press(kParameterPanel, kRetryButtonItem);
    ASSERT_EQ(dispatch(HostEvent::deselect()), kNoErr);
    EXPECT_EQ(plugins->accessReferences(), 1);
    EXPECT_EQ(host->outstanding().dialogs, 2u);
    quit(order);  // expects nothing outstanding: blocks, suites, strings, dialogs, references
  }
}

TEST_F(PanelsTest, DialogsDestroyedBeforeTheNotificationAreForgottenNotDeletedTwice) {
  boot();
  ASSERT_FALSE(HasFatalFailure());
  simhost::destroyAllDialogs(*host);
  EXPECT_TRUE(dialogs().dialogs.empty());
  // The annotator and the parameter panel's object are still there: the code stays loaded.
  EXPECT_EQ(plugins->accessReferences(), 1);
  EXPECT_FALSE(plugins->purge());

  // Nothing is left to show or hide, and the tool works on.
  EXPECT_EQ(chooseMenuItem(), kNoErr);
  const Segments stirred = stir();
  EXPECT_FALSE(samePoints(stirred, squareCorners(-50.0f, 50.0f, 100.0f)));
  EXPECT_TRUE(dialogs().dialogs.empty());
  EXPECT_TRUE(host->alerts().empty());
  // The quit finds no dialog; the notification deletes the parameter panel and the annotator.
}

TEST_F(PanelsTest, PanelsThatCannotBeMadeAreReportedAndMadeAtTheNextNotification) {
  load();
  ASSERT_FALSE(HasFatalFailure());
  // The dialog manager makes no dialog for the parameter panel.
  host->faults().failCall("ADMDialog.Create", 1, kBadParameterErr);
  EXPECT_EQ(plugins->start(), kCantHappenErr);
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_EQ(host->alerts()[0].text,
            "Sarvello ran into an unexpected problem (CANT) and stopped what it was doing.");
  EXPECT_EQ(panel(), nullptr);
  EXPECT_NE(panel(kInfoPanel), nullptr);
  EXPECT_EQ(chooseMenuItem(), kNoErr);
  EXPECT_EQ(plugins->accessReferences(), 1);

  // The next notification makes the one that is missing.
  ASSERT_EQ(plugins->notify(kAIApplicationStartedNotifier), kNoErr);
  EXPECT_NE(panel(), nullptr);
  EXPECT_EQ(dialogs().dialogs.size(), 2u);
  quit();

  // No memory for either panel.
  load();
  ASSERT_FALSE(HasFatalFailure());
  host->faults().failAllCalls("ADMDialog.Create", kBadParameterErr);
  EXPECT_EQ(plugins->start(), kCantHappenErr);
  host->faults().clear();
  EXPECT_TRUE(dialogs().dialogs.empty());
  host->faults().refuseAllAllocations();
  EXPECT_EQ(plugins->notify(kAIApplicationStartedNotifier), kOutOfMemoryErr);
  host->faults().clear();
  EXPECT_TRUE(dialogs().dialogs.empty());
  ASSERT_EQ(plugins->notify(kAIApplicationStartedNotifier), kNoErr);
  EXPECT_EQ(dialogs().dialogs.size(), 2u);
}

}  // namespace
