// The command line of sarvello-host, called in-process: usage errors, bad input, good runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "AppFixture.h"
#include "app/Commands.h"
#include "picture/Picture.h"
#include "core/Files.h"

using namespace apptest;
using simhost::app::kExitBadInput;
using simhost::app::kExitOk;
using simhost::app::kExitUsage;

// Fontconfig (behind the pictures) keeps its configuration for the life of the process; the leak
// checker is told that this is not ours.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libpango\nleak:libharfbuzz.so\n";
}

namespace {

const char* const kDrawing = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100">
  <circle id="c" cx="50" cy="50" r="30" fill="none" stroke="black"/>
</svg>)";

const char* const kShortSession = R"({ "events": [
  { "type": "select", "paths": "all" }, { "type": "pick-tool" },
  { "type": "stroke", "points": [[0.3, 0.5], [0.7, 0.5]], "drags": 4 },
  { "type": "picture" }, { "type": "idle", "ticks": 2 }, { "type": "picture", "file": "shot.png" },
  { "type": "leave-tool" } ] })";

struct Result {
  int code = -1;
  std::string out;
  std::string err;
};

Result run(std::vector<std::string> args) {
  std::ostringstream out, err;
  simhost::app::Console console{out, err, false, kModule, ""};
  Result r;
  r.code = simhost::app::runProgram(args, console);
  r.out = out.str();
  r.err = err.str();
  return r;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    input = dir / "in.svg";
    writeText(input, kDrawing);
    writeText(dir / "short.json", kShortSession);
  }
  TempDir dir;
  std::string input;
};

}  // namespace

TEST(CliUsage, MistakesInTheCommandLineExitWithTwoAndSayWhat) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{}, "sarvello-host: no command given"},
      {{"stir"}, "sarvello-host: unknown command stir"},
      {{"--verbose"}, "sarvello-host: unknown option --verbose"},
      {{"run", "a.svg", "--colour"}, "sarvello-host run: unknown option --colour"},
      {{"run", "a.svg", "--session"}, "sarvello-host run: --session needs a value"},
      {{"run", "a.svg", "--no-fit=yes"}, "sarvello-host run: --no-fit takes no value"},
      {{"run", "a.svg", "b.svg"}, "sarvello-host run: unexpected argument b.svg"},
      {{"run", "a.svg", "-o", "x.svg", "--output", "y.svg"}, "sarvello-host run: --output is given more than once"},
      {{"run"}, "sarvello-host run: no drawing"},
      {{"demo", "--out"}, "sarvello-host demo: --out needs a value"},
      {{"demo", "extra"}, "sarvello-host demo: unexpected argument extra"},
  };
  for (const Case& c : cases) {
    const Result r = run(c.args);
    EXPECT_EQ(r.code, kExitUsage) << c.message;
    EXPECT_TRUE(contains(r.err, c.message)) << r.err;
    EXPECT_TRUE(contains(r.err, "--help\" for the usage")) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
}

TEST(CliUsage, HelpForTheProgramAndEachCommand) {
  for (const auto& args : std::vector<std::vector<std::string>>{{"--help"}, {"-h"}, {"run", "--help"}, {"demo", "-h"}}) {
    const Result r = run(args);
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_TRUE(r.out.rfind("Usage: sarvello-host", 0) == 0) << r.out;
    EXPECT_TRUE(r.err.empty());
  }
  EXPECT_TRUE(contains(run({"run", "--help"}).out, "--frames DIR"));
  EXPECT_TRUE(contains(run({"demo", "--help"}).out, "frames.png"));
}

