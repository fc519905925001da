#!/usr/bin/env bash
# Names the builds a make target works on, one per line: i686 (the shipped one) and
# x86_64, or the one ARCH asks for.
#   scripts/builds.sh run  [ARCH]   builds this host can run, each to be built and run
#   scripts/builds.sh make [ARCH]   builds to be made only (make dist): every one
# A host that runs no 32-bit code cannot start Wine's 32-bit loader, and so no i686
# program: there `run` leaves i686 out and says so in one line, and fails at once when
# ARCH=i686 asks for it.
set -u
mode=${1:-run}
arch=${2:-}
all=(i686 x86_64)

case "$arch" in
  "") wanted=("${all[@]}") ;;
  i686|x86_64) wanted=("$arch") ;;
  *) echo "ARCH=$arch is not a build: choose ARCH=i686 or ARCH=x86_64, or leave it out for both" >&2; exit 2 ;;
esac

if [ "$mode" = make ]; then
  printf '%s\n' "${wanted[@]}"
  exit 0
fi

# What this host lacks to run i686 programs, or nothing when it can run them.
lacks_for_i686() {
  local loader=/usr/lib/wine/wine answer
  if [ ! -x "$loader" ]; then
    echo "this host has no Wine 32-bit loader ($loader, from wine32:i386)"
    return
  fi
  answer=$("$loader" --version 2>&1) && return
  case "$answer" in
    *"Exec format error"*) echo "this host runs no 32-bit code (IA-32 emulation is off), so Wine's 32-bit loader cannot start" ;;
    *) echo "Wine's 32-bit loader does not start here (${answer##*$'\n'})" ;;
  esac
}

lacks=$(lacks_for_i686)
if [ -z "$lacks" ]; then
  printf '%s\n' "${wanted[@]}"
elif [ "$arch" = i686 ]; then
  echo "ARCH=i686 cannot run: $lacks. ARCH=x86_64 can." >&2
  exit 1
else
  [ -z "$arch" ] && echo "Only the 64-bit build (x86_64) is built and run, not the 32-bit one: $lacks." >&2
  echo x86_64
fi
