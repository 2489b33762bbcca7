// The dialog base's handlers and ownership rules, and the information panel.
#include <limits>
#include <string>

#include "PanelFixture.h"
#include "adm/DialogManager.h"

namespace {

// A base panel that records what reaches it.
struct Recorder {
  int draws = 0;
  int tracks = 0;
  int notifies = 0;
  int destroys = 0;
  bool deleted = false;
};

class RecordingDialog : public BaseADMDialog {
 public:
  RecordingDialog(Recorder& r, int32_t dialogID = kInfoPanelDialogID) : fRecorder(r) {
    char name[] = "Recording";
    Create(paneltest::pluginRef(), name, dialogID, kADMTabbedFloatingDialogStyle, 0);
  }
  ~RecordingDialog() override { fRecorder.deleted = true; }
  void Draw(IADMDrawer drawer) override {
    ++fRecorder.draws;
    BaseADMDialog::Draw(drawer);
  }
  ASBoolean Track(IADMTracker tracker) override {
    ++fRecorder.tracks;
    return BaseADMDialog::Track(tracker);
  }
  void Notify(IADMNotifier notifier) override {
    ++fRecorder.notifies;
    BaseADMDialog::Notify(notifier);
  }
  void Destroy() override { ++fRecorder.destroys; }
  void PretendHandle(ADMDialogRef dialog) { fDialog = dialog; }

