// `sarvello-host run`: stirs an SVG drawing with a session of strokes and panel actions, and
// writes the stirred drawing and the pictures asked for.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>

#include "app/Commands.h"
#include "app/Job.h"
#include "app/Outputs.h"
#include "app/Sample.h"

namespace simhost::app {
namespace {

namespace fs = std::filesystem;

const char* const kRunHelp = R"(Usage: sarvello-host run INPUT.svg [options]
       sarvello-host run --session FILE [options]   (the session names its drawing)

Imports the drawing into the host's document, replays the session (by default: select every
path, pick the tool, a few swirling strokes through the overlay square, leave the tool; on a
drawing larger than the square, the panel's Size is first made as large as it goes) and writes
the stirred drawing. The input is never overwritten.

Options:
  --session FILE      the session to replay (JSON; see docs/USAGE.md)
  -o, --output FILE   the stirred SVG (default: for NAME.svg, NAME.stirred.svg in the
                      current folder; "-" writes it to standard output)
  --png FILE          a picture of the stirred drawing, framing its canvas and the square
  --png-size SIZE     the picture's size: WIDTHxHEIGHT pixels (the drawing fitted inside), or
                      a scale such as 2 (default: 800 pixels along the longer side)
  --frames DIR        the pictures the session takes (one after each stroke when it asks for
                      none), as frame-01.png, ... and side by side in frames.png
  --no-fit            keep the drawing's own coordinates instead of placing it about the
                      overlay square
  --keep-clones       keep clones (<use>) as they are: not read as shapes, not stirred
  --plugin FILE       the plug-in module to load (default: Sarvello.aip beside sarvello-host)
  --prefs FILE        the host's preferences (the panel's placement), read at the start and
                      saved at the end (default: $XDG_CONFIG_HOME/sarvello/preferences.ini)
  --no-prefs          neither read nor save any preferences
  -h, --help          show this help
)";

// "WIDTHxHEIGHT" in pixels, or a scale of the default size.
bool parsePictureSize(const std::string& text, Runner::PictureSize* out) {
  const auto number = [](const std::string& t, double* v) {
    if (t.empty() || t.find_first_not_of("0123456789.") != std::string::npos) return false;
    char* end = nullptr;
    *v = std::strtod(t.c_str(), &end);
    return end != nullptr && *end == '\0' && std::isfinite(*v);
  };
  const std::size_t x = text.find('x');
  double w = 0, h = 0;
  if (x != std::string::npos) {
    if (!number(text.substr(0, x), &w) || !number(text.substr(x + 1), &h)) return false;
    if (w != std::floor(w) || h != std::floor(h) || w < 1 || h < 1 || w > 16384 || h > 16384) return false;
    out->width = static_cast<int>(w);
    out->height = static_cast<int>(h);
    return true;
  }
  if (!number(text, &w) || w < 0.01 || w > 20) return false;
  out->scale = w;
  return true;
}

