// The session runner of sarvello-host: one stand-in host with the plug-in module loaded through
// the loader, a drawing imported into the host's document, and a session's events turned into the
// host events of the event loop.
//
// Lifecycle: construct, start() (the module is loaded and started), then for each drawing
// load() and play(), then quit() (the module is shut down and unloaded, and the host's accounting
// is read). Several drawings can go through one started module: load() gives each a fresh
// document. Nothing is written to any file here but the host's preferences, which quit() saves;
// pictures stay in memory for the caller.
//
// Runner.cpp holds the runner's life (start, load, quit, what the host tells), Playback.cpp the
// playing of sessions, Pictures.cpp the pictures.
//
// The plug-in's panels live in the host's dialog manager from start() to quit(). A session's panel
// actions are done there as a user does them, on a panel that is shown; what cannot be done (the
// panel is hidden, the plug-in made no such panel) is told and counted, and the session goes on.
#ifndef SARVELLO_SIMHOST_APP_RUNNER_H
#define SARVELLO_SIMHOST_APP_RUNNER_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Host.h"
#include "picture/Picture.h"
#include "session/Session.h"
#include "tool/EventLoop.h"

namespace simhost {
class PluginHost;
class EventLoop;
namespace svg {
class Drawing;
}
}  // namespace simhost

namespace simhost::app {

// The tool the plug-in registers; a session's "pick-tool" picks it.
inline constexpr const char* kToolName = "Sarvello Tool";

struct RunOptions {
  std::string pluginPath;   // the module file; empty: Sarvello.aip beside the running program
  // The host's preference store, read at start and saved after quitting (the panel keeps its
  // placement there); empty: preferences live for the run only. A file that cannot be read gives
  // a warning and the defaults; at quit it is kept beside the new one as FILE.corrupt (or
  // FILE.corrupt.2, ... when that name is taken).
  std::string preferencesFile;
  // "Visit website" opens the address with the system's opener (when there is one) instead of
  // only printing it. Off for tests, so that they never launch a browser.
  bool openURLsWithSystem = false;
  int squareSize = 400;     // side of the overlay square in artwork units, as the plug-in starts
                            // with it (a session's Size changes it)
  bool framesEverywhere = false;  // a frame after the tool is picked, after every stroke and
                                  // before the tool is left, when the session asks for none
  // The session's pictures that name no file are taken (kept in frames()); when false they are
  // skipped, so that a run nobody looks at renders nothing.
  bool unnamedPictures = true;
  // Host diagnostics as they come: the plug-in's alerts, its failing messages, the panels' changes,
  // the web addresses it asks to open, the runner's notes.
  std::function<void(const std::string& line)> diagnostic;
  // Progress of play(): work done and total, in units of the session's events.
  std::function<void(double done, double total)> progress;
  // A person at the tool (sarvello-host open): the loop runs live, on the system's clock.
  bool live = false;
  // The drawing's clones stay clones: not read, not stirred, written back as they are.
  bool keepClones = false;
};

// A picture taken during the run: the document window with the overlay as it was last drawn.
struct Frame {
  std::string label;  // "event 3 (stroke)", "start", ...
  std::string file;   // where the session asked it to be written, or empty
  picture::Image image;
};

struct RunStats {
  std::size_t paths = 0;
  std::size_t verticesBefore = 0;  // segments of the drawing's paths after import
  std::size_t verticesAfter = 0;
  int64_t drags = 0;       // drag messages sent
  int64_t timerTicks = 0;  // timer messages sent
  int64_t draws = 0;       // overlay draws, each one velocity step of the fluid
  int64_t failedMessages = 0;  // messages the plug-in answered with an error
  int64_t toolFailures = 0;    // tool picks after which the tool's timer did not run
  int64_t panelActions = 0;    // panel actions of the session that were done
  int64_t actionsNotDone = 0;  // and those that could not be (hidden panel, no such panel)
  std::size_t leftOut = 0;     // shapes of the drawing left out of the document (see the warnings)
  bool stoppedAtLimit = false;  // the tool stopped the run at its vertex limit
  // Paths the tool rewrote: moved (a point of them moved by more than a hundredth of the
  // sampling distance off the path as imported), or only resampled (the same outline as dense
  // points).
  std::size_t pathsMoved = 0;
  std::size_t pathsResampled = 0;
  std::size_t texts = 0, images = 0;  // shown by the drawing, never stirred
  std::size_t clones = 0;             // clones read as the shapes they show
  std::size_t keptClones = 0;         // clones kept as they are (RunOptions::keepClones)
  double seconds = 0;      // real time of play()
};

// "event 3 (stroke)": an event of a session as messages name it.
std::string eventName(const session::Event& event);
// A session's change of the view applied to the host's view.
void applyViewChange(ViewState& view, const session::ViewChange& change);

// The error code as text: 'CANT' for a four-character code, else the number.
std::string describeCode(ASErr code);

// The overlay square in artwork coordinates (left, top, right, bottom) for a view, computed the
// way the plug-in computes it.
AIRealRect overlaySquare(const ViewState& view, int size);

// A stroke's pointer positions: the press at the first point, `drags` drag positions spread
// evenly along the polyline through the points (the last one at its end) and the release at the
// last point. Points in fractions of the square are mapped onto `square` (x from its left edge, y
// from its top edge); artwork points are taken as they are.
std::vector<AIRealPoint> strokePositions(const session::Event& stroke, const AIRealRect& square);

class Runner {
 public:
  explicit Runner(RunOptions options = {});
  ~Runner();
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  // Loads the module and starts it. False with *error when the file is not a plug-in that loads
  // or when its start-up fails; a failure after start-up (at the application-started
  // notification, e.g. a panel that cannot be made) is only told.
  bool start(std::string* error);

