// The host's files on each system: whole files read and replaced in one step under UTF-8 names,
// and a batch that is not committed leaves every file as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/Files.h"

namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder of each test's own: ctest runs the cases of this file side by side.
    dir = fs::temp_directory_path() /
          simhost::pathFromUtf8("sarvello-files-\xC3\xBC-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::size_t entries() const {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++n;
    return n;
  }

  fs::path dir;
};

TEST_F(Files, AFileIsWrittenAndReplacedWholeUnderItsUtf8Name) {
  const std::string path = simhost::utf8FromPath(dir / simhost::pathFromUtf8("\xD0\x94\xD0\xB0\xD1\x82\xD0\xBE\xD1\x82\xD0\xB5\xD0\xBA\xD0\xB0.svg"));
  std::string error, text;
  ASSERT_TRUE(simhost::writeFileAtomically(path, "first", &error)) << error;
  ASSERT_TRUE(simhost::writeFileAtomically(path, std::string(100000, 'x') + "second", &error)) << error;
  ASSERT_TRUE(simhost::readWholeFile(path, &text, &error)) << error;
  EXPECT_EQ(std::string(100000, 'x') + "second", text);
  EXPECT_EQ(1u, entries());  // nothing left beside it

  const std::string missing = simhost::utf8FromPath(dir / "missing.svg");
  EXPECT_FALSE(simhost::readWholeFile(missing, &text, &error));
  EXPECT_EQ(0u, error.rfind(missing + ": cannot read the file: ", 0)) << error;
}

TEST_F(Files, ABatchThatCannotBeWrittenWholeLeavesEveryFileAsItWas) {
  const std::string kept = simhost::utf8FromPath(dir / "kept.svg");
  std::string error;
  ASSERT_TRUE(simhost::writeFileAtomically(kept, "old", &error)) << error;
  {
    simhost::FileBatch batch;
    ASSERT_TRUE(batch.add(kept, "new", &error)) << error;
    const std::string nowhere = simhost::utf8FromPath(dir / "missing" / "out.svg");
    EXPECT_FALSE(batch.add(nowhere, "x", &error));
    EXPECT_EQ(0u, error.rfind(nowhere + ": cannot write the file: ", 0)) << error;
  }
  std::string text;
  ASSERT_TRUE(simhost::readWholeFile(kept, &text, &error)) << error;
  EXPECT_EQ("old", text);
  EXPECT_EQ(1u, entries());
}

}  // namespace
