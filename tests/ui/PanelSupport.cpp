#include <cstdlib>
#include <stdexcept>

#include "PanelFixture.h"
#include "Plugin.h"
#include "loader/PluginHost.h"

// The plug-in object that the panels' handlers look for; these tests have none of their own, so
// a stand-in address marks it as present.
Plugin* gPlugin = nullptr;

SarvelloAnnotator* PanelAnnotator() { return gPlugin != nullptr ? paneltest::gAnnotator : nullptr; }

namespace paneltest {

SarvelloAnnotator* gAnnotator = nullptr;

namespace {
alignas(16) unsigned char gPluginStandIn[16];
alignas(16) unsigned char gPluginRefStandIn[16];
}  // namespace

void setPluginPresent(bool present) {
  gPlugin = present ? reinterpret_cast<Plugin*>(gPluginStandIn) : nullptr;
}

SPPluginRef pluginRef() { return reinterpret_cast<SPPluginRef>(gPluginRefStandIn); }

// The resources the built module carries.
const sarvello::res::ResourceFile& resources() {
  static const sarvello::res::ResourceFile file = simhost::readPluginFile(SARVELLO_MODULE_PATH).resources;
  return file;
}

void serveResources(simhost::Host& host) {
  host.resource = [](SPPluginRef plugin, std::uint32_t type,
                     int32_t id) -> const std::vector<std::uint8_t>* {
    if (plugin != pluginRef()) return nullptr;
    return resources().find(type, id);
  };
}

}  // namespace paneltest
