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

// One picture of the host's state for the pages. Immutable once published; shapes whose path
// data did not change since the previous frame share its string, so that a page's stream sends
// only what changed.
struct Frame {
  std::uint64_t seq = 0;
  std::uint64_t document = 0;  // changes when another drawing is opened
  std::vector<std::shared_ptr<const std::string>> shapes;  // path data, by shape
  std::string state;  // JSON: view, overlay, tools, selection, panels, menu, alert, ...
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
  // Server threads: the current frame once it is newer than `after` (waits up to `seconds`);
  // none when there is no newer one by then or the host quits.
  std::shared_ptr<const Frame> frameAfter(std::uint64_t after, double seconds);
  std::shared_ptr<const Frame> current();

  // The modal alert. User-interface thread: shows alert number `alert` (from 1) and waits until a
  // page dismisses it or the host quits. Server threads: dismiss the alert shown now, named by
  // its number; any other number (a stale answer, one never shown) does nothing: false.
  void waitForAlert(std::uint64_t alert);
  bool dismissAlert(std::uint64_t alert);

  // Told after every publish, on the publishing thread (the server wakes its streams).
  void setPublishListener(std::function<void()> listener);

  // Asked to quit (Ctrl-C, SIGTERM, the page's Quit). Wakes every waiter.
  void quit();
  bool quitting() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable inputReady_;
  std::condition_variable frameReady_;
  std::condition_variable alertDone_;
  std::deque<Task> tasks_;
  std::shared_ptr<const Frame> frame_;
  std::uint64_t shownAlert_ = 0;  // the alert waited in now, or 0
  std::function<void()> onPublish_;
  bool quit_ = false;
};

}  // namespace simhost::live

#endif
