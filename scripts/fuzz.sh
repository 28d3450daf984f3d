#!/usr/bin/env bash
# The libFuzzer targets of fuzz/ (needs clang), built into build-fuzz/ (or
# $FUZZ_BUILD_DIR) with ASan/UBSan.
#
#   scripts/fuzz.sh smoke                      each target 20000 executions (ctest)
#   scripts/fuzz.sh run [SECONDS] [TARGET...]  each target SECONDS (default 600)
#
# run starts from fuzz/seeds/TARGET and fuzz/regressions/TARGET and keeps
# what it finds in build-fuzz/fuzz-corpus/TARGET; an input that fails is
# written to build-fuzz/fuzz-artifacts/ and ends that target's run (exit 1).
set -euo pipefail
cd "$(dirname "$0")/.."
DIR=${FUZZ_BUILD_DIR:-build-fuzz}
TARGETS=(quorcmd_reader socketcand_client quorbus_session candump_reader sdo_client sdo_server
         sdo_conversation eds_reader)

build() {
  CC=clang CXX=clang++ cmake -S . -B "$DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVANE_BUILD_GUI=OFF -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF \
    -DQUORVANE_FUZZ=ON >/dev/null
  ninja -C "$DIR" fuzz_all
}

case "${1:-}" in
  smoke)
    build
    ctest --test-dir "$DIR" -L fuzz_smoke --output-on-failure --no-tests=error
    ;;
  run)
    seconds=${2:-600}
    shift $(( $# < 2 ? $# : 2 ))
    targets=("$@")
    [ ${#targets[@]} -gt 0 ] || targets=("${TARGETS[@]}")
    build
    status=0
    for t in "${targets[@]}"; do
      inputs=("fuzz/seeds/$t")
      [ -d "fuzz/regressions/$t" ] && inputs+=("fuzz/regressions/$t")
      mkdir -p "$DIR/fuzz-corpus/$t" "$DIR/fuzz-artifacts"
      echo "== $t: $seconds s"
      if ! "$DIR/bin/fuzz_$t" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
          -artifact_prefix="$DIR/fuzz-artifacts/$t-" "$DIR/fuzz-corpus/$t" "${inputs[@]}" \
          >"$DIR/fuzz-$t.log" 2>&1; then
        status=1
        grep -E "check failed|ERROR|SUMMARY|Test unit written" "$DIR/fuzz-$t.log" || true
      fi
      grep -E "stat::number_of_executed_units|stat::new_units_added" "$DIR/fuzz-$t.log" || true
    done
    exit $status
    ;;
  *)
    sed -n 2,11p "$0"
    exit 2
    ;;
esac