TEST_F(Cli, BadInputExitsWithOneNamesTheFileAndWritesNothing) {
  writeText(dir / "bad.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\">\n  <path d=\"M 0 0 L 10\"/>\n</svg>");
  writeText(dir / "bad.json", "{ \"events\": [ { \"type\": \"stroke\", \"points\": [[0, 0]] } ] }");
  writeText(dir / "broken.json", "{ \"events\": [\n  { \"type\": \"idle\", \"ticks\": 1 },\n ");
  writeText(dir / "fake.aip", "no plug-in");
  const auto before = dir.files();
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"run", dir / "missing.svg", "-o", dir / "o.svg"}, dir / "missing.svg"},
      {{"run", dir / "bad.svg", "-o", dir / "o.svg"}, dir / "bad.svg:2:"},
      {{"run", input, "--session", dir / "bad.json", "-o", dir / "o.svg"},
       dir / "bad.json: event 1 (stroke): the stroke has no \"drags\""},
      {{"run", input, "--session", dir / "broken.json", "-o", dir / "o.svg"}, dir / "broken.json:3:"},
      {{"run", input, "--session", dir / "none.json", "-o", dir / "o.svg"}, dir / "none.json"},
      {{"run", input, "--plugin", dir / "fake.aip", "-o", dir / "o.svg", "--png", dir / "o.png"}, dir / "fake.aip"},
      {{"run", input, "-o", dir / "no/such/folder/o.svg"}, "does not exist"},
      {{"demo", "--plugin", dir / "fake.aip", "--out", dir / "demo"}, dir / "fake.aip"},
  };
  for (const Case& c : cases) {
    const Result r = run(c.args);
    EXPECT_EQ(r.code, kExitBadInput) << c.message << "\n" << r.err;
    EXPECT_TRUE(contains(r.err, c.message)) << r.err;
    EXPECT_EQ(dir.files(), before) << "nothing may be written: " << c.message;
  }
}

// A folder that takes no new files is found before the run, for every kind of output.
TEST_F(Cli, AnOutputFolderThatCannotBeWrittenIsFoundBeforeTheRun) {
  const auto before = dir.files();
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"run", input, "-o", dir / "out.svg", "--png", "/proc/sarvello.png", "--frames", dir / "frames"},
           {"run", input, "-o", "/proc/sarvello.svg"},
           {"run", input, "-o", dir / "out.svg", "--frames", "/proc/sarvello-frames"}}) {
    const Result r = run(args);
    EXPECT_EQ(r.code, kExitBadInput) << r.err;
    EXPECT_TRUE(contains(r.err, ": cannot write in the folder /proc: ")) << r.err;
    EXPECT_EQ(r.out, "") << "the run must not have started";
    EXPECT_EQ(dir.files(), before);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "frames"));
}

// A view the host cannot show is refused by the session check, before anything runs.
TEST_F(Cli, AViewTheHostCannotShowIsRefusedBeforeTheRun) {
  writeText(dir / "zoom.json", R"({ "events": [ { "type": "view", "zoom": 1e30 } ] })");
  const auto before = dir.files();
  const Result r = run({"run", input, "--session", dir / "zoom.json", "-o", dir / "out.svg"});
  EXPECT_EQ(r.code, kExitBadInput) << r.err;
  EXPECT_TRUE(contains(r.err, "zoom.json: event 1 (view): \"zoom\" must be from")) << r.err;
  EXPECT_EQ(dir.files(), before);
}

// Two outputs of one run in the same file would leave only one of them: refused before the run.
TEST_F(Cli, OutputsThatShareAFileAreRefusedBeforeTheRun) {
  writeText(dir / "pictures.json", R"({ "events": [ { "type": "picture", "file": "a.png" },
                                                    { "type": "picture", "file": "b.png" } ] })");
  const auto before = dir.files();
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"run", input, "--session", dir / "pictures.json", "-o", dir / "a.png"},
       "event 1 (picture): " + (dir / "a.png") + " is also the stirred drawing"},
      {{"run", input, "--session", dir / "pictures.json", "-o", dir / "o.svg", "--png", dir / "b.png"},
       "event 2 (picture): " + (dir / "b.png") + " is also the picture of the stirred drawing"},
  };
  for (const Case& c : cases) {
    const Result r = run(c.args);
    EXPECT_EQ(r.code, kExitBadInput) << r.err;
    EXPECT_TRUE(contains(r.err, c.message)) << r.err;
    EXPECT_EQ(dir.files(), before);
  }
  writeText(dir / "twice.json", R"({ "events": [ { "type": "picture", "file": "a.png" },
                                                 { "type": "picture", "file": "./a.png" } ] })");
  const Result r = run({"run", input, "--session", dir / "twice.json", "-o", dir / "o.svg"});
  EXPECT_EQ(r.code, kExitBadInput) << r.err;
  EXPECT_TRUE(contains(r.err, "event 2 (picture): ")) << r.err;
  EXPECT_TRUE(contains(r.err, "is also the picture of event 1")) << r.err;
}

