#!/usr/bin/env bash
# Starts the real panelwick in an X window (Xvfb + openbox), presses keys with xdotool,
# closes the window through the window manager and checks the files it wrote.
# Usage: run-smoke.sh PANELWICK_BINARY IMAGES_DIR
set -euo pipefail
bin=$1
images=$2
# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
x_test_begin smoke
private_home
x_session_start

# Program folder: two chosen comics, one of them with an unread strip.
prog="$work/prog"
mkdir -p "$prog/Comics/Alpha" "$prog/Comics/Beta"
printf 'Alpha\thttp://127.0.0.1:9/alpha/\r\nBeta\thttp://127.0.0.1:9/beta/\r\nGamma\thttp://127.0.0.1:9/gamma/\r\n' >"$prog/Comics.urls"
printf '[Comics]\r\nAlpha=1\r\nBeta=1\r\nGamma=0\r\nCurrentComic=Alpha\r\n[Updates]\r\nUpdateProgramStart=0\r\n' >"$prog/panelwick.ini"
cp "$images/smoke-a.gif" "$prog/Comics/Alpha/Alpha20010101.gif"
cp "$images/smoke-b.jpg" "$prog/Comics/Alpha/Alpha20010102.jpg"
cp "$images/smoke-a.gif" "$prog/Comics/Alpha/Alpha20010103.gif"
cp "$images/smoke-b.jpg" "$prog/Comics/Beta/Beta20020202.jpg"
# After the blue GIF: a ".png" that is really a web page, then a real PNG in pink.
printf '<html><body>404 Not Found</body></html>\n' >"$prog/Comics/Alpha/Alpha20010104.png"
convert "$images/smoke-a.gif" -fill '#C03060' -opaque '#3060C0' "$prog/Comics/Alpha/Alpha20010105.png"
printf 'Alpha20010102.jpg\r\n' >"$prog/Comics/Alpha/Alpha.unr"

