// SP Basic and SP Blocks: suites by name and version, memory accounting, fault injection.
#include <cstring>
#include <iterator>
#include <stdexcept>

#include "HostFixture.h"

namespace {

using simhost::Host;

// Every suite the plug-in acquires that the host core serves, at the plug-in's versions.
const std::pair<const char*, int32_t> kServed[] = {
    {kSPBasicSuite, 4},          {kSPBlocksSuite, 2},           {kAIAppContextSuite, 1004},
    {kADMBasicSuite, 10},        {kADMBasicSuite, 2},           {kAIFilterSuite, 1002},
    {kAIArtSuite, 1014},         {kAIPathSuite, 1008},          {kAIPathConstructionSuite, 1002},
    {kAIRealMathSuite, 1001},    {kAIRandomSuite, 1003},        {kAIDocumentViewSuite, 1010},
    {kAIMatchingArtSuite, 1005}, {kAIUnicodeStringSuite, 1006}, {kAIMdMemorySuite, 1001},
    {kADMDialogGroupSuite, 6},   {kAIPreferenceSuite, 1004},    {kADMEntrySuite, 2},
    {kADMListSuite, 1},          {kADMItemSuite, 7},            {kADMDialogSuite, 10},
    {kADMTrackerSuite, 2},       {kADMNotifierSuite, 2},        {kAIURLSuite, 1001}};

TEST_F(HostTest, ServesEverySuiteOfThePluginAtItsVersion) {
  for (const auto& [name, version] : kServed) {
    const void* table = nullptr;
    ASSERT_EQ(basic->AcquireSuite(name, version, &table), kNoErr) << name << " " << version;
    EXPECT_NE(table, nullptr) << name;
    EXPECT_EQ(host.acquisitions(name, version), 1) << name;
  }
  EXPECT_EQ(host.outstanding().suiteAcquisitions, std::size(kServed));
  for (const auto& [name, version] : kServed) EXPECT_EQ(basic->ReleaseSuite(name, version), kNoErr);
}

TEST_F(HostTest, RefusesUnknownNamesWrongVersionsAndLackedSuites) {
  const void* table = &table;
  EXPECT_EQ(basic->AcquireSuite("No Such Suite", 1, &table), kSuiteNotFoundErr);
  EXPECT_EQ(table, nullptr);
  EXPECT_EQ(basic->AcquireSuite(kAIPathSuite, 1007, &table), kSuiteVersionErr);
  EXPECT_EQ(basic->AcquireSuite(nullptr, 1, &table), kBadParameterErr);
  EXPECT_EQ(basic->AcquireSuite(kAIPathSuite, 1008, nullptr), kBadParameterErr);

  host.faults().lackSuite(kAIURLSuite);
  EXPECT_EQ(basic->AcquireSuite(kAIURLSuite, 1001, &table), kSuiteNotFoundErr);
  // Lacking one version of a name that has another: that version is missing.
  host.faults().lackSuite(kADMBasicSuite, 2);
  EXPECT_EQ(basic->AcquireSuite(kADMBasicSuite, 2, &table), kSuiteVersionErr);
  EXPECT_NE(acquire<ADMBasicSuite>(kADMBasicSuite, 10), nullptr);
  host.faults().clear();
  EXPECT_NE(acquire<AIURLSuite>(kAIURLSuite, 1001), nullptr);
  EXPECT_EQ(host.outstanding().suiteAcquisitions, 2u);
}

TEST_F(HostTest, CountsAcquisitionsPerSuiteAndRefusesExtraReleases) {
  const void* a = nullptr;
  const void* b = nullptr;
  ASSERT_EQ(basic->AcquireSuite(kAIPathSuite, 1008, &a), kNoErr);
  ASSERT_EQ(basic->AcquireSuite(kAIPathSuite, 1008, &b), kNoErr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(host.acquisitions(kAIPathSuite, 1008), 2);
  EXPECT_EQ(host.outstanding().describe(), "2 suite acquisitions (AI Path Suite 1008 x2)");

  EXPECT_EQ(basic->ReleaseSuite(kAIPathSuite, 1008), kNoErr);
  EXPECT_EQ(basic->ReleaseSuite(kAIPathSuite, 1008), kNoErr);
  EXPECT_EQ(basic->ReleaseSuite(kAIPathSuite, 1008), kBadParameterErr);
  EXPECT_EQ(basic->ReleaseSuite(kAIArtSuite, 1014), kBadParameterErr);  // never acquired
  EXPECT_EQ(basic->ReleaseSuite(nullptr, 1), kBadParameterErr);
  EXPECT_EQ(host.acquisitions(kAIPathSuite, 1008), 0);
}

TEST_F(HostTest, AddSuiteRegistersAndReplacesTablesPerVersion) {
  static const AIAnnotatorSuite annotator{};
  static const AIAnnotatorDrawerSuite drawer{};
  static const AIAnnotatorDrawerSuite drawer2{};
  host.addSuite(kAIAnnotatorSuite, 1004, &annotator);
  host.addSuite(kAIAnnotatorSuite, 1001, &drawer);
  EXPECT_EQ(acquire<void>(kAIAnnotatorSuite, 1004), &annotator);
  EXPECT_EQ(acquire<void>(kAIAnnotatorSuite, 1001), &drawer);
  host.addSuite(kAIAnnotatorSuite, 1001, &drawer2);
  EXPECT_EQ(acquire<void>(kAIAnnotatorSuite, 1001), &drawer2);
  EXPECT_EQ(host.acquisitions(kAIAnnotatorSuite, 1001), 2);
  EXPECT_THROW(host.addSuite(nullptr, 1, &drawer), std::invalid_argument);
}

TEST_F(HostTest, AccountsBlocksOfBothSuitesAndRefusesForeignFrees) {
  auto* blocks = acquire<SPBlocksSuite>(kSPBlocksSuite, 2);
  void* a = nullptr;
  void* b = nullptr;
  void* c = nullptr;
  ASSERT_EQ(basic->AllocateBlock(100, &a), kNoErr);
  ASSERT_EQ(basic->AllocateBlock(0, &b), kNoErr);  // an empty block is still a block
  ASSERT_EQ(blocks->AllocateBlock(1040, "ai::SPAlloc::AllocateBlock", &c), kNoErr);
  std::memset(a, 0x5A, 100);
  auto o = host.outstanding();
  EXPECT_EQ(o.basicBlocks, 2u);
  EXPECT_EQ(o.basicBytes, 100u);
  EXPECT_EQ(o.spBlocks, 1u);
  EXPECT_EQ(o.spBlockBytes, 1040u);
  EXPECT_NE(o.describe().find("1 SP Blocks block (1040 bytes: ai::SPAlloc::AllocateBlock x1)"),
            std::string::npos)
      << o.describe();

  // Blocks belong to the suite that handed them out; strangers and second frees are refused.
  int local = 0;
  EXPECT_EQ(basic->FreeBlock(c), kBadParameterErr);
  EXPECT_EQ(blocks->FreeBlock(a), kBadParameterErr);
  EXPECT_EQ(basic->FreeBlock(&local), kBadParameterErr);
  EXPECT_EQ(basic->FreeBlock(nullptr), kNoErr);
  EXPECT_EQ(basic->FreeBlock(a), kNoErr);
  EXPECT_EQ(basic->FreeBlock(a), kBadParameterErr);
  EXPECT_EQ(basic->FreeBlock(b), kNoErr);
  EXPECT_EQ(blocks->FreeBlock(c), kNoErr);
  EXPECT_EQ(blocks->FreeBlock(c), kBadParameterErr);
  EXPECT_EQ(basic->AllocateBlock(8, nullptr), kBadParameterErr);
}

TEST_F(HostTest, RefusesTheNthAllocationOrAllOfThem) {
  auto* blocks = acquire<SPBlocksSuite>(kSPBlocksSuite, 2);
  host.faults().refuseAllocation(2);
  void* a = nullptr;
  void* b = &b;
  void* c = nullptr;
  EXPECT_EQ(basic->AllocateBlock(16, &a), kNoErr);
  EXPECT_EQ(blocks->AllocateBlock(16, "x", &b), kOutOfMemoryErr);  // both suites count
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(blocks->AllocateBlock(16, "x", &c), kNoErr);
  EXPECT_EQ(host.outstanding().basicBlocks + host.outstanding().spBlocks, 2u);

  host.faults().refuseAllAllocations();
  void* d = nullptr;
  EXPECT_EQ(basic->AllocateBlock(1, &d), kOutOfMemoryErr);
  EXPECT_EQ(basic->AllocateBlock(1, &d), kOutOfMemoryErr);
  host.faults().clear();
  EXPECT_EQ(basic->AllocateBlock(1, &d), kNoErr);
  // A request no system can meet is refused, not attempted.
  void* huge = nullptr;
  EXPECT_EQ(basic->AllocateBlock(static_cast<size_t>(-1), &huge), kOutOfMemoryErr);
  EXPECT_EQ(huge, nullptr);
  for (void* p : {a, d}) EXPECT_EQ(basic->FreeBlock(p), kNoErr);
  EXPECT_EQ(blocks->FreeBlock(c), kNoErr);
  EXPECT_THROW(host.faults().refuseAllocation(0), std::invalid_argument);
}

TEST_F(HostTest, InjectsCallFaultsOnTheNthCallOrEveryCall) {
  const void* table = nullptr;
  host.faults().failCall("SPBasic.AcquireSuite", 2, kCantHappenErr);
  EXPECT_EQ(basic->AcquireSuite(kAIPathSuite, 1008, &table), kNoErr);
  EXPECT_EQ(basic->AcquireSuite(kAIPathSuite, 1008, &table), kCantHappenErr);
  EXPECT_EQ(basic->AcquireSuite(kAIPathSuite, 1008, &table), kNoErr);
  EXPECT_EQ(host.acquisitions(kAIPathSuite, 1008), 2);  // the failed call acquired nothing
  EXPECT_EQ(host.faults().calls("SPBasic.AcquireSuite"), 3);

  host.faults().failAllCalls("SPBasic.ReleaseSuite", kOutOfMemoryErr);
  EXPECT_EQ(basic->ReleaseSuite(kAIPathSuite, 1008), kOutOfMemoryErr);
  EXPECT_EQ(basic->ReleaseSuite(kAIPathSuite, 1008), kOutOfMemoryErr);
  EXPECT_EQ(host.acquisitions(kAIPathSuite, 1008), 2);
  host.faults().clear();
  EXPECT_EQ(basic->ReleaseSuite(kAIPathSuite, 1008), kNoErr);
  EXPECT_EQ(basic->ReleaseSuite(kAIPathSuite, 1008), kNoErr);

  // A failing free keeps the block: the leak shows in the accounting.
  void* block = nullptr;
  ASSERT_EQ(basic->AllocateBlock(4, &block), kNoErr);
  host.faults().failCall("SPBasic.FreeBlock", 1, kBadParameterErr);
  EXPECT_EQ(basic->FreeBlock(block), kBadParameterErr);
  EXPECT_EQ(host.outstanding().basicBlocks, 1u);
  EXPECT_EQ(basic->FreeBlock(block), kNoErr);
  EXPECT_THROW(host.faults().failCall("AIPath.GetPathClosed", 0, 1), std::invalid_argument);
}

TEST(HostLifetime, OneCurrentHostAtATime) {
  EXPECT_EQ(Host::current(), nullptr);
  {
    Host host;
    EXPECT_EQ(Host::current(), &host);
    EXPECT_THROW(Host second, std::logic_error);
    EXPECT_EQ(Host::current(), &host);
    // What the plug-in leaves behind is reported, and freed with the host.
    void* block = nullptr;
    ASSERT_EQ(host.basicSuite()->AllocateBlock(32, &block), kNoErr);
    EXPECT_EQ(host.outstanding().describe(), "1 SP Basic block (32 bytes)");
    EXPECT_FALSE(host.outstanding().clean());
  }
  EXPECT_EQ(Host::current(), nullptr);
  simhost::Outstanding none;
  EXPECT_TRUE(none.clean());
  EXPECT_EQ(none.describe(), "nothing outstanding");
}

}  // namespace
