#!/usr/bin/env bash
# Saves a picture of Travok's main window as it opens, docs/travok-sheet.png, from an
# existing build: starts bin/Travok.exe through the build's wine-run on its private
# Xvfb, captures the window once it has settled, and ends the program again.
#   scripts/screenshot.sh [BUILD_DIR]     (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" 2>/dev/null && pwd) || { echo "screenshot: no build folder ${1:-build}" >&2; exit 1; }
out="$root/docs/travok-sheet.png"
run="$build/wine-run"
exe="$build/bin/Travok.exe"
xdir="$build/wineprefix.xvfb"
for f in "$run" "$exe"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "screenshot: $f is missing; build first (make build)" >&2; exit 1; }
done
for tool in /usr/bin/import /usr/bin/xwininfo /usr/bin/xprop; do
  [ -x "$tool" ] || { echo "screenshot: $tool is missing (imagemagick, x11-utils)" >&2; exit 1; }
done

# The picture must come from the private Xvfb, never from the user's own display.
unset TRAVOK_DISPLAY TRAVOK_WINEPREFIX
"$run" --init-prefix

# Stop the Xvfb and the prefix's Wine processes afterwards only when nothing else (a
# test run) had them going before us.
xvfb_was_running=0
if [ -s "$xdir/pid" ] && kill -0 "$(cat "$xdir/pid")" 2>/dev/null; then xvfb_was_running=1; fi

tmp=$(mktemp -d)
runner=""
travok=""
finish() {
  if [ -n "$travok" ]; then kill "$travok" 2>/dev/null || true; fi
  if [ -n "$runner" ]; then wait "$runner" 2>/dev/null || true; fi
  if [ "$xvfb_was_running" = 0 ]; then "$run" --shutdown; fi
  rm -rf "$tmp"
}
trap finish EXIT

"$run" "$exe" >/dev/null 2>&1 &
runner=$!

# Wait for our own process (the Wine process that wine-run starts for Travok.exe),
# then for its window "Travok": tests running in the same prefix may show theirs.
wait_for() {  # wait_for SECONDS COMMAND...: retries COMMAND every 0.1 s
  local tries=$(($1 * 10)); shift
  for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
  return 1
}
find_travok() { travok=$(pgrep -P "$runner" -x Travok.exe | head -n1); [ -n "$travok" ]; }
wait_for 30 find_travok || { echo "screenshot: Travok.exe did not start" >&2; exit 1; }

display=":$(head -n1 "$xdir/display")"
find_window() {
  local id
  for id in $(/usr/bin/xwininfo -display "$display" -root -tree | awk '$2 == "\"Travok\":" { print $1 }'); do
    if /usr/bin/xprop -display "$display" -id "$id" _NET_WM_PID 2>/dev/null | grep -q "= $travok\$" &&
       /usr/bin/xwininfo -display "$display" -id "$id" | grep -q 'Map State: IsViewable'; then
      window=$id
      return 0
    fi
  done
  return 1
}
window=""
wait_for 30 find_window || { echo "screenshot: the Travok window did not show" >&2; exit 1; }

# Wine draws into its own buffer and copies it to the X server a little later: take
# pictures until two in a row are the same (as raw pixels: PNGs carry a time stamp).
capture() { /usr/bin/import -display "$display" -window "$window" "$1"; }
capture "$tmp/a.ppm"
settled() {
  capture "$tmp/b.ppm"
  if cmp -s "$tmp/a.ppm" "$tmp/b.ppm"; then return 0; fi
  mv "$tmp/b.ppm" "$tmp/a.ppm"
  return 1
}
sleep 0.2
wait_for 10 settled || echo "screenshot: the window kept changing; saving the last picture" >&2

mkdir -p "$(dirname "$out")"
# No time stamps or other metadata, so the same window gives the same file.
/usr/bin/convert "$tmp/a.ppm" -strip "$out"
echo "screenshot: saved $out"
