/* The host's dialog manager suites: ADM Basic (strings, alerts, About box, cursor, palette
 * area), ADM Icon, and the dialog suites of the panels.
 *
 * Every suite function is called by the plug-in on the host's user-interface thread only, and
 * the dialog manager calls the plug-in's handlers on that thread too. A function that answers
 * an ASErr may also answer kOutOfMemoryErr or kCantHappenErr for a failure inside the host; the
 * others cannot report a failure: given a reference the host does not know (or no longer
 * knows), or failing inside, they do nothing and answer none, 0, false or an empty text, as
 * each says. HostAPI.h gives the rules that all follow. */
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
   * the entry does not exist (the buffer then holds the empty string); kBadParameterErr for a
   * none buffer or a bufferSize below 1. */
  ASErr(ADMAPI* GetIndexString)(SPPluginRef plugin, int32_t stringID, int32_t index, char* buffer,
                                int32_t bufferSize);
  /* A modal error alert showing text (none: empty); returns when the user has dismissed it. */
  void(ADMAPI* ErrorAlert)(const char* text);
  /* A modal message alert showing text (none: empty); returns when the user has dismissed it. */
  void(ADMAPI* MessageAlert)(const char* text);
  /* The plug-in's modal About box with two texts (none: empty); returns when dismissed. */
  void(ADMAPI* AboutBox)(SPPluginRef plugin, const char* text1, const char* text2);
  /* Shows the plug-in's cursor resource cursorID as the pointer. Answers 0 for any id: the host
   * does not look the resource up. */
  ASErr(ADMAPI* SetPlatformCursor)(SPPluginRef plugin, int32_t cursorID);
  /* The screen area in which palettes are laid out; nothing is written when bounds is none. */
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
  /* Makes an icon from the plug-in's icon resource (a PNG image, whatever iconType asks); its
   * type is kADMUnknownIconType when the resource does not exist or cannot be read. The icon is
   * the host's and lives as long as the host (there is no release). */
  ADMIconRef(ADMAPI* GetFromResource)(SPPluginRef plugin, const char* name, int32_t iconType,
                                      int32_t resourceID);
  /* kADMPNGIconType, or kADMUnknownIconType for an icon that could not be made, none or a
   * reference the host did not hand out. */
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

/* Handlers of the plug-in, called by the dialog manager on the user-interface thread. */
/* Called once inside Create, Modal or PopupModal, with the new dialog (its user data already
 * set). 0 keeps the dialog; any other answer refuses it: it is removed without its destroy
 * handler being called, and Create answers none, Modal -1. */
typedef ASErr(ADMAPI* ADMDialogInitProc)(ADMDialogRef dialog);
/* Called when the dialog is to be drawn, in place of the dialog manager's drawing (DefaultDraw
 * does that); drawer is valid during the call only. */
typedef void(ADMAPI* ADMDialogDrawProc)(ADMDialogRef dialog, ADMDrawerRef drawer);
/* Called for a pointer event in the dialog; true takes the event. tracker is valid during the
 * call only. */
typedef ASBoolean(ADMAPI* ADMDialogTrackProc)(ADMDialogRef dialog, ADMTrackerRef tracker);
/* Called with the notifications of the dialog's items that have no notify handler of their
 * own; notifier is valid during the call only. */
typedef void(ADMAPI* ADMDialogNotifyProc)(ADMDialogRef dialog, ADMNotifierRef notifier);
/* Called when the dialog is destroyed (Destroy, the end of a modal run, the application
 * quitting), before it goes: the dialog still answers during the call, and a Destroy of it
 * from inside is ignored. */
typedef void(ADMAPI* ADMDialogDestroyProc)(ADMDialogRef dialog);
/* Called with "ADM User Changed Notifier" when the user acts on the item: chooses a preset,
 * types a value, presses the button. notifier is valid during the call only. */
typedef void(ADMAPI* ADMItemNotifyProc)(ADMItemRef item, ADMNotifierRef notifier);

