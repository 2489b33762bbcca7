#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time, one after the other.
#   scripts/run-fuzz.sh BUILD_DIR SECONDS [TARGET...]
# Each target starts from its seed corpus in tests/fuzz/corpus/TARGET; what it learns goes to
# BUILD_DIR/fuzz-corpus/TARGET, findings (the inputs that failed) to BUILD_DIR/findings/TARGET.
# A finding, once mended, is copied into tests/fuzz/corpus/TARGET, so that the tests replay it.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:?build folder}
seconds=${2:?seconds per target}
shift 2
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(svg pathdata session preferences resources pipeline http)

failed=()
printf '%-12s %12s %8s %8s  %s\n' target executions cov ft findings > "$build/fuzz-summary.txt"
for t in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$corpus" "$findings"
  log="$build/fuzz-$t.log"
  echo "== fuzz_$t for ${seconds}s"
  "$build/bin/fuzz_$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" "tests/fuzz/corpus/$t" >"$log" 2>&1
  status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
  found=$(find "$findings" -type f | wc -l)
  printf '%-12s %12s %8s %8s  %s\n' "$t" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$found" | tee -a "$build/fuzz-summary.txt"
  if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    failed+=("$t")
    tail -n 30 "$log"
  fi
done
echo
cat "$build/fuzz-summary.txt"
if [ ${#failed[@]} -ne 0 ]; then
  echo "findings in: ${failed[*]} (see $build/findings and the logs $build/fuzz-TARGET.log)" >&2
  exit 1
fi
