#!/usr/bin/env bash
# Runs a command with N CPU-bound processes beside it, as on a machine that other work
# keeps busy, and stops them when the command ends, however it ends.
#   scripts/busy.sh N COMMAND [ARGS...]
# N of 0 (or empty) runs the command alone.
set -u
count=${1:-0}
shift
case "$count" in
  ''|*[!0-9]*) echo "BUSY=$count is not a count of processes: give BUSY=2, say" >&2; exit 2 ;;
esac

burners=()
stop() {
  [ ${#burners[@]} -gt 0 ] && kill "${burners[@]}" 2>/dev/null
  burners=()
}
trap stop EXIT
trap 'stop; exit 130' INT
trap 'stop; exit 143' TERM

if [ "$count" -gt 0 ]; then
  echo "busy: $count CPU-bound processes run beside this" >&2
  for _ in $(seq "$count"); do
    # Each one also ends by itself once this script has gone, even if it was killed.
    sh -c 'while kill -0 "$1" 2>/dev/null; do i=0; while [ $i -lt 20000 ]; do i=$((i+1)); done; done' \
      busy "$$" </dev/null >/dev/null 2>&1 &
    burners+=($!)
  done
fi

"$@"
