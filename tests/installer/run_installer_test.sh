#!/usr/bin/env bash
# Runs the setup's test driver in a Wine prefix made fresh for it under
# WORKDIR, so the installs never touch the prefix the other tests share.
# Screenshots of the setup's pages are left in WORKDIR/screenshots.
# Usage: run_installer_test.sh WORKDIR DRIVER.exe SETUP.exe PROGRAM.exe HELP.chm ICON.png ENGINEDIR DECODERSDIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$1 driver=$2 setup=$3 program=$4 help=$5 icon=$6 engine=$7 decoders=$8
source "$root/scripts/lib/wine.sh"

"$root/tests/endtoend/make_card.sh" "$work/card"
rm -rf "$work/screenshots"

winpath() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }
export QV_SETUP=$(winpath "$setup")
export QV_BUILT_PROGRAM=$(winpath "$program")
export QV_BUILT_HELP=$(winpath "$help")
export QV_BUILT_ICON=$(winpath "$icon")
export QV_BUILT_ENGINE=$(winpath "$engine")
export QV_BUILT_DECODERS=$(winpath "$decoders")
export QV_CARD=$(winpath "$work/card")
export QV_SHOTS=$(winpath "$work")\\screenshots

export WINEPREFIX="$work/wine"
rm -rf "$WINEPREFIX"
trap 'stop_screenshot_server; stop_wine_prefix' EXIT
started=$(date +%s)
start_wine_prefix
echo "Fresh Wine prefix: $(( $(date +%s) - started )) s"
start_screenshot_server "$work/screenshots"
status=0
wine "$driver" || status=$?
echo "Screenshots: $work/screenshots"
exit "$status"
