#include "app/Job.h"

#include "app/Sample.h"

#include <iomanip>
#include <sstream>

namespace simhost::app {

int runJob(const Job& job, Console& console, Reporter& reporter, Outcome* outcome) {
  RunOptions options;
  options.pluginPath = job.pluginPath;
  options.preferencesFile = job.preferencesFile;
  options.openURLsWithSystem = console.openURLs;
  options.framesEverywhere = job.framesEverywhere;
  options.unnamedPictures = job.unnamedPictures;
  options.keepClones = job.keepClones;
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
  session::Session session = job.session;
  if (job.defaultSession && (outcome->squareSize = defaultSquareSize(*runner.drawing())) > 0)
    session = withSquareSize(std::move(session), outcome->squareSize);
  const bool played = runner.play(session, &error);
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

namespace {

std::string seconds(double s) {
  std::ostringstream out;
  out << std::fixed << std::setprecision(1) << s << " s";
  return out.str();
}

}  // namespace

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
      << s.pathsResampled << " only resampled, " << s.verticesBefore << " vertices before, "
      << s.verticesAfter << " after.\n";
  if (outcome.squareSize > 0) {
    out << "The drawing keeps its own size: the default strokes set the panel's Size to "
        << outcome.squareSize << ", so that the overlay square covers as much of it as the panel allows.\n";
  }
  const auto count = [](std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  if (s.texts + s.images > 0) {
    std::string kept = s.texts > 0 ? count(s.texts, "text", "texts") : "";
    if (s.images > 0) kept += (kept.empty() ? "" : " and ") + count(s.images, "image", "images");
    out << "Text and images are never stirred: the drawing's " << kept << " stay as they were.\n";
  }
  if (s.keptClones > 0) {
    out << count(s.keptClones, "clone was", "clones were") << " kept as clones (--keep-clones): not stirred, written back as they were.\n";
  }
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

}  // namespace simhost::app
