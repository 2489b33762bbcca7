#include "app/Commands.h"

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <map>
#include <optional>
#include <sstream>
#include <utility>

#include "app/Runner.h"
#include "app/Sample.h"
#include "picture/Picture.h"
#include "svg/Files.h"

namespace simhost::app {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "sarvello-host";

const char* const kProgramHelp = R"(Usage: sarvello-host <command> [options]

Stirs SVG drawings with the Sarvello tool: the plug-in module is loaded into this stand-in host,
the drawing's paths are selected, and the brush strokes of a session push the fluid that carries
them along.

Commands:
  demo   stir the built-in sample drawing and write pictures of it
  run    stir an SVG drawing, replaying a session file or the default strokes
  open   use the tool with the mouse: the document window, the tools and the panels in a
         browser page served by this program
  help   show this help, or "help COMMAND" the options of a command

Run "sarvello-host <command> --help" for the options of a command, "sarvello-host --version" for
the version.

Exit codes: 0 success, 1 bad input (unreadable or invalid drawing or session, a module that does
not load, an output that cannot be written; nothing is written), 2 bad usage (unknown command or
option, missing argument), 3 the plug-in answered errors during the run (the outputs are
written, so that what it did can be seen).
)";

const char* const kVersion = "sarvello-host 0.1\n";

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

const char* const kRunHelp = R"(Usage: sarvello-host run INPUT.svg [options]
       sarvello-host run --session FILE [options]   (the session names its drawing)

Imports the drawing into the host's document, replays the session (by default: select every
path, pick the tool, a few swirling strokes through the overlay square, leave the tool) and
writes the stirred drawing. The input is never overwritten.

Options:
  --session FILE      the session to replay (JSON; see docs/USAGE.md)
  -o, --output FILE   the stirred SVG (default: for NAME.svg, NAME.stirred.svg in the
                      current folder; "-" writes it to standard output)
  --png FILE          a picture of the stirred drawing, framing its canvas and the square
  --png-size SIZE     the picture's size: WIDTHxHEIGHT pixels (the drawing fitted inside), or
                      a scale such as 2 (default: 800 pixels along the longer side)
  --frames DIR        the pictures the session takes (one after each stroke when it asks for
                      none), as frame-01.png, ... and side by side in frames.png
  --no-fit            keep the drawing's own coordinates instead of fitting it into the
                      overlay square
  --plugin FILE       the plug-in module to load (default: Sarvello.aip beside sarvello-host)
  --prefs FILE        the host's preferences (the panel's placement), read at the start and
                      saved at the end (default: $XDG_CONFIG_HOME/sarvello/preferences.ini)
  --no-prefs          neither read nor save any preferences
  -h, --help          show this help
)";

const char* const kOpenHelp = R"(Usage: sarvello-host open [DRAWING.svg] [options]

Loads the plug-in, opens the drawing (or an empty document) and serves the document window, the
tools and the panels to a browser page, where the tool is used with the mouse. The page's address
is printed on a line of its own; it carries a token that only this run knows, and the server
answers only on 127.0.0.1. Ctrl-C, SIGTERM or File > Quit on the page quit as the application
quits: the panels close, the preferences are saved and the plug-in is shut down.

On the page, File > Save session writes what was done since the drawing was opened; "run
DRAWING.svg --session FILE" replays it to the same drawing as File > Save drawing.

Options:
  --port N        the port to listen on (default: 0, a free one)
  --no-browser    only print the address; do not open it with the system's opener
  --plugin FILE   the plug-in module to load (default: Sarvello.aip beside sarvello-host)
  --prefs FILE    the host's preferences (the panels' placement), read at the start and saved
                  at quit (default: $XDG_CONFIG_HOME/sarvello/preferences.ini)
  --no-prefs      neither read nor save any preferences
  -h, --help      show this help
)";

// A mistake in the command line: exit code 2.
struct UsageError {
  std::string message;
  std::string command;  // for the pointer to the command's help
};

struct OptionSpec {
  std::vector<std::string> names;  // the first is the key
  bool takesValue = false;
};