// An output path that names something other than a file (a named pipe here; a device such as
// /dev/null is the same) is refused before the run: writing the output would replace it.
TEST_F(Cli, AnOutputThatIsNoFileIsRefusedAndLeftAsItIs) {
  const std::string pipe = dir / "out.fifo";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"run", input, "-o", pipe}, {"run", input, "-o", dir / "o.svg", "--png", pipe}}) {
    const Result r = run(args);
    EXPECT_EQ(r.code, kExitBadInput) << r.err;
    EXPECT_TRUE(contains(r.err, pipe + ": exists and is not a regular file")) << r.err;
    EXPECT_EQ(std::filesystem::status(pipe).type(), std::filesystem::file_type::fifo);
  }
  std::string error;
  EXPECT_FALSE(simhost::writeFileAtomically(pipe, "x", &error));
  EXPECT_EQ(error, pipe + ": cannot write the file: exists and is not a regular file");
  EXPECT_EQ(std::filesystem::status(pipe).type(), std::filesystem::file_type::fifo);
}

TEST_F(Cli, TheInputIsNeverOverwritten) {
  const std::string original = readText(input);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"run", input, "-o", input}, {"run", input, "-o", dir / "o.svg", "--png", input},
           {"run", input, "-o", (dir.path() / "." / "in.svg").string()}}) {
    const Result r = run(args);
    EXPECT_EQ(r.code, kExitUsage) << r.err;
    EXPECT_TRUE(contains(r.err, "is the input drawing")) << r.err;
  }
  EXPECT_EQ(readText(input), original);
}

TEST_F(Cli, AGoodRunWritesTheDrawingPicturesAndFrames) {
  const Result r = run({"run", input, "--session", dir / "short.json", "-o", dir / "out.svg", "--png",
                        dir / "out.png", "--frames", dir / "frames"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_TRUE(contains(r.out, "Stirred " + input + ": 1 path, ")) << r.out;
  EXPECT_TRUE(contains(r.out, "4 drag events")) << r.out;
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"frames/frame-01.png", "frames/frame-02.png", "frames/frames.png",
                                                   "in.svg", "out.png", "out.svg", "short.json", "shot.png"}));
  // The stirred drawing reads back, with the circle now a dense polyline.
  simhost::Document document;
  simhost::svg::ImportResult again = simhost::svg::importSvgFile(dir / "out.svg", document, simhost::ViewState{});
  ASSERT_TRUE(again) << again.error;
  ASSERT_EQ(again.drawing->paths().size(), 1u);
  EXPECT_GT(document.find(again.drawing->paths()[0])->segments.size(), 50u);
  // Frames show the window with the overlay; the strip holds both side by side.
  simhost::picture::Image frame, strip;
  std::string error;
  ASSERT_TRUE(simhost::picture::readPng(dir / "frames/frame-01.png", &frame, &error)) << error;
  ASSERT_TRUE(simhost::picture::readPng(dir / "frames/frames.png", &strip, &error)) << error;
  EXPECT_EQ(frame.width, 1000);
  EXPECT_EQ(strip.width, 2 * 1000 + 8);
  // The picture of the stirred drawing frames it and the square: 800 pixels along its longer side.
  simhost::picture::Image after;
  ASSERT_TRUE(simhost::picture::readPng(dir / "out.png", &after, &error)) << error;
  EXPECT_EQ(std::max(after.width, after.height), 800);
}