# The program finds exactly one wallpaper tool, the bare X server's, whatever else this
# machine has installed.
mkdir -p "$work/tools"
ln -s "$(command -v hsetroot)" "$work/tools/hsetroot"
start_panelwick() {
  PATH="$work/tools" "$bin" --program-folder "$prog" >"$work/panelwick.log" 2>&1 &
  app=$!
  pids+=($app)
  wid=""
  for _ in $(seq 300); do
    wid=$(xdotool search --onlyvisible --name '^Panelwick$' 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    kill -0 "$app" 2>/dev/null || { wait "$app"; fail "panelwick ended at start ($?)"; }
    sleep 0.1
  done
  [ -n "$wid" ] || fail "no Panelwick window appeared"
  # Qt must know the program's main thread for its own, whatever the start-up threads do.
  ! grep -q "not created in the main() thread" "$work/panelwick.log" || fail "Qt took another thread for the main one"
  # Shown, its strip marked read, its place taken: the start is over once it is idle.
  wait_idle "$app" || fail "panelwick stays busy after its start"
}

wait_exit() {
  for _ in $(seq 300); do kill -0 "$app" 2>/dev/null || return 0; sleep 0.1; done
  fail "panelwick did not end"
}

pixels_of() { # COLOUR: how many pixels of the window have it
  import -window "$wid" "$work/shot.png"
  convert "$work/shot.png" -format %c histogram:info: | awk -v c="$1" 'toupper($0) ~ c {n += $1} END {print n + 0}'
}

wait_pixels() { # COLOUR OP COUNT: waits a while for the window's pixels of COLOUR to compare so
  for _ in $(seq 100); do [ "$(pixels_of "$1")" "$2" "$3" ] && return 0; sleep 0.1; done
  return 1
}

ini_value() { # section key
  awk -v s="[$1]" -v k="$2" 'BEGIN{IGNORECASE=1} {sub(/\r$/,"")} /^\[/{in_s=(tolower($0)==tolower(s))} in_s && tolower($0) ~ "^"tolower(k)"=" {sub(/^[^=]*=/,""); print; exit}' "$prog/panelwick.ini"
}

# First run: the unread strip is shown first and marked read; keys move; the frame's close saves.
start_panelwick
# The program's icon goes with its window, for the task bar and the window list.
xprop -id "$wid" _NET_WM_ICON | grep -q 'Icon (32 x 32)' || fail "the window has no icon"
[ -s "$prog/Comics/Alpha/Alpha.unr" ] && fail "the unread strip was not marked read"
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
xdotool key --window "$wid" Right
wait_pixels '#3060C0' -gt 10000 || fail "the blue GIF strip is not shown"
xdotool key --window "$wid" Right
wait_pixels '#3060C0' -eq 0 || fail "a strip no reader knows shows the previous strip's picture"
xdotool key --window "$wid" Right
wait_pixels '#C03060' -gt 10000 || fail "the PNG strip is not shown"
xdotool key --window "$wid" Down
for _ in $(seq 100); do [ -f "$prog/Comics/Beta/Beta.unr" ] && break; sleep 0.1; done
[ -f "$prog/Comics/Beta/Beta.unr" ] || fail "Down did not show the next comic"
xdotool windowmove --sync "$wid" 40 60
xdotool windowsize --sync "$wid" 700 520
[ -n "${SMOKE_SCREENSHOT:-}" ] && import -window root "$SMOKE_SCREENSHOT" 2>/dev/null || true
wmctrl -i -c "$wid"
wait_exit
[ "$(ini_value Comics CurrentComic)" = "Beta" ] || fail "CurrentComic not saved as Beta: $(ini_value Comics CurrentComic)"
[ "$(ini_value Window Maximized)" = "0" ] || fail "Maximized not saved"
left=$(ini_value Window LeftPos); width=$(ini_value Window Width)
[ -n "$left" ] && [ "$left" -gt 1 ] || fail "LeftPos not saved ($left)"
[ -n "$width" ] && [ "$width" -ge 516 ] || fail "Width not saved ($width)"
grep -q $'\r$' "$prog/panelwick.ini" || fail "panelwick.ini lost its CR LF endings"

# Second run: Up back to Alpha, move the window and leave with Ctrl+X: nothing is saved.
start_panelwick
before=$(md5sum <"$prog/panelwick.ini")
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
xdotool key --window "$wid" Up
xdotool windowmove "$wid" 300 300
wait_idle "$app" || fail "panelwick stays busy after the move"
xdotool key --window "$wid" ctrl+x 2>/dev/null || true  # the window is gone before the key-ups
wait_exit
# Release them, or the server's auto-repeat types Ctrl+X into the next window.
xdotool keyup ctrl x 2>/dev/null || true
[ "$(md5sum <"$prog/panelwick.ini")" = "$before" ] || fail "E&xit changed panelwick.ini"

# A run with a partly downloaded JPEG between good strips. With the focus in the comic
# selector, Left onto it shows one error box and stays there; the unread markers tell
# which strips were shown. Down onto a comic whose strip is damaged moves one comic.
find_box() { # an error box: a second "Panelwick" window
  xdotool search --onlyvisible --name '^Panelwick$' 2>/dev/null | grep -vx "$wid" | head -n 1 || true
}
no_box() { [ -z "$(find_box)" ]; }
close_one_box() { # waits for one error box, answers it, and checks that no second one follows
  seen=""
  for _ in $(seq 100); do
    box=$(find_box)
    if [ -n "$box" ]; then
      seen=1
      # The box is gone before the key-up, which xdotool then reports as an error.
      xdotool key --window "$box" Return 2>/dev/null || true
      xdotool keyup Return 2>/dev/null || true
    elif [ -n "$seen" ]; then
      break
    fi
    sleep 0.1
  done
  [ -n "$seen" ] || fail "$1: no error box"
  sleep 0.7
  no_box || fail "$1: a second error box"
  # The keyboard focus may be left on the box's vanished window: a click on the strip
  # area gives it back, as a user would.
  xdotool mousemove --window "$wid" 300 300 click 1
  sleep 0.3
}
head -c 600 "$images/smoke-b.jpg" >"$prog/Comics/Alpha/Alpha20010106.jpg"
cp "$images/smoke-a.gif" "$prog/Comics/Alpha/Alpha20010107.gif"
head -c 600 "$images/smoke-b.jpg" >"$prog/Comics/Beta/Beta20020203.jpg"
mkdir -p "$prog/Comics/Gamma"
cp "$images/smoke-a.gif" "$prog/Comics/Gamma/Gamma20030303.gif"
printf 'Alpha20010107.gif\r\nAlpha20010105.png\r\n' >"$prog/Comics/Alpha/Alpha.unr"
printf 'Gamma20030303.gif\r\n' >"$prog/Comics/Gamma/Gamma.unr"
sed -i 's/^CurrentComic=.*/CurrentComic=Alpha\r/; s/^Gamma=0/Gamma=1/' "$prog/panelwick.ini"
start_panelwick
[ "$(tr -d '\r' <"$prog/Comics/Alpha/Alpha.unr")" = "Alpha20010105.png" ] || fail "the first unread strip was not shown"
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
xdotool key --window "$wid" Left
close_one_box "Left onto the damaged strip"
[ "$(tr -d '\r' <"$prog/Comics/Alpha/Alpha.unr")" = "Alpha20010105.png" ] || fail "Left took more than one step"
[ "$(pixels_of '#3060C0')" -eq 0 ] || fail "the damaged strip shows the picture of the one before"
# A key that reaches no window while the focus comes back is pressed again.
for _ in 1 2 3; do
  xdotool key --window "$wid" Left
  for _ in $(seq 30); do [ -s "$prog/Comics/Alpha/Alpha.unr" ] || break 2; sleep 0.1; done
done
[ -s "$prog/Comics/Alpha/Alpha.unr" ] && fail "the next Left did not show the strip before the damaged one"
sleep 0.3
no_box || fail "an error box for a good strip"
wait_pixels '#C03060' -gt 10000 || fail "the PNG strip before the damaged one is not shown"
xdotool key --window "$wid" Down
close_one_box "Down onto the damaged strip of Beta"
[ "$(tr -d '\r' <"$prog/Comics/Gamma/Gamma.unr")" = "Gamma20030303.gif" ] || fail "Down moved past Beta"
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
wmctrl -i -c "$wid"
wait_exit
[ "$(ini_value Comics CurrentComic)" = "Beta" ] || fail "CurrentComic not Beta after Down: $(ini_value Comics CurrentComic)"
rm "$prog/Comics/Beta/Beta20020203.jpg" # the next start shows Beta without a box
# Third run: closing at once through the frame keeps the placement where it was, so the
# window does not creep across the screen from one start to the next.
left=$(ini_value Window LeftPos); top=$(ini_value Window TopPos)
start_panelwick
wmctrl -i -c "$wid"
wait_exit
[ "$(ini_value Window LeftPos)" = "$left" ] && [ "$(ini_value Window TopPos)" = "$top" ] ||
  fail "placement moved from $left,$top to $(ini_value Window LeftPos),$(ini_value Window TopPos)"
# Fourth run, with a notification area: the tray icon appears; the settings dialog's OK
# writes a valid autostart entry; the shown strip becomes the centred wallpaper and goes to
# the clipboard; minimising hides the window and its task-bar entry, a double-click on the
# icon brings both back, and the icon's "Close Panelwick" ends the program without saving.
trayer --edge top --align right --widthtype pixel --width 100 --height 24 >"$work/trayer.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do xwininfo -root -tree 2>/dev/null | grep -q '"panel": ("panel" "trayer")' && break; sleep 0.1; done
tray_icon() { # the small Panelwick window inside trayer's panel
  xwininfo -root -tree 2>/dev/null | awk '/"panel": \("panel" "trayer"\)/ {in_panel=1}
    in_panel && !found && /"Panelwick": \("panelwick" "Panelwick"\)/ {found=$1} END {print found}'
}
on_task_bar() { wmctrl -l | awk '{print $1}' | grep -qi "$(printf '0x%08x' "$wid")"; }
start_panelwick
icon=""
for _ in $(seq 50); do icon=$(tray_icon); [ -n "$icon" ] && break; sleep 0.1; done
[ -n "$icon" ] || fail "no tray icon appeared"
near() { # COLOUR1 COLOUR2: the same within what JPEG and BMP round-trips change
  awk -v a="$1" -v b="$2" 'BEGIN { gsub(/[^0-9,]/, "", a); gsub(/[^0-9,]/, "", b); split(a, x, ","); split(b, y, ",");
    for (i = 1; i <= 3; i++) { d = x[i] - y[i]; if (d > 12 || d < -12) exit 1 } }'
}
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info: 2>/dev/null; }
strip_colour=$(pixel "$images/smoke-b.jpg" 10 10) # Beta's strip, on screen now

xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
xdotool key --window "$wid" ctrl+s
# The modal dialog takes the focus before the key-ups, which then miss the server.
xdotool keyup ctrl s 2>/dev/null || true
dialog=$(wait_window '^Settings$')
[ -n "$dialog" ] || fail "Ctrl+S showed no settings dialog"
# Enter presses "Ok"; "Start Panelwick when I log in" is on by default.
for _ in $(seq 10); do
  sleep 0.3
  press_key "$dialog" Return
  xwininfo -id "$dialog" 2>/dev/null | grep -q IsViewable || break
done
entry="$XDG_CONFIG_HOME/autostart/panelwick-autostart.desktop"
for _ in $(seq 50); do [ -f "$entry" ] && break; sleep 0.1; done
[ -f "$entry" ] || fail "the settings dialog's OK wrote no autostart entry"
desktop-file-validate "$entry" || fail "the autostart entry does not validate"
grep -qx "Exec=\"$(readlink -f "$bin")\"" "$entry" || fail "the autostart entry does not start $bin: $(grep Exec "$entry")"

xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
xdotool key --window "$wid" alt+w s
for _ in $(seq 100); do [ -f "$XDG_DATA_HOME/panelwick/Panelwick Wallpaper.bmp" ] && break; sleep 0.1; done
[ -f "$XDG_DATA_HOME/panelwick/Panelwick Wallpaper.bmp" ] || fail "Set Strip As Wallpaper wrote no bitmap"
xdotool key --window "$wid" ctrl+c
for _ in $(seq 100); do
  xclip -selection clipboard -t image/png -o >"$work/clip.png" 2>/dev/null && break
  sleep 0.1