struct Arguments {
  std::map<std::string, std::string> values;  // options with a value, by key
  std::map<std::string, bool> flags;
  std::vector<std::string> positional;
  bool help = false;

  std::optional<std::string> value(const std::string& key) const {
    auto it = values.find(key);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  bool flag(const std::string& key) const { return flags.count(key) != 0; }
};

Arguments parseArguments(const std::vector<std::string>& args, std::size_t first,
                         const std::vector<OptionSpec>& specs, const std::string& command) {
  Arguments parsed;
  bool optionsEnded = false;
  for (std::size_t i = first; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> inlineValue;
    if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
    }
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& s : specs) {
      for (const std::string& n : s.names) {
        if (n == name) spec = &s;
      }
    }
    if (spec == nullptr) throw UsageError{"unknown option " + name, command};
    const std::string& key = spec->names.front();
    if (parsed.values.count(key) != 0 || parsed.flags.count(key) != 0) {
      throw UsageError{key + " is given more than once", command};
    }
    if (!spec->takesValue) {
      if (inlineValue) throw UsageError{name + " takes no value", command};
      parsed.flags[key] = true;
      continue;
    }
    if (inlineValue) {
      if (inlineValue->empty()) throw UsageError{name + " needs a value", command};
      parsed.values[key] = *inlineValue;
    } else {
      if (i + 1 >= args.size() || args[i + 1].empty()) throw UsageError{name + " needs a value", command};
      parsed.values[key] = args[++i];
    }
  }
  return parsed;
}

// The error stream, shared by diagnostics and the progress line: a diagnostic first wipes the
// progress line, which the next update draws again.
class Reporter {
 public:
  explicit Reporter(Console& console) : console_(console) {}
  ~Reporter() { clearProgress(); }

  void line(const std::string& text) {
    clearProgress();
    console_.err << kProgram << ": " << text << '\n' << std::flush;
  }

  void progress(const std::string& what, double done, double total) {
    if (!console_.progress || total <= 0) return;
    const int percent = static_cast<int>(std::floor(100.0 * std::min(done, total) / total));
    if (shown_ && percent == percent_) return;
    percent_ = percent;
    shown_ = true;
    console_.err << '\r' << kProgram << ": " << what << ' ' << std::setw(3) << percent << '%' << std::flush;
  }

  void clearProgress() {
    if (!shown_) return;
    console_.err << "\r\033[K" << std::flush;
    shown_ = false;
  }

 private:
  Console& console_;
  bool shown_ = false;
  int percent_ = -1;
};

// A drawing and a session to run through the plug-in, and what came out.
struct Job {
  std::string svgText;
  std::string svgName;
  session::Session session;
  std::string sessionName;
  bool fit = true;
  std::string pluginPath;
  std::string preferencesFile;  // empty: none read or saved
  bool framesEverywhere = false;
  bool unnamedPictures = true;   // the session's pictures without a file are taken
  bool pictureBefore = false;    // the demo's picture of the drawing before the run
  bool pictureAfter = false;     // a picture of the stirred drawing
  std::optional<Runner::PictureSize> framed;  // that picture frames the drawing, at this size
};

struct Outcome {
  std::string svg;
  picture::Image before;
  picture::Image after;
  std::vector<Frame> frames;
  RunStats stats;
  std::string panels;  // the panels as the run left them
};

