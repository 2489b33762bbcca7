#include "suites/Suites.h"

namespace simhost {
namespace {

struct SuiteEntry {
  const char* name;
  int32_t version;
  const void* table;
};

// Every suite the host offers, under the name and version by which the plug-in acquires it. ADM
// Basic is served at two versions with one table; the annotator's two versions are two tables.
const SuiteEntry kSuites[] = {
    {kSPBasicSuite, kSPBasicSuiteVersion, &kSPBasicTable},
    {kSPBlocksSuite, kSPBlocksSuiteVersion, &kSPBlocksTable},
    {kSPAccessSuite, kSPAccessSuiteVersion, &kSPAccessTable},
    {kSPPluginsSuite, kSPPluginsSuiteVersion, &kSPPluginsTable},
    {kAIArtSuite, kAIArtSuiteVersion, &kAIArtTable},
    {kAIPathSuite, kAIPathSuiteVersion, &kAIPathTable},
    {kAIMatchingArtSuite, kAIMatchingArtSuiteVersion, &kAIMatchingArtTable},
    {kAIMdMemorySuite, kAIMdMemorySuiteVersion, &kAIMdMemoryTable},
    {kAIPathConstructionSuite, kAIPathConstructionSuiteVersion, &kAIPathConstructionTable},
    {kAIDocumentViewSuite, kAIDocumentViewSuiteVersion, &kAIDocumentViewTable},
    {kAINotifierSuite, kAINotifierSuiteVersion, &kAINotifierTable},
    {kAIUnicodeStringSuite, kAIUnicodeStringSuiteVersion, &kAIUnicodeStringTable},
    {kAIAppContextSuite, kAIAppContextSuiteVersion, &kAIAppContextTable},
    {kAIPreferenceSuite, kAIPreferenceSuiteVersion, &kAIPreferenceTable},
    {kAIURLSuite, kAIURLSuiteVersion, &kAIURLTable},
    {kAIFilterSuite, kAIFilterSuiteVersion, &kAIFilterTable},
    {kAIRealMathSuite, kAIRealMathSuiteVersion, &kAIRealMathTable},
    {kAIRandomSuite, kAIRandomSuiteVersion, &kAIRandomTable},
    {kAIMenuSuite, kAIMenuSuiteVersion, &kAIMenuTable},
    {kAIToolSuite, kAIToolSuiteVersion, &kAIToolTable},
    {kAITimerSuite, kAITimerSuiteVersion, &kAITimerTable},
    {kAIAnnotatorSuite, kAIAnnotatorSuiteVersion, &kAIAnnotatorTable},
    {kAIAnnotatorSuite, kAIAnnotatorDrawerSuiteVersion, &kAIAnnotatorDrawerTable},
    {kADMBasicSuite, kADMBasicSuiteVersion10, &kADMBasicTable},
    {kADMBasicSuite, kADMBasicSuiteVersion2, &kADMBasicTable},
    {kADMIconSuite, kADMIconSuiteVersion, &kADMIconTable},
    {kADMTrackerSuite, kADMTrackerSuiteVersion, &kADMTrackerTable},
    {kADMDialogSuite, kADMDialogSuiteVersion, &kADMDialogTable},
    {kADMItemSuite, kADMItemSuiteVersion, &kADMItemTable},
    {kADMListSuite, kADMListSuiteVersion, &kADMListTable},
    {kADMEntrySuite, kADMEntrySuiteVersion, &kADMEntryTable},
    {kADMNotifierSuite, kADMNotifierSuiteVersion, &kADMNotifierTable},
    {kADMDialogGroupSuite, kADMDialogGroupSuiteVersion, &kADMDialogGroupTable},
};

}  // namespace

void installSuites(Host& host) {
  for (const SuiteEntry& entry : kSuites) host.addSuite(entry.name, entry.version, entry.table);
}

}  // namespace simhost
