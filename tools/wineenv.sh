#!/usr/bin/env bash
# The Windows environment every test, benchmark and hand run uses: a private
# Wine prefix, one Xvfb display (1920x1080x24) and one PulseAudio daemon with a
# null sink. Nothing here touches the caller's own display, sound or prefix.
#
#   wineenv.sh arch                  print the architecture whose programs run
#                                    here: i686, or x86_64 on a kernel that
#                                    cannot run 32-bit programs
#   wineenv.sh start STATE_DIR [win32|win64]
#                                    create the prefix once, start the services
#   wineenv.sh stop STATE_DIR        stop them (by process id)
#   wineenv.sh exec STATE_DIR PROG [ARGS...]
#                                    run a Windows program in the environment
#   wineenv.sh screenshot STATE_DIR OUT.png
#                                    save the display as a PNG picture
#   wineenv.sh shell STATE_DIR CMD [ARGS...]
#                                    run a host command with the environment set
#
# STATE_DIR holds the prefix (STATE_DIR/prefix-ARCH), the process ids and env.sh.
# WINEENV_LOGPIXELS=N given to start sets the screen resolution (dots per inch)
# that Wine reports to the programs started afterwards (the user's
# "Control Panel\Desktop" LogPixels value, read when a program starts).
set -euo pipefail

usage() { sed -n '2,24p' "$0" >&2; exit 2; }

# Runs the Wine loader as write_env says (WINEENV_LAUNCH).
wine_run() {
  # shellcheck disable=SC2086 # the launcher is a command and its arguments
  ${WINEENV_LAUNCH:-} "$WINELOADER" "$@"
}

cmd=${1:-}
if [ "$cmd" = arch ]; then
  # The same decision as the install's (tools/arch.sh).
  exec bash "$(dirname "$0")/arch.sh"
fi
state=${2:-}
[ -n "$cmd" ] && [ -n "$state" ] || usage
shift 2
mkdir -p "$state"
state=$(cd "$state" && pwd)
log="$state/services.log"

# The program's users run Windows with code page 932.
locale_env() {
  if locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    echo "export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8"
  fi
}

start_xvfb() {
  # WINEENV_DISPLAY names a display to use instead of a private Xvfb.
  if [ -n "${WINEENV_DISPLAY:-}" ]; then
    echo "$WINEENV_DISPLAY" >"$state/display"
    rm -f "$state/xvfb.pid"
    return 0
  fi
  local fifo="$state/displayfd"
  rm -f "$fifo"; mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset \
    3>"$fifo" </dev/null >>"$log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  local num
  read -r -t 20 num <"$fifo" || { echo "Xvfb did not start" >&2; exit 1; }
  rm -f "$fifo"
  echo ":$num" >"$state/display"
}

start_pulse() {
  local rt="$state/pulse"
  rm -rf "$rt"; mkdir -p "$rt"
  # As root PulseAudio needs to be told this is not a system-wide daemon.
  PULSE_RUNTIME_PATH="$rt" PULSE_STATE_PATH="$rt" HOME="$state" \
    pulseaudio --daemonize=yes --exit-idle-time=-1 -n --use-pid-file=yes \
      --disallow-exit=no --log-target=stderr \
      --load="module-native-protocol-unix auth-anonymous=1 socket=$rt/native" \
      --load="module-null-sink sink_name=tavrel_null" \
      --load="module-always-sink" </dev/null >>"$log" 2>&1 || true
  local i
  for i in $(seq 1 50); do
    [ -S "$rt/native" ] && [ -s "$rt/pid" ] && break
    sleep 0.1
  done
  [ -s "$rt/pid" ] || { echo "PulseAudio did not start (see $log)" >&2; exit 1; }
  cp "$rt/pid" "$state/pulse.pid"
  PULSE_SERVER="unix:$rt/native" pactl set-default-sink tavrel_null >>"$log" 2>&1 || true
}

write_env() {
  local arch=$1 loader=/usr/lib/wine/wine
  [ "$arch" = win64 ] && loader=/usr/lib/wine/wine64
  # Debian's Wine has no preloader to keep the low address space free before
  # it starts. With address-space randomisation the loader's heap starts
  # anywhere in about a gigabyte above the loader (0x7d000000), and now and
  # then over 0x7ffe0000, where Wine must map the shared user data: the
  # program then ends at once with exit status 1 and, Wine's messages off,
  # says nothing ("failed to map the shared user data: c0000018"), about
  # one start in several thousand. Programs here start with randomisation
  # off (the programs they start inherit it), so that heap lies just past
  # the loader, far below.
  local launch=""
  if setarch "$(uname -m)" -R true >/dev/null 2>&1; then launch="setarch $(uname -m) -R"; fi
  {
    echo "export WINEPREFIX='$state/prefix-$arch'"
    echo "export WINEARCH=$arch"
    echo "export WINELOADER=$loader"
    echo "export WINEENV_LAUNCH='$launch'"
    # Wine's own messages stay off, but for the failures of its loader: a
    # program that cannot be started or loaded then says why instead of
    # ending with a bare exit status.
    echo "export WINEDEBUG=-all,err+module,err+process,err+virtual"
    echo "export WINEDLLOVERRIDES='mscoree=;mshtml=;winemenubuilder.exe=d'"
    echo "export DISPLAY='$(cat "$state/display")'"
    echo "export PULSE_SERVER='unix:$state/pulse/native'"
    echo "export PULSE_RUNTIME_PATH='$state/pulse'"
    locale_env
  } >"$state/env.sh"
}