done
xclip -selection clipboard -t image/png -o >"$work/clip.png" 2>/dev/null || fail "no picture on the clipboard"
[ "$(identify -format %wx%h "$work/clip.png")" = 420x160 ] || fail "the clipboard holds no strip-sized picture"
near "$(pixel "$work/clip.png" 10 10)" "$strip_colour" || fail "the clipboard does not hold the strip's pixels"

before=$(md5sum <"$prog/panelwick.ini")
on_task_bar || fail "the window is not on the task bar"
xdotool windowminimize "$wid"
for _ in $(seq 50); do on_task_bar || break; sleep 0.1; done
on_task_bar && fail "minimising left the window on the task bar"
xwininfo -id "$wid" | grep -q IsUnMapped || fail "minimising did not unmap the window"
# The root window shows the 420 x 160 strip in the middle of the 1280 x 1024 screen,
# its top left corner at 430,432.
for _ in $(seq 30); do
  import -window root "$work/root.png" 2>/dev/null
  near "$(pixel "$work/root.png" 436 438)" "$strip_colour" && break
  sleep 0.2
done
for at in "6 6" "210 80" "414 154" "100 80"; do
  set -- $at
  near "$(pixel "$work/root.png" $((430 + $1)) $((432 + $2)))" "$(pixel "$images/smoke-b.jpg" $1 $2)" ||
    fail "the wallpaper is not the strip, centred, at strip pixel $at"
