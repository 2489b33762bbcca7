#include "live/Channel.h"

#include <chrono>

namespace simhost::live {

namespace {

std::chrono::steady_clock::duration span(double seconds) {
  if (!(seconds > 0)) return std::chrono::steady_clock::duration::zero();
  if (seconds > 3600) seconds = 3600;
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

bool Channel::post(Task task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (quit_) return false;
    tasks_.push_back(std::move(task));
  }
  inputReady_.notify_one();
  return true;
}

bool Channel::call(const Task& task, double seconds) {
  // A call that gives up before its task has begun takes it back, so that the task never runs
  // with the caller's references gone; one that has begun is waited for.
  enum class State { Queued, Running, Done, Withdrawn };
  struct Call {
    std::mutex mutex;
    std::condition_variable cv;
    State state = State::Queued;
  };
  auto call = std::make_shared<Call>();
  const bool queued = post([&task, call] {
    {
      std::lock_guard<std::mutex> lock(call->mutex);
      if (call->state == State::Withdrawn) return;
      call->state = State::Running;
    }
    task();
    std::lock_guard<std::mutex> lock(call->mutex);
    call->state = State::Done;
    call->cv.notify_all();
  });
  if (!queued) return false;
  const auto deadline = std::chrono::steady_clock::now() + span(seconds);
  std::unique_lock<std::mutex> lock(call->mutex);
  while (call->state != State::Done) {
    const bool late = call->cv.wait_for(lock, std::chrono::milliseconds(100)) == std::cv_status::timeout &&
                      (std::chrono::steady_clock::now() >= deadline || quitting());
    if (late && call->state == State::Queued) {
      call->state = State::Withdrawn;
      return false;
    }
  }
  return true;
}

int Channel::runQueued(double seconds) {
  std::deque<Task> ready;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    inputReady_.wait_for(lock, span(seconds), [this] { return quit_ || !tasks_.empty(); });
    ready.swap(tasks_);
  }
  int ran = 0;
  for (Task& task : ready) {
    task();
    ++ran;
  }
  return ran;
}

void Channel::publish(std::shared_ptr<const Frame> frame) {
  std::function<void()> listener;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    frame_ = std::move(frame);
    listener = onPublish_;
  }
  if (listener) listener();
}

void Channel::setPublishListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  onPublish_ = std::move(listener);
}

void Channel::addWaiter() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++waiters_;
}

void Channel::removeWaiter() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (waiters_ > 0) --waiters_;
}

bool Channel::frameWanted() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiters_ > 0;
}

std::shared_ptr<const Frame> Channel::current() {
  std::lock_guard<std::mutex> lock(mutex_);
  return frame_;
}

void Channel::waitForAlert(std::uint64_t alert) {
  std::unique_lock<std::mutex> lock(mutex_);
  shownAlert_ = alert;
  alertDone_.wait(lock, [&] { return quit_ || shownAlert_ == 0; });
  shownAlert_ = 0;
}

bool Channel::dismissAlert(std::uint64_t alert) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (alert == 0 || alert != shownAlert_) return false;
    shownAlert_ = 0;
  }
  alertDone_.notify_all();
  return true;
}

void Channel::quit() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  inputReady_.notify_all();
  alertDone_.notify_all();
}

bool Channel::quitting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return quit_;
}

}  // namespace simhost::live