start_wine() {
  # shellcheck disable=SC1091
  . "$state/env.sh"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine_run wineboot -i </dev/null >>"$log" 2>&1 || true
    wineserver -w </dev/null >>"$log" 2>&1 || true
    # A crashing program ends at once instead of waiting on the crash dialog.
    wine_run reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      </dev/null >>"$log" 2>&1 || true
    wineserver -w </dev/null >>"$log" 2>&1 || true
  fi
  # One persistent server for the run; its helpers must not hold the caller's
  # pipes open, so every stream goes to the log.
  wineserver -p </dev/null >>"$log" 2>&1 || true
  if [ -n "${WINEENV_LOGPIXELS:-}" ]; then
    wine_run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$WINEENV_LOGPIXELS" /f \
      </dev/null >>"$log" 2>&1
  fi
  wine_run wineboot.exe </dev/null >>"$log" 2>&1 || true
  # The private Xvfb has no window manager, yet Wine hands its top-level
  # windows to one and, hiding such a window, waits for the manager to
  # confirm it (2 s each, in vain). Windows it keeps to itself hide at once.
  # On the user's own display the manager handles them as usual.
  local x11='HKCU\Software\Wine\X11 Driver'
  if [ -z "${WINEENV_DISPLAY:-}" ]; then
    wine_run reg add "$x11" /v Managed /t REG_SZ /d N /f </dev/null >>"$log" 2>&1 || true
  else
    wine_run reg delete "$x11" /v Managed /f </dev/null >>"$log" 2>&1 || true
  fi
  # A new prefix links the user's folders (Documents, Desktop ...) to the Unix
  # home; programs run here get real folders inside the state instead, so
  # nothing they save lands in the home folder. WINEENV_HOME_LINKS=keep
  # leaves Wine's links (for hand runs whose files the user wants to see).
  if [ "${WINEENV_HOME_LINKS:-}" != keep ]; then
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
      if [ -L "$link" ]; then rm -f "$link" && mkdir -p "$link"; fi
    done
  fi
  # shellcheck disable=SC2086
  nohup ${WINEENV_LAUNCH:-} "$WINELOADER" explorer.exe /desktop </dev/null >>"$log" 2>&1 &
  sleep 0.5
}

stop_pid() {
  local f=$1
  [ -s "$f" ] || return 0
  local pid; pid=$(cat "$f")
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$f"
}

case "$cmd" in
  start)
    "$0" stop "$state" >/dev/null 2>&1 || true
    : >"$log"
    arch=${1:-}
    if [ -z "$arch" ]; then
      if [ "$("$0" arch)" = i686 ]; then arch=win32; else arch=win64; fi
    fi
    start_xvfb
    start_pulse
    write_env "$arch"
    start_wine
    echo "environment ready: display $(cat "$state/display"), prefix $state/prefix-$arch"
    ;;
  stop)
    if [ -f "$state/env.sh" ]; then
      # shellcheck disable=SC1091
      . "$state/env.sh"
      wineserver -k >/dev/null 2>&1 || true
    fi
    stop_pid "$state/pulse.pid"
    stop_pid "$state/xvfb.pid"
    # The small and the read-only drive of tools/prepare-prefix.sh.
    for drive in small_drive readonly_drive; do
      if mountpoint -q "$state/$drive" 2>/dev/null; then umount "$state/$drive" 2>/dev/null || true; fi
    done
    ;;
  exec)
    # shellcheck disable=SC1091
    . "$state/env.sh"
    # shellcheck disable=SC2086
    exec ${WINEENV_LAUNCH:-} "$WINELOADER" "$@"
    ;;
  shell)
    # shellcheck disable=SC1091
    . "$state/env.sh"
    exec "$@"
    ;;
  screenshot)
    # shellcheck disable=SC1091
    . "$state/env.sh"
    out=${1:?output file}
    xwd -root -silent -display "$DISPLAY" | convert xwd:- "png:$out"
    echo "$out"
    ;;
  *)
    usage ;;
esac
