// The built module Sarvello.aip, loaded through the stand-in host's loader.
#include <gtest/gtest.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/Host.h"
#include "loader/PluginHost.h"
#include "platform/Platform.h"

namespace {

const std::string kModule = SARVELLO_MODULE_PATH;
#ifdef _WIN32
constexpr bool kWindowsModule = true;
#else
constexpr bool kWindowsModule = false;
#endif

bool codeLoaded(const std::string& path) { return simhost::platform::moduleLoaded(path); }

// The names the module exports, one a line.
std::string exportedNames(const std::string& path) {
  std::string out;
#ifdef _WIN32
  // The file mapped as an image without running it; the handle's low bits mark such a mapping.
  const HMODULE mapped = ::LoadLibraryExW(std::filesystem::absolute(path).wstring().c_str(), nullptr,
                                          LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (mapped == nullptr) return out;
  const auto* base =
      reinterpret_cast<const std::uint8_t*>(reinterpret_cast<std::uintptr_t>(mapped) & ~std::uintptr_t(3));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& exports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (exports.VirtualAddress != 0) {
    const auto* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + exports.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    out += std::to_string(directory->NumberOfFunctions) + " functions\n";
    for (DWORD k = 0; k < directory->NumberOfNames; ++k)
      out += std::string(reinterpret_cast<const char*>(base + names[k])) + "\n";
  }
  ::FreeLibrary(mapped);
#else
  if (FILE* p = ::popen(("nm -D --defined-only '" + path + "'").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
    ::pclose(p);
  }
#endif
  return out;
}

std::vector<std::string> errorTexts(simhost::Host& host) {
  std::vector<std::string> texts;
  for (const auto& a : host.alerts())
    if (a.kind == simhost::Alert::Error) texts.push_back(a.text);
  return texts;
}

TEST(Module, ExportsOnlyPluginMain) {
  const std::string symbols = exportedNames(kModule);
  ASSERT_FALSE(symbols.empty());
#ifdef _WIN32
  EXPECT_EQ(symbols, "1 functions\nPluginMain\n");
#else
  EXPECT_EQ(symbols.substr(symbols.find(' ') + 1), "T PluginMain\n");
#endif
}

class LoadedModule : public ::testing::Test {
 protected:
  void SetUp() override { plugins = std::make_unique<simhost::PluginHost>(host, kModule); }
  void TearDown() override {
    plugins.reset();
    EXPECT_FALSE(codeLoaded(kModule));
    EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
  }
  simhost::Host host;
  std::unique_ptr<simhost::PluginHost> plugins;
};

TEST_F(LoadedModule, StartsOnHostMemoryAndQuitsLeavingNothing) {
  ASSERT_EQ(plugins->start(), kNoErr);
  ASSERT_NE(plugins->globals(), nullptr);
  EXPECT_EQ(plugins->name(), "Sarvello");
  const simhost::Outstanding running = host.outstanding();
  EXPECT_GE(running.basicBlocks, 2u);  // at least the plug-in object and its suite set
  EXPECT_GE(running.suiteAcquisitions, 31u);
  EXPECT_TRUE(errorTexts(host).empty());
  EXPECT_EQ(plugins->quit(), kNoErr);
  EXPECT_EQ(plugins->globals(), nullptr);
  EXPECT_FALSE(plugins->loaded());
  EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
}

TEST_F(LoadedModule, UnhandledMessagesAnswerZero) {
  ASSERT_EQ(plugins->start(), kNoErr);
  SPInterfaceMessage m{};
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(plugins->send("AI Annotation", "AI Something", &m), kNoErr);
  const std::string err = ::testing::internal::GetCapturedStderr();
  // The Windows variant says nothing of it; the others warn.
  if (SARVELLO_WINDOWS_VARIANT) {
    EXPECT_EQ(err.find("Warning"), std::string::npos) << err;
  } else {
    EXPECT_NE(err.find("Warning: Unhandled plugin message: caller \"AI Annotation\" selector \"AI Something\"\n"),
              std::string::npos);
  }
  EXPECT_TRUE(errorTexts(host).empty());
}

TEST_F(LoadedModule, UnloadReallyUnloadsAndReloadKeepsTheObject) {
  ASSERT_EQ(plugins->start(), kNoErr);
  // While its annotator exists the plug-in keeps its code loaded; after the shutdown notification
  // it may be unloaded again.
  ASSERT_EQ(plugins->notify(kAIApplicationShutdownNotifier), kNoErr);
  void* object = plugins->globals();
  const auto blocks = host.outstanding().basicBlocks;
  ASSERT_TRUE(plugins->purge());
  EXPECT_FALSE(codeLoaded(kModule));
  EXPECT_EQ(host.outstanding().suiteAcquisitions, 0u);
  EXPECT_EQ(plugins->globals(), object);

  // The next message loads the code again; the object answers with its state intact (its
  // plug-in reference reaches the About texts of its own resources).
  EXPECT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceAboutSelector), kNoErr);
  EXPECT_TRUE(codeLoaded(kModule));
  EXPECT_EQ(plugins->globals(), object);
  ASSERT_EQ(host.alerts().size(), 1u);
  EXPECT_EQ(host.alerts()[0].text, "Sarvello");
  EXPECT_GE(host.outstanding().suiteAcquisitions, 31u);
  EXPECT_EQ(host.outstanding().basicBlocks, blocks);

  // Twice more, to be sure nothing is lost on the way.
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(plugins->purge());
    EXPECT_EQ(plugins->reload(), kNoErr);
  }
  EXPECT_EQ(plugins->globals(), object);
  EXPECT_EQ(plugins->quit(), kNoErr);
  EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
}

