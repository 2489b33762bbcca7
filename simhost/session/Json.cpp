#include "session/Json.h"

#include "core/Files.h"

namespace simhost {

namespace {

struct TooDeep {};

}  // namespace

std::optional<nlohmann::json> parseBoundedJson(const std::string& text, std::string* error,
                                               const nlohmann::json::parser_callback_t& callback,
                                               int maxDepth, std::string* position) {
  using json = nlohmann::json;
  const json::parser_callback_t bounded = [&](int depth, json::parse_event_t event, json& parsed) {
    if ((event == json::parse_event_t::object_start || event == json::parse_event_t::array_start) &&
        depth >= maxDepth) {
      throw TooDeep{};
    }
    return callback ? callback(depth, event, parsed) : true;
  };
  try {
    return json::parse(text, bounded);
  } catch (const TooDeep&) {
    *error = "nested deeper than " + std::to_string(maxDepth) + " levels";
  } catch (const json::parse_error& e) {
    // The parser's byte count is one past the offending character.
    const std::size_t at = e.byte > 0 ? e.byte - 1 : 0;
    std::string what = e.what();
    const std::size_t colon = what.rfind(": ");
    if (colon != std::string::npos) what = what.substr(colon + 2);
    if (position != nullptr) {
      *position = lineColumn(text, at);
      *error = what;
    } else {
      *error = lineColumn(text, at) + ": " + what;
    }
  } catch (const json::exception& e) {
    // A number beyond the range of doubles, and whatever else the JSON library refuses.
    std::string what = e.what();
    if (what.compare(0, 1, "[") == 0 && what.find("] ") != std::string::npos) {
      what.erase(0, what.find("] ") + 2);
    }
    *error = what;
  }
  return std::nullopt;
}

}  // namespace simhost
