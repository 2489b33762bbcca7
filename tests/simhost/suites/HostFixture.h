// A fresh stand-in host per test, suites acquired through its SP Basic and released at the end,
// and the check that the test left nothing outstanding.
#ifndef SARVELLO_TESTS_SIMHOST_HOSTFIXTURE_H
#define SARVELLO_TESTS_SIMHOST_HOSTFIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/Host.h"
#include "PathSegments.h"

class HostTest : public ::testing::Test {
 protected:
  template <class Suite>
  const Suite* acquire(const char* name, int32_t version) {
    const void* table = nullptr;
    EXPECT_EQ(basic->AcquireSuite(name, version, &table), kNoErr) << name << " " << version;
    held_.emplace_back(name, version);
    return static_cast<const Suite*>(table);
  }

  void TearDown() override {
    for (const auto& [name, version] : held_)
      EXPECT_EQ(basic->ReleaseSuite(name.c_str(), version), kNoErr) << name;
    const simhost::Outstanding left = host.outstanding();
    EXPECT_TRUE(left.clean()) << left.describe();
  }

  simhost::Host host;
  SPBasicSuite* basic = host.basicSuite();

 private:
  std::vector<std::pair<std::string, int32_t>> held_;
};

#endif
