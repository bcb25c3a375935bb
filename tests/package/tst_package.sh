#!/usr/bin/env bash
# Builds the Debian package from a built tree and tries it as an operator would: checks its
# control data and file list, runs the validators and lintian, unpacks it into a scratch root
# and starts the unpacked program there, once with --version and once on a device file
# against a loopback snmpd with both logs switched on, as a user who cannot write to the
# program's folder. The logs must then appear in that user's data folder.
#
# Usage: tst_package.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1
source=$2
version=$3

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tst_package.XXXXXX")
chmod 755 "$scratch"
app_pid=""
xvfb_pid=""
cleanup() {
    [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    "$source/scripts/demo-agent.sh" stop "$scratch/agent" >/dev/null 2>&1 || true
    rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() {
    echo "--- $* ($SECONDS s)"
}

for tool in cpack dpkg-deb dpkg lintian appstreamcli desktop-file-validate Xvfb xdotool setpriv; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup.sh installs it)"
done

step "cpack"
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    fail "cpack failed"
fi
deb=$scratch/out/ostraline_${version}_amd64.deb
[ -f "$deb" ] || fail "no ostraline_${version}_amd64.deb; made: $(ls "$scratch/out")"

step "control data"
dpkg-deb -I "$deb"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = ostraline ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = net ] || fail "Section: $(field Section)"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
[[ ",$(field Recommends)," =~ ,\ ?snmpd[,\ ] ]] || fail "Recommends: $(field Recommends)"
depends=$(field Depends)
# Computed from the linked libraries: Qt Widgets, net-snmp and the C++ runtime at least; and
# the Wayland platform plugin, which no library pulls in.
for library in libqt6widgets6 'libsnmp[0-9]+' 'libstdc\+\+6' libc6 qt6-wayland; do
    [[ "$depends" =~ (^|,\ )$library( |,|$) ]] || fail "Depends lacks $library: $depends"
done
description=$(field Description)
[ "$(printf '%s\n' "$description" | wc -l)" -ge 3 ] || fail "no extended description: $description"

step "file list"
dpkg-deb -c "$deb" >"$scratch/contents"
cat "$scratch/contents"
# Only the product: exactly these regular files, all owned by root.
expected="./usr/bin/ostraline
./usr/share/applications/ostraline.desktop
./usr/share/doc/ostraline/changelog.gz
./usr/share/doc/ostraline/copyright
./usr/share/icons/hicolor/scalable/apps/ostraline.svg
./usr/share/man/man1/ostraline.1.gz
./usr/share/metainfo/example.kelvane.ostraline.metainfo.xml"
actual=$(awk '$1 ~ /^-/ {print $6}' "$scratch/contents" | sort)
[ "$actual" = "$expected" ] || fail "files differ from the product's:
$(diff <(echo "$expected") <(echo "$actual") || true)"
! awk '$2 != "root/root"' "$scratch/contents" | grep -q . || fail "entries not owned by root"

step "unpack"
dpkg -x "$deb" "$scratch/root"
exe=$scratch/root/usr/bin/ostraline
# A private runtime folder, so that no other running copy's single-instance mark interferes.
mkdir -m 700 "$scratch/runtime"
printed=$(XDG_RUNTIME_DIR=$scratch/runtime "$exe" --version)
[ "$printed" = "Ostraline $version" ] || fail "--version printed: $printed"
desktop-file-validate "$scratch/root/usr/share/applications/ostraline.desktop"
metainfo=$scratch/root/usr/share/metainfo/example.kelvane.ostraline.metainfo.xml
# No network: the screenshot address is not fetched.
appstreamcli validate --no-net "$metainfo"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo release is not $version"
for option in discover help version; do
    zcat "$scratch/root/usr/share/man/man1/ostraline.1.gz" | grep -qF "\\-\\-$option" ||
        fail "the manual page lacks --$option"
done

step "lintian"
lintian --fail-on error --display-info --tag-display-limit 0 "$deb"