TEST_F(LoadedModule, AReloadThatCannotAcquireItsSuitesIsShownAndRecovers) {
  ASSERT_EQ(plugins->start(), kNoErr);
  ASSERT_EQ(plugins->notify(kAIApplicationShutdownNotifier), kNoErr);
  void* object = plugins->globals();
  ASSERT_TRUE(plugins->purge());
  // The reload finds the last suite missing: the code is shown, the object stays without suites
  // and answers nothing until a later unload and reload succeeds.
  host.faults().lackSuite(kAIURLSuite);
  EXPECT_EQ(plugins->reload(), kSuiteNotFoundErr);
  EXPECT_EQ(plugins->globals(), object);
  EXPECT_EQ(host.outstanding().suiteAcquisitions, 0u);
  ASSERT_EQ(errorTexts(host).size(), 1u);
  EXPECT_NE(errorTexts(host)[0].find("(!SUI)"), std::string::npos);
  EXPECT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceAboutSelector), kNoErr);
  EXPECT_EQ(host.alerts().size(), 1u) << "no About box from an object without suites";

  host.faults().clear();
  ASSERT_TRUE(plugins->purge());
  EXPECT_EQ(plugins->reload(), kNoErr);
  EXPECT_EQ(plugins->globals(), object);
  EXPECT_EQ(plugins->sendInterface(kSPInterfaceCaller, kSPInterfaceAboutSelector), kNoErr);
  EXPECT_EQ(host.alerts().size(), 2u);
  EXPECT_EQ(plugins->quit(), kNoErr);
}

TEST_F(LoadedModule, ASecondApplicationStartedNotificationCreatesNothing) {
  ASSERT_EQ(plugins->start(), kNoErr);
  const auto before = host.outstanding();
  EXPECT_EQ(plugins->notify(kAIApplicationStartedNotifier), kNoErr);
  const auto after = host.outstanding();
  EXPECT_EQ(after.basicBlocks, before.basicBlocks);
  EXPECT_EQ(after.spBlocks, before.spBlocks);
  EXPECT_EQ(after.unicodeStrings, before.unicodeStrings);
}

// ---- The loader's refusals -------------------------------------------------------------------

