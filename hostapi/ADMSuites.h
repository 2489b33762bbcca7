/* The host's dialog manager suites: ADM Basic (strings, alerts, About box, cursor, palette
 * area), ADM Icon, and the dialog suites of the panels. */
#ifndef SARVELLO_HOSTAPI_ADMSUITES_H
#define SARVELLO_HOSTAPI_ADMSUITES_H

#include "ASTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- ADM Basic Suite (served at versions 10 and 2 with the same table) ------------------ */
#define kADMBasicSuite "ADM Basic Suite"
#define kADMBasicSuiteVersion10 10
#define kADMBasicSuiteVersion2 2

typedef struct ADMBasicSuite {
  /* Entry index (from 1) of the plug-in's string-list resource stringID, copied into buffer with
   * at most bufferSize - 1 characters and terminated inside it. kStringNotFoundErr when the list or
   * the entry does not exist. */
  ASErr(ADMAPI* GetIndexString)(SPPluginRef plugin, int32_t stringID, int32_t index, char* buffer,
                                int32_t bufferSize);
  /* Modal alerts: they return when the user has dismissed them. */
  void(ADMAPI* ErrorAlert)(const char* text);
  void(ADMAPI* MessageAlert)(const char* text);
  void(ADMAPI* AboutBox)(SPPluginRef plugin, const char* text1, const char* text2);
  /* Shows the plug-in's cursor resource as the pointer. */
  ASErr(ADMAPI* SetPlatformCursor)(SPPluginRef plugin, int32_t cursorID);
  /* The screen area in which palettes are laid out. */
  void(ADMAPI* GetPaletteLayoutBounds)(Rect* bounds);
} ADMBasicSuite;

/* ---- ADM Icon Suite --------------------------------------------------------------------- */
#define kADMIconSuite "ADM Icon Suite"
#define kADMIconSuiteVersion 2

enum {
  kADMPNGIconType = 1,     /* a PNG image from the plug-in's resources */
  kADMUnknownIconType = 7  /* no icon could be made */
};

typedef struct ADMIconSuite {
  /* Makes an icon from the plug-in's icon resource; its type is kADMUnknownIconType when the
   * resource does not exist or cannot be read. */
  ADMIconRef(ADMAPI* GetFromResource)(SPPluginRef plugin, const char* name, int32_t iconType,
                                      int32_t resourceID);
  int32_t(ADMAPI* GetType)(ADMIconRef icon);
} ADMIconSuite;

/* ---- Dialog manager suites of the panels ------------------------------------------------ */
#define kADMDialogSuite "ADM Dialog Suite"
#define kADMDialogSuiteVersion 10
#define kADMItemSuite "ADM Item Suite"
#define kADMItemSuiteVersion 7
#define kADMListSuite "ADM List Suite"
#define kADMListSuiteVersion 1
#define kADMEntrySuite "ADM Entry Suite"
#define kADMEntrySuiteVersion 2
#define kADMNotifierSuite "ADM Notifier Suite"
#define kADMNotifierSuiteVersion 2
#define kADMDialogGroupSuite "ADM Dialog Group Suite"
#define kADMDialogGroupSuiteVersion 6
#define kADMTrackerSuite "ADM Tracker Suite"
#define kADMTrackerSuiteVersion 2

/* Opaque dialog manager objects. A reference of a destroyed dialog (or of one of its items,
 * lists or entries) is no longer found: operations on it fail or do nothing. */
typedef struct _t_ADMDialog* ADMDialogRef;
typedef struct _t_ADMItem* ADMItemRef;
typedef struct _t_ADMList* ADMListRef;
typedef struct _t_ADMEntry* ADMEntryRef;
typedef struct _t_ADMNotifier* ADMNotifierRef;   /* valid during the callback it is passed to */
typedef struct _t_ADMDrawer* ADMDrawerRef;       /* valid during the callback it is passed to */
typedef struct _t_ADMTracker* ADMTrackerRef;     /* valid during the callback it is passed to */
typedef void* ADMUserData;

typedef int32_t ADMDialogStyle;
enum {
  kADMModalDialogStyle = 0,
  kADMAlertDialogStyle = 1,
  kADMFloatingDialogStyle = 2,
  kADMTabbedFloatingDialogStyle = 3, /* a floating palette that can be docked in a group */
  kADMPopupModalDialogStyle = 4
};

