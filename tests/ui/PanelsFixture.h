// The panels through the built module Sarvello.aip, loaded by the stand-in host's loader with its
// dialog manager, tool side and event loop. Each start of the host keeps its preferences in a
// file of the test's own temporary folder, so that a later start reads what an earlier quit
// saved and nothing ever reaches the user's own preferences. Every quit ends with nothing of the
// host's left outstanding.
#ifndef SARVELLO_TESTS_PANELS_PANELSFIXTURE_H
#define SARVELLO_TESTS_PANELS_PANELSFIXTURE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "ADMNonModalDialog.h"
#include "core/Host.h"
#include "PanelPlaces.h"
#include "PathSegments.h"
#include "loader/PluginHost.h"
#include "ResourceFile.h"
#include "ViewRects.h"
#include "adm/DialogManager.h"
#include "tool/EventLoop.h"
#include "tool/ToolState.h"

inline const std::string kModule = SARVELLO_MODULE_PATH;
inline constexpr const char kParameterPanel[] = "Sarvello";
inline constexpr const char kInfoPanel[] = "Sarvello Education ReadMe5";

using QuitOrder = simhost::PluginHost::QuitOrder;
using Segments = std::vector<AIPathSegment>;

// Bytes of the engine's grid at resolution n: all the SP Blocks memory it keeps.
inline std::size_t gridBytes(int n) {
  // The four arrays of (n+2)^2 floats and the velocity step's sixteen scratch rows.
  const std::size_t side = static_cast<std::size_t>(n + 2);
  return (4u * side * side + 16u * side) * sizeof(float);
}

// The same points to the bit (a NaN equals itself).
inline bool samePoints(const Segments& a, const Segments& b) {
  if (a.size() != b.size()) return false;
  auto same = [](AIRealPoint x, AIRealPoint y) {
    return std::bit_cast<std::uint32_t>(x.h) == std::bit_cast<std::uint32_t>(y.h) &&
           std::bit_cast<std::uint32_t>(x.v) == std::bit_cast<std::uint32_t>(y.v);
  };
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (!same(a[k].p, b[k].p) || !same(a[k].in, b[k].in) || !same(a[k].out, b[k].out) ||
        a[k].corner != b[k].corner)
      return false;
  }
  return true;
}

// How far the farthest point moved between two versions of a path (infinite when the point count
// changed).
inline double largestShift(const Segments& a, const Segments& b) {
  if (a.size() != b.size()) return std::numeric_limits<double>::infinity();
  double largest = 0.0;
  for (std::size_t k = 0; k < a.size(); ++k)
    largest = std::max(largest, std::hypot(double(a[k].p.h) - double(b[k].p.h),
                                           double(a[k].p.v) - double(b[k].p.v)));
  return largest;
}

class PanelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
      if (c == '/') c = '-';
    dir = std::filesystem::temp_directory_path() /
          ("sarvello-panels-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    preferencesFile = (dir / "preferences.ini").string();
  }

  void TearDown() override {
    if (host) quit();
    std::filesystem::remove_all(dir);
  }

  // A new host that keeps its preferences in the test's file, with the module loaded.
  // `prepare` runs before the module is started (to change what the host serves it).
  void boot(const std::function<void()>& prepare = {}) {
    load();
    if (prepare) prepare();
    ASSERT_EQ(plugins->start(), kNoErr);
    loop = std::make_unique<simhost::EventLoop>(*host, plugins->plugin(), plugins->sender());
  }

  // The host and the loaded module, not started yet.
  void load() {
    ASSERT_FALSE(host) << "one host at a time";
    host = std::make_unique<simhost::Host>();
    std::string warning;
    ASSERT_TRUE(host->usePreferencesFile(preferencesFile, &warning)) << warning;
    plugins = std::make_unique<simhost::PluginHost>(*host, kModule);
  }

  // The application quits: the module is shut down and unloaded, the preferences are saved and
  // nothing of the host's may be left outstanding.
  void quit(QuitOrder order = QuitOrder::DialogsFirst) {
    loop.reset();
    if (plugins) {
      EXPECT_EQ(plugins->quit(order), kNoErr);
    }
    plugins.reset();
    std::string error;
    EXPECT_TRUE(host->savePreferences(&error)) << error;
    const simhost::Outstanding left = host->outstanding();
    EXPECT_TRUE(left.clean()) << left.describe();
    host.reset();
  }

  // From the next start on, entry `entry` (from 1) of preset menu `menuID` reads `text`.
  void replacePreset(int32_t menuID, int entry, const std::string& text) {
    auto original = host->resource;
    const auto* bytes = original(plugins->plugin(), simhost::kMenuResourceType, menuID);
    ASSERT_NE(bytes, nullptr);
    auto list = sarvello::res::decodeStringList(*bytes);
    ASSERT_TRUE(list.has_value());
    ASSERT_LT(static_cast<std::size_t>(entry), list->size());
    (*list)[static_cast<std::size_t>(entry)] = text;  // item 0 is the menu's name
    auto replaced = std::make_shared<sarvello::res::Bytes>(sarvello::res::encodeStringList(*list));
    host->resource = [original, replaced, menuID](SPPluginRef plugin, std::uint32_t type,
                                                  int32_t id) {
      return type == simhost::kMenuResourceType && id == menuID ? replaced.get()
                                                                : original(plugin, type, id);
    };
  }

  simhost::ToolState& tools() { return host->tools(); }
  simhost::DialogState& dialogs() { return host->dialogs(); }
  simhost::Dialog* panel(const char* name = kParameterPanel) { return dialogs().find(name); }
  std::string field(int32_t item) { return panel()->item(item)->text; }
  Rect bounds(const char* name = kParameterPanel) { return panel(name)->bounds; }
  bool visible(const char* name) { return panel(name) != nullptr && panel(name)->visible; }

  // The user's actions on the panels; each must be possible.
  void choose(int32_t item, int entry) {
    ASSERT_EQ(simhost::choosePreset(*host, kParameterPanel, item, entry), "");
  }
  void type(int32_t item, const std::string& text) {
    ASSERT_EQ(simhost::typeValue(*host, kParameterPanel, item, text), "");
  }
  void press(const char* dialog, int32_t item) {
    ASSERT_EQ(simhost::pressButton(*host, dialog, item), "");
  }

  ASErr chooseMenuItem() {
    AIMenuMessage message{};
    message.menuItem = tools().menuItems.at(0).handle;
    return plugins->send(kAIMenuCaller, kAIMenuGoSelector, &message);
  }

  ASErr dispatch(const simhost::HostEvent& event) { return loop->dispatch(event); }

  // The status line of the overlay as the last redraw drew it.
  std::string statusLine() {
    return loop->overlay().empty() ? std::string() : loop->overlay().back().text;
  }
  // The overlay square as the last redraw drew it.
  Rect square() { return loop->overlay().size() > 2 ? loop->overlay()[2].rect : Rect{}; }

  // A closed square path of four corners, selected.
  AIArtHandle addSquare(float left, float top, float side) {
    return host->document().addPath(squareCorners(left, top, side), true, true);
  }
  Segments segments(AIArtHandle path) { return host->document().find(path)->segments; }

  // The same brush stroke every time: a square path, the tool picked, a stroke across the overlay
  // square past the path, then some ticks. The path's points afterwards.
  Segments stir() {
    art = addSquare(-50.0f, 50.0f, 100.0f);
    using simhost::HostEvent;
    using Kind = HostEvent::Kind;
    EXPECT_EQ(dispatch(HostEvent::select()), kNoErr);
    EXPECT_EQ(dispatch(HostEvent::pointer(Kind::MouseDown, {-120.0f, 10.0f})), kNoErr);
    for (int i = 1; i <= 4; ++i)
      EXPECT_EQ(dispatch(HostEvent::pointer(Kind::MouseDrag, {-120.0f + 40.0f * i, 10.0f})),
                kNoErr);
    EXPECT_EQ(dispatch(HostEvent::pointer(Kind::MouseUp, {40.0f, 10.0f})), kNoErr);
    loop->idle(3);
    return segments(art);
  }

  // One whole run of the host: started, `before` done on the panels, a stroke, quit. The points.
  Segments run(const std::function<void()>& before = {},
               const std::function<void()>& prepare = {}) {
    boot(prepare);
    if (::testing::Test::HasFatalFailure()) return {};
    if (before) before();
    const Segments result = stir();
    quit();
    return result;
  }

  std::filesystem::path dir;
  std::string preferencesFile;
  std::unique_ptr<simhost::Host> host;
  std::unique_ptr<simhost::PluginHost> plugins;
  std::unique_ptr<simhost::EventLoop> loop;
  AIArtHandle art = nullptr;  // the path of the last stir()
};

#endif
