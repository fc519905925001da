#!/usr/bin/env bash
# Saves pictures of Travok's main window as it opens, docs/travok-sheet.png, of its
# About box, docs/travok-about.png, and of the main window at 100%, 150% and 200%
# scaling, docs/travok-sheet-<scale>.png, from an existing build: starts bin/Travok.exe through
# the build's wine-run on its private Xvfb, captures each window once it has settled,
# opens the About box through the main window's system command (bin/postcommand.exe,
# no mouse needed), and ends the program again.
#   scripts/screenshot.sh [BUILD_DIR]     (default: build/i686)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/i686}" 2>/dev/null && pwd) || { echo "screenshot: no build folder ${1:-build/i686}" >&2; exit 1; }
docs="$root/docs"
run="$build/wine-run"
exe="$build/bin/Travok.exe"
post="$build/bin/postcommand.exe"
xdir="$build/wineprefix.xvfb"
for f in "$run" "$exe" "$post"; do
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
# find_window CAPTION: sets window to the mapped X window of that caption that belongs
# to our own Travok.exe.
find_window() {
  local id
  for id in $(/usr/bin/xwininfo -display "$display" -root -tree | awk -v name="\"$1\":" 'index($0, " " name " ") { print $1 }'); do
    if /usr/bin/xprop -display "$display" -id "$id" _NET_WM_PID 2>/dev/null | grep -q "= $travok\$" &&
       /usr/bin/xwininfo -display "$display" -id "$id" | grep -q 'Map State: IsViewable'; then
      window=$id
      return 0
    fi
  done
  return 1
}

# Wine draws into its own buffer and copies it to the X server a little later: take
# pictures until two in a row are the same (as raw pixels: PNGs carry a time stamp).
capture() { /usr/bin/import -display "$display" -window "$window" "$1"; }
settled() {
  capture "$tmp/b.ppm"
  if cmp -s "$tmp/a.ppm" "$tmp/b.ppm"; then return 0; fi
  mv "$tmp/b.ppm" "$tmp/a.ppm"
  return 1
}
save() {  # save NAME: the current window, once settled, as docs/NAME
  capture "$tmp/a.ppm"
  sleep 0.2
  wait_for 10 settled || echo "screenshot: the window kept changing; saving the last picture" >&2
  mkdir -p "$docs"
  # No time stamps or other metadata, so the same window gives the same file.
  /usr/bin/convert "$tmp/a.ppm" -strip "$docs/$1"
  echo "screenshot: saved $docs/$1"
}
# post CAPTION COMMAND: posts WM_SYSCOMMAND to our dialog in X window $window.
post() {
  local answer
  answer=$("$run" "$post" "$1" "$2" "$window" 2>/dev/null | tr -d '\r')
  [ "$answer" = POSTED ] || { echo "screenshot: could not post to \"$1\": ${answer:-no answer}" >&2; return 1; }
}

window=""
wait_for 30 find_window Travok || { echo "screenshot: the Travok window did not show" >&2; exit 1; }
save travok-sheet.png

# The system menu's "About Travok..." entry sends command 0x10 (IDM_ABOUTBOX).
post Travok 0x10 || exit 1
window=""
wait_for 30 find_window "About Travok" || { echo "screenshot: the About box did not show" >&2; exit 1; }
save travok-about.png

# Close the About box the way its title bar would; the program is ended below anyway.
about=$window
post "About Travok" 0xF060 || true
about_gone() { ! /usr/bin/xwininfo -display "$display" -id "$about" 2>/dev/null | grep -q 'Map State: IsViewable'; }
wait_for 10 about_gone || echo "screenshot: the About box did not close" >&2

# The main window at 100%, 150% and 200% scaling: the prefix's LogPixels, which a program
# reads as it starts, set for each picture and put back afterwards.
desktop='HKCU\Control Panel\Desktop'
logpixels_before=$("$run" reg query "$desktop" /v LogPixels 2>/dev/null | tr -d '\r' | awk '$1 == "LogPixels" { print $3 }' || true)
restore_logpixels() {
  if [ -n "$logpixels_before" ]; then
    "$run" reg add "$desktop" /v LogPixels /t REG_DWORD /d "$((logpixels_before))" /f >/dev/null 2>&1
  else
    "$run" reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1
  fi
}
trap 'restore_logpixels; finish' EXIT
for scale in 100 150 200; do
  kill "$travok" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  travok=""
  "$run" reg add "$desktop" /v LogPixels /t REG_DWORD /d $((96 * scale / 100)) /f >/dev/null 2>&1
  "$run" "$exe" >/dev/null 2>&1 &
  runner=$!
  wait_for 30 find_travok || { echo "screenshot: Travok.exe did not start at $scale%" >&2; exit 1; }
  window=""
  wait_for 30 find_window Travok || { echo "screenshot: the Travok window did not show at $scale%" >&2; exit 1; }
  save "travok-sheet-$scale.png"
done
