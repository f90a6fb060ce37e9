# Sourced by the tests that run the real program in an X window: a private Xvfb with
# openbox, and ways to wait for what a window or process does.

# NAME: makes the test's temporary folder `work` and the `pids` array of the processes
# the test started, which end with it; `fail` prints the program's log.
x_test_begin() {
  work=$(mktemp -d "/tmp/panelwick-$1-XXXXXX")
  pids=()
  trap x_cleanup EXIT
  # A command that fails outside a check ends the script: say which one.
  trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2; x_show_log' ERR
}
x_cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ "${KEEP_SMOKE:-0}" = 1 ] || rm -rf "$work"
}
x_show_log() { if [ -f "$work/panelwick.log" ]; then cat "$work/panelwick.log" >&2; fi; }
fail() {
  echo "FAIL: $*" >&2
  x_show_log
  # What the screen showed, for the one who reads the failure.
  if [ -n "${DISPLAY:-}" ]; then
    wmctrl -l >&2 2>/dev/null || true
    timeout 10 import -window root "$work/failed.png" 2>/dev/null || true
  fi
  exit 1
}

# Starts Xvfb and openbox and exports DISPLAY. Xvfb picks a free display itself, so
# parallel runs never share one; two servers starting at the same moment can still pick
# the same number, and the loser ends: start it again.
x_session_start() {
  local attempt xvfb wm
  for attempt in 1 2 3; do
    rm -f "$work/display"
    # -noreset: the server would reset, refusing connections for a moment, each time its
    # last client leaves (the probes below are such clients).
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >>"$work/xvfb.log" 2>&1 &
    xvfb=$!
    pids+=($xvfb)
    for _ in $(seq 200); do
      [ -s "$work/display" ] && break
      kill -0 "$xvfb" 2>/dev/null || break
      sleep 0.1
    done
    if [ -s "$work/display" ]; then
      export DISPLAY=":$(head -n 1 "$work/display")"
      for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
      xdpyinfo >/dev/null 2>&1 && break
    fi
    kill "$xvfb" 2>/dev/null || true
  done
  xdpyinfo >/dev/null 2>&1 || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }
  # openbox now and then ends at once on a busy machine; give it three chances.
  for attempt in 1 2 3; do
    openbox >>"$work/openbox.log" 2>&1 &
    wm=$!
    pids+=($wm)
    for _ in $(seq 100); do
      wmctrl -m >/dev/null 2>&1 && break
      kill -0 "$wm" 2>/dev/null || break
      sleep 0.1
    done
    wmctrl -m >/dev/null 2>&1 && break
    kill "$wm" 2>/dev/null || true
  done
  wmctrl -m >/dev/null 2>&1 || { cat "$work/openbox.log" >&2; fail "openbox did not answer"; }
}

# A private home, so that nothing of the user's desktop reaches the program.
private_home() {
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
  export XDG_RUNTIME_DIR="$work/home"
  unset XDG_CURRENT_DESKTOP WAYLAND_DISPLAY QT_QPA_PLATFORM
  mkdir -p "$HOME"
  chmod 700 "$HOME" # the runtime folder must be private
}

wait_window() { # NAME-PATTERN: the first visible window of that name, waited for up to a minute
  local w="" end=$((SECONDS + 60))
  while [ $SECONDS -lt $end ]; do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$w" ] && break
    sleep 0.1
  done
  echo "$w"
}

# WINDOW COLOUR: the window shows that colour somewhere. The histogram is read whole first:
# grep -q ending the pipe early would fail the pipe under pipefail.
has_colour() {
  local histogram
  histogram=$(timeout 10 import -window "$1" png:- 2>/dev/null | convert png:- -format %c histogram:info: 2>/dev/null) || return 1
  grep -qi "$2" <<<"$histogram"
}

active() { xdotool getactivewindow 2>/dev/null || true; }

# WINDOW: waits up to a minute until the window has the focus (keys sent while the focus
# moves are lost).
wait_focus() {
  local end=$((SECONDS + 60))
  while [ $SECONDS -lt $end ]; do
    xdotool windowactivate --sync "$1" 2>/dev/null || true
    [ "$(active)" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

cpu_ticks() { # PID: user + system time used so far, in clock ticks
  # The command name in field 2 may hold blanks: count from the closing parenthesis.
  sed 's/^.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'
}

# PID: waits until the process uses less than a tenth of a core over two seconds; a busy
# machine slows a process down but never makes an idle one busy. Fails after a minute.
wait_idle() {
  local hz before after
  hz=$(getconf CLK_TCK)
  for _ in $(seq 30); do
    before=$(cpu_ticks "$1") || return 1
    sleep 2
    after=$(cpu_ticks "$1") || return 1
    [ $((after - before)) -lt $((hz * 2 / 10)) ] && return 0
    echo "still busy: $((after - before)) ticks in 2 s" >&2
  done
  return 1
}

# PROGRAM-FOLDER NAME...: how many of the named comics have a strip stored
strips_stored() {
  local prog=$1 n=0 name
  shift
  for name in "$@"; do
    ls "$prog/Comics/$name" 2>/dev/null | grep -Eq "^${name}[0-9]{8}\.(gif|jpg|png)\$" && n=$((n + 1))
  done
  echo "$n"
}

# PID PROGRAM-FOLDER NAME...: waits up to two minutes, while the process lives, until every
# named comic has a strip stored; false (with the count on stdout) otherwise
wait_strips() {
  local app=$1 prog=$2 stored=0
  shift 2
  for _ in $(seq 1200); do
    stored=$(strips_stored "$prog" "$@")
    [ "$stored" -eq $# ] && return 0
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
  done
  echo "$stored"
  return 1
}

# PID SECONDS: waits for the process to end
wait_gone() {
  for _ in $(seq $(($2 * 10))); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  return 1
}

# WINDOW KEYS: presses the keys (one combination, like ctrl+s) in the window. A key that
# closes the window or moves the focus has "xdotool key --window" send its key-up with
# XSendEvent, which the server never sees: the key stays down and auto-repeats into
# whatever window has the focus next. The key-ups follow through XTEST as well.
press_key() {
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1" 2>/dev/null || true
  xdotool key --window "$1" "$2" 2>/dev/null || true
  xdotool keyup ${2//+/ } 2>/dev/null || true
}

# WINDOW KEYS DIALOG-PATTERN: presses the keys in the window until a dialog of that name
# shows (a key pressed while the focus moves can be lost on a busy machine); prints it.
key_until_dialog() {
  local d=""
  for _ in 1 2 3 4 5; do
    press_key "$1" "$2"
    d=$(wait_window "$3")
    [ -n "$d" ] && break
  done
  echo "$d"
}