/* Item kinds, as the dialog resource names them. */
#define kADMTextStaticType "ADM Text Static Type"
#define kADMSpinEditPopupType "ADM Spin Edit Popup Type"
#define kADMTextPushButtonType "ADM Text Push Button Type"
#define kADMFrameType "ADM Frame Type" /* a group box */

/* The notification of a user action on an item: a chosen entry, a typed value, a pressed button. */
#define kADMUserChangedNotifier "ADM User Changed Notifier"

/* Callbacks. The init handler runs before Create (or Modal) returns; a non-zero answer refuses the
 * dialog. */
typedef ASErr(ADMAPI* ADMDialogInitProc)(ADMDialogRef dialog);
typedef void(ADMAPI* ADMDialogDrawProc)(ADMDialogRef dialog, ADMDrawerRef drawer);
typedef ASBoolean(ADMAPI* ADMDialogTrackProc)(ADMDialogRef dialog, ADMTrackerRef tracker);
typedef void(ADMAPI* ADMDialogNotifyProc)(ADMDialogRef dialog, ADMNotifierRef notifier);
typedef void(ADMAPI* ADMDialogDestroyProc)(ADMDialogRef dialog);
typedef void(ADMAPI* ADMItemNotifyProc)(ADMItemRef item, ADMNotifierRef notifier);

/* Dialogs: created from the plug-in's dialog resource (items, texts and bounds). */
typedef struct ADMDialogSuite {
  /* A non-modal dialog; none when it cannot be made (no such resource, init handler refused). */
  ADMDialogRef(ADMAPI* Create)(SPPluginRef plugin, const char* name, int32_t dialogID,
                               ADMDialogStyle style, ADMDialogInitProc initProc,
                               ADMUserData userData, int32_t options);
  /* Runs a modal dialog and answers the id of the item that ended it (-1: it could not run). The
   * dialog is destroyed before the call returns. */
  int32_t(ADMAPI* Modal)(SPPluginRef plugin, const char* name, int32_t dialogID,
                         ADMDialogStyle style, ADMDialogInitProc initProc, ADMUserData userData,
                         int32_t options);
  int32_t(ADMAPI* PopupModal)(SPPluginRef plugin, const char* name, int32_t dialogID,
                              ADMDialogInitProc initProc, ADMUserData userData, int32_t options);
  /* Calls the dialog's destroy handler, if any, then destroys it. */
  void(ADMAPI* Destroy)(ADMDialogRef dialog);

  void(ADMAPI* SetUserData)(ADMDialogRef dialog, ADMUserData userData);
  ADMUserData(ADMAPI* GetUserData)(ADMDialogRef dialog);
  SPPluginRef(ADMAPI* GetPluginRef)(ADMDialogRef dialog);

  /* A handler of none removes it. */
  void(ADMAPI* SetDrawProc)(ADMDialogRef dialog, ADMDialogDrawProc drawProc);
  void(ADMAPI* SetTrackProc)(ADMDialogRef dialog, ADMDialogTrackProc trackProc);
  void(ADMAPI* SetNotifyProc)(ADMDialogRef dialog, ADMDialogNotifyProc notifyProc);
  void(ADMAPI* SetDestroyProc)(ADMDialogRef dialog, ADMDialogDestroyProc destroyProc);
  /* The dialog manager's own drawing, tracking and handling of a notification. */
  void(ADMAPI* DefaultDraw)(ADMDialogRef dialog, ADMDrawerRef drawer);
  ASBoolean(ADMAPI* DefaultTrack)(ADMDialogRef dialog, ADMTrackerRef tracker);
  void(ADMAPI* DefaultNotify)(ADMDialogRef dialog, ADMNotifierRef notifier);

  /* The item with that id (the first one when several share it); none if there is no such item. */
  ADMItemRef(ADMAPI* GetItem)(ADMDialogRef dialog, int32_t itemID);

  void(ADMAPI* Show)(ADMDialogRef dialog, ASBoolean show);
  ASBoolean(ADMAPI* IsVisible)(ADMDialogRef dialog);
  /* Bounds on the screen (left, top, right, bottom). */
  void(ADMAPI* GetBoundsRect)(ADMDialogRef dialog, Rect* bounds);
  void(ADMAPI* SetBoundsRect)(ADMDialogRef dialog, const Rect* bounds);
} ADMDialogSuite;

