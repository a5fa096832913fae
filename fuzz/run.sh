#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs each for a bounded time.
#   fuzz/run.sh [SECONDS] [TARGET...]     default 60 s each, every target; at most 4 run at once
# A finding leaves its input in build/fuzz/artifacts/<target>/ and makes the script fail; replay it
# with build/fuzz/bin/fuzz_<target> <file>. Inputs that add coverage collect in build/fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
all=(xml_tree read_tree packet_text monitor_command archive_answers search_answers)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
parallel=${TIVRON_FUZZ_JOBS:-4}
[ "$parallel" -le 4 ] || parallel=4

scripts/install-deps.sh
build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIVRON_FUZZ=ON \
  -DTIVRON_TESTS=OFF -DTIVRON_BENCH=OFF -DTIVRON_SANITIZE=OFF >/dev/null
if ! cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}" >"$build/build.log" 2>&1; then
  tail -n 60 "$build/build.log" >&2
  exit 1
fi

export QT_QPA_PLATFORM=offscreen
export TIVRON_DATA_DIR=$PWD/data
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# Where each target reads its seeds from, its dictionary and its input size bound.
seeds_of() {
  case $1 in
    xml_tree) for d in data tests/*/fixtures; do [ -d "$d" ] && echo "$d"; done ;;
    *) echo "fuzz/seeds/$1" ;;
  esac
}
options_of() {
  case $1 in
    xml_tree) echo -dict=fuzz/xml_tree.dict -max_len=65536 ;;
    read_tree) echo -max_len=8192 ;;
    packet_text) echo -dict=fuzz/packet_text.dict -max_len=64 ;;
    monitor_command) echo -dict=fuzz/packet_text.dict -max_len=128 ;;
    archive_answers) echo -max_len=386 ;;
    search_answers) echo -max_len=1200 ;;
  esac
}

run_one() {
  local t=$1 corpus=$build/corpus/$1 artifacts=$build/artifacts/$1/ log=$build/logs/$1.log
  mkdir -p "$corpus" "$artifacts" "$build/logs"
  # shellcheck disable=SC2046
  "$build/bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts" $(options_of "$t") "$corpus" $(seeds_of "$t") >"$log" 2>&1
}

declare -A pid_of
failed=()
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  echo "fuzz: $t for ${seconds} s"
  run_one "$t" &
  pid_of[$t]=$!
done
for t in "${targets[@]}"; do
  if wait "${pid_of[$t]}"; then
    stats=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$build/logs/$t.log" | tail -1 || true)
    runs=$(sed -E 's/^#([0-9]+).*/\1/' <<<"$stats")
    corpus=$(grep -oE 'corp: [^ ]+' <<<"$stats" | cut -d' ' -f2)
    rate=$(grep -E '^stat::average_exec_per_sec' "$build/logs/$t.log" | awk '{print $2}' || true)
    echo "fuzz: $t clean: ${runs:-?} runs, ${rate:-?} exec/s, corpus ${corpus:-?} (units/size)"
  else
    failed+=("$t")
    echo "fuzz: $t FAILED, log $build/logs/$t.log:" >&2
    tail -n 60 "$build/logs/$t.log" >&2
  fi
done
[ ${#failed[@]} -eq 0 ] || { echo "fuzz: findings in ${failed[*]}" >&2; exit 1; }
