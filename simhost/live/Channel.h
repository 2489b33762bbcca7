// What the web server's threads and the host's user-interface thread share: the user's input,
// queued for the user-interface thread (the only thread that talks to the plug-in), the frames it
// publishes, and the alert it is waiting in.
#ifndef SARVELLO_SIMHOST_LIVE_CHANNEL_H
#define SARVELLO_SIMHOST_LIVE_CHANNEL_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace simhost::live {

// One picture of the host's state for the pages. Immutable once published. A shape whose
// geometry did not change since the previous frame shares its string, and each shape and the
// selection carry the number of the frame that last changed them, so that a page is sent only
// what changed since the frame it shows.
struct Frame {
  std::uint64_t seq = 0;
  std::uint64_t document = 0;  // changes when another drawing is opened
  // Each shape's geometry as the page gets it (live/PageExport.h), by shape, and the frame that
  // last changed it.
  std::vector<std::shared_ptr<const std::string>> shapes;
  std::vector<std::uint64_t> shapeChanged;
  // JSON: the selected shapes and each shape's path art, and the frame that last changed it.
  std::shared_ptr<const std::string> selection;
  std::uint64_t selectionChanged = 0;
  std::string state;  // JSON: view, overlay, tools, panels, menu, alert, ...
};

class Channel {
 public:
  using Task = std::function<void()>;

  // Server threads: queues work for the user-interface thread. False once the host quits.
  bool post(Task task);
  // Server threads: runs `task` on the user-interface thread and waits until it has run. When it
  // has not begun within `seconds`, or the host quits first, it is taken back (it never runs)
  // and the answer is false.
  bool call(const Task& task, double seconds);

  // User-interface thread: waits up to `seconds` for work, then runs what is queued, in order.
  // Answers how many tasks ran.
  int runQueued(double seconds);

  // User-interface thread: makes a frame the current one.
  void publish(std::shared_ptr<const Frame> frame);
  std::shared_ptr<const Frame> current();
  // Server threads: a page begins or ends waiting for a frame newer than the one it shows. The
  // user-interface thread makes frames only while some page waits: one that nobody would be
  // sent costs nothing.
  void addWaiter();
  void removeWaiter();
  bool frameWanted() const;

  // The modal alert. User-interface thread: shows alert number `alert` (from 1) and waits until a
  // page dismisses it or the host quits. Server threads: dismiss the alert shown now, named by
  // its number; any other number (a stale answer, one never shown) does nothing: false.
  void waitForAlert(std::uint64_t alert);
  bool dismissAlert(std::uint64_t alert);

  // Told after every publish, on the publishing thread (the server wakes its waits).
  void setPublishListener(std::function<void()> listener);

  // Asked to quit (Ctrl-C, SIGTERM, the page's Quit). Wakes every waiter.
  void quit();
  bool quitting() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable inputReady_;
  std::condition_variable alertDone_;
  std::deque<Task> tasks_;
  std::shared_ptr<const Frame> frame_;
  std::uint64_t shownAlert_ = 0;  // the alert waited in now, or 0
  int waiters_ = 0;               // pages waiting for a newer frame
  std::function<void()> onPublish_;
  bool quit_ = false;
};

}  // namespace simhost::live

#endif
