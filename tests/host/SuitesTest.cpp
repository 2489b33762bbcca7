// Suite acquisition by table, with an import table of the test's own that has an optional section.
#include <gtest/gtest.h>

#include <memory>

#include "core/Host.h"
#include "loader/PluginHost.h"
#include "Suites.h"
#include "TestPlugin.h"

extern "C" SPErr PluginMain(const char* caller, const char* selector, void* message);

namespace {

const void* gPathSuite = nullptr;
const void* gOptionalOne = nullptr;
const void* gOptionalTwo = nullptr;
const int kOptionalTable = 42;  // any table will do for the optional suites

ImportSuite gTable[] = {
    {kAIPathSuite, kAIPathSuiteVersion, &gPathSuite},
    {nullptr, kOptionalSuitesMarker, nullptr},
    {"Test Optional One", 1, &gOptionalOne},
    {"Test Optional Two", 1, &gOptionalTwo},
    {nullptr, 0, nullptr},
};

class SuiteTables : public ::testing::Test {
 protected:
  void SetUp() override {
    // The loader registers the basic suites of the frame (SP Access, SP Plug-ins, AI Notifier).
    plugins = std::make_unique<simhost::PluginHost>(host, PluginMain,
                                                    simhost::readPluginFile(SARVELLO_MODULE_PATH));
    sSPBasic = host.basicSuite();
  }
  void TearDown() override {
    plugins.reset();
    EXPECT_EQ(Suites::fAcquiredCount, 0);
    EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
    sSPBasic = nullptr;
  }
  simhost::Host host;
  std::unique_ptr<simhost::PluginHost> plugins;
};

TEST_F(SuiteTables, OptionalSuitesAreTriedAgainUntilTheyArrive) {
  {
    Suites suites(gTable);
    ASSERT_EQ(suites.Error(), kNoErr);
    EXPECT_EQ(suites.requiredCount(), 1);
    EXPECT_EQ(suites.optionalCount(), 2);
    EXPECT_EQ(suites.optionalAcquired(), 0);
    EXPECT_NE(gPathSuite, nullptr);
    EXPECT_NE(sSPAccess, nullptr);
    EXPECT_EQ(host.outstanding().suiteAcquisitions, 6u);

    host.addSuite("Test Optional Two", 1, &kOptionalTable);
    suites.acquire_Optional_Suites();
    EXPECT_EQ(suites.optionalAcquired(), 1);
    EXPECT_EQ(gOptionalOne, nullptr);
    EXPECT_EQ(gOptionalTwo, &kOptionalTable);
    host.addSuite("Test Optional One", 1, &kOptionalTable);
    suites.acquire_Optional_Suites();
    suites.acquire_Optional_Suites();  // all there: nothing more is acquired
    EXPECT_EQ(suites.optionalAcquired(), 2);
    EXPECT_EQ(host.acquisitions("Test Optional Two", 1), 1);
  }
  // Released: every pointer none, every acquisition given back.
  EXPECT_EQ(gPathSuite, nullptr);
  EXPECT_EQ(gOptionalOne, nullptr);
  EXPECT_EQ(gOptionalTwo, nullptr);
  EXPECT_EQ(sSPAccess, nullptr);
}

TEST_F(SuiteTables, AnOptionalSuiteAfterAMissingOneIsReleasedToo) {
  // Only the second optional suite arrives: the release must not stop at the first, missing row.
  host.addSuite("Test Optional Two", 1, &kOptionalTable);
  {
    Suites suites(gTable);
    ASSERT_EQ(suites.Error(), kNoErr);
    EXPECT_EQ(suites.optionalAcquired(), 1);
    EXPECT_EQ(gOptionalOne, nullptr);
    EXPECT_EQ(gOptionalTwo, &kOptionalTable);
  }
  EXPECT_EQ(host.acquisitions("Test Optional Two", 1), 0);
  EXPECT_EQ(gOptionalTwo, nullptr);
}

TEST_F(SuiteTables, ASecondHolderOnlyCountsAndTheLastReleases) {
  Suites first(gTable);
  ASSERT_EQ(Suites::fAcquiredCount, 1);
  const auto held = host.outstanding().suiteAcquisitions;
  {
    Suites second(gTable);
    EXPECT_EQ(Suites::fAcquiredCount, 2);
    EXPECT_EQ(host.outstanding().suiteAcquisitions, held);
  }
  EXPECT_EQ(Suites::fAcquiredCount, 1);
  EXPECT_EQ(host.outstanding().suiteAcquisitions, held);
  EXPECT_NE(gPathSuite, nullptr);
}

TEST_F(SuiteTables, AMissingRequiredSuiteStopsTheWalkAndDestructionReleasesTheRest) {
  host.faults().lackSuite(kAIPathSuite);
  {
    Suites suites(gTable);
    EXPECT_EQ(suites.Error(), kSuiteNotFoundErr);
    EXPECT_EQ(Suites::fAcquiredCount, 0);
    EXPECT_NE(sADMBasic, nullptr);  // the rows before it stay acquired
    EXPECT_EQ(host.outstanding().suiteAcquisitions, 5u);
    Suites::fAcquiredCount = 1;  // as the frame does, so that destruction releases
  }
  EXPECT_EQ(sADMBasic, nullptr);
  EXPECT_EQ(host.outstanding().suiteAcquisitions, 0u);
}

TEST_F(SuiteTables, AFailingReleaseStopsTheWalk) {
  auto suites = std::make_unique<Suites>(gTable);
  host.faults().failCall("SPBasic.ReleaseSuite", 2, kBadParameterErr);  // SP Plug-ins
  EXPECT_EQ(suites->ReleaseSuites(), kBadParameterErr);
  EXPECT_EQ(sSPAccess, nullptr);
  EXPECT_EQ(sSPPlugins, nullptr);  // cleared whatever the host answered
  EXPECT_NE(sAINotifier, nullptr);  // later rows keep their pointers
  // Give the rest back by hand so that the host ends clean.
  for (const char* name : {kAINotifierSuite, kAIAppContextSuite, kADMBasicSuite}) {
    for (const ImportSuite& row : gBasicSuites) {
      if (std::string(row.name) == name) {
        host.basicSuite()->ReleaseSuite(row.name, row.version);
        StoreSuite(row, nullptr);
      }
    }
  }
  host.basicSuite()->ReleaseSuite(kAIPathSuite, kAIPathSuiteVersion);
  host.basicSuite()->ReleaseSuite(kSPPluginsSuite, kSPPluginsSuiteVersion);
  gPathSuite = nullptr;
  Suites::fAcquiredCount = 0;
  suites.reset();  // a release too many leaves the count at 0
  EXPECT_EQ(Suites::fAcquiredCount, 0);
}

TEST_F(SuiteTables, HostMemoryForFrameObjects) {
  void* block = Suites::operator new(64);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(host.outstanding().basicBlocks, 1u);
  Suites::operator delete(block);
}

}  // namespace