// Pictures are made only when asked for; the size of --png can be chosen; "-o -" writes the
// drawing to standard output and the summary with the diagnostics.
TEST_F(Cli, PicturesAsAskedAndTheDrawingOnStandardOutput) {
  Result r = run({"run", input, "--session", dir / "short.json", "-o", "-", "--png", dir / "p.png",
                  "--png-size", "300x200"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out.rfind("<svg", 0), 0u) << r.out;
  EXPECT_TRUE(contains(r.err, "Stirred " + input)) << r.err;
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"in.svg", "p.png", "short.json", "shot.png"}));
  simhost::picture::Image png;
  std::string error;
  ASSERT_TRUE(simhost::picture::readPng(dir / "p.png", &png, &error)) << error;
  EXPECT_EQ(png.width, 300);
  EXPECT_EQ(png.height, 200);
  // A session that selects nothing stirs nothing, and says so.
  writeText(dir / "none.json", R"({ "events": [ { "type": "select", "paths": "none" }, { "type": "pick-tool" },
      { "type": "stroke", "points": [[0.3, 0.5], [0.7, 0.5]], "drags": 4 } ] })");
  r = run({"run", input, "--session", dir / "none.json", "-o", dir / "o.svg"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(contains(r.out, "Nothing stirred in " + input + ": 1 path, 0 moved")) << r.out;
}

// A path far too long for the host's curve-to-points conversion (inside the pasteboard): the
// deformation step of picking the tool fails, the tool's timer never starts, and the run says so
// instead of "Stirred", with exit code 3.
TEST_F(Cli, ARunInWhichThePlugInAnsweredErrorsIsNoSuccess) {
  std::string d = "M-25000 0";
  for (int k = 0; k < 420; ++k) d += k % 2 ? " L-25000 0" : " L25000 0";
  writeText(dir / "long.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"><path d=\"" + d + "\"/></svg>");
  writeText(dir / "tick.json", R"({ "events": [ { "type": "select", "paths": "all" }, { "type": "pick-tool" },
      { "type": "idle", "ticks": 2 }, { "type": "leave-tool" } ] })");
  const Result r = run({"run", dir / "long.svg", "--no-fit", "--session", dir / "tick.json", "-o", dir / "o.svg"});
  EXPECT_EQ(r.code, simhost::app::kExitPluginFailed) << r.err;
  EXPECT_TRUE(contains(r.out, "Nothing stirred in " + dir / "long.svg")) << r.out;
  EXPECT_TRUE(contains(r.out, "The tool failed to start 1 time when it was picked")) << r.out;
  EXPECT_TRUE(contains(r.err, "event 2 (pick-tool): the tool did not start its timer")) << r.err;
}