/* Dialogs: created from the plug-in's dialog resource (items, texts and bounds); a new dialog
 * is shown and has no handlers but its init handler. A dialog the host does not know (destroyed
 * ones included) is ignored: nothing is done and none, 0 or false is answered. */
typedef struct ADMDialogSuite {
  /* A non-modal dialog, which lives until Destroy or the application quits; name is copied,
   * userData kept as given, initProc may be none. None when it cannot be made (no such
   * resource, init handler refused, or the init handler destroyed it). */
  ADMDialogRef(ADMAPI* Create)(SPPluginRef plugin, const char* name, int32_t dialogID,
                               ADMDialogStyle style, ADMDialogInitProc initProc,
                               ADMUserData userData, int32_t options);
  /* Runs a modal dialog and answers the id of the item that ended it (-1: it could not run). The
   * dialog is destroyed, its destroy handler called, before the call returns. */
  int32_t(ADMAPI* Modal)(SPPluginRef plugin, const char* name, int32_t dialogID,
                         ADMDialogStyle style, ADMDialogInitProc initProc, ADMUserData userData,
                         int32_t options);
  /* As Modal, in the pop-up modal style. */
  int32_t(ADMAPI* PopupModal)(SPPluginRef plugin, const char* name, int32_t dialogID,
                              ADMDialogInitProc initProc, ADMUserData userData, int32_t options);
  /* Calls the dialog's destroy handler, if any, then destroys it; its references and those of
   * its items, lists and entries are stale from then on. */
  void(ADMAPI* Destroy)(ADMDialogRef dialog);

  /* Replaces the pointer kept with the dialog (the dialog manager never reads it). */
  void(ADMAPI* SetUserData)(ADMDialogRef dialog, ADMUserData userData);
  /* The pointer kept with the dialog; none for an unknown dialog. */
  ADMUserData(ADMAPI* GetUserData)(ADMDialogRef dialog);
  /* The plug-in that made the dialog; none for an unknown dialog. */
  SPPluginRef(ADMAPI* GetPluginRef)(ADMDialogRef dialog);

  /* Sets the draw handler; none removes it (the dialog manager then draws). */
  void(ADMAPI* SetDrawProc)(ADMDialogRef dialog, ADMDialogDrawProc drawProc);
  /* Sets the track handler; none removes it (no event is taken). */
  void(ADMAPI* SetTrackProc)(ADMDialogRef dialog, ADMDialogTrackProc trackProc);
  /* Sets the notify handler; none removes it. */
  void(ADMAPI* SetNotifyProc)(ADMDialogRef dialog, ADMDialogNotifyProc notifyProc);
  /* Sets the destroy handler; none removes it. */
  void(ADMAPI* SetDestroyProc)(ADMDialogRef dialog, ADMDialogDestroyProc destroyProc);
  /* The dialog manager's own drawing of the dialog, for a draw handler that wants it. */
  void(ADMAPI* DefaultDraw)(ADMDialogRef dialog, ADMDrawerRef drawer);
  /* The dialog manager's own tracking: it takes no event and answers false. */
  ASBoolean(ADMAPI* DefaultTrack)(ADMDialogRef dialog, ADMTrackerRef tracker);
  /* The dialog manager's own handling of a notification: nothing. */
  void(ADMAPI* DefaultNotify)(ADMDialogRef dialog, ADMNotifierRef notifier);

  /* The item with that id (the first one when several share it); none if there is no such item. */
  ADMItemRef(ADMAPI* GetItem)(ADMDialogRef dialog, int32_t itemID);

  /* Shows (nonzero) or hides the dialog. */
  void(ADMAPI* Show)(ADMDialogRef dialog, ASBoolean show);
  /* True while shown; false for an unknown dialog. */
  ASBoolean(ADMAPI* IsVisible)(ADMDialogRef dialog);
  /* Bounds on the screen (left, top, right, bottom); nothing is written when bounds is none. */
  void(ADMAPI* GetBoundsRect)(ADMDialogRef dialog, Rect* bounds);
  /* Moves and sizes the dialog (screen); a right left of left or a bottom above top is brought
   * to it. A none bounds is ignored. */
  void(ADMAPI* SetBoundsRect)(ADMDialogRef dialog, const Rect* bounds);
} ADMDialogSuite;

