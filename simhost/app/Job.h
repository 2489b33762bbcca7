// One run of a drawing and a session through the plug-in, for the commands: what to run, what
// came out, and the summary printed for the user.
#ifndef SARVELLO_SIMHOST_APP_JOB_H
#define SARVELLO_SIMHOST_APP_JOB_H

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Runner.h"
#include "picture/Picture.h"
#include "session/Session.h"

namespace simhost::app {

// A drawing and a session to run through the plug-in, and what came out.
struct Job {
  std::string svgText;
  std::string svgName;
  session::Session session;
  std::string sessionName;
  bool fit = true;
  bool keepClones = false;       // clones stay clones
  // The session is the default strokes: on a drawing that keeps its own size they begin by
  // making the overlay square larger.
  bool defaultSession = false;
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
  int squareSize = 0;  // the Size the default strokes gave the square, or 0
};

// Runs the job; the exit code. Writes no file.
int runJob(const Job& job, Console& console, Reporter& reporter, Outcome* outcome);

// What came of the run, the panels at its end and the files written.
void printSummary(std::ostream& out, const std::string& what, const Outcome& outcome,
                  const std::vector<std::string>& written);

}  // namespace simhost::app

#endif
