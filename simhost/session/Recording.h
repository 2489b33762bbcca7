// A live run's session as it is recorded (sarvello-host open). Nearly all of a long run is pointer
// events and the ticks between them: they are kept in a few bytes each, and only the rare other
// events whole, so that an hour of dragging takes a few megabytes. The recording is bounded by
// what `run` reads back: it is full once its file would reach kMaxSessionFileBytes.
#ifndef SARVELLO_SIMHOST_SESSION_RECORDING_H
#define SARVELLO_SIMHOST_SESSION_RECORDING_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "session/Session.h"

namespace simhost::session {

class Recording {
 public:
  // Starts afresh with the session's drawing, view and clock (its events are not taken).
  void begin(const Session& head);
  // Records an event at the end; its index is set to its place. False, and nothing recorded,
  // when the recording is full.
  bool add(Event event);
  // Records a tick the host's loop moved to: into the ticks event at the end, or a new one.
  // False when the recording is full.
  bool addTick(int64_t tick);

  std::size_t size() const { return entries_.size(); }  // events
  bool full() const { return full_; }
  // Event k as it was recorded.
  Event event(std::size_t k) const;
  // The session file, as writeSession writes the same session.
  std::string write() const;

 private:
  struct Entry {
    Event::Type type;
    Event::Action action;
    bool hasClock;
    std::uint32_t first;  // Ticks: the first of its ticks in ticks_; others: the place in others_
    std::uint32_t count;  // Ticks: how many
    Point at;             // Pointer
    int64_t clock;
  };
  bool reserve(std::size_t bytes);

  Session head_;
  std::vector<Entry> entries_;
  std::vector<int64_t> ticks_;
  std::vector<Event> others_;  // events other than pointer events and ticks
  std::size_t bytes_ = 0;      // an upper bound of the written file's length
  bool full_ = false;
};

}  // namespace simhost::session

#endif