done
for at in "420 512" "860 512" "640 420" "640 604"; do
  near "$(pixel "$work/root.png" $at)" "$strip_colour" && fail "the wallpaper is larger than the strip at $at"
done
xdotool mousemove --window "$icon" 8 8 click --repeat 2 --delay 80 1
for _ in $(seq 50); do on_task_bar && break; sleep 0.1; done
on_task_bar || fail "a double-click on the tray icon did not bring the window back"
xwininfo -id "$wid" | grep -q IsViewable || fail "the window is not mapped after the double-click"
xdotool mousemove --window "$icon" 8 8 click 3
# Its only entry, clicked: keys do not reach a tray menu under Xvfb.
menu=""
for _ in $(seq 100); do
  for w in $(xdotool search --onlyvisible --class panelwick 2>/dev/null); do
    size=$(xwininfo -id "$w" 2>/dev/null | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w + 0, h + 0}')
    [ "${size#* }" -lt 40 ] && [ "${size% *}" -gt 60 ] && menu=$w
  done
  [ -n "$menu" ] && break
  sleep 0.1
done
[ -n "$menu" ] || fail "the tray icon opened no menu"
xdotool mousemove --window "$menu" 40 11 sleep 0.3 click 1
wait_exit
[ "$(md5sum <"$prog/panelwick.ini")" = "$before" ] || fail "Close Panelwick changed panelwick.ini"

# Fifth run: Ctrl+P opens the print dialog, Enter prints to the PDF printer (named in the
# file, so that no real printer ever gets a page) and the PDF lands in Documents/Panelwick.
printf '[Printing]\r\nPrinter=Print to PDF file\r\n' >>"$prog/panelwick.ini"
start_panelwick
# Printing is a module of its own, with Qt's print library: loaded at the first print only.
! grep -qE 'panelwick-print\.so|libQt6PrintSupport' "/proc/$app/maps" || fail "the start loaded printing"
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
xdotool key --window "$wid" ctrl+p
# The print dialog takes the focus before the key-ups, which then miss the server.
xdotool keyup ctrl p 2>/dev/null || true
dlg=$(wait_window '^PrintForm$')
[ -n "$dlg" ] || fail "Ctrl+P opened no print dialog"
grep -q "$(dirname "$bin")/panelwick-print\.so" "/proc/$app/maps" || fail "the print dialog came from no print module"
pdf="$HOME/Documents/Panelwick/Beta 2002-02-02.pdf" # the comic on screen since the first run
# A key pressed while the dialog is still taking the focus can be lost on a busy machine:
# press Enter again while the dialog is still there and nothing was written.
for _ in 1 2 3; do
  press_key "$dlg" Return
  for _ in $(seq 50); do [ -s "$pdf" ] && break; sleep 0.1; done
  [ -s "$pdf" ] && break
  xdotool search --onlyvisible --name '^PrintForm$' >/dev/null 2>&1 || break
done
[ -s "$pdf" ] || fail "printing wrote no $pdf: $(ls -R "$HOME/Documents" 2>&1)"
head -c 5 "$pdf" | grep -q '%PDF-' || fail "$pdf is no PDF"
# The box that names the file is modal: Enter closes it, then the frame closes the window.
box=$(find_box)
for _ in $(seq 100); do [ -n "$box" ] && break; sleep 0.1; box=$(find_box); done
[ -n "$box" ] || fail "no box names the printed file"
for _ in 1 2 3 4 5; do
  xdotool key --window "$box" Return 2>/dev/null || true
  xdotool keyup Return 2>/dev/null || true
  for _ in $(seq 30); do [ -z "$(find_box)" ] && break 2; sleep 0.1; done