/* Items of a dialog. A spin-edit-popup item holds a text field with a numeric value, its bounds
 * and decimal places, and a list of presets; choosing a preset puts its text into the field.
 * Item references stay valid while their dialog exists. An item the host does not know is
 * ignored: nothing is done and none, 0 or an empty text is answered. */
typedef struct ADMItemSuite {
  /* The item's dialog; none for an unknown item. */
  ADMDialogRef(ADMAPI* GetDialog)(ADMItemRef item);
  /* The item's id in the dialog resource; 0 for an unknown item. */
  int32_t(ADMAPI* GetID)(ADMItemRef item);
  /* Sets the item's notify handler; none removes it (its notifications then go to the dialog's
   * notify handler). */
  void(ADMAPI* SetNotifyProc)(ADMItemRef item, ADMItemNotifyProc notifyProc);
  /* Replaces the pointer kept with the item (the dialog manager never reads it). */
  void(ADMAPI* SetUserData)(ADMItemRef item, ADMUserData userData);
  /* The pointer kept with the item; none for an unknown item. */
  ADMUserData(ADMAPI* GetUserData)(ADMItemRef item);
  /* The preset list of a spin-edit-popup item; none for an item without a list. */
  ADMListRef(ADMAPI* GetList)(ADMItemRef item);
  /* Decimal places of the text of values set from now on, held to 0..12. */
  void(ADMAPI* SetPrecision)(ADMItemRef item, int32_t decimalPlaces);
  /* Lower bound of the value, which is held to the bounds at once and whenever it is set or
   * typed; keep it no higher than the upper bound. */
  void(ADMAPI* SetMinFloatValue)(ADMItemRef item, float value);
  /* Upper bound of the value, as SetMinFloatValue; keep it no lower than the lower bound. */
  void(ADMAPI* SetMaxFloatValue)(ADMItemRef item, float value);
  /* As SetMinFloatValue, for an integer field. */
  void(ADMAPI* SetMinIntValue)(ADMItemRef item, int32_t value);
  /* As SetMaxFloatValue, for an integer field. */
  void(ADMAPI* SetMaxIntValue)(ADMItemRef item, int32_t value);
  /* The field's numeric value; 0 for an unknown item. */
  float(ADMAPI* GetFloatValue)(ADMItemRef item);
  /* The value rounded to the nearest integer, held to the int32_t range; 0 for an unknown item. */
  int32_t(ADMAPI* GetIntValue)(ADMItemRef item);
  /* Sets the value, held to the bounds; the text shows it with the item's decimal places and no
   * preset stays selected. A value that is not finite is ignored. */
  void(ADMAPI* SetFloatValue)(ADMItemRef item, float value);
  /* As SetFloatValue. */
  void(ADMAPI* SetIntValue)(ADMItemRef item, int32_t value);
  /* At most bufferSize - 1 characters, always terminated (empty for an unknown item); nothing
   * is written for a none buffer or a bufferSize below 1. */
  void(ADMAPI* GetText)(ADMItemRef item, char* buffer, int32_t bufferSize);
  /* Replaces the text (copied; none is ignored); in a spin-edit field a numeric text also sets
   * the value, held to the bounds. */
  void(ADMAPI* SetText)(ADMItemRef item, const char* text);
  /* Bounds in the dialog's coordinates; nothing is written when bounds is none. */
  void(ADMAPI* GetBoundsRect)(ADMItemRef item, Rect* bounds);
} ADMItemSuite;

/* The list of presets of an item. List and entry references stay valid while their dialog
 * exists; an entry reference names a position, so after SetMenuID it names the new entry there. */
