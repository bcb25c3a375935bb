#!/usr/bin/env bash
# The run command on a fresh clone builds only the program it runs (the demo runs it for its
# discovery too), not the tests, benchmarks and pictures. Run on a copy of the two scripts
# with a stand-in cmake that records how it is called and "builds" a program that says how it
# was started, and a dpkg-query that finds every package installed: nothing is installed or
# built for real. Usage: tst_runbuild.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/ostraline-runbuild.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/clone/scripts" "$work/bin"
cp "$source_dir/scripts/run.sh" "$source_dir/scripts/setup.sh" "$work/clone/scripts/"

cat >"$work/bin/cmake" <<'STUB'
#!/bin/sh
printf '%s\n' "$*" >>"$CMAKE_CALLS"
case " $* " in
*" --build "*)
    mkdir -p build/src/app
    printf '#!/bin/sh\necho "ostraline started with: $*"\n' >build/src/app/ostraline
    chmod +x build/src/app/ostraline
    ;;
esac
STUB
printf '#!/bin/sh\nprintf "install ok installed"\n' >"$work/bin/dpkg-query"
chmod +x "$work/bin/cmake" "$work/bin/dpkg-query"

output=$(cd "$work/clone" && PATH="$work/bin:$PATH" CMAKE_CALLS="$work/calls" \
    scripts/run.sh routers.dev)
fail() {
    echo "FAIL: $1" >&2
    echo "cmake was called with:" >&2
    cat "$work/calls" >&2
    exit 1
}
build=$(grep -- '--build' "$work/calls") || fail "no build"
[ "$(grep -c -- '--build' "$work/calls")" -eq 1 ] || fail "more than one build"
case " $build " in
*" --target ostraline "*) ;;
*) fail "the build is not limited to the program" ;;
esac
[ "$(grep -o -- '--target' <<<"$build" | wc -l)" -eq 1 ] || fail "more targets than the program"
[ "$output" = "ostraline started with: routers.dev" ] || fail "the program was not run: $output"
echo "PASS: run.sh builds only ostraline and runs it"