/* Items of a dialog. A spin-edit-popup item holds a text field with a numeric value, its bounds
 * and decimal places, and a list of presets; choosing a preset puts its text into the field. */
typedef struct ADMItemSuite {
  ADMDialogRef(ADMAPI* GetDialog)(ADMItemRef item);
  int32_t(ADMAPI* GetID)(ADMItemRef item);
  void(ADMAPI* SetNotifyProc)(ADMItemRef item, ADMItemNotifyProc notifyProc);
  void(ADMAPI* SetUserData)(ADMItemRef item, ADMUserData userData);
  ADMUserData(ADMAPI* GetUserData)(ADMItemRef item);
  ADMListRef(ADMAPI* GetList)(ADMItemRef item);  /* none for an item without a list */
  void(ADMAPI* SetPrecision)(ADMItemRef item, int32_t decimalPlaces);
  /* Bounds of what the user may type; a value outside them is held to them. */
  void(ADMAPI* SetMinFloatValue)(ADMItemRef item, float value);
  void(ADMAPI* SetMaxFloatValue)(ADMItemRef item, float value);
  void(ADMAPI* SetMinIntValue)(ADMItemRef item, int32_t value);
  void(ADMAPI* SetMaxIntValue)(ADMItemRef item, int32_t value);
  float(ADMAPI* GetFloatValue)(ADMItemRef item);
  int32_t(ADMAPI* GetIntValue)(ADMItemRef item);  /* the value rounded to the nearest integer */
  void(ADMAPI* SetFloatValue)(ADMItemRef item, float value);
  void(ADMAPI* SetIntValue)(ADMItemRef item, int32_t value);
  /* At most bufferSize - 1 characters, always terminated. */
  void(ADMAPI* GetText)(ADMItemRef item, char* buffer, int32_t bufferSize);
  void(ADMAPI* SetText)(ADMItemRef item, const char* text);
  void(ADMAPI* GetBoundsRect)(ADMItemRef item, Rect* bounds);  /* in the dialog's coordinates */
} ADMItemSuite;

/* The list of presets of an item. */
typedef struct ADMListSuite {
  /* Replaces the list by the entries of the plug-in's menu resource menuID. */
  ASErr(ADMAPI* SetMenuID)(ADMListRef list, int32_t menuID, const char* menuName);
  int32_t(ADMAPI* NumberOfEntries)(ADMListRef list);
  ADMEntryRef(ADMAPI* IndexEntry)(ADMListRef list, int32_t index);  /* index from 0 */
  ADMEntryRef(ADMAPI* GetActiveEntry)(ADMListRef list);             /* none: nothing selected */
} ADMListSuite;

typedef struct ADMEntrySuite {
  /* Selecting an entry of a spin-edit popup puts its text and value into the item's field. */
  void(ADMAPI* Select)(ADMEntryRef entry, ASBoolean select);
  ASBoolean(ADMAPI* IsSelected)(ADMEntryRef entry);
  int32_t(ADMAPI* GetIndex)(ADMEntryRef entry);
  int32_t(ADMAPI* GetID)(ADMEntryRef entry);  /* the menu item number: index + 1 */
  void(ADMAPI* GetText)(ADMEntryRef entry, char* buffer, int32_t bufferSize);
} ADMEntrySuite;

typedef struct ADMNotifierSuite {
  ASBoolean(ADMAPI* IsNotifierType)(ADMNotifierRef notifier, const char* notifierType);
  void(ADMAPI* GetNotifierType)(ADMNotifierRef notifier, char* buffer, int32_t bufferSize);
  ADMItemRef(ADMAPI* GetItem)(ADMNotifierRef notifier);      /* none for a dialog notification */
  ADMDialogRef(ADMAPI* GetDialog)(ADMNotifierRef notifier);
} ADMNotifierSuite;

/* Docking of floating dialogs. The group name is the host's string, valid until the dialog's
 * group changes or the dialog is destroyed. */
typedef struct ADMDialogGroupSuite {
  ASErr(ADMAPI* GetDialogGroupInfo)(ADMDialogRef dialog, const char** groupName,
                                    int32_t* positionCode);
  ASErr(ADMAPI* SetDialogGroupInfo)(ADMDialogRef dialog, const char* groupName,
                                    int32_t positionCode);
} ADMDialogGroupSuite;

typedef struct ADMTrackerSuite { void* reserved; } ADMTrackerSuite;

#ifdef __cplusplus
}
#endif

#endif