 private:
  Recorder& fRecorder;
};

class RefusingDialog : public BaseADMDialog {
 public:
  RefusingDialog() {
    char name[] = "Refusing";
    Create(paneltest::pluginRef(), name, kInfoPanelDialogID, kADMTabbedFloatingDialogStyle, 0);
  }
  ASErr Init() override {
    BaseADMDialog::Init();
    return kCantHappenErr;
  }
};

BaseADMDialog* gForgotten = nullptr;
void Forget(BaseADMDialog* dialog) { gForgotten = dialog; }

TEST_F(PanelTest, HandlersReachTheObjectOnlyForItsOwnDialog) {
  Recorder r;
  auto* object = new RecordingDialog(r);
  ADMDialogRef own = object->GetDialogRef();
  ASSERT_NE(own, nullptr);
  simhost::drawDialog(host, own);
  EXPECT_FALSE(simhost::trackDialog(host, own));  // default tracking takes nothing
  EXPECT_EQ(r.draws, 1);
  EXPECT_EQ(r.tracks, 1);
  EXPECT_EQ(host.dialogs().find(own)->defaultDraws, 1);

  // Bound to another dialog: draw and track are ignored, notify still arrives.
  Recorder other;
  auto* second = new RecordingDialog(other);
  object->PretendHandle(second->GetDialogRef());
  simhost::drawDialog(host, own);
  EXPECT_FALSE(simhost::trackDialog(host, own));
  EXPECT_EQ(r.draws, 1);
  EXPECT_EQ(r.tracks, 1);
  EXPECT_EQ(simhost::pressButton(host, "Recording", kWebsiteButtonItem), "");
  EXPECT_EQ(r.notifies + other.notifies, 1);
  EXPECT_EQ(r.notifies, 1);  // the first dialog of that name is the object's own

  object->PretendHandle(own);
  delete object;
  delete second;
  EXPECT_EQ(r.destroys, 0);  // deleting destroys the dialog without calling back
  EXPECT_EQ(host.outstanding().dialogs, 0u);
}

TEST_F(PanelTest, DialogManagerDestroyingANonModalDialogDeletesTheObjectAndTellsItsOwner) {
  Recorder r;
  auto* object = new RecordingDialog(r);
  object->SetSelfDeleteHook(Forget);
  gForgotten = nullptr;
  simhost::destroyAllDialogs(host);
  EXPECT_EQ(r.destroys, 1);
  EXPECT_TRUE(r.deleted);
  EXPECT_EQ(gForgotten, object);
}

TEST_F(PanelTest, ModalObjectOutlivesItsDialog) {
  Recorder r;
  RecordingDialog* object = nullptr;
  {
    // A modal run needs an object that has not created a dialog yet.
    struct Modal : RecordingDialog {
      explicit Modal(Recorder& rec) : RecordingDialog(rec, 0) {}
    };
    object = new Modal(r);
  }
  EXPECT_EQ(object->GetDialogRef(), nullptr);  // no dialog resource 0
  char name[] = "Modal";
  EXPECT_EQ(object->Modal(paneltest::pluginRef(), name, kInfoPanelDialogID, kADMModalDialogStyle, 0),
            1);
  EXPECT_TRUE(object->IsModal());
  EXPECT_EQ(r.destroys, 1);
  EXPECT_FALSE(r.deleted);
  EXPECT_EQ(object->GetDialogRef(), nullptr);
  delete object;
  EXPECT_EQ(host.outstanding().dialogs, 0u);
}

TEST_F(PanelTest, RefusedOrFailedCreationLeavesAPanelWithoutDialog) {
  auto* refused = new RefusingDialog();
  EXPECT_EQ(host.outstanding().dialogs, 0u);
  delete refused;

  host.faults().failCall("ADMDialog.Create", 1, kCantHappenErr);
  makeParameters();
  EXPECT_EQ(parameters->GetDialogRef(), nullptr);
  EXPECT_EQ(annotator->engine->pending_N, 0);  // nothing was pushed
  EXPECT_EQ(host.outstanding().dialogs, 0u);
}

TEST_F(PanelTest, DialogResourcesBeyondTheViewCoordinatesAreRefused) {
  using Limits = std::numeric_limits<decltype(Rect::left)>;
  const auto resource = [](std::int64_t x, std::int64_t width) {
    return sarvello::res::encodeStringList(
        {"t", "10 10", "1\tADM Frame Type\t" + std::to_string(x) + "\t0\t" + std::to_string(width) + "\t5\t"});
  };
  const sarvello::res::Bytes fits = resource(Limits::max() - 10, 10), beyond = resource(Limits::max() - 10, 11);
  host.resource = [&](SPPluginRef, std::uint32_t type, int32_t id) -> const std::vector<std::uint8_t>* {
    return type != simhost::kDialogResourceType ? nullptr : id == 1 ? &fits : &beyond;
  };
  const auto create = [](int32_t id) {
    return sADMDialog->Create(paneltest::pluginRef(), "d", id, kADMFloatingDialogStyle, nullptr, nullptr, 0);
  };
  const ADMDialogRef made = create(1);
  EXPECT_NE(made, nullptr);
  sADMDialog->Destroy(made);
  EXPECT_EQ(create(2), nullptr);
  EXPECT_EQ(host.outstanding().dialogs, 0u);
}

TEST_F(PanelTest, InformationPanelPlacesItselfAndOpensTheWebsite) {
  makeInfo();
  simhost::Dialog* d = dialog("Sarvello Education ReadMe5");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->title, "Important Infomation");
  EXPECT_EQ(d->bounds, byVariant(rect(200, 200, 380, 430), rect(200, 200, 390, 400)));
  // The address in its two halves is the one the button opens.
  std::string shown;
  for (const simhost::DialogItem& item : d->items)
    if (item.id == 3 && (item.text.rfind("https://", 0) == 0 || !shown.empty())) shown += item.text;
  EXPECT_EQ(shown, kSarvelloWebsite);

  const auto segmentsBefore = host.document().size();
  const int sizeBefore = annotator->size;
  EXPECT_EQ(simhost::pressButton(host, "Sarvello Education ReadMe5", kWebsiteButtonItem), "");
  ASSERT_EQ(host.openedURLs().size(), 1u);
  EXPECT_EQ(host.openedURLs()[0], kSarvelloWebsite);
  EXPECT_EQ(host.document().size(), segmentsBefore);
  EXPECT_EQ(annotator->size, sizeBefore);
}

TEST_F(PanelTest, InformationPanelInBothOrdersOfDestruction) {
  // The plug-in deletes it first: the dialog goes without calling back.
  makeInfo();
  delete info;
  info = nullptr;
  EXPECT_EQ(host.outstanding().dialogs, 0u);

  // The dialog manager destroys it first: the panel deletes itself and its owner forgets it.
  makeInfo();
  info->SetSelfDeleteHook([](BaseADMDialog*) { gForgotten = nullptr; });
  gForgotten = info;
  simhost::destroyAllDialogs(host);
  EXPECT_EQ(gForgotten, nullptr);
  info = nullptr;  // deleted by itself
  EXPECT_EQ(host.outstanding().dialogs, 0u);
}

