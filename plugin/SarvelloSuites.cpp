#include "SarvelloSuites.h"

SPBasicSuite* sSPBasic = nullptr;

SPAccessSuite* sSPAccess = nullptr;
SPPluginsSuite* sSPPlugins = nullptr;
AINotifierSuite* sAINotifier = nullptr;
AIAppContextSuite* sAIAppContext = nullptr;
ADMBasicSuite* sADMBasic = nullptr;

AIFilterSuite* sAIFilter = nullptr;
SPBlocksSuite* sSPBlocks = nullptr;
AIArtSuite* sAIArt = nullptr;
AIPathSuite* sAIPath = nullptr;
AIPathConstructionSuite* sAIPathConstruction = nullptr;
AIRealMathSuite* sAIMath = nullptr;
AIRandomSuite* sAIRandom = nullptr;
AIDocumentViewSuite* sAIDocumentView = nullptr;
AIToolSuite* sAITool = nullptr;
ADMIconSuite* sADMIcon2 = nullptr;
AIMatchingArtSuite* sAIMatchingArt = nullptr;
AIMenuSuite* sAIMenu = nullptr;
AIUnicodeStringSuite* sAIUnicodeString = nullptr;
AIMdMemorySuite* sAIMDMemory = nullptr;
AITimerSuite* sAITimer = nullptr;
AIAnnotatorSuite* sAIAnnotator = nullptr;
AIAnnotatorDrawerSuite* sAIAnnotatorDrawer = nullptr;
ADMDialogGroupSuite* sADMDialogGroup6 = nullptr;
AIPreferenceSuite* sAIPreference = nullptr;
ADMEntrySuite* sADMEntry = nullptr;
ADMListSuite* sADMList = nullptr;
ADMItemSuite* sADMItem = nullptr;
ADMDialogSuite* sADMDialog = nullptr;
ADMTrackerSuite* sADMTracker = nullptr;
ADMNotifierSuite* sADMNotifier = nullptr;
AIURLSuite* sAIURLSuite = nullptr;

#define ROW(name, version, global) {name, version, static_cast<void*>(&global)}

ImportSuite gImportSuites[kImportSuiteRows + 1] = {
    ROW(kAIFilterSuite, kAIFilterSuiteVersion, sAIFilter),
    ROW(kSPBlocksSuite, kSPBlocksSuiteVersion, sSPBlocks),
    ROW(kAIArtSuite, kAIArtSuiteVersion, sAIArt),
    ROW(kAIPathSuite, kAIPathSuiteVersion, sAIPath),
    ROW(kAIPathConstructionSuite, kAIPathConstructionSuiteVersion, sAIPathConstruction),
    ROW(kAIRealMathSuite, kAIRealMathSuiteVersion, sAIMath),
    ROW(kAIRandomSuite, kAIRandomSuiteVersion, sAIRandom),
    ROW(kAIDocumentViewSuite, kAIDocumentViewSuiteVersion, sAIDocumentView),
    ROW(kAIToolSuite, kAIToolSuiteVersion, sAITool),
    ROW(kADMIconSuite, kADMIconSuiteVersion, sADMIcon2),
    ROW(kAIMatchingArtSuite, kAIMatchingArtSuiteVersion, sAIMatchingArt),
    ROW(kAIMenuSuite, kAIMenuSuiteVersion, sAIMenu),
    ROW(kAIUnicodeStringSuite, kAIUnicodeStringSuiteVersion, sAIUnicodeString),
    ROW(kAIMdMemorySuite, kAIMdMemorySuiteVersion, sAIMDMemory),
    ROW(kAITimerSuite, kAITimerSuiteVersion, sAITimer),
    ROW(kAIAnnotatorSuite, kAIAnnotatorSuiteVersion, sAIAnnotator),
    ROW(kAIAnnotatorSuite, kAIAnnotatorDrawerSuiteVersion, sAIAnnotatorDrawer),
    ROW(kADMDialogGroupSuite, kADMDialogGroupSuiteVersion, sADMDialogGroup6),
    ROW(kAIPreferenceSuite, kAIPreferenceSuiteVersion, sAIPreference),
    ROW(kADMEntrySuite, kADMEntrySuiteVersion, sADMEntry),
    ROW(kADMListSuite, kADMListSuiteVersion, sADMList),
    ROW(kADMItemSuite, kADMItemSuiteVersion, sADMItem),
    ROW(kADMDialogSuite, kADMDialogSuiteVersion, sADMDialog),
    ROW(kADMTrackerSuite, kADMTrackerSuiteVersion, sADMTracker),
    ROW(kADMNotifierSuite, kADMNotifierSuiteVersion, sADMNotifier),
    ROW(kAIURLSuite, kAIURLSuiteVersion, sAIURLSuite),
    {nullptr, 0, nullptr},
};

#undef ROW