TEST(CliUsage, VersionAndHelp) {
  Result r = run({"--version"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out, "sarvello-host 0.1\n");
  r = run({"help", "run"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out.rfind("Usage: sarvello-host run", 0), 0u) << r.out;
  r = run({"help"});
  EXPECT_TRUE(contains(r.out, "Commands:")) << r.out;
  EXPECT_EQ(run({"help", "jump"}).code, kExitUsage);
  EXPECT_EQ(run({"demo", "--no-prefs", "--prefs", "p.ini"}).code, kExitUsage);
  EXPECT_EQ(run({"run", "in.svg", "--png-size", "10x10"}).code, kExitUsage);
  EXPECT_EQ(run({"run", "in.svg", "--png", "p.png", "--png-size", "0x10"}).code, kExitUsage);
}

TEST_F(Cli, DefaultSessionAndOutputNameInTheCurrentFolder) {
  TempDir work;
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(work.path());
  const Result r = run({"run", input});
  std::filesystem::current_path(cwd);
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(work.files(), std::vector<std::string>{"in.stirred.svg"});
  EXPECT_TRUE(contains(r.out, "92 drag events")) << r.out;
  EXPECT_EQ(readText(input), kDrawing);
}

// The summary tells what was never stirred, what was kept as clones, and the Size the default
// strokes chose for a drawing that keeps its own size.
TEST_F(Cli, TheSummaryTellsWhatStaysAsItWas) {
  writeText(dir / "large.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="2000" height="1000">
  <path id="p" d="M900 500 H1100" stroke="black"/><use xlink:href="#p" y="20"/><text>a</text><image width="1" height="1"/></svg>)");
  Result r = run({"run", dir / "large.svg", "-o", dir / "out.svg", "--no-prefs"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(contains(r.out, ": 2 paths, 2 moved, 0 only resampled,")) << r.out;
  EXPECT_TRUE(contains(r.out, "the default strokes set the panel's Size to 1000,")) << r.out;
  EXPECT_TRUE(contains(r.err, "event 1 (type-value): Size is now 1000")) << r.err;
  EXPECT_TRUE(contains(r.out, "Text and images are never stirred: the drawing's 1 text and 1 image stay as they were.\n")) << r.out;
  r = run({"run", dir / "large.svg", "-o", dir / "kept.svg", "--no-prefs", "--keep-clones", "--session", dir / "short.json"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(contains(r.out, ": 1 path, ")) << r.out;
  EXPECT_TRUE(contains(r.out, "1 clone was kept as clones (--keep-clones): not stirred, written back as they were.\n")) << r.out;
  EXPECT_FALSE(contains(r.out, "Size to")) << "a session of the user's own sets what it sets";
}

TEST_F(Cli, ASessionThatNamesItsDrawingNeedsNoInput) {
  writeText(dir / "named.json", R"({ "drawing": "in.svg", "events": [ { "type": "pick-tool" }, { "type": "leave-tool" } ] })");
  const Result r = run({"run", "--session", dir / "named.json", "-o", dir / "named.svg"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir / "named.svg"));
}

TEST(CliDemo, WritesTheSampleThePicturesAndASummary) {
  TempDir dir;
  // The demo keeps no preferences unless asked to: what a previous run left does not count.
  std::ostringstream out, err;
  simhost::app::Console console{out, err, false, kModule, dir / "config/preferences.ini"};
  Result r;
  r.code = simhost::app::runProgram({"demo", "--out", dir / "out"}, console);
  r.out = out.str();
  r.err = err.str();
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.err, "sarvello-host: event 6 (press): pressed \"Retry\"\n"
                   "sarvello-host: event 9 (choose): Grid Res is now 128\n");
  EXPECT_TRUE(contains(r.out, "Panels at the end:\n  panel \"Sarvello\": shown at ")) << r.out;
  EXPECT_TRUE(contains(r.out, "\n    Grid Res: 128\n")) << r.out;
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"out/before.png", "out/frames.png", "out/sample.svg",
                                                   "out/stirred.png", "out/stirred.svg"}));
  EXPECT_TRUE(contains(r.out, "Stirred the sample drawing: 23 paths, ")) << r.out;
  EXPECT_TRUE(contains(r.out, "Wrote " + (dir / "out/sample.svg"))) << r.out;
  EXPECT_NE(readText(dir / "out/sample.svg"), readText(dir / "out/stirred.svg"));
}

// A place the demo cannot write to is found before the demo runs, and nothing is left there.
TEST(CliDemo, AnOutputFolderThatCannotBeMadeIsToldBeforeTheRun) {
  TempDir dir;
  writeText(dir / "taken", "a file, not a folder");
  for (const std::string& out : {dir / "taken", std::string("/proc/sarvello-demo")}) {
    const Result r = run({"demo", "--out", out});
    EXPECT_EQ(r.code, kExitBadInput) << r.err;
    EXPECT_TRUE(contains(r.err, out + ": ")) << r.err;
    EXPECT_FALSE(contains(r.err, "event ")) << "the demo ran first:\n" << r.err;
  }
  EXPECT_EQ(dir.files(), std::vector<std::string>{"taken"});
}

// --prefs naming something that is not a file (here a named pipe; a device is the same) reads
// the defaults and leaves it as it is: the preferences are not saved over it.
TEST_F(Cli, PreferencesThatAreNoFileAreNeitherReadNorReplaced) {
  const std::string pipe = dir / "prefs.fifo";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const Result r = run({"run", input, "-o", dir / "o.svg", "--session", dir / "short.json", "--prefs", pipe});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(contains(r.err, "preferences " + pipe + ": not a regular file")) << r.err;
  EXPECT_TRUE(contains(r.err, "preferences " + pipe + " are not saved")) << r.err;
  EXPECT_EQ(std::filesystem::status(pipe).type(), std::filesystem::file_type::fifo);
}

TEST_F(Cli, PreferencesOutliveTheRunAndABrokenFileOnlyWarns) {
  std::ostringstream out, err;
  simhost::app::Console console{out, err, false, kModule, dir / "config/preferences.ini"};
  std::filesystem::create_directories(dir.path() / "config");
  writeText(console.preferencesFile, "[test]\nanswer = integer 42\n");
  const std::vector<std::string> args = {"run", input, "-o", dir / "o.svg",
                                         "--session", dir / "short.json"};
  ASSERT_EQ(simhost::app::runProgram(args, console), kExitOk) << err.str();
  EXPECT_TRUE(err.str().empty()) << err.str();
  EXPECT_TRUE(contains(readText(console.preferencesFile), "answer = integer 42"));

  writeText(console.preferencesFile, "[test]\nanswer = colour red\n");
  ASSERT_EQ(simhost::app::runProgram(args, console), kExitOk) << err.str();
  EXPECT_TRUE(contains(err.str(), "sarvello-host: warning: preferences " + console.preferencesFile + ": line 2:"))
      << err.str();
  // The broken file is not lost to the one saved at the end.
  EXPECT_EQ(readText(console.preferencesFile + ".corrupt"), "[test]\nanswer = colour red\n");
  EXPECT_TRUE(contains(readText(console.preferencesFile), "kADM_DPLocationStr"));
}

TEST_F(Cli, PrefsChoosesThePreferencesFileAndNoPrefsKeepsNone) {
  std::ostringstream out, err;
  const std::string userPrefs = dir / "user/preferences.ini";
  simhost::app::Console console{out, err, false, kModule, userPrefs};
  const std::vector<std::string> base = {"run", input, "-o", dir / "o.svg", "--session", dir / "short.json"};
  const auto runWith = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    return simhost::app::runProgram(args, console);
  };
  ASSERT_EQ(runWith({"--no-prefs"}), kExitOk) << err.str();
  EXPECT_FALSE(std::filesystem::exists(dir / "user")) << "--no-prefs writes no preferences";
  ASSERT_EQ(runWith({"--prefs", dir / "mine.ini"}), kExitOk) << err.str();
  EXPECT_TRUE(contains(readText(dir / "mine.ini"), "[SarvelloADMNonModalDialog]")) << readText(dir / "mine.ini");
  EXPECT_FALSE(std::filesystem::exists(dir / "user"));
  ASSERT_EQ(runWith({}), kExitOk) << err.str();
  EXPECT_TRUE(contains(readText(userPrefs), "kADM_DPVisibleStr = boolean true")) << "by default the user's file";
  EXPECT_TRUE(err.str().empty()) << err.str();
  EXPECT_TRUE(contains(out.str(), "Panels at the end:\n  panel \"Sarvello\": shown at ")) << out.str();
  EXPECT_TRUE(contains(out.str(), "\n    Size: 400\n  panel \"Important Infomation\": shown at 200,200")) << out.str();

  const Result both = run({"run", input, "--prefs", dir / "a.ini", "--no-prefs"});
  EXPECT_EQ(both.code, kExitUsage);
  EXPECT_TRUE(contains(both.err, "--prefs and --no-prefs exclude each other")) << both.err;
  const Result onInput = run({"run", input, "-o", dir / "o.svg", "--prefs", input});
  EXPECT_EQ(onInput.code, kExitUsage);
  EXPECT_TRUE(contains(onInput.err, "is also a drawing or picture of the run")) << onInput.err;
  EXPECT_EQ(readText(input), kDrawing);
  TempDir demo;
  EXPECT_EQ(run({"demo", "--out", demo / "out", "--prefs", demo / "demo.ini"}).code, kExitOk);
  EXPECT_TRUE(contains(readText(demo / "demo.ini"), "kADM_DPLocationStr")) << "the demo saves to --prefs";
}

TEST_F(Cli, PanelActionsThatCannotBeDoneAreCountedInTheSummary) {
  writeText(dir / "hidden.json", R"({ "events": [ { "type": "close-panel", "panel": "Sarvello" },
      { "type": "press", "button": "Clear" }, { "type": "press", "button": "Visit website" } ] })");
  const Result r = run({"run", input, "--session", dir / "hidden.json", "-o", dir / "o.svg"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(contains(r.err, "sarvello-host: event 2 (press): not done: the panel \"Sarvello\" is hidden\n")) << r.err;
  EXPECT_TRUE(contains(r.err, "sarvello-host: event 3 (press): the plug-in asks to open https://")) << r.err;
  EXPECT_TRUE(contains(r.out, "1 panel action was not done (see the warnings above).\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "  panel \"Sarvello\": hidden at ")) << r.out;
}

TEST_F(Cli, ManyFramesAreLaidOutInRowsOfFour) {
  std::string events = R"({ "view": { "width": 100, "height": 80 }, "events": [ { "type": "pick-tool" })";
  for (int k = 0; k < 6; ++k) events += R"(, { "type": "idle", "ticks": 1 }, { "type": "picture" })";
  writeText(dir / "six.json", events + "] }");
  const Result r = run({"run", input, "--session", dir / "six.json", "-o", dir / "o.svg", "--frames", dir / "f"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  simhost::picture::Image sheet;
  std::string error;
  ASSERT_TRUE(simhost::picture::readPng(dir / "f/frames.png", &sheet, &error)) << error;
  EXPECT_EQ(sheet.width, 4 * 100 + 3 * 8);
  EXPECT_EQ(sheet.height, 2 * 80 + 8);
  EXPECT_TRUE(std::filesystem::exists(dir / "f/frame-06.png"));
}
