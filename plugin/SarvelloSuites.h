// The suite pointers through which the plug-in reaches the host, and the plug-in's suite table.
#ifndef SARVELLO_PLUGIN_SARVELLOSUITES_H
#define SARVELLO_PLUGIN_SARVELLOSUITES_H

#include "HostAPI.h"

// One row of a suite table: the suite's name (none ends a table section), the version asked for,
// and the address of the global suite pointer that receives the suite (none: the row is skipped).
struct ImportSuite {
  const char* name;
  int32_t version;
  void* target;
};

// Stores an acquired suite into the global pointer a row names.
inline void StoreSuite(const ImportSuite& row, const void* suite) {
  *static_cast<const void**>(row.target) = suite;
}
inline const void* LoadSuite(const ImportSuite& row) {
  return *static_cast<const void* const*>(row.target);
}

// Filled at the start of every host call from the message header.
extern SPBasicSuite* sSPBasic;

// The basic suites.
extern SPAccessSuite* sSPAccess;
extern SPPluginsSuite* sSPPlugins;
extern AINotifierSuite* sAINotifier;
extern AIAppContextSuite* sAIAppContext;
extern ADMBasicSuite* sADMBasic;

// The plug-in's own suites, in the order of gImportSuites.
extern AIFilterSuite* sAIFilter;
extern SPBlocksSuite* sSPBlocks;
extern AIArtSuite* sAIArt;
extern AIPathSuite* sAIPath;
extern AIPathConstructionSuite* sAIPathConstruction;
extern AIRealMathSuite* sAIMath;
extern AIRandomSuite* sAIRandom;
extern AIDocumentViewSuite* sAIDocumentView;
extern AIToolSuite* sAITool;
extern ADMIconSuite* sADMIcon2;
extern AIMatchingArtSuite* sAIMatchingArt;
extern AIMenuSuite* sAIMenu;
extern AIUnicodeStringSuite* sAIUnicodeString;
extern AIMdMemorySuite* sAIMDMemory;
extern AITimerSuite* sAITimer;
extern AIAnnotatorSuite* sAIAnnotator;
extern AIAnnotatorDrawerSuite* sAIAnnotatorDrawer;
extern ADMDialogGroupSuite* sADMDialogGroup6;
extern AIPreferenceSuite* sAIPreference;
extern ADMEntrySuite* sADMEntry;
extern ADMListSuite* sADMList;
extern ADMItemSuite* sADMItem;
extern ADMDialogSuite* sADMDialog;
extern ADMTrackerSuite* sADMTracker;
extern ADMNotifierSuite* sADMNotifier;
extern AIURLSuite* sAIURLSuite;

// The plug-in's suites: 26 rows, then a terminator row with no name, version 0 and no target.
inline constexpr int kImportSuiteRows = 26;
extern ImportSuite gImportSuites[kImportSuiteRows + 1];

#endif