typedef struct ADMListSuite {
  /* Replaces the list by the entries of the plug-in's menu resource menuID (menuName is not
   * used); no entry is selected afterwards and the field is unchanged. kNoSuchObjectErr for a
   * list or menu resource the host does not know, kBadParameterErr for a menu without entries. */
  ASErr(ADMAPI* SetMenuID)(ADMListRef list, int32_t menuID, const char* menuName);
  /* The number of entries; 0 for an unknown list. */
  int32_t(ADMAPI* NumberOfEntries)(ADMListRef list);
  /* The entry at index (from 0); none for an index out of range or an unknown list. */
  ADMEntryRef(ADMAPI* IndexEntry)(ADMListRef list, int32_t index);
  /* The selected entry; none when nothing is selected (typing a value deselects). */
  ADMEntryRef(ADMAPI* GetActiveEntry)(ADMListRef list);
} ADMListSuite;

/* Entries of a preset list. An entry the host does not know is ignored as above. */
typedef struct ADMEntrySuite {
  /* Selecting an entry of a spin-edit popup puts its text and value into the item's field (the
   * value held to the bounds); deselecting the selected entry leaves the field as it is. */
  void(ADMAPI* Select)(ADMEntryRef entry, ASBoolean select);
  /* True for the list's selected entry. */
  ASBoolean(ADMAPI* IsSelected)(ADMEntryRef entry);
  /* The entry's position from 0; -1 for an unknown entry. */
  int32_t(ADMAPI* GetIndex)(ADMEntryRef entry);
  /* The menu item number: index + 1; 0 for an unknown entry. */
  int32_t(ADMAPI* GetID)(ADMEntryRef entry);
  /* The entry's text: at most bufferSize - 1 characters, always terminated (empty for an unknown
   * entry); nothing is written for a none buffer or a bufferSize below 1. */
  void(ADMAPI* GetText)(ADMEntryRef entry, char* buffer, int32_t bufferSize);
} ADMEntrySuite;

/* Notifications handed to a notify handler. A notifier is valid during that call only; after
 * it, every function answers false, none or an empty text. */
typedef struct ADMNotifierSuite {
  /* True when the notification is of notifierType (e.g. kADMUserChangedNotifier). */
  ASBoolean(ADMAPI* IsNotifierType)(ADMNotifierRef notifier, const char* notifierType);
  /* The notification's type: at most bufferSize - 1 characters, always terminated. */
  void(ADMAPI* GetNotifierType)(ADMNotifierRef notifier, char* buffer, int32_t bufferSize);
  /* The item acted on, also when its notification reached the dialog's handler; none for a
   * dialog notification. */
  ADMItemRef(ADMAPI* GetItem)(ADMNotifierRef notifier);
  /* The dialog of the notification. */
  ADMDialogRef(ADMAPI* GetDialog)(ADMNotifierRef notifier);
} ADMNotifierSuite;

/* Docking of floating dialogs. The group name is the host's string, valid until the dialog's
 * group changes or the dialog is destroyed. */
typedef struct ADMDialogGroupSuite {
  /* *groupName: the dialog's dock group ("" when it has none); *positionCode: its dock code (0
   * when never set); either output may be none. kNoSuchObjectErr for an unknown dialog, with
   * *groupName none and *positionCode untouched. */
  ASErr(ADMAPI* GetDialogGroupInfo)(ADMDialogRef dialog, const char** groupName,
                                    int32_t* positionCode);
  /* Puts the dialog into the dock group groupName (copied; none: no group) at positionCode.
   * kNoSuchObjectErr for an unknown dialog. */
  ASErr(ADMAPI* SetDialogGroupInfo)(ADMDialogRef dialog, const char* groupName,
                                    int32_t positionCode);
} ADMDialogGroupSuite;

/* Acquired and never called: no functions. */
typedef struct ADMTrackerSuite { void* reserved; } ADMTrackerSuite;

#ifdef __cplusplus
}
#endif

#endif
