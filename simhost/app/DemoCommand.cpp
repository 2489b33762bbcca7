// `sarvello-host demo`: stirs the built-in sample drawing and writes pictures of it.
#include <filesystem>

#include "app/Commands.h"
#include "app/Job.h"
#include "app/Outputs.h"
#include "app/Sample.h"

namespace simhost::app {
namespace {

namespace fs = std::filesystem;

const char* const kDemoHelp = R"(Usage: sarvello-host demo [--out DIR] [--plugin FILE] [--prefs FILE | --no-prefs]

Stirs a built-in sample drawing (a lattice, concentric rings, a star and a wavy line): a swirl,
then Retry on the panel puts the drawing back, Grid Res is set to 128 from its preset list, and
two counter-turning swirls and an arch stir it again. Writes to DIR:
  sample.svg    the sample drawing
  before.png    the drawing before stirring
  stirred.svg   the stirred drawing
  stirred.png   a picture of it
  frames.png    moments of the session side by side, each with the overlay square and its
                status line

Options:
  --out DIR       where to write the files (default: out)
  --plugin FILE   the plug-in module to load (default: Sarvello.aip beside sarvello-host)
  --prefs FILE    the host's preferences to read and save (default: none, so that the demo
                  runs the same every time)
  --no-prefs      neither read nor save any preferences (the default)
  -h, --help      show this help
)";

int commandDemo(const std::vector<std::string>& args, Console& console) {
  const Arguments a = parseArguments(
      args, 1, {{{"--out"}, true}, {{"--plugin"}, true}, {{"--prefs"}, true}, {{"--no-prefs"}, false}},
      "demo");
  if (a.help) {
    console.out << kDemoHelp;
    return kExitOk;
  }
  const std::string demoPreferences = preferencesChosen(a, "", "demo");
  if (!a.positional.empty()) throw UsageError{"unexpected argument " + a.positional.front(), "demo"};
  const std::string dir = a.value("--out").value_or("out");

  Reporter reporter(console);
  // The folder first, so that the demo does not run for nothing.
  std::string error;
  std::error_code ec;
  const bool folderIsNew = !fs::exists(dir, ec);
  if (!makeFolder(dir, &error)) {
    reporter.line(error);
    return kExitBadInput;
  }
  // A folder made for this run goes again when the run writes nothing (only when left empty).
  const auto dropNewFolder = [&] {
    if (folderIsNew) fs::remove(dir, ec);
  };
  session::SessionResult parsed = session::parseSession(kDemoSession, "demo session");
  if (!parsed) {
    reporter.line(parsed.error);
    dropNewFolder();
    return kExitBadInput;
  }
  Job job;
  job.svgText = kSampleSvg;
  job.svgName = "sample.svg";
  job.session = std::move(*parsed.session);
  job.sessionName = "demo session";
  job.session.view = sampleView();
  job.pluginPath = a.value("--plugin").value_or(console.pluginPath);
  job.preferencesFile = demoPreferences;
  job.pictureBefore = job.pictureAfter = true;
  Outcome outcome;
  const int code = runJob(job, console, reporter, &outcome);
  if (code != kExitOk && code != kExitPluginFailed) {
    dropNewFolder();
    return code;
  }

  const fs::path out(dir);
  Writer writer(reporter);
  const bool ok = writer.text((out / "sample.svg").string(), kSampleSvg) &&
                  writer.png((out / "before.png").string(), outcome.before) &&
                  writer.text((out / "stirred.svg").string(), outcome.svg) &&
                  writer.png((out / "stirred.png").string(), outcome.after) &&
                  (outcome.frames.empty() || writer.strip((out / "frames.png").string(), outcome.frames)) &&
                  writer.finish();
  if (!ok) {
    dropNewFolder();
    return kExitBadInput;
  }
  printSummary(console.out, "the sample drawing", outcome, writer.written);
  return code;
}

}  // namespace

const Command& demoCommand() {
  static const Command command{"demo", kDemoHelp, commandDemo};
  return command;
}

}  // namespace simhost::app