class LoaderRefusal : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("sarvello-loader-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // A copy of the module with `from` replaced by `to` (same length) in its property list.
  std::string patched(const std::string& from, const std::string& to) {
    std::ifstream in(kModule, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto at = bytes.find(from);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos) bytes.replace(at, from.size(), to);
    const std::string path = (dir / "Patched.aip").string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // Loading fails with a message naming the file and saying why, and leaves no code loaded.
  void expectRefused(const std::string& path, const std::string& why) {
    try {
      simhost::PluginHost plugins(host, path);
      ADD_FAILURE() << "loaded " << path;
    } catch (const simhost::LoadError& e) {
      const std::string text = e.what();
      EXPECT_NE(text.find(path), std::string::npos) << text;
      EXPECT_NE(text.find(why), std::string::npos) << text;
    }
    EXPECT_FALSE(codeLoaded(path));
  }

  simhost::Host host;
  std::filesystem::path dir;
};

TEST_F(LoaderRefusal, FilesThatAreNotPlugins) {
  const std::string text = (dir / "notes.aip").string();
  std::ofstream(text) << "not a plug-in\n";
  expectRefused(text, kWindowsModule ? "not a PE file" : "not an ELF file");
  expectRefused((dir / "missing.aip").string(), "No such file");
  // A program without the plug-in's resources: this test program.
  std::filesystem::copy_file(simhost::platform::programPath(), dir / "program.aip");
  expectRefused((dir / "program.aip").string(),
                kWindowsModule ? "no plug-in property list" : "no .sarvello_rsrc section");
}

TEST_F(LoaderRefusal, WrongKindVersionOrEntry) {
  // In the property list, codes are stored little-endian: "kind" "SPEA" reads "dnik" "AEPS".
  expectRefused(patched(std::string("dnik\0\0\0\0\4\0\0\0AEPS", 16), std::string("dnik\0\0\0\0\4\0\0\0AEPX", 16)),
                "kind is \"XPEA\"");
  expectRefused(patched(std::string("srvi\0\0\0\0\4\0\0\0\2", 13), std::string("srvi\0\0\0\0\4\0\0\0\3", 13)),
                "interface version 3");
  expectRefused(patched(std::string("68xw\0\0\0\0\14\0\0\0PluginMain", 22),
                        std::string("68xw\0\0\0\0\14\0\0\0PluginMaim", 22)),
                "no entry point \"PluginMaim\"");
}

}  // namespace

namespace {

int allocations(simhost::Host& host) {
  return host.faults().calls("SPBasic.AllocateBlock") + host.faults().calls("SPBlocks.AllocateBlock");
}

TEST(ModuleFaults, EveryRefusalDuringStartAndQuitLeavesNothingBehind) {
  // A clean start and quit first, to count its allocations and suite acquisitions.
  int allocationCount = 0, acquisitionCount = 0;
  {
    simhost::Host host;
    {
      simhost::PluginHost plugins(host, kModule);
      ASSERT_EQ(plugins.start(), kNoErr);
      ASSERT_EQ(plugins.quit(), kNoErr);
    }
    allocationCount = allocations(host);
    acquisitionCount = host.faults().calls("SPBasic.AcquireSuite");
  }
  ASSERT_GT(allocationCount, 0);
  ASSERT_GE(acquisitionCount, 31);
  // Then each of them refused in turn: whatever failed, the host ends with nothing outstanding
  // and the module's code unloaded.
  for (int refuseAcquisition = 0; refuseAcquisition <= 1; ++refuseAcquisition) {
    const int count = refuseAcquisition ? acquisitionCount : allocationCount;
    for (int nth = 1; nth <= count; ++nth) {
      SCOPED_TRACE((refuseAcquisition ? "acquisition #" : "allocation #") + std::to_string(nth));
      simhost::Host host;
      {
        simhost::PluginHost plugins(host, kModule);
        if (refuseAcquisition) host.faults().failCall("SPBasic.AcquireSuite", nth, kSuiteNotFoundErr);
        else host.faults().refuseAllocation(nth);
        plugins.start();
        plugins.quit();
        host.faults().clear();
      }
      EXPECT_FALSE(codeLoaded(kModule));
      EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
    }
  }
  // The frame's own host calls at start-up, failing: start-up fails with the host's code, shows
  // it, and leaves nothing.
  for (const char* operation : {"SPPlugins.SetPluginName", "AINotifier.AddNotifier"}) {
    SCOPED_TRACE(operation);
    simhost::Host host;
    {
      simhost::PluginHost plugins(host, kModule);
      host.faults().failCall(operation, 1, kBadParameterErr);
      EXPECT_EQ(plugins.start(), kBadParameterErr);
      EXPECT_EQ(plugins.globals(), nullptr);
      EXPECT_EQ(errorTexts(host).size(), 1u);
      plugins.quit();
    }
    EXPECT_TRUE(host.outstanding().clean()) << host.outstanding().describe();
  }
}

}  // namespace
