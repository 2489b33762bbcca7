#include "session/Recording.h"

namespace simhost::session {

namespace {

// Upper bounds of what an event adds to the file: its line, with the separator before it. A
// pointer event and a tick are bounded by the longest numbers they can hold; other events are
// measured.
constexpr std::size_t kPointerBytes = 128;
constexpr std::size_t kTickBytes = 22;
constexpr std::size_t kTicksEventBytes = 32;  // the event around the ticks, without them
constexpr std::size_t kEndBytes = 16;

}  // namespace

void Recording::begin(const Session& head) {
  head_ = head;
  head_.events.clear();
  entries_.clear();
  ticks_.clear();
  others_.clear();
  full_ = false;
  bytes_ = writeSessionHead(head_).size() + kEndBytes;
}

bool Recording::reserve(std::size_t bytes) {
  if (full_ || bytes > kMaxSessionFileBytes - bytes_) {
    full_ = true;
    return false;
  }
  bytes_ += bytes;
  return true;
}

bool Recording::add(Event event) {
  event.index = entries_.size();
  Entry entry{event.type, event.action, event.clock.has_value(), 0, 0, event.at, event.clock.value_or(0)};
  if (event.type == Event::Type::Pointer) {
    if (!reserve(kPointerBytes)) return false;
  } else if (event.type == Event::Type::Ticks) {
    if (!reserve(kTicksEventBytes + kTickBytes * event.tickList.size())) return false;
    entry.first = static_cast<std::uint32_t>(ticks_.size());
    entry.count = static_cast<std::uint32_t>(event.tickList.size());
    ticks_.insert(ticks_.end(), event.tickList.begin(), event.tickList.end());
  } else {
    if (!reserve(writeEvent(event).size() + 8)) return false;
    entry.first = static_cast<std::uint32_t>(others_.size());
    others_.push_back(std::move(event));
  }
  entries_.push_back(entry);
  return true;
}

bool Recording::addTick(int64_t tick) {
  if (entries_.empty() || entries_.back().type != Event::Type::Ticks) {
    Event ticks;
    ticks.type = Event::Type::Ticks;
    ticks.tickList.push_back(tick);
    return add(std::move(ticks));
  }
  if (!reserve(kTickBytes)) return false;
  ticks_.push_back(tick);
  ++entries_.back().count;
  return true;
}

Event Recording::event(std::size_t k) const {
  const Entry& entry = entries_.at(k);
  Event e;
  if (entry.type == Event::Type::Pointer || entry.type == Event::Type::Ticks) {
    e.type = entry.type;
    e.action = entry.action;
    e.at = entry.at;
    if (entry.type == Event::Type::Ticks)
      e.tickList.assign(ticks_.begin() + entry.first, ticks_.begin() + entry.first + entry.count);
  } else {
    e = others_[entry.first];
  }
  e.index = k;
  if (entry.hasClock) e.clock = entry.clock;
  return e;
}

std::string Recording::write() const {
  return writeSession(head_, entries_.size(), [this](std::size_t k) { return event(k); }, bytes_);
}

}  // namespace simhost::session
