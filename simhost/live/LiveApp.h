// The host's user-interface thread for a person at the tool (sarvello-host open): one running
// plug-in over one document, driven by the input a page sends, publishing frames of what the
// document window, the tools and the panels show.
//
// Everything the user does is recorded as a session (session/Session.h) with the clock readings
// the plug-in was given and the ticks the loop moved to, so that `sarvello-host run DRAWING
// --session FILE` replays it to the same drawing. Opening another drawing starts the tool afresh
// (the plug-in is shut down, its panels keep their placement, and it is started again), so that
// the session of a drawing holds everything that happened to it.
//
// Only the thread that calls run() touches the plug-in and the host; server threads reach it
// through the Channel.
#ifndef SARVELLO_SIMHOST_LIVE_LIVEAPP_H
#define SARVELLO_SIMHOST_LIVE_LIVEAPP_H

#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Host.h"
#include "ResourceFile.h"
#include "live/Channel.h"
#include "session/Recording.h"
#include "session/Session.h"

namespace simhost::app {
class Runner;
}

namespace simhost::live {

struct LiveOptions {
  std::string pluginPath;       // empty: the module beside the program
  std::string preferencesFile;  // empty: preferences for the run only
  bool keepClones = false;      // the first drawing's clones stay clones
  std::function<void(const std::string& line)> diagnostic;  // host diagnostics as they come
};

// What a page asked for, answered on the user-interface thread.
struct Reply {
  int status = 200;
  std::string type = "application/json";
  std::string body;
  std::string filename;  // a download's name
};

class LiveApp {
 public:
  LiveApp(LiveOptions options, Channel& channel);
  ~LiveApp();
  LiveApp(const LiveApp&) = delete;
  LiveApp& operator=(const LiveApp&) = delete;

  // Starts the plug-in with the drawing (empty text: an empty document). False with *error when
  // the module does not load or the drawing is refused.
  bool start(const std::string& svgText, const std::string& name, std::string* error);
  // The loop of the user-interface thread, until the channel quits.
  void run();
  // The application's quit: panels closed, preferences saved, the module shut down and unloaded.
  bool quit(std::string* error);
  Outstanding outstanding() const;

  // Called on the user-interface thread (through the Channel):
  // The page's input: {"events": [...]} of session events; a pointer event may give "px", its
  // position in window pixels, instead of "at". {"type": "screen", "width", "height"} tells the
  // page's size, which palettes stay on; {"type": "quit"} quits.
  Reply input(const std::string& body);
  // Replaces the document with a drawing; a drawing that cannot be opened leaves it as it was.
  // keepClones: the drawing's clones stay clones (not read as shapes, not stirred).
  Reply openDrawing(const std::string& svgText, const std::string& name, bool keepClones = false);
  Reply saveDrawing();
  Reply savePicture();
  Reply saveSession();
  // The document for the page (every shape a <path>), the tool icon and the current cursor.
  Reply documentSvg();
  Reply toolIcon();
  Reply cursorImage();
  // A page has begun to wait for a frame: the picture is published if it changed since the
  // last frame, which was not made while no page waited.
  void publishIfBehind();

  // The session recorded since the drawing was opened.
  const session::Recording& recording() const { return recording_; }

  // The most events one request may carry: a request is played whole on the user-interface
  // thread, so that its size bounds how long the page waits for a frame.
  static constexpr std::size_t kMaxInputEvents = 1000;

 private:
  bool begin(const std::string& svgText, const std::string& name, bool keepClones, std::string* error);
  // One event of the page's input: empty when it was taken, else why not.
  std::string inputEvent(const nlohmann::json& event);
  void showAlert(const Alert& alert);
  void fitScreen(int width, int height);
  void note(const std::string& line);
  void publish(bool force = false);
  std::string stateJson() const;
  // The cursor the plug-in set last, as its resource gives it; none before it sets one.
  std::optional<sarvello::res::Cursor> cursor() const;

  LiveOptions options_;
  Channel& channel_;
  std::unique_ptr<app::Runner> runner_;
  std::string name_;
  session::Recording recording_;
  std::uint64_t document_ = 0;
  std::uint64_t seq_ = 0;
  bool keptClones_ = false;  // the open drawing's clones were kept as clones
  std::vector<std::shared_ptr<const std::string>> shapes_;  // each shape as the page gets it
  std::vector<std::uint64_t> revisions_;  // the geometry's revision each was encoded at
  double encodedZoom_ = 0;                // the view's zoom they were encoded for
  std::vector<std::uint64_t> shapeChanged_;  // the frame that last changed each
  std::vector<std::size_t> selected_;  // shapes with a selected path
  std::vector<std::pair<std::size_t, std::size_t>> shapePaths_;  // each shape's path art: first place, count
  std::shared_ptr<const std::string> selection_;  // the two as the page gets them
  std::uint64_t selectionChanged_ = 0;
  std::string lastState_;  // the last frame's state
  bool stale_ = false;     // something changed that no frame shows yet
  struct ShownAlert {
    std::uint64_t id = 0;
    Alert alert;
  };
  std::unique_ptr<ShownAlert> alert_;
  std::uint64_t alerts_ = 0;
  std::vector<std::pair<std::uint64_t, std::string>> messages_;  // the last notes, numbered
  std::uint64_t notes_ = 0;
  std::uint64_t inputs_ = 0;  // page events taken, refused ones included
  int64_t drawsSeen_ = -1;
  std::pair<int, int> screen_{0, 0};  // the page's size, once it has told it
  bool serving_ = false;              // run() has begun: pages can answer alerts
};

}  // namespace simhost::live

#endif
