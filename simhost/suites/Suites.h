// The stand-in host's suites: the C function tables the plug-in acquires through SP Basic, one
// file per group, mirroring the declarations in hostapi/. Every function finds its host through
// Host::current(), answers an injected fault first (core/Faults.h) and keeps every C++ exception
// on the host's side; the state they work on belongs to the host's models (core/, tool/, adm/,
// loader/).
#ifndef SARVELLO_SIMHOST_SUITES_SUITES_H
#define SARVELLO_SIMHOST_SUITES_SUITES_H

#include "core/Host.h"

namespace simhost {

// Registers every suite table with the host, each under its name and version. The host's
// constructor calls it, once.
void installSuites(Host& host);

// The tables, by the file that fills them.
// SPSuites.cpp: the plug-in services layer
extern const SPBasicSuite kSPBasicTable;
extern const SPBlocksSuite kSPBlocksTable;
extern const SPAccessSuite kSPAccessTable;
extern const SPPluginsSuite kSPPluginsTable;
// AIArtSuites.cpp: art and paths
extern const AIArtSuite kAIArtTable;
extern const AIPathSuite kAIPathTable;
extern const AIMatchingArtSuite kAIMatchingArtTable;
extern const AIMdMemorySuite kAIMdMemoryTable;
// AIPathConstructionSuite.cpp
extern const AIPathConstructionSuite kAIPathConstructionTable;
// AIDocumentViewSuite.cpp
extern const AIDocumentViewSuite kAIDocumentViewTable;
// AIServiceSuites.cpp: notifiers, strings, contexts, preferences, web addresses
extern const AINotifierSuite kAINotifierTable;
extern const AIUnicodeStringSuite kAIUnicodeStringTable;
extern const AIAppContextSuite kAIAppContextTable;
extern const AIPreferenceSuite kAIPreferenceTable;
extern const AIURLSuite kAIURLTable;
extern const AIFilterSuite kAIFilterTable;
extern const AIRealMathSuite kAIRealMathTable;
extern const AIRandomSuite kAIRandomTable;
// AIToolSuites.cpp: the tool side
extern const AIMenuSuite kAIMenuTable;
extern const AIToolSuite kAIToolTable;
extern const AITimerSuite kAITimerTable;
extern const AIAnnotatorSuite kAIAnnotatorTable;
extern const AIAnnotatorDrawerSuite kAIAnnotatorDrawerTable;
// ADMBasicSuites.cpp
extern const ADMIconSuite kADMIconTable;
extern const ADMBasicSuite kADMBasicTable;
extern const ADMTrackerSuite kADMTrackerTable;
// ADMDialogSuites.cpp: the panels
extern const ADMDialogSuite kADMDialogTable;
extern const ADMItemSuite kADMItemTable;
extern const ADMListSuite kADMListTable;
extern const ADMEntrySuite kADMEntryTable;
extern const ADMNotifierSuite kADMNotifierTable;
extern const ADMDialogGroupSuite kADMDialogGroupTable;

}  // namespace simhost

#endif
