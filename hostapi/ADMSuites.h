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

/* The operations of these tables come with the panels. */
typedef struct ADMDialogSuite { void* reserved; } ADMDialogSuite;
typedef struct ADMItemSuite { void* reserved; } ADMItemSuite;
typedef struct ADMListSuite { void* reserved; } ADMListSuite;
typedef struct ADMEntrySuite { void* reserved; } ADMEntrySuite;
typedef struct ADMNotifierSuite { void* reserved; } ADMNotifierSuite;
typedef struct ADMDialogGroupSuite { void* reserved; } ADMDialogGroupSuite;
typedef struct ADMTrackerSuite { void* reserved; } ADMTrackerSuite;

#ifdef __cplusplus
}
#endif

#endif
