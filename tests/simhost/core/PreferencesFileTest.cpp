// The host's preference file: first start, round trips across host restarts, corrupt and
// unreadable files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <sys/stat.h>

#include "core/Host.h"

namespace {

namespace fs = std::filesystem;

class PreferencesFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("sarvello-prefs-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
           "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    file = (dir / "sub" / "preferences.ini").string();
  }
  void TearDown() override { fs::remove_all(dir); }

  static std::string read(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void write(const std::string& text) {
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(file) << text;
  }

  fs::path dir;
  std::string file;
};

TEST_F(PreferencesFileTest, MissingFileIsAFirstStartAndEveryKindSurvivesARestart) {
  {
    simhost::Host host;
    std::string warning;
    EXPECT_TRUE(host.usePreferencesFile(file, &warning));
    EXPECT_TRUE(host.preferences().empty());
    simhost::Preference s;
    s.kind = simhost::Preference::String;
    s.text = "tab\there \"quoted\" back\\slash\nline";
    host.preferences()[{"Odd Section", "a key"}] = s;
    simhost::Preference i;
    i.kind = simhost::Preference::Integer;
    i.integer = -2147483647 - 1;
    host.preferences()[{"S", "int"}] = i;
    simhost::Preference b;
    b.kind = simhost::Preference::Boolean;
    b.integer = 1;
    host.preferences()[{"S", "bool"}] = b;
    simhost::Preference p;
    p.kind = simhost::Preference::Point;
    p.point.h = -5;
    p.point.v = 7000;
    host.preferences()[{"S", "point"}] = p;
    std::string error;
    ASSERT_TRUE(host.savePreferences(&error)) << error;
    // Nothing but the file is left beside it.
    EXPECT_EQ(1, std::distance(fs::directory_iterator(fs::path(file).parent_path()), fs::directory_iterator()));
  }
  simhost::Host host;
  std::string warning;
  ASSERT_TRUE(host.usePreferencesFile(file, &warning)) << warning;
  auto& prefs = host.preferences();
  ASSERT_EQ(prefs.size(), 4u);
  EXPECT_EQ((prefs[{"Odd Section", "a key"}].text), "tab\there \"quoted\" back\\slash\nline");
  EXPECT_EQ((prefs[{"S", "int"}].integer), -2147483647 - 1);
  EXPECT_EQ((prefs[{"S", "bool"}].kind), simhost::Preference::Boolean);
  EXPECT_EQ((prefs[{"S", "point"}].point.v), 7000);
  EXPECT_NE(read(file).find("[S]\nbool = boolean true\n"), std::string::npos) << read(file);
}

TEST_F(PreferencesFileTest, CorruptOrUnreadableFilesGiveAWarningAndTheDefaultsAndAreKept) {
  const char* corrupt[] = {
      "[S]\nkey = integer 12x\n",          "key = integer 1\n",
      "[S]\nkey = string \"open\n",        "[S]\nkey = colour 3\n",
      "[S]\nkey = integer 99999999999\n",  "[S]\nkey = boolean maybe\n",
      "[S]\nkey = point 1\n",              "[S\n",
  };
  for (const char* text : corrupt) {
    SCOPED_TRACE(text);
    write(text);
    simhost::Host host;
    std::string warning;
    EXPECT_FALSE(host.usePreferencesFile(file, &warning));
    EXPECT_NE(warning.find(file), std::string::npos);
    EXPECT_TRUE(host.preferences().empty());
    EXPECT_EQ(read(file), text);  // not overwritten until the host saves
  }
  fs::remove(file);
  fs::create_directories(file);  // a directory where the file should be
  simhost::Host host;
  std::string warning;
  EXPECT_FALSE(host.usePreferencesFile(file, &warning));
  EXPECT_FALSE(warning.empty());
  std::string error;
  EXPECT_FALSE(host.savePreferences(&error));
  EXPECT_FALSE(error.empty());
}

TEST_F(PreferencesFileTest, DefaultPathFollowsTheUsersConfigurationDirectory) {
#ifdef _WIN32
  ::_putenv_s("APPDATA", "C:\\Users\\someone\\AppData\\Roaming");
  EXPECT_EQ(simhost::Host::defaultPreferencesPath(),
            "C:\\Users\\someone\\AppData\\Roaming\\Sarvello\\preferences.ini");
  ::_putenv_s("APPDATA", "");
  EXPECT_EQ(simhost::Host::defaultPreferencesPath(), "");
#else
  ::setenv("XDG_CONFIG_HOME", "/tmp/config-here", 1);
  EXPECT_EQ(simhost::Host::defaultPreferencesPath(), "/tmp/config-here/sarvello/preferences.ini");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(simhost::Host::defaultPreferencesPath(),
            "/home/someone/.config/sarvello/preferences.ini");
#endif
}

}  // namespace

#ifndef _WIN32  // named pipes in the file system
TEST_F(PreferencesFileTest, SavingNeverReplacesSomethingThatIsNotAFile) {
  fs::create_directories(fs::path(file).parent_path());
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  simhost::Host host;
  std::string warning;
  EXPECT_FALSE(host.usePreferencesFile(file, &warning));
  std::string error;
  EXPECT_FALSE(host.savePreferences(&error));
  EXPECT_NE(error.find(file), std::string::npos) << error;
  EXPECT_TRUE(fs::is_fifo(file));
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(file).parent_path()),
                          fs::directory_iterator{}),
            1);  // no temporary file left beside it
}
#endif