int commandRun(const std::vector<std::string>& args, Console& console) {
  const Arguments a = parseArguments(args, 1,
                                     {{{"--session"}, true},
                                      {{"--output", "-o"}, true},
                                      {{"--png"}, true},
                                      {{"--png-size"}, true},
                                      {{"--frames"}, true},
                                      {{"--no-fit"}, false},
                                      {{"--keep-clones"}, false},
                                      {{"--plugin"}, true},
                                      {{"--prefs"}, true},
                                      {{"--no-prefs"}, false}},
                                     "run");
  if (a.help) {
    console.out << kRunHelp;
    return kExitOk;
  }
  const std::string preferences = preferencesChosen(a, console.preferencesFile, "run");
  if (a.positional.size() > 1) throw UsageError{"unexpected argument " + a.positional[1], "run"};

  Reporter reporter(console);
  session::SessionResult parsed;
  std::string sessionName = "default session";
  if (const auto file = a.value("--session")) {
    sessionName = *file;
    parsed = session::parseSessionFile(*file);
  } else {
    parsed = session::parseSession(kSampleSession, sessionName);
  }
  std::string input = a.positional.empty() ? std::string() : a.positional.front();
  if (input.empty() && parsed) input = parsed.session->drawing;
  if (input.empty() && (parsed || !a.value("--session"))) {
    throw UsageError{"no drawing: give INPUT.svg, or a session that names its \"drawing\"", "run"};
  }
  if (!parsed) {
    reporter.line(parsed.error);
    return kExitBadInput;
  }

  const std::string output = a.value("--output").value_or(fs::path(input).stem().string() + ".stirred.svg");
  const bool toStdout = output == "-";
  const std::optional<std::string> png = a.value("--png");
  const std::optional<std::string> frames = a.value("--frames");
  Runner::PictureSize pictureSize;
  if (const auto size = a.value("--png-size")) {
    if (!png) throw UsageError{"--png-size needs --png", "run"};
    if (!parsePictureSize(*size, &pictureSize)) {
      throw UsageError{"--png-size must be WIDTHxHEIGHT (1 to 16384 pixels each) or a scale from 0.01 to 20, not " + *size, "run"};
    }
  }
  for (const std::optional<std::string>& target :
       {toStdout ? std::nullopt : std::optional<std::string>(output), png}) {
    if (target && sameFile(*target, input)) {
      throw UsageError{*target + " is the input drawing; choose another output", "run"};
    }
  }
  if (png && !toStdout && sameFile(*png, output)) throw UsageError{"--png and the output are the same file", "run"};
  if (const auto prefs = a.value("--prefs")) {
    for (const std::optional<std::string>& other : {std::optional<std::string>(input), std::optional<std::string>(output), png}) {
      if (other && sameFile(*prefs, *other)) throw UsageError{"--prefs " + *prefs + " is also a drawing or picture of the run", "run"};
    }
  }

  std::string error;
  std::string svgText;
  if (!readWholeFile(input, &svgText, &error)) {
    reporter.line(error);
    return kExitBadInput;
  }
  bool canWrite = (toStdout || folderExists(output, &error)) && (!png || folderExists(*png, &error));
  // Every file the run writes, with what it is, so that no two outputs take the same file.
  std::vector<std::pair<std::string, std::string>> outputs;
  if (!toStdout) outputs.emplace_back(output, "the stirred drawing");
  if (png) outputs.emplace_back(*png, "the picture of the stirred drawing");
  for (const session::Event& e : parsed.session->events) {
    if (canWrite && e.type == session::Event::Type::Picture && !e.file.empty()) {
      const std::string event = sessionName + ": event " + std::to_string(e.index + 1) + " (picture): ";
      if (sameFile(e.file, input)) {
        error = event + e.file + " is the input drawing";
        canWrite = false;
      } else {
        canWrite = folderExists(e.file, &error);
      }
      for (const auto& [file, what] : outputs) {
        if (canWrite && sameFile(e.file, file)) {
          error = event + e.file + " is also " + what;
          canWrite = false;
        }
      }
      outputs.emplace_back(e.file, "the picture of event " + std::to_string(e.index + 1));
    }
  }
  if (canWrite && frames) {
    std::error_code ec;
    if (fs::exists(*frames, ec) && !fs::is_directory(*frames, ec)) {
      error = *frames + ": exists and is not a folder";
      canWrite = false;
    } else if (fs::is_directory(*frames, ec)) {
      canWrite = folderWritable(*frames, *frames, &error);
    } else {
      // Made after the run: the nearest folder that exists must take it.
      fs::path existing = fs::path(*frames).parent_path();
      while (!existing.empty() && !fs::exists(existing, ec)) existing = existing.parent_path();
      canWrite = folderWritable(existing.empty() ? fs::path(".") : existing, *frames, &error);
    }
  }
  if (!canWrite) {
    reporter.line(error);
    return kExitBadInput;
  }

  Job job;
  job.svgText = std::move(svgText);
  job.svgName = input;
  job.session = std::move(*parsed.session);
  job.sessionName = sessionName;
  job.fit = !a.flag("--no-fit");
  job.keepClones = a.flag("--keep-clones");
  job.defaultSession = !a.value("--session");
  job.pluginPath = a.value("--plugin").value_or(console.pluginPath);
  job.framesEverywhere = frames.has_value();
  // Pictures are made only when they are asked for: --png, --frames or a picture with a file.
  job.unnamedPictures = frames.has_value();
  job.pictureAfter = png.has_value();
  job.framed = pictureSize;
  job.preferencesFile = preferences;
  Outcome outcome;
  const int code = runJob(job, console, reporter, &outcome);
  if (code != kExitOk && code != kExitPluginFailed) return code;

  Writer writer(reporter);
  bool ok = (toStdout || writer.text(output, outcome.svg)) && (!png || writer.png(*png, outcome.after));
  for (const Frame& frame : outcome.frames) {
    if (ok && !frame.file.empty()) ok = writer.png(frame.file, frame.image);
  }
  std::error_code ec;
  const bool framesFolderIsNew = frames && !fs::exists(*frames, ec);
  if (ok && frames) {
    if (!makeFolder(*frames, &error)) {
      reporter.line(error);
      return kExitBadInput;
    }
    for (std::size_t i = 0; ok && i < outcome.frames.size(); ++i) {
      ok = writer.png((fs::path(*frames) / framesName(i)).string(), outcome.frames[i].image);
    }
    if (ok && !outcome.frames.empty()) ok = writer.strip((fs::path(*frames) / "frames.png").string(), outcome.frames);
    if (ok && outcome.frames.empty()) reporter.line("note: the session took no pictures");
  }
  if (ok) ok = writer.finish();
  if (!ok) {
    // A folder made for this run goes again with the outputs (only when left empty).
    if (framesFolderIsNew) fs::remove(*frames, ec);
    return kExitBadInput;
  }
  if (toStdout) {
    // The drawing is the standard output; the summary goes with the diagnostics.
    console.out << outcome.svg << std::flush;
    printSummary(console.err, input, outcome, writer.written);
  } else {
    printSummary(console.out, input, outcome, writer.written);
  }
  return code;
}

}  // namespace

const Command& runCommand() {
  static const Command command{"run", kRunHelp, commandRun};
  return command;
}

}  // namespace simhost::app
