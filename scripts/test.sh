#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite without a display, in three
# stages:
#   1. the normal build and its tests (build/);
#   2. the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer
#      (build-asan/): any sanitizer report, leaks included, fails the stage;
#   3. the libFuzzer targets of fuzz/, built with clang (build-fuzz/), each run for
#      OSTRALINE_FUZZ_SECONDS seconds (default 5) from its committed seeds.
# Every stage runs even when an earlier one failed; any failure makes the script exit non-zero.
# The last lines are one CTest-style summary over all stages.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
fuzz_seconds=${OSTRALINE_FUZZ_SECONDS:-5}
started=$(date +%s)

export QT_QPA_PLATFORM=offscreen
# UBSan stops at its first report (the build also disables recovery); ASan checks for leaks at
# exit, with only the third-party leaks in scripts/lsan.supp left out.
export ASAN_OPTIONS=detect_leaks=1:strict_init_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0

total=0
failed=0
problems=()

# Runs ctest in a build directory with extra arguments and adds its counts to the totals.
# A stage whose test output (of passing tests too) shows a sanitizer report fails even when
# the tests passed: a report from a child process does not change the test's exit code.
run_ctest() {
    local stage=$1 dir=$2
    shift 2
    local log=$root/$dir/ctest-stage.log rc=0
    echo "=== $stage: tests"
    (cd "$dir" && ctest --output-on-failure -j"$jobs" "$@") 2>&1 | tee "$log" || rc=$?
    local line
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1 || true)
    if [[ $line =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
        failed=$((failed + BASH_REMATCH[1]))
        total=$((total + BASH_REMATCH[2]))
    else
        problems+=("$stage: no test summary")
    fi
    if grep -qE '^(==[0-9]+==ERROR: |SUMMARY: (Address|Undefined|Leak)Sanitizer|.*: runtime error: )' \
        "$log" "$dir/Testing/Temporary/LastTest.log"; then
        problems+=("$stage: sanitizer report in the test output")
    fi
    if ((rc != 0)); then
        problems+=("$stage: tests failed")
    fi
}

# The test programs of a configured build directory: the tests named after an executable
# target (a test that runs a program under another name, with other arguments, runs one of
# these).
test_programs() {
    local dir=$1 names targets keep=()
    names=$(cd "$dir" && ctest -N | sed -n 's/^ *Test *#[0-9]*: *//p')
    [ -n "$names" ] || return 1
    targets=$(ninja -C "$dir" -t targets all | sed -n 's/^\([A-Za-z0-9_]*\): phony$/\1/p')
    for name in $names; do
        if grep -qx "$name" <<<"$targets"; then keep+=("$name"); fi
    done
    echo "${keep[@]}"
}

stage_started=$started
stage_time() {
    local now
    now=$(date +%s)
    echo "=== $1: $((now - stage_started)) s"
    stage_started=$now
}

# Stage 1: the normal build (also installs the packages). No test runs the programs of bench/,
# so they are left out here to keep the suite short; `scripts/setup.sh build
# -DOSTRALINE_BENCH=ON` brings them back. The same optimisation as the default build, without
# debug information, which costs an eighth of the build time.
if scripts/setup.sh build -DOSTRALINE_BENCH=OFF -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG"; then
    run_ctest "normal" build
else
    problems+=("normal: build failed")
fi
stage_time "normal"

# The later stages compile through the cache too, where stage 1 installed it (see setup.sh).
if command -v ccache >/dev/null && [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR=$root
fi

# Stage 2: the sanitizer build of the test programs (clang compiles it faster than g++; the
# program itself, benchmarks and demos are left out, as no test runs them).
echo "=== sanitizer: build"
# A build directory configured with another compiler is started afresh.
if [ -f build-asan/CMakeCache.txt ] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang' build-asan/CMakeCache.txt; then
    rm -rf build-asan
fi
if cmake -S . -B build-asan -G Ninja -DOSTRALINE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_COMPILER=clang++ >/dev/null &&
    test_targets=$(test_programs build-asan) &&
    cmake --build build-asan -j"$jobs" --target $test_targets; then
    run_ctest "sanitizer" build-asan
else
    problems+=("sanitizer: build failed")
fi
stage_time "sanitizer"

# Stage 3: the fuzz targets (only the libraries they need are compiled).
echo "=== fuzz: build"
if cmake -S . -B build-fuzz -G Ninja -DOSTRALINE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTRALINE_FUZZ_SECONDS="$fuzz_seconds" >/dev/null &&
    cmake --build build-fuzz -j"$jobs" --target fuzzers; then
    run_ctest "fuzz" build-fuzz -L fuzz
else
    problems+=("fuzz: build failed")
fi
stage_time "fuzz"

echo
echo "=== all stages"
for p in "${problems[@]+"${problems[@]}"}"; do
    echo "FAILED: $p"
done
percent=100
((total == 0)) || percent=$((((total - failed) * 100 + total / 2) / total))
((total > 0)) || percent=0
((failed == 0 || percent < 100)) || percent=99
echo "$percent% tests passed, $failed tests failed out of $total"
echo
echo "Total Test time (real) = $(($(date +%s) - started)) sec"
((failed == 0 && ${#problems[@]} == 0))