step "loopback agent"
mkdir -m 755 "$scratch/agent"
# The unpacked program itself discovers the agent's interfaces for the device file.
device=$(OSTRALINE_EXECUTABLE=$exe "$source/scripts/demo-agent.sh" start "$scratch/agent")
chmod 644 "$device"

step "operator's run"
# An operator with a fresh home; the superuser cannot be kept out of a folder by its
# permissions, so as root the program runs as "nobody", for whom the unpacked (root-owned)
# bin folder is read-only, just like /usr/bin.
home=$scratch/home
mkdir -p "$home/.config/Kelvane"
printf '[General]\nWrite%%20util%%20log=yes\nWrite%%20analysis%%20log=yes\n' \
    >"$home/.config/Kelvane/OSL.ini"
as_operator=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody:nogroup "$home" "$scratch/runtime"
    as_operator=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    chmod a-w "$scratch/root/usr/bin"
fi
chmod 700 "$scratch/runtime"

exec 3>"$scratch/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for ((i = 0; i < 100; i++)); do
    [ -s "$scratch/display" ] && break
    sleep 0.1
done
display=:$(head -n 1 "$scratch/display")
[ "$display" != ":" ] || fail "Xvfb did not start: $(cat "$scratch/xvfb.log")"

start_program() {
    "${as_operator[@]}" env -i PATH=/usr/bin:/bin HOME="$home" DISPLAY="$display" \
        QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$scratch/runtime" LC_ALL=C.UTF-8 \
        "$exe" "$device" >"$scratch/app.log" 2>&1 &
    app_pid=$!
}
start_program
# A display refused once while the machine is loaded with other display tests gets one more
# start; a second refusal fails the test.
restarted=no

# "Start polling" is pressed through its accelerator once the splash has closed; the first
# poll runs at once and writes both logs.
logs=$home/.local/share/Kelvane/OSL
day=$(date +%Y%m%d)
utilisation=$logs/${day}_$(basename "$device")_utilisation.csv
analysis=$logs/${day}_$(basename "$device")_analysis.csv
for ((i = 0; i < 30; i++)); do
    [ -s "$utilisation" ] && [ -s "$analysis" ] && break
    if ! kill -0 "$app_pid" 2>/dev/null; then
        if [ "$restarted" = no ] && grep -q 'cannot open the window' "$scratch/app.log"; then
            echo "display refused once, starting again: $(cat "$scratch/app.log")"
            restarted=yes
            start_program
            continue
        fi
        fail "the program ended: $(cat "$scratch/app.log")"
    fi
    window=$(DISPLAY=$display xdotool search --name '^Ostraline by Kelvane$' 2>/dev/null | head -n 1 || true)
    # Keys go to the main window only once the modal splash ("Ostraline") has closed.
    splash=$(DISPLAY=$display xdotool search --onlyvisible --name '^Ostraline$' 2>/dev/null | head -n 1 || true)
    if [ -n "$window" ] && [ -z "$splash" ]; then
        DISPLAY=$display xdotool windowfocus "$window" key alt+s 2>/dev/null || true
    fi
    sleep 0.5
done
[ -s "$utilisation" ] || fail "no utilisation log in $logs: $(ls -la "$logs" 2>&1); $(cat "$scratch/app.log")"
[ -s "$analysis" ] || fail "no analysis log in $logs"
head -c 300 "$utilisation"
echo
address=$(head -n 1 "$device" | cut -d';' -f1)
[ "$(wc -l <"$utilisation")" -ge 2 ] && sed -n 2p "$utilisation" | grep -qF "; $address; " ||
    fail "no data line for the agent at $address"
[ "$(stat -c %a "$logs")" = 700 ] || fail "log folder mode $(stat -c %a "$logs")"
! ls "$scratch/root/usr/bin" | grep -q '\.csv$' || fail "a log landed in the program's folder"
echo "PASS ($SECONDS s)"
