// sarvello-soak: a long replay of the sample drawing with the tool picked, Grid Res 128 and brush
// strokes throughout (with Retry between them, so that the drawing keeps its size), printing the
// host's accounting and the process's resident memory at intervals. After a warm-up neither may
// grow: the program fails (exit 1) when the accounting changes or the resident memory grows by
// more than the allowance.
//
//   sarvello-soak [--ticks N] [--plugin FILE]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/Runner.h"
#include "app/Sample.h"
#include "session/Session.h"

#if defined(SARVELLO_SANITIZE)
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libpango\nleak:libharfbuzz.so\n";
}
#endif

namespace {

// Resident memory of this process in KiB, from /proc.
long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// One round: Retry, a swirl through the square with a drag each tick, then idle ticks.
const char* const kRound = R"({ "events": [
  { "type": "press", "button": "Retry" },
  { "type": "stroke", "drags": 40, "points": [[0.3, 0.5], [0.5, 0.3], [0.7, 0.5], [0.5, 0.7], [0.3, 0.5]] },
  { "type": "idle", "ticks": 160 } ] })";
constexpr long kTicksPerRound = 160;  // timer ticks of a round, besides its 40 drags

// The host's accounting in one short line: every count, none of the details.
std::string accountingOf(const simhost::Outstanding& o) {
  char line[256];
  std::snprintf(line, sizeof line,
                "basic %zu (%zu B), blocks %zu (%zu B), suites %zu, matching %zu, strings %zu, "
                "contexts %zu, access %zu, dialogs %zu",
                o.basicBlocks, o.basicBytes, o.spBlocks, o.spBlockBytes, o.suiteAcquisitions,
                o.matchingArrays, o.unicodeStrings, o.appContexts, o.accessRefs, o.dialogs);
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  long ticks = 20000;
  std::string plugin;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--ticks" && k + 1 < argc) {
      ticks = std::strtol(argv[++k], nullptr, 10);
    } else if (arg == "--plugin" && k + 1 < argc) {
      plugin = argv[++k];
    } else {
      std::cerr << "usage: sarvello-soak [--ticks N] [--plugin FILE]\n";
      return 2;
    }
  }
  if (ticks < 3 * kTicksPerRound) ticks = 3 * kTicksPerRound;

  simhost::app::RunOptions options;
  options.pluginPath = plugin;
  std::vector<std::string> diagnostics;
  options.diagnostic = [&](const std::string& line) { diagnostics.push_back(line); };
  simhost::app::Runner runner(options);
  const auto start = simhost::session::parseSession(R"({ "events": [
      { "type": "select", "paths": "all" }, { "type": "pick-tool" },
      { "type": "choose", "control": "Grid Res", "preset": "128" } ] })", "soak start");
  const auto round = simhost::session::parseSession(kRound, "soak round");
  std::string error;
  if (!start || !round || !runner.load(simhost::app::kSampleSvg, "sample.svg", *start.session, "soak", true, &error) ||
      !runner.start(&error) || !runner.play(*start.session, &error)) {
    std::cerr << "sarvello-soak: " << (error.empty() ? start.error + round.error : error) << "\n";
    return 1;
  }

  // The warm-up: a tenth of the run, at least two rounds; then the accounting must stay what it
  // is and the resident memory within the allowance.
  const long rounds = (ticks + kTicksPerRound - 1) / kTicksPerRound;
  const long warmup = std::max(2L, rounds / 10);
  const long report = std::max(1L, rounds / 20);
  [[maybe_unused]] constexpr long kAllowanceKiB = 4096;
  std::string baseline;
  long baseRss = 0, maxRss = 0;
  bool grew = false;
  std::printf("%8s %8s %10s %10s  %s\n", "ticks", "drags", "rss KiB", "vertices", "host accounting");
  for (long r = 1; r <= rounds; ++r) {
    if (!runner.play(*round.session, &error)) {
      std::cerr << "sarvello-soak: " << error << "\n";
      return 1;
    }
    const std::string accounting = accountingOf(runner.outstanding());
    const long rss = residentKiB();
    if (r == warmup) {
      baseline = accounting;
      baseRss = rss;
    }
    if (r > warmup) {
      maxRss = std::max(maxRss, rss);
      if (accounting != baseline) grew = true;
    }
    if (r % report == 0 || r == warmup || r == rounds) {
      const simhost::app::RunStats now = runner.stats();
      std::printf("%8lld %8lld %10ld %10zu  %s\n", static_cast<long long>(now.timerTicks),
                  static_cast<long long>(now.drags), rss, runner.vertices(), accounting.c_str());
      std::fflush(stdout);
    }
  }
  const simhost::app::RunStats stats = runner.stats();
  std::string quitError;
  const bool quit = runner.quit(&quitError);
  const bool clean = runner.outstanding().clean();
  std::printf("%lld timer ticks, %lld drags, %lld fluid steps, %lld failed messages\n",
              static_cast<long long>(stats.timerTicks), static_cast<long long>(stats.drags),
              static_cast<long long>(stats.draws), static_cast<long long>(stats.failedMessages));
#if defined(SARVELLO_SANITIZE)
  // The sanitizers hold freed memory back in quarantine: resident memory says nothing here.
  const bool rssGrew = false;
#else
  const bool rssGrew = maxRss > baseRss + kAllowanceKiB;
#endif
  std::printf("after the warm-up: accounting %s, resident memory %ld KiB at most (%+ld KiB)\n",
              grew ? "CHANGED" : "unchanged", maxRss, maxRss - baseRss);
  if (!quit) std::printf("the plug-in failed to quit: %s\n", quitError.c_str());
  if (!clean) std::printf("left behind after quitting: %s\n", runner.outstanding().describe().c_str());
  if (stats.failedMessages > 0) {
    for (const std::string& line : diagnostics) std::printf("  %s\n", line.c_str());
  }
  return grew || rssGrew || !quit || !clean || stats.failedMessages > 0 ? 1 : 0;
}
