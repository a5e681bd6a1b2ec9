#!/usr/bin/env bash
# Builds the libFuzzer targets with Clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs each of them for the
# given number of seconds (default 60), one after the other:
#
#   bash scripts/fuzz.sh            every target, 60 s each
#   bash scripts/fuzz.sh 300        every target, 5 minutes each
#   bash scripts/fuzz.sh 60 fuzz_json fuzz_sitemap
#
# Each target starts from its seed corpus in fuzz/corpus/<target>/, with the
# tokens of its input format from fuzz/dict/<target>.dict, and keeps what it
# finds new in build-fuzz/corpus/<target>/ (the seeds stay as they are). A fault stops that target: libFuzzer writes the input to
# build-fuzz/findings/<target>/ and the script goes on with the next one and
# ends with a failure. Copy such an input into fuzz/corpus/<target>/ once it
# is fixed, and add a regular test that shows the fault.
#
# The last line of each run's log (build-fuzz/logs/<target>.log) holds the
# figures: executions per second ("exec/s") and the coverage reached
# ("cov:" edges, "ft:" features).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
all_targets=(fuzz_json fuzz_settings_file fuzz_text_import fuzz_sitemap fuzz_listener_request fuzz_saved_state)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

bash scripts/install-fuzz-deps.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DVELTRANO_BUILD_FUZZ=ON -DVELTRANO_BUILD_TESTS=OFF
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for target in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$target" "build-fuzz/findings/$target" build-fuzz/logs
  dict=()
  [ -f "fuzz/dict/$target.dict" ] && dict=(-dict="fuzz/dict/$target.dict")
  echo "== $target: ${seconds}s"
  if build-fuzz/bin/"$target" "build-fuzz/corpus/$target" "fuzz/corpus/$target" "${dict[@]}" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/findings/$target/" >"build-fuzz/logs/$target.log" 2>&1; then
    grep -E "^#[0-9]+.*(DONE|pulse)" "build-fuzz/logs/$target.log" | tail -1
    grep -E "stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)" "build-fuzz/logs/$target.log"
  else
    echo "!! $target found a fault; see build-fuzz/logs/$target.log and build-fuzz/findings/$target/"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Faults found by: ${failed[*]}"
  exit 1
fi
echo "No faults found."
