// The two floating panels: the parameter panel "Sarvello" (the six simulation values, Clear and
// Retry, and its remembered placement) and the information panel "Important Infomation" (a notice
// and a button that opens the project's website).
#ifndef SARVELLO_UI_ADMNONMODALDIALOG_H
#define SARVELLO_UI_ADMNONMODALDIALOG_H

#include "BaseADMDialog.h"

class SarvelloAnnotator;

// The project's website, opened by the information panel's "Visit website" button.
inline constexpr const char kSarvelloWebsite[] = "https://sarvello.dev/";

// Dialog and menu resources of the panels.
enum {
  kParameterPanelDialogID = 16010,
  kInfoPanelDialogID = 16020,
  kViscosityMenuID = 16070,
  kTimeStepMenuID = 16071,
  kForceMenuID = 16072,
  kGridMenuID = 16073,
  kSamplingMenuID = 16074,
  kSizeMenuID = 16075
};

// Items of the parameter panel.
enum {
  kViscosityItem = 4,
  kTimeStepItem = 6,
  kForceItem = 8,
  kGridItem = 10,
  kSamplingItem = 12,
  kSizeItem = 14,
  kClearButtonItem = 15,
  kRetryButtonItem = 16
};
// The information panel's button.
enum { kWebsiteButtonItem = 5 };

// Where the parameter panel keeps its placement among the host's preferences.
inline constexpr const char kPanelPrefsSection[] = "SarvelloADMNonModalDialog";
inline constexpr const char kDockCodePref[] = "kADM_DPDockCodeStr";
inline constexpr const char kDockGroupPref[] = "kADM_DPDockGroupStr";
inline constexpr const char kLocationPref[] = "kADM_DPLocationStr";
inline constexpr const char kSizePref[] = "kADM_DPSizeStr";
inline constexpr const char kVisiblePref[] = "kADM_DPVisibleStr";
inline constexpr const char kDefaultDockGroup[] = "Sarvello Dialogs";
inline constexpr int32_t kDefaultDockCode = 0x1C00;

// The plug-in object's annotator (gPlugin's fAnnotator), or none: where the parameter panel sends
// its values. Defined by the plug-in's own class.
SarvelloAnnotator* PanelAnnotator();

class ADMNonModalDialog : public BaseADMDialog {
 public:
  explicit ADMNonModalDialog(SPPluginRef pluginRef);
  ~ADMNonModalDialog() override;

  ASErr Init() override;

  static void ADMAPI viscPopupProc(ADMItemRef item, ADMNotifierRef notifier);
  static void ADMAPI dtPopupProc(ADMItemRef item, ADMNotifierRef notifier);
  static void ADMAPI forcePopupProc(ADMItemRef item, ADMNotifierRef notifier);
  static void ADMAPI gridPopupProc(ADMItemRef item, ADMNotifierRef notifier);
  static void ADMAPI samplingPopupProc(ADMItemRef item, ADMNotifierRef notifier);
  static void ADMAPI sizePopupProc(ADMItemRef item, ADMNotifierRef notifier);
  static void ADMAPI clearButtonProc(ADMItemRef item, ADMNotifierRef notifier);
  static void ADMAPI retryButtonProc(ADMItemRef item, ADMNotifierRef notifier);
  // Saves the placement when the dialog manager destroys the panel's dialog.
  static void ADMAPI DlgDestroyProc(ADMDialogRef dialog);
};

class EduNonModalDialog : public BaseADMDialog {
 public:
  explicit EduNonModalDialog(SPPluginRef pluginRef);
  ~EduNonModalDialog() override;

  ASErr Init() override;

  static void ADMAPI webButtonProc(ADMItemRef item, ADMNotifierRef notifier);
};

#endif