done
[ -z "$(find_box)" ] || fail "Enter did not close the box that names the printed file"
wmctrl -i -c "$wid"
wait_exit

# Sixth run, in the tray with no notification service on the session bus: the new strips
# of the start-up update are told by a message beside the tray icon, and a click on it
# brings the window back showing the first comic that got one.
site="$work/site"
base=$(PANELWICK_DEMO_INTERVAL=3600 bash "$images/../../tools/demo/site.sh" start "$site" | tail -n 1)
stop_site() { bash "$images/../../tools/demo/site.sh" stop "$site" >/dev/null 2>&1 || true; }
trap 'stop_site; x_cleanup' EXIT
news="$work/news"
mkdir -p "$news"
printf 'Pixel Cats\thttp://comics.example/pixelcats/index.html\r\nNight Shift\thttp://comics.example/nightshift/index.html\r\n' >"$news/Comics.urls"
printf '[Comics]\r\nPixel Cats=1\r\nNight Shift=1\r\nCurrentComic=Night Shift\r\n[Updates]\r\nUpdateProgramStart=1\r\n[Downloads]\r\nMaxSimDownloads=1\r\n[Misc]\r\nAutoStart=0\r\nStartMinimized=1\r\n' >"$news/panelwick.ini"
tray_message() { # a shown top-level Panelwick window, wider than the icon, while the main window is hidden
  for w in $(xwininfo -root -children 2>/dev/null |
    awk '/"Panelwick": \("panelwick" "Panelwick"\)/ {split($(NF-1), size, "x"); if (size[1] + 0 > 100) print $1}'); do
    xwininfo -id "$w" 2>/dev/null | grep -q IsViewable && { echo "$w"; return 0; }
  done
  return 0 # none yet: the caller waits
}
# One start in the tray: true when a click on the message brought the window back, false
# when the message went away first (it shows for ten seconds, which a loaded machine can
# use up before the click is handled; the click is then tried again on a fresh start).
tray_message_brings_window_back() {
  rm -rf "$news/Comics"
  PANELWICK_SITE_BASE="$base" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" \
    "$bin" --program-folder "$news" >"$work/panelwick.log" 2>&1 &
  app=$!
  pids+=($app)
  message=""
  for _ in $(seq 300); do message=$(tray_message); [ -n "$message" ] && break; sleep 0.1; done
  [ -n "$message" ] || fail "no tray message about the new strips appeared"
  [ -z "$(wmctrl -l | awk '$NF == "Panelwick"')" ] || fail "the window showed instead of staying in the tray"
  wid=""
  # A click while the message is still being laid out can miss it: click again while it shows.
  for _ in 1 2 3; do
    xdotool mousemove --window "$message" 60 40 click 1
    for _ in $(seq 50); do wid=$(wmctrl -l | awk '$NF == "Panelwick" {print $1; exit}'); [ -n "$wid" ] && return 0; sleep 0.1; done
    message=$(tray_message)
    [ -n "$message" ] || break
  done
  kill "$app" 2>/dev/null || true
  wait_exit
  return 1
}
for attempt in 1 2 3; do
  tray_message_brings_window_back && break
  [ "$attempt" -lt 3 ] || fail "a click on the tray message did not bring the window back ($(xwininfo -root -children | grep -c Panelwick) windows)"
  echo "the tray message went away before the click was handled; starting again" >&2
done
wait_idle "$app" || fail "panelwick stays busy after coming back"
wmctrl -i -c "$wid"
wait_exit
prog="$news"
[ "$(ini_value Comics CurrentComic)" = "Pixel Cats" ] ||
  fail "the window came back showing $(ini_value Comics CurrentComic), not the first comic with a new strip"
[ -f "$news/Comics/Pixel Cats/Pixel Cats.unr" ] && [ ! -s "$news/Comics/Pixel Cats/Pixel Cats.unr" ] ||
  fail "Pixel Cats' new strip was not shown"
echo "smoke: 1 passed, 0 failed"
