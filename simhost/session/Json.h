// JSON from outside the host (session files, the page's input), read with a bound on how deeply
// it nests: deeper JSON is refused as soon as the reader gets there, before it is built, so that
// nothing that walks it afterwards can run out of stack.
#ifndef SARVELLO_SIMHOST_SESSION_JSON_H
#define SARVELLO_SIMHOST_SESSION_JSON_H

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace simhost {

// Arrays and objects within arrays and objects: far more than any session or input holds.
inline constexpr int kMaxJsonDepth = 32;

// The parsed text, or none with *error ("3:5: ..." for line 3, column 5, or "nested deeper than
// 32 levels"); with `position` given, the place ("3:5") goes there and *error is the rest.
// `callback`, when given, sees every parse event as nlohmann's parser callback does.
std::optional<nlohmann::json> parseBoundedJson(
    const std::string& text, std::string* error,
    const nlohmann::json::parser_callback_t& callback = nullptr, int maxDepth = kMaxJsonDepth,
    std::string* position = nullptr);

}  // namespace simhost

#endif
