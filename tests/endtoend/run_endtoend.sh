#!/usr/bin/env bash
# Makes the memory-card image on the Linux side, then runs the Windows
# driver that works the real program and the real engine over it.
# Usage: run_endtoend.sh WORKDIR DRIVER.exe PROGRAM.exe ICON.png ENGINEDIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$1 driver=$2 program=$3 icon=$4 engine=$5

"$here/make_card.sh" "$work/card"

winpath() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }
export QV_E2E_CARD=$(winpath "$work/card")
export QV_E2E_PROGRAM=$(winpath "$program")
export QV_E2E_ICON=$(winpath "$icon")
export QV_E2E_ENGINE=$(winpath "$engine")
exec "$root/scripts/wine-run" "$driver"