  // Sets the session's starting view and imports the SVG into a fresh document (placed about the
  // overlay square unless fit is false; when the session sets no zoom, the view is zoomed out as
  // far as it takes to show the whole drawing). Then checks what the session names in the
  // drawing (the ids of its selections). False with *error naming the file and the place; the
  // document is empty then.
  // sessionName prefixes the messages about the session.
  bool load(const std::string& svgText, const std::string& name, const session::Session& session,
            const std::string& sessionName, bool fit, std::string* error);

  // Replays the session's events. False with *error only when the host cannot do what an event
  // asks (no tool to pick, an impossible view); the plug-in's own failures are diagnostics.
  bool play(const session::Session& session, std::string* error);

  // Plays one event of a session, as play() does, on the drawing loaded; for a person at the tool.
  bool playOne(const session::Event& event, std::string* error);
  // Whether load() would take the event with the drawing loaded (what a selection names must be
  // in it); false with *error ("sessionName: event 3 (select): ...") otherwise. A live run checks
  // each event with it before playing it, so that its recording replays.
  bool checkEvent(const session::Event& event, const std::string& sessionName,
                  std::string* error) const;

  // The application's quit: its panels are closed, the module is shut down and unloaded, and the
  // preferences are saved. False with *error when the plug-in failed to shut down.
  // outstanding() then tells what it left behind.
  bool quit(std::string* error);
  Outstanding outstanding() const;

  // The panels for people: each one's title, whether it is shown, where, and the values of its
  // controls. While the plug-in runs, as they are now; after quit(), as they were when it began.
  std::string panels() const;
  // The side of the overlay square that strokes in fractions are mapped onto: the Size the panel
  // last gave the plug-in.
  int squareSize() const { return squareSize_; }

  // The drawing as it stands, as SVG text.
  bool exportSvg(std::string* out, std::string* error) const;
  // The document window as it stands; with the overlay as it was last drawn when overlay is true.
  bool picture(bool overlay, picture::Image* out, std::string* error) const;
  // A picture framing the drawing's canvas and the overlay square, without the overlay: width x height pixels when both are given, else the longer side
  // 800 x scale pixels.
  struct PictureSize {
    int width = 0;
    int height = 0;
    double scale = 1;
  };
  bool framedPicture(const PictureSize& size, picture::Image* out, std::string* error) const;

  const std::vector<Frame>& frames() const { return frames_; }
  // The overlay as the plug-in last drew it (empty before the first draw).
  const OverlayRecording& overlay() const;
  RunStats stats() const;
  // The sampling distance the panel shows (the plug-in's default when there is no panel).
  double samplingDistance() const;
  std::size_t vertices() const;  // segments of the drawing's paths now

  Host& host() { return *host_; }
  EventLoop* loop() { return loop_.get(); }
  PluginHost* plugin() { return plugin_.get(); }
  const svg::Drawing* drawing() const { return drawing_.get(); }

 private:
  void note(const std::string& line) const;
  // What keeps the drawing from taking the event (an id that names no shapes), or empty.
  static std::string selectionProblem(const svg::Drawing& drawing, const std::string& name,
                                      const session::Event& event);
  void makeLoop(const LoopOptions& loopOptions);
  void timeFor(const session::Session& session);
  bool playEvent(const session::Event& event, std::size_t done, std::size_t total,
                 std::string* error);
  bool playAction(const session::Event& event, std::size_t done, std::size_t total,
                  std::string* error);
  bool select(const session::Event& event);
  bool stroke(const session::Event& event, std::size_t done, std::size_t total);
  bool takeFrame(const std::string& label, const std::string& file, std::string* error);
  void panelAction(const session::Event& event);
  void notDone(const session::Event& event, const std::string& why);
  // Tells of panels shown, hidden, made or gone since the last look, and of the web addresses the
  // plug-in asked to open; quietly when tell is false.
  void watchHost(const std::string& when, bool tell);

  RunOptions options_;
  std::unique_ptr<Host> host_;
  std::unique_ptr<PluginHost> plugin_;
  std::unique_ptr<EventLoop> loop_;
  std::unique_ptr<svg::Drawing> drawing_;
  std::string drawingName_;
  std::vector<Frame> frames_;
  RunStats stats_;
  std::vector<std::string> reportedFailures_;
  int squareSize_ = 400;
  bool preferencesUnreadable_ = false;
  std::map<std::uint64_t, std::pair<std::string, bool>> panelShown_;  // title and shown, by dialog
  std::size_t urlsSeen_ = 0;
  std::string finalPanels_;
  struct Loaded {
    std::vector<AIPathSegment> segments;
    bool closed = false;
  };
  std::vector<Loaded> loaded_;  // each path as the import made it
};

}  // namespace simhost::app

#endif
