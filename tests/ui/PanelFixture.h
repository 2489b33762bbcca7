// The panels in-process on a live stand-in host with its tool side and dialog manager installed
// and the plug-in's compiled resources: the suites are acquired as the plug-in does, and an
// annotator with its engine stands where the plug-in object keeps it. Every test ends with the
// host's accounting clean.
#ifndef SARVELLO_TESTS_UI_PANELFIXTURE_H
#define SARVELLO_TESTS_UI_PANELFIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "ADMNonModalDialog.h"
#include "core/Host.h"
#include "PanelPlaces.h"
#include "ResourceFile.h"
#include "SarvelloAnnotator.h"
#include "SarvelloMain.h"
#include "SuiteScope.h"
#include "adm/DialogManager.h"
#include "tool/ToolState.h"

namespace paneltest {

// What PanelAnnotator() answers in these tests.
extern SarvelloAnnotator* gAnnotator;

// The compiled resource file of the plug-in, read once.
const sarvello::res::ResourceFile& resources();

// Serves the plug-in's resources to the host, as the loader does.
void serveResources(simhost::Host& host);

// A plug-in reference for the dialogs (the host only hands it back).
SPPluginRef pluginRef();

// Marks the plug-in object as present (gPlugin) or absent.
void setPluginPresent(bool present);

}  // namespace paneltest

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    paneltest::serveResources(host);
    suites.emplace(host);
    annotator = std::make_unique<SarvelloAnnotator>();
    paneltest::gAnnotator = annotator.get();
    paneltest::setPluginPresent(true);
  }

  void TearDown() override {
    delete parameters;
    delete info;
    paneltest::gAnnotator = nullptr;
    annotator.reset();
    suites.reset();
    paneltest::setPluginPresent(false);
    const simhost::Outstanding left = host.outstanding();
    EXPECT_TRUE(left.clean()) << left.describe();
  }

  ADMNonModalDialog& makeParameters() {
    parameters = new ADMNonModalDialog(paneltest::pluginRef());
    return *parameters;
  }
  EduNonModalDialog& makeInfo() {
    info = new EduNonModalDialog(paneltest::pluginRef());
    return *info;
  }

  simhost::Dialog* dialog(const std::string& name) {
    return host.dialogs().find(name);
  }
  simhost::Dialog* parameterDialog() { return dialog("Sarvello"); }

  simhost::Host host;
  std::optional<testsupport::SuiteScope> suites;
  std::unique_ptr<SarvelloAnnotator> annotator;
  // Deleted at the end unless a test deleted them (and set them to none).
  ADMNonModalDialog* parameters = nullptr;
  EduNonModalDialog* info = nullptr;
};

#endif