// Runs the job; the exit code. Writes no file.
int runJob(const Job& job, Console& console, Reporter& reporter, Outcome* outcome) {
  RunOptions options;
  options.pluginPath = job.pluginPath;
  options.preferencesFile = job.preferencesFile;
  options.openURLsWithSystem = console.openURLs;
  options.framesEverywhere = job.framesEverywhere;
  options.unnamedPictures = job.unnamedPictures;
  options.diagnostic = [&reporter](const std::string& text) { reporter.line(text); };
  options.progress = [&reporter](double done, double total) { reporter.progress("stirring", done, total); };

  Runner runner(options);
  std::string error;
  if (!runner.load(job.svgText, job.svgName, job.session, job.sessionName, job.fit, &error) ||
      (job.pictureBefore && !runner.picture(false, &outcome->before, &error))) {
    reporter.line(error);
    return kExitBadInput;
  }
  if (!runner.start(&error)) {
    reporter.line(error);
    return kExitBadInput;
  }
  const bool played = runner.play(job.session, &error);
  reporter.clearProgress();
  if (!played) reporter.line(job.sessionName + ": " + error);
  outcome->panels = runner.panels();
  std::string quitError;
  if (!runner.quit(&quitError)) reporter.line("warning: " + quitError);
  const Outstanding left = runner.outstanding();
  if (!left.clean()) {
    reporter.line("warning: the plug-in left host objects behind after quitting: " + left.describe());
  }
  if (!played) return kExitBadInput;

  const auto after = [&] {
    if (!job.pictureAfter) return true;
    return job.framed ? runner.framedPicture(*job.framed, &outcome->after, &error)
                      : runner.picture(false, &outcome->after, &error);
  };
  if (!runner.exportSvg(&outcome->svg, &error) || !after()) {
    // Named once: most of these errors begin with the drawing's name already.
    const std::string named = job.svgName + ": ";
    reporter.line(error.rfind(named, 0) == 0 ? error : named + error);
    return kExitBadInput;
  }
  outcome->frames = runner.frames();
  outcome->stats = runner.stats();
  const bool failed = outcome->stats.failedMessages > 0 || outcome->stats.toolFailures > 0;
  return failed ? kExitPluginFailed : kExitOk;
}

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

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

