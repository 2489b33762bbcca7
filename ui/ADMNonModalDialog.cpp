#include "ADMNonModalDialog.h"
#include "PanelMetrics.h"

#include <cstring>

#include "AppContext.h"
#include "Plugin.h"
#include "SarvelloAnnotator.h"
#include "SarvelloMain.h"
#include "SarvelloSuites.h"

namespace {

// One of the six parameter controls: a spin-edit field with a popup list of presets.
struct ParameterControl {
  int32_t item;
  ADMItemNotifyProc handler;
  int32_t menuID;
  const char* menuName;
  int32_t decimalPlaces;
  float minimum;
  float maximum;
  int32_t preselected;  // entry, counting from 1
  bool integer;         // integer bounds and value
};

// The Parameter set's positions.
enum Position { kViscosity, kTimeStep, kForce, kGrid, kSampling, kSize, kPositions };

// The plug-in that owns an item's dialog (none when the item is gone).
SPPluginRef ItemPlugin(ADMItemRef item) {
  if (sADMItem == nullptr || sADMDialog == nullptr) return nullptr;
  ADMDialogRef dialog = sADMItem->GetDialog(item);
  return dialog != nullptr ? sADMDialog->GetPluginRef(dialog) : nullptr;
}

bool UserChanged(ADMNotifierRef notifier) {
  return IADMNotifier(notifier).IsNotifierType(kADMUserChangedNotifier);
}

// The Size field's value as the integer size: truncated toward zero, kept inside the int range.
int TruncatedSize(float value) {
  if (!(value > -2147483648.0f)) return value != value ? -1 : -2147483647 - 1;
  if (value >= 2147483648.0f) return 2147483647;
  return static_cast<int>(value);
}

// Sends one changed value down to the engine, the five others left unchanged (-1).
void SendParameter(Position position, ADMItemRef item, ADMNotifierRef notifier) {
  AppContext context(ItemPlugin(item));
  if (!UserChanged(notifier) || gPlugin == nullptr || sADMItem == nullptr) return;
  float values[kPositions] = {-1.0f, -1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
  int grid = -1;
  int size = -1;
  if (position == kGrid) {
    grid = sADMItem->GetIntValue(item);
  } else if (position == kSize) {
    size = TruncatedSize(sADMItem->GetFloatValue(item));
  } else {
    values[position] = sADMItem->GetFloatValue(item);
  }
  if (SarvelloAnnotator* annotator = PanelAnnotator()) {
    // The panel shows no message: a failure leaves the old value in force.
    annotator->setParameter(values[kViscosity], values[kTimeStep], values[kForce], grid,
                            values[kSampling], size);
  }
}

enum class Button { Clear, Retry };

void PressButton(Button button, ADMItemRef item, ADMNotifierRef notifier) {
  AppContext context(ItemPlugin(item));
  if (!UserChanged(notifier) || gPlugin == nullptr) return;
  SarvelloAnnotator* annotator = PanelAnnotator();
  if (annotator == nullptr) return;
  // The status line starts counting again; the next timer tick redraws.
  annotator->step = 0;
  if (annotator->engine == nullptr) return;
  if (button == Button::Clear) {
    annotator->engine->clear();
  } else {
    annotator->engine->retry();
  }
}

const ParameterControl kControls[kPositions] = {
    {kViscosityItem, ADMNonModalDialog::viscPopupProc, kViscosityMenuID, "ViscosityPopup", 5,
     0.0f, 100.0f, 3, false},
    {kTimeStepItem, ADMNonModalDialog::dtPopupProc, kTimeStepMenuID, "TimeStepPopup", 8, 0.0001f,
     1.5f, 4, false},
    {kForceItem, ADMNonModalDialog::forcePopupProc, kForceMenuID, "ForcePopup", 5, 0.01f,
     1000.0f, 11, false},
    {kGridItem, ADMNonModalDialog::gridPopupProc, kGridMenuID, "GridPopup", 0, 8.0f, 512.0f, 3,
     true},
    {kSamplingItem, ADMNonModalDialog::samplingPopupProc, kSamplingMenuID, "SamplingPopup", 8,
     0.01f, 10.0f, 4, false},
    {kSizeItem, ADMNonModalDialog::sizePopupProc, kSizeMenuID, "SizePopup", 0, 100.0f, 1000.0f, 4,
     true},
};

// Sets up one control and answers the value it then shows (-1 when the item is missing).
float SetUpControl(ADMDialogRef dialog, const ParameterControl& control) {
  ADMItemRef item = sADMDialog->GetItem(dialog, control.item);
  if (item == nullptr || sADMItem == nullptr) return -1.0f;
  sADMItem->SetNotifyProc(item, control.handler);
  ADMListRef list = sADMItem->GetList(item);
  if (list != nullptr && sADMList != nullptr)
    sADMList->SetMenuID(list, control.menuID, control.menuName);
  sADMItem->SetPrecision(item, control.decimalPlaces);
  if (control.integer) {
    sADMItem->SetMinIntValue(item, static_cast<int32_t>(control.minimum));
    sADMItem->SetMaxIntValue(item, static_cast<int32_t>(control.maximum));
  } else {
    sADMItem->SetMinFloatValue(item, control.minimum);
    sADMItem->SetMaxFloatValue(item, control.maximum);
  }
  if (list != nullptr && sADMList != nullptr && sADMEntry != nullptr) {
    ADMEntryRef entry = sADMList->IndexEntry(list, control.preselected - 1);
    if (entry != nullptr) sADMEntry->Select(entry, 1);
  }
  if (control.integer) return static_cast<float>(sADMItem->GetIntValue(item));
  return sADMItem->GetFloatValue(item);
}

// Reads a stored value over a default; a failed read keeps the default.
void ReadPoint(const char* key, AIPoint* point) {
  AIPoint stored = *point;
  if (sAIPreference->GetPointPreference(kPanelPrefsSection, key, &stored) == kNoErr)
    *point = stored;
}

}  // namespace

// ---- Parameter panel -----------------------------------------------------------------------

ADMNonModalDialog::ADMNonModalDialog(SPPluginRef pluginRef) {
  char name[] = "Sarvello";
  Create(pluginRef, name, kParameterPanelDialogID, kADMTabbedFloatingDialogStyle, 0);
}

ADMNonModalDialog::~ADMNonModalDialog() = default;

ASErr ADMNonModalDialog::Init() {
  const ASErr result = BaseADMDialog::Init();
  if (sADMDialog == nullptr || fDialog == nullptr) return result;
  AppContext context(sADMDialog->GetPluginRef(fDialog));

  // This panel saves its placement instead of deleting itself when its dialog goes.
  sADMDialog->SetDestroyProc(fDialog, DlgDestroyProc);

  float values[kPositions];
  for (int i = 0; i < kPositions; ++i) values[i] = SetUpControl(fDialog, kControls[i]);
  if (SarvelloAnnotator* annotator = PanelAnnotator()) {
    annotator->setParameter(values[kViscosity], values[kTimeStep], values[kForce],
                            static_cast<int>(values[kGrid]), values[kSampling],
                            static_cast<int>(values[kSize]));
  }

  if (sADMItem != nullptr) {
    if (ADMItemRef clear = sADMDialog->GetItem(fDialog, kClearButtonItem))
      sADMItem->SetNotifyProc(clear, clearButtonProc);
    if (ADMItemRef retry = sADMDialog->GetItem(fDialog, kRetryButtonItem))
      sADMItem->SetNotifyProc(retry, retryButtonProc);
  }

  // The placement: stored values over the defaults of a first start.
  char groupName[64] = {};
  std::strncpy(groupName, kDefaultDockGroup, sizeof groupName - 1);
  int32_t dockCode = kDefaultDockCode;
  Rect bounds{};
  sADMDialog->GetBoundsRect(fDialog, &bounds);
  Rect area{};
  if (sADMBasic != nullptr) sADMBasic->GetPaletteLayoutBounds(&area);
  AIPoint location{};
  location.h = static_cast<decltype(location.h)>(area.right - (bounds.right - bounds.left));
  location.v = static_cast<decltype(location.v)>(area.bottom - (bounds.bottom - bounds.top));
  AIPoint size{};
  size.h = kPanels.defaultWidth;
  size.v = kPanels.defaultHeight;
  if (sAIPreference != nullptr) {
    // Read into a buffer of its own, so that a failed or overlong read never leaves a
    // half-written or unterminated name behind: at most 63 characters are kept.
    char stored[sizeof groupName] = {};
    if (sAIPreference->GetStringPreference(kPanelPrefsSection, kDockGroupPref, stored,
                                           sizeof stored) == kNoErr) {
      stored[sizeof stored - 1] = '\0';
      // An empty stored name is no group: the default stays.
      if (stored[0] != '\0') std::memcpy(groupName, stored, sizeof groupName);
    }
    int32_t storedCode = dockCode;
    if (sAIPreference->GetIntegerPreference(kPanelPrefsSection, kDockCodePref, &storedCode) ==
        kNoErr)
      dockCode = storedCode;
    ReadPoint(kLocationPref, &location);
  }
  location.v = static_cast<decltype(location.v)>(location.v - kPanels.locationShift);
  if (sAIPreference != nullptr) ReadPoint(kSizePref, &size);
  // Only the width is taken from the stored size: the panel's height is fixed.
  Rect placed{};
  placed.left = location.h;
  placed.top = location.v;
  placed.right = static_cast<decltype(placed.right)>(placed.left + size.h -
                                                     kPanels.widthAdjust);
  placed.bottom = static_cast<decltype(placed.bottom)>(placed.top + kPanels.height);
  sADMDialog->SetBoundsRect(fDialog, &placed);

  if (sADMDialogGroup6 != nullptr)
    sADMDialogGroup6->SetDialogGroupInfo(fDialog, groupName, dockCode);
  return result;
}

void ADMAPI ADMNonModalDialog::viscPopupProc(ADMItemRef item, ADMNotifierRef notifier) {
  SendParameter(kViscosity, item, notifier);
}
void ADMAPI ADMNonModalDialog::dtPopupProc(ADMItemRef item, ADMNotifierRef notifier) {
  SendParameter(kTimeStep, item, notifier);
}
void ADMAPI ADMNonModalDialog::forcePopupProc(ADMItemRef item, ADMNotifierRef notifier) {
  SendParameter(kForce, item, notifier);
}
void ADMAPI ADMNonModalDialog::gridPopupProc(ADMItemRef item, ADMNotifierRef notifier) {
  SendParameter(kGrid, item, notifier);
}
void ADMAPI ADMNonModalDialog::samplingPopupProc(ADMItemRef item, ADMNotifierRef notifier) {
  SendParameter(kSampling, item, notifier);
}
void ADMAPI ADMNonModalDialog::sizePopupProc(ADMItemRef item, ADMNotifierRef notifier) {
  SendParameter(kSize, item, notifier);
}
void ADMAPI ADMNonModalDialog::clearButtonProc(ADMItemRef item, ADMNotifierRef notifier) {
  PressButton(Button::Clear, item, notifier);
}
void ADMAPI ADMNonModalDialog::retryButtonProc(ADMItemRef item, ADMNotifierRef notifier) {
  PressButton(Button::Retry, item, notifier);
}

void ADMAPI ADMNonModalDialog::DlgDestroyProc(ADMDialogRef dialog) {
  if (sADMDialog == nullptr) return;
  if (sADMDialogGroup6 != nullptr && sAIPreference != nullptr) {
    const char* groupName = nullptr;
    int32_t dockCode = 0;
    // When the dock group cannot be read, the stored group and code stay as they were rather
    // than being overwritten with nothing.
    const bool docked =
        sADMDialogGroup6->GetDialogGroupInfo(dialog, &groupName, &dockCode) == kNoErr;
    Rect bounds{};
    sADMDialog->GetBoundsRect(dialog, &bounds);
    const ASBoolean visible = sADMDialog->IsVisible(dialog);
    AIPoint location{};
    location.h = bounds.left;
    location.v = bounds.top;
    AIPoint size{};
    size.h = static_cast<decltype(size.h)>(bounds.right - bounds.left);
    size.v = static_cast<decltype(size.v)>(bounds.bottom - bounds.top);
    if (docked) {
      sAIPreference->PutIntegerPreference(kPanelPrefsSection, kDockCodePref, dockCode);
      sAIPreference->PutStringPreference(kPanelPrefsSection, kDockGroupPref,
                                         groupName != nullptr ? groupName : "");
    }
    sAIPreference->PutPointPreference(kPanelPrefsSection, kLocationPref, &location);
    sAIPreference->PutPointPreference(kPanelPrefsSection, kSizePref, &size);
    sAIPreference->PutBooleanPreference(kPanelPrefsSection, kVisiblePref, visible);
  }
  // The dialog is going away while the plug-in still owns the panel: the panel forgets it, so
  // that deleting the panel later neither detaches nor destroys a dialog that no longer exists.
  if (BaseADMDialog* panel = FromDialog(dialog)) panel->ForgetDialog();
}

// ---- Information panel ---------------------------------------------------------------------

EduNonModalDialog::EduNonModalDialog(SPPluginRef pluginRef) {
  char name[] = "Sarvello Education ReadMe5";
  Create(pluginRef, name, kInfoPanelDialogID, kADMTabbedFloatingDialogStyle, 0);
}

EduNonModalDialog::~EduNonModalDialog() = default;

ASErr EduNonModalDialog::Init() {
  const ASErr result = BaseADMDialog::Init();
  if (sADMDialog == nullptr || fDialog == nullptr) return result;
  AppContext context(sADMDialog->GetPluginRef(fDialog));
  Rect bounds{};
  bounds.left = 200;
  bounds.top = 200;
  bounds.right = kPanels.infoRight;
  bounds.bottom = kPanels.infoBottom;
  sADMDialog->SetBoundsRect(fDialog, &bounds);
  if (sADMItem != nullptr) {
    if (ADMItemRef button = sADMDialog->GetItem(fDialog, kWebsiteButtonItem))
      sADMItem->SetNotifyProc(button, webButtonProc);
  }
  return result;
}

void ADMAPI EduNonModalDialog::webButtonProc(ADMItemRef item, ADMNotifierRef) {
  AppContext context(ItemPlugin(item));
  // Every notification that reaches the button opens the page; nothing is reported if no
  // browser opens.
  if (sAIURLSuite != nullptr) sAIURLSuite->OpenURL(kSarvelloWebsite);
}
