// The host utility types over the stand-in host: SP Blocks memory, SP Basic memory, strings and
// the application context.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "ASMemory.h"
#include "AppContext.h"
#include "IAIUnicodeString.h"
#include "SarvelloSuites.h"
#include "SuiteScope.h"
#include "core/Host.h"

class HostUtilTest : public ::testing::Test {
 protected:
  void TearDown() override {
    suites.reset();
    const simhost::Outstanding left = host.outstanding();
    EXPECT_TRUE(left.clean()) << left.describe();
  }
  simhost::Host host;
  std::optional<testsupport::SuiteScope> suites{std::in_place, host};
};

TEST_F(HostUtilTest, SPAllocBlocks) {
  void* block = ai::SPAlloc::AllocateBlock(100);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(host.outstanding().spBlocks, 1u);
  ai::SPAlloc::DeleteBlock(block);
  ai::SPAlloc::DeleteBlock(nullptr);
  EXPECT_EQ(host.outstanding().spBlocks, 0u);

  host.faults().refuseAllocation(1);
  try {
    ai::SPAlloc::AllocateBlock(100);
    ADD_FAILURE() << "a refused block was not reported";
  } catch (const ai::Error& error) {
    EXPECT_EQ(error.code(), kOutOfMemoryErr);
    EXPECT_EQ(static_cast<ASErr>(error), kOutOfMemoryErr);
  }
}

TEST_F(HostUtilTest, BasicMemoryYieldsNoneInsteadOfThrowing) {
  void* block = ai::HostAllocate(0);  // a distinct block even for nothing
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(host.outstanding().basicBlocks, 1u);
  ai::HostFree(block);
  ai::HostFree(nullptr);
  EXPECT_EQ(host.outstanding().basicBlocks, 0u);

  host.faults().refuseAllocation(1);
  EXPECT_EQ(ai::HostAllocate(32), nullptr);

  void* aligned = ai::HostAllocateAligned(40, 64);
  ASSERT_NE(aligned, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(aligned) % 64, 0u);
  ai::HostFreeAligned(aligned);
  EXPECT_EQ(ai::HostAllocateAligned(SIZE_MAX - 8, 64), nullptr);
  EXPECT_EQ(host.outstanding().basicBlocks, 0u);

  SPBasicSuite* basic = sSPBasic;
  sSPBasic = nullptr;  // no SP Basic Suite known
  EXPECT_EQ(ai::HostAllocate(8), nullptr);
  ai::HostFree(reinterpret_cast<void*>(0x1000));  // ignored
  sSPBasic = basic;
}

TEST_F(HostUtilTest, UnicodeStrings) {
  {
    ai::UnicodeString empty;
    EXPECT_EQ(empty.handle(), nullptr);
    ai::UnicodeString copyOfEmpty(empty);
    EXPECT_EQ(copyOfEmpty.handle(), nullptr);
    ai::UnicodeString text("Sarvello");
    ASSERT_NE(text.handle(), nullptr);
    ai::UnicodeString copy(text);
    empty = text;
    EXPECT_NE(empty.handle(), nullptr);
    empty = empty;
    EXPECT_EQ(host.outstanding().unicodeStrings, 3u);
  }
  EXPECT_EQ(host.outstanding().unicodeStrings, 0u);

  host.faults().failCall("AIUnicodeString.NewFromCString", 1, kOutOfMemoryErr);
  EXPECT_THROW(ai::UnicodeString("refused"), ai::Error);
  ai::UnicodeString target;
  ai::UnicodeString source("x");
  host.faults().failCall("AIUnicodeString.Copy", 1, kBadParameterErr);
  try {
    target = source;
    ADD_FAILURE();
  } catch (const ai::Error& error) {
    EXPECT_EQ(error.code(), kBadParameterErr);
  }
}

TEST_F(HostUtilTest, AppContextEntersAndLeavesOnlyWhatItCan) {
  SPPluginRef plugin = reinterpret_cast<SPPluginRef>(0x10);
  {
    AppContext context(plugin);
    EXPECT_EQ(host.outstanding().appContexts, 1u);
  }
  EXPECT_EQ(host.outstanding().appContexts, 0u);

  host.faults().failCall("AIAppContext.PushAppContext", 1, kBadParameterErr);
  { AppContext refused(plugin); }
  EXPECT_EQ(host.faults().calls("AIAppContext.PopAppContext"), 1);

  AIAppContextSuite* suite = sAIAppContext;
  sAIAppContext = nullptr;
  { AppContext none(plugin); }
  sAIAppContext = suite;
  EXPECT_EQ(host.faults().calls("AIAppContext.PushAppContext"), 2);
}
