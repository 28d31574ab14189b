# Drives the real zem-talvor on a virtual X display with xdotool: sourced by
# round_trip.sh (the test) and scripts/screenshots.
# Needs ZEM_TALVOR (the program) and a folder to start it in.

# Starts Xvfb on a free display and exports DISPLAY.
start_display() {
  local fifo
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
  XVFB_PID=$!
  read -r display_number <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$display_number"
}

# Starts the program in folder $1 and waits for its main window.
start_program() {
  (cd "$1" && exec env QT_QPA_PLATFORM=xcb "$ZEM_TALVOR" >/dev/null 2>&1) &
  PROGRAM_PID=$!
  MAIN_WINDOW="$(xdotool search --sync --onlyvisible --name '^ZEM Talvor v\. 2\.0$' | head -1)"
  eval "$(xdotool getwindowgeometry --shell "$MAIN_WINDOW")"
  MAIN_X=$X
  MAIN_Y=$Y
  # Below the menu bar, the client area is 782 x 496.
  CLIENT_Y=$((Y + HEIGHT - 496))
}

stop_all() {
  [[ -n "${PROGRAM_PID:-}" ]] && kill "$PROGRAM_PID" 2>/dev/null
  [[ -n "${XVFB_PID:-}" ]] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null || true
}

# Clicks at client-area coordinates of the main window.
click_main() {
  xdotool mousemove --sync $((MAIN_X + $1)) $((CLIENT_Y + $2)) click 1
  sleep 0.3
}

# Selects the n-th file (0 = first) of the file list.
select_file() {
  click_main 260 40
  xdotool key Home
  for ((i = 0; i < $1; ++i)); do xdotool key Down; done
  sleep 0.2
}

# The toolbar button whose left edge is at $1.
click_tool() { click_main $(($1 + 12)) 12; }

# The password window: types the pass phrase twice and clicks the action.
answer_password() {
  local dialog
  for _ in $(seq 50); do
    dialog="$(xdotool search --onlyvisible --class zem-talvor | grep -vx "$MAIN_WINDOW" | head -1)"
    [[ -n "$dialog" ]] && break
    sleep 0.1
  done
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  PASSWORD_WINDOW="$dialog"
  xdotool mousemove --sync $((X + 300)) $((Y + 59)) click 1
  xdotool type --delay 20 "$1"
  xdotool mousemove --sync $((X + 300)) $((Y + 107)) click 1
  xdotool type --delay 20 "$1"
  [[ "${2:-}" == keep-open ]] && return
  xdotool mousemove --sync $((X + 92)) $((Y + 132)) click 1
  sleep 0.5
}

# Waits until file $1 exists (up to 10 s).
wait_for_file() {
  for _ in $(seq 100); do
    [[ -e "$1" ]] && return 0
    sleep 0.1
  done
  echo "no $1" >&2
  return 1
}
