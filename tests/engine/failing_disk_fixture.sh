#!/usr/bin/env bash
# Serves a test disk through scripts/failing-disk for the engine's Wine
# test: start IMAGE MOUNTPOINT [failing-disk options] / stop MOUNTPOINT.
# Without FUSE this fails and says why: the test needs a disk that hangs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
case $1 in
  start)
    image=$2 mnt=$3
    shift 3
    [ -e /dev/fuse ] || { echo "FUSE is missing (no /dev/fuse): the failing disk cannot be served" >&2; exit 1; }
    /usr/bin/python3 -c "import fusepy" 2>/dev/null || /usr/bin/python3 -c "import fuse" 2>/dev/null ||
      { echo "python3-fusepy is missing: the failing disk cannot be served" >&2; exit 1; }
    if mountpoint -q "$mnt"; then fusermount -u "$mnt"; fi
    mkdir -p "$mnt"
    nohup "$root/scripts/failing-disk" "$image" "$mnt" "$@" >"$mnt.log" 2>&1 &
    for _ in $(seq 100); do
      [ -e "$mnt/disk.img" ] && exit 0
      sleep 0.1
    done
    echo "the failing disk did not come up:" >&2
    cat "$mnt.log" >&2
    exit 1
    ;;
  stop)
    mnt=$2
    if mountpoint -q "$mnt"; then fusermount -u "$mnt"; fi
    ;;
esac