// Whether files can be made in the folder: tried with a file that is removed at once, which
// also finds a read-only file system and what permissions alone do not tell.
bool folderWritable(const fs::path& folder, const std::string& what, std::string* error) {
  const fs::path probe = folder / (".sarvello-probe-" + std::to_string(::getpid()));
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = what + ": cannot write in the folder " + folder.string() + ": " + std::strerror(errno);
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

// A file can be written there: its folder exists and it is no folder, device or pipe. Checked
// before the run, so that a run is not wasted on an output that cannot be written.
bool folderExists(const std::string& file, std::string* error) {
  const fs::path parent = fs::path(file).parent_path();
  std::error_code ec;
  if (fs::is_directory(fs::path(file), ec)) {
    *error = file + ": is a folder, not a file";
    return false;
  }
  // Writing replaces the file whole, which must not befall a device or a named pipe.
  const fs::file_type type = fs::status(fs::path(file), ec).type();
  if (type != fs::file_type::not_found && type != fs::file_type::regular) {
    *error = file + ": exists and is not a regular file";
    return false;
  }
  if (!parent.empty() && !fs::is_directory(parent, ec)) {
    *error = file + ": the folder " + parent.string() + " does not exist";
    return false;
  }
  return folderWritable(parent.empty() ? fs::path(".") : parent, file, error);
}

bool makeFolder(const std::string& dir, std::string* error) {
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return true;
  if (fs::exists(dir, ec)) {
    *error = dir + ": exists and is not a folder";
    return false;
  }
  fs::create_directories(dir, ec);
  if (ec) {
    *error = dir + ": cannot create the folder: " + ec.message();
    return false;
  }
  return true;
}

std::string seconds(double s) {
  std::ostringstream out;
  out << std::fixed << std::setprecision(1) << s << " s";
  return out.str();
}

void printSummary(std::ostream& out, const std::string& what, const Outcome& outcome,
                  const std::vector<std::string>& written) {
  const RunStats& s = outcome.stats;
  // The first line says what came of the run: only a run in which paths moved and the plug-in
  // answered no errors is "Stirred".
  if (s.pathsMoved == 0) {
    out << "Nothing stirred in " << what << ": ";
  } else if (s.failedMessages > 0 || s.toolFailures > 0) {
    out << "Stirred " << what << " with errors: ";
  } else {
    out << "Stirred " << what << ": ";
  }
  out << s.paths << (s.paths == 1 ? " path, " : " paths, ") << s.pathsMoved << " moved, "
      << s.verticesBefore << " vertices before, " << s.verticesAfter << " after.\n";
  if (s.failedMessages > 0) {
    out << "The plug-in answered " << s.failedMessages
        << (s.failedMessages == 1 ? " message" : " messages") << " with an error (see the warnings above).\n";
  }
  if (s.toolFailures > 0) {
    out << "The tool failed to start " << s.toolFailures << (s.toolFailures == 1 ? " time" : " times")
        << " when it was picked (see the warnings above).\n";
  }
  if (s.stoppedAtLimit) out << "The tool stopped the run: a path grew beyond its vertex limit.\n";
  if (s.leftOut > 0) {
    out << s.leftOut
        << (s.leftOut == 1 ? " shape was left out of the document and written back as it was"
                           : " shapes were left out of the document and written back as they were")
        << " (see the warnings above).\n";
  }
  out << s.drags << " drag events, " << s.timerTicks << " timer ticks, " << s.draws
      << " fluid steps in " << seconds(s.seconds) << ".\n";
  if (s.actionsNotDone > 0) {
    out << s.actionsNotDone << (s.actionsNotDone == 1 ? " panel action was" : " panel actions were")
        << " not done (see the warnings above).\n";
  }
  if (!outcome.panels.empty()) {
    out << "Panels at the end:\n";
    std::istringstream lines(outcome.panels);
    for (std::string line; std::getline(lines, line);) out << "  " << line << "\n";
  }
  if (!written.empty()) {
    out << "Wrote";
    for (std::size_t i = 0; i < written.size(); ++i) out << (i == 0 ? " " : ", ") << written[i];
    out << "\n";
  }
}

std::string framesName(std::size_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%02zu.png", index + 1);
  return name;
}

// Writes the outputs of a run together: each is written in full beside its place, and only
// when all of them are written does finish() put them in place. The first failure ends the
// writing with exit code 1 and leaves none of them behind.
class Writer {
 public:
  explicit Writer(Reporter& reporter) : reporter_(reporter) {}

  bool text(const std::string& path, const std::string& bytes) {
    std::string error;
    if (!batch_.add(path, bytes, &error)) return fail(error);
    written.push_back(path);
    return true;
  }
  bool png(const std::string& path, const picture::Image& image) {
    std::string error;
    std::string bytes;
    if (!picture::encodePng(image, &bytes, &error)) return fail(path + ": " + error);
    return text(path, bytes);
  }
  bool finish() {
    std::string error;
    return batch_.commit(&error) || fail(error);
  }
  // The frames side by side, in rows of at most kFramesPerRow, so that a long session still
  // gives a picture of a sensible width.
  bool strip(const std::string& path, const std::vector<Frame>& frames) {
    constexpr std::size_t kFramesPerRow = 4;
    constexpr int kGap = 8;
    std::vector<picture::Image> rows;
    for (std::size_t first = 0; first < frames.size(); first += kFramesPerRow) {
      std::vector<picture::Image> row;
      for (std::size_t k = first; k < std::min(frames.size(), first + kFramesPerRow); ++k) {
        row.push_back(frames[k].image);
      }
      rows.push_back(picture::strip(row, kGap));
    }
    if (rows.size() == 1) return png(path, rows.front());
    picture::Image sheet;
    for (const picture::Image& row : rows) {
      sheet.width = std::max(sheet.width, row.width);
      sheet.height += row.height + (sheet.height > 0 ? kGap : 0);
    }
    sheet.pixels.assign(static_cast<std::size_t>(sheet.width) * sheet.height, 0xFFC0C0C0u);
    int top = 0;
    for (const picture::Image& row : rows) {
      for (int y = 0; y < row.height; ++y) {
        std::copy_n(row.pixels.begin() + static_cast<std::ptrdiff_t>(y) * row.width, row.width,
                    sheet.pixels.begin() + static_cast<std::ptrdiff_t>(top + y) * sheet.width);
      }
      top += row.height + kGap;
    }
    return png(path, sheet);
  }

  std::vector<std::string> written;

 private:
  bool fail(const std::string& error) {
    reporter_.line(error);
    return false;
  }
  Reporter& reporter_;
  FileBatch batch_;
};

// The preferences file a command keeps: --prefs FILE, none with --no-prefs (the two exclude each
// other), else `otherwise`.
std::string preferencesChosen(const Arguments& a, const std::string& otherwise, const std::string& command) {
  if (a.value("--prefs") && a.flag("--no-prefs")) throw UsageError{"--prefs and --no-prefs exclude each other", command};
  return a.flag("--no-prefs") ? std::string() : a.value("--prefs").value_or(otherwise);
}

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

int commandRun(const std::vector<std::string>& args, Console& console) {
  const Arguments a = parseArguments(args, 1,
                                     {{{"--session"}, true},
                                      {{"--output", "-o"}, true},
                                      {{"--png"}, true},
                                      {{"--png-size"}, true},
                                      {{"--frames"}, true},
                                      {{"--no-fit"}, false},
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

int commandOpen(const std::vector<std::string>& args, Console& console) {
  const Arguments a = parseArguments(args, 1,
                                     {{{"--port"}, true},
                                      {{"--no-browser"}, false},
                                      {{"--plugin"}, true},
                                      {{"--prefs"}, true},
                                      {{"--no-prefs"}, false}},
                                     "open");
  if (a.help) {
    console.out << kOpenHelp;
    return kExitOk;
  }
  if (!console.open) throw UsageError{"this program cannot serve the page", "open"};
  const std::string preferences = preferencesChosen(a, console.preferencesFile, "open");
  if (a.positional.size() > 1) throw UsageError{"unexpected argument " + a.positional[1], "open"};
  OpenOptions options;
  if (!a.positional.empty()) options.drawing = a.positional.front();
  if (const auto port = a.value("--port")) {
    char* end = nullptr;
    const long n = std::strtol(port->c_str(), &end, 10);
    if (end == port->c_str() || *end != '\0' || n < 0 || n > 65535) {
      throw UsageError{"--port must be a port number from 0 to 65535, not " + *port, "open"};
    }
    options.port = static_cast<int>(n);
  }
  options.browser = !a.flag("--no-browser");
  options.pluginPath = a.value("--plugin").value_or(console.pluginPath);
  options.preferencesFile = preferences;
  return console.open(options, console);
}

}  // namespace

int runProgram(const std::vector<std::string>& args, Console& console) {
  std::string command;
  try {
    if (args.empty()) throw UsageError{"no command given", ""};
    command = args.front();
    if (command == "-h" || command == "--help") {
      console.out << kProgramHelp;
      return kExitOk;
    }
    if (command == "--version") {
      console.out << kVersion;
      return kExitOk;
    }
    if (command == "help") {
      if (args.size() > 2) throw UsageError{"unexpected argument " + args[2], "help"};
      const std::string topic = args.size() > 1 ? args[1] : "";
      if (topic.empty()) console.out << kProgramHelp;
      else if (topic == "run") console.out << kRunHelp;
      else if (topic == "demo") console.out << kDemoHelp;
      else if (topic == "open") console.out << kOpenHelp;
      else throw UsageError{"no help for " + topic + ": the commands are demo, run and open", ""};
      return kExitOk;
    }
    if (command == "demo") return commandDemo(args, console);
    if (command == "run") return commandRun(args, console);
    if (command == "open") return commandOpen(args, console);
    throw UsageError{(command.size() > 1 && command[0] == '-' ? "unknown option " : "unknown command ") + command, ""};
  } catch (const UsageError& e) {
    const std::string prefix = e.command.empty() ? std::string(kProgram) : std::string(kProgram) + " " + e.command;
    console.err << prefix << ": " << e.message << "\n"
                << "Run \"" << prefix << " --help\" for the usage.\n";
    return kExitUsage;
  }
}

}  // namespace simhost::app
