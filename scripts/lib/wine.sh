# Shared steps for everything that runs Windows programs under Wine here.
# Source it; it defines functions only.

# The packages a fresh Debian 12 machine needs for building, testing and the
# demonstration. fonts-wine is only a Recommends of wine, but without it
# dialogs lay out larger and caption buttons show letters.
QUORVANE_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb xauth
  x11-utils cmake ninja-build googletest imagemagick fp-utils dosfstools mtools
  clang libclang-rt-14-dev python3 nsis libjpeg-turbo-progs ntfs-3g exfatprogs exfat-fuse fdisk
  libheif-examples libavif-bin webp meson nasm dpkg-dev python3-fusepy)

install_packages() {
  local missing=()
  for p in "${QUORVANE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Starts a virtual X display on a free number and exports DISPLAY.
# The first free display from $1 (default 97). Two runs starting at once may
# both find the same number free: the one whose Xvfb loses it (its server
# quits, or the lock names another) takes the next.
start_virtual_display() {
  local n=${1:-97} tries
  for tries in $(seq 20); do
    while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
    Xvfb :$n -screen 0 "${QUORVANE_SCREEN:-1280x1024}x24" -nolisten tcp >/dev/null 2>&1 &
    QUORVANE_XVFB_PID=$!
    for _ in $(seq 50); do
      kill -0 "$QUORVANE_XVFB_PID" 2>/dev/null || break
      if [ -e /tmp/.X11-unix/X$n ] &&
        [ "$(tr -d ' \n' </tmp/.X$n-lock 2>/dev/null)" = "$QUORVANE_XVFB_PID" ]; then
        export DISPLAY=:$n
        return 0
      fi
      sleep 0.1
    done
    kill "$QUORVANE_XVFB_PID" 2>/dev/null || true
    n=$((n + 1))
  done
  QUORVANE_XVFB_PID=
  echo "Xvfb did not start" >&2
  return 1
}

stop_virtual_display() {
  [ -n "${QUORVANE_XVFB_PID:-}" ] && kill "$QUORVANE_XVFB_PID" 2>/dev/null || true
  QUORVANE_XVFB_PID=
}

# Creates (first use) and starts the private prefix in $WINEPREFIX.
# The display must be up first. stdin and stdout of wineboot go to /dev/null,
# or the services it starts keep the caller's output pipe open.
start_wine_prefix() {
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  export USER=${USER:-root}
  mkdir -p "$WINEPREFIX"
  wineserver -p
  wineboot -i </dev/null >/dev/null 2>&1
  # Without a window manager Wine draws no caption unless it manages the
  # windows itself; this also removes a 2 s wait whenever a window is hidden.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  # Wine draws the caption buttons with Marlett; this Wine does not find the
  # copy that fonts-wine installs, and shows letters instead of the symbols.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ ! -f "$fonts/marlett.ttf" ]; then
    mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
  fi
}

stop_wine_prefix() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# Screenshots on request of a Windows program: for each NAME.want that
# appears in the folder, the screen is saved as NAME.png and the request
# removed. A request may hold a crop geometry (WxH+X+Y); write it under
# another name and rename it, so it is never read half-written.
start_screenshot_server() {
  local dir=$1
  mkdir -p "$dir"
  (
    while :; do
      for want in "$dir"/*.want; do
        [ -e "$want" ] || continue
        crop=$(tr -d '\r\n' <"$want")
        import -window root ${crop:+-crop "$crop"} "${want%.want}.png" 2>/dev/null || true
        rm -f "$want"
      done
      sleep 0.05
    done
  ) &
  QUORVANE_SHOOTER_PID=$!
}

stop_screenshot_server() {
  [ -n "${QUORVANE_SHOOTER_PID:-}" ] && kill "$QUORVANE_SHOOTER_PID" 2>/dev/null || true
  QUORVANE_SHOOTER_PID=
}