TEST_F(PanelTest, HandlesOfDestroyedDialogsAndItemsAreRefusedQuietly) {
  makeParameters();
  ADMDialogRef dialogRef = parameters->GetDialogRef();
  ADMItemRef item = sADMDialog->GetItem(dialogRef, kGridItem);
  ADMListRef list = sADMItem->GetList(item);
  ADMEntryRef entry = sADMList->IndexEntry(list, 0);
  delete parameters;
  parameters = nullptr;
  sADMDialog->Show(dialogRef, 1);
  EXPECT_EQ(sADMDialog->IsVisible(dialogRef), 0);
  EXPECT_EQ(sADMDialog->GetItem(dialogRef, kGridItem), nullptr);
  EXPECT_EQ(sADMDialog->GetUserData(dialogRef), nullptr);
  sADMDialog->Destroy(dialogRef);
  EXPECT_EQ(sADMItem->GetIntValue(item), 0);
  sADMItem->SetNotifyProc(item, nullptr);
  EXPECT_EQ(sADMList->NumberOfEntries(list), 0);
  EXPECT_EQ(sADMList->SetMenuID(list, kGridMenuID, "GridPopup"), kNoSuchObjectErr);
  sADMEntry->Select(entry, 1);
  EXPECT_EQ(sADMEntry->IsSelected(entry), 0);
  const char* group = "x";
  EXPECT_EQ(sADMDialogGroup6->GetDialogGroupInfo(dialogRef, &group, nullptr), kNoSuchObjectErr);
  EXPECT_EQ(group, nullptr);
  // A made-up handle is no better.
  EXPECT_EQ(sADMDialog->GetUserData(reinterpret_cast<ADMDialogRef>(0x1234567)), nullptr);
  EXPECT_EQ(sADMNotifier->IsNotifierType(reinterpret_cast<ADMNotifierRef>(0x40), "x"), 0);
}

TEST_F(PanelTest, UserActionsSayWhyTheyCannotBeDone) {
  makeParameters();
  EXPECT_NE(simhost::typeValue(host, "Sarvello", kGridItem, "ten"), "");
  EXPECT_NE(simhost::typeValue(host, "Sarvello", kGridItem, "nan"), "");
  EXPECT_NE(simhost::typeValue(host, "Sarvello", kGridItem, "0x10"), "");  // no hexadecimal
  EXPECT_NE(simhost::typeValue(host, "Sarvello", kClearButtonItem, "3"), "");
  EXPECT_NE(simhost::choosePreset(host, "Sarvello", kGridItem, 6), "");
  EXPECT_NE(simhost::choosePreset(host, "Sarvello", kGridItem, 0), "");
  EXPECT_NE(simhost::pressButton(host, "Sarvello", kGridItem), "");
  EXPECT_NE(simhost::pressButton(host, "Nobody", 1), "");
  EXPECT_EQ(annotator->engine->pending_N, 64);

  EXPECT_EQ(simhost::closeDialog(host, "Sarvello"), "");
  EXPECT_NE(simhost::choosePreset(host, "Sarvello", kGridItem, 1), "");  // hidden
  sADMDialog->Show(parameters->GetDialogRef(), 1);
  EXPECT_EQ(simhost::choosePreset(host, "Sarvello", kGridItem, 1), "");
  EXPECT_EQ(annotator->engine->pending_N, 16);
  EXPECT_NE(simhost::describeDialogs(host).find("Grid Res: 16"), std::string::npos);
}

TEST_F(PanelTest, DialogSuitesAnswerInjectedFaults) {
  makeParameters();
  host.faults().failCall("ADMDialogGroup.SetDialogGroupInfo", 1, kCantHappenErr);
  EXPECT_EQ(sADMDialogGroup6->SetDialogGroupInfo(parameters->GetDialogRef(), "G", 1),
            kCantHappenErr);
  host.faults().failCall("ADMDialog.GetItem", 1, kCantHappenErr);
  EXPECT_EQ(sADMDialog->GetItem(parameters->GetDialogRef(), kGridItem), nullptr);
  EXPECT_NE(sADMDialog->GetItem(parameters->GetDialogRef(), kGridItem), nullptr);
}

}  // namespace
