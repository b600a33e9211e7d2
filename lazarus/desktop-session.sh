# Driving the Lazarus IDE as a user would, under Xvfb: the user's account and environment, a
# display, the IDE started by the user's launcher, its windows found by name, its editor given
# the keyboard. Sourced by the end-to-end test, the pictures and the start-time measurement.
# The sourcing script sets `scratch` (logs go there) and `home` (the user's home folder) and
# defines `fail MESSAGE` (which must not return). Only the keyboard and window names drive the
# IDE: no screen coordinates.

# The user: the script's own account, or "nobody" when it runs as root (lazbuild as root would
# write the system's Lazarus tree). Sets `user` and `user_ids` (setpriv's arguments).
choose_user() {
  if [ "$(id -u)" -eq 0 ]; then
    user=nobody
    user_ids=(--reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
  else
    user=$(id -un)
    user_ids=()
  fi
}
give_to_user() {  # PATH...: the user's own files when the script runs as root
  [ "$user" != nobody ] || chown -R nobody:"$(id -gn nobody)" "$@"
}
as_user() {  # COMMAND...: run as the user, in the user's environment only
  local run=(env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/local/bin:/usr/bin:/bin
             LANG=C.UTF-8 DISPLAY="${DISPLAY:-}" "$@")
  if [ ${#user_ids[@]} -gt 0 ]; then
    (cd "$home" && setpriv "${user_ids[@]}" "${run[@]}")
  else
    (cd "$home" && "${run[@]}")
  fi
}
# The user's environment options as Lazarus's first start writes them (lazbuild's version, so
# that the IDE does not offer to convert them), with each IDE starting on its own whatever
# other IDE of the account runs (by default Lazarus hands the project to a running one and
# quits), and the XML lines EXTRA (a recent-project list, say).
seed_environment_options() {  # CONFIG_DIR [EXTRA]
  mkdir -p "$1"
  awk -v version="$(lazbuild --version | head -n 1)" -v extra="${2:-}" '
    { sub(/Lazarus="[^"]*"/, "Lazarus=\"" version "\"") }
    { print }
    /^  <EnvironmentOptions>/ {
      print "    <MultipleInstances Value=\"AlwaysStartNew\"/>"
      if (extra != "") print extra
    }' /etc/lazarus/environmentoptions.xml >"$1/environmentoptions.xml"
}
# The editor's key mapping: "Save project as" (Ctrl+Alt+Shift+S) and "Quit" (Ctrl+Alt+Shift+Q)
# have no shortcut by default.
seed_editor_keys() {  # CONFIG_DIR
  mkdir -p "$1"
  cat >"$1/editoroptions.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<CONFIG>
  <EditorOptions>
    <KeyMapping>
      <default Count="2">
        <Version Value="6"/>
        <Item1 Name="Save project as">
          <KeyA Default="False" Key1="83" Shift1="7"/>
        </Item1>
        <Item2 Name="Quit">
          <KeyA Default="False" Key1="81" Shift1="7"/>
        </Item2>
      </default>
    </KeyMapping>
  </EditorOptions>
</CONFIG>
XML
}

xvfb_pid=""
poll_seconds=0.3  # how often the searches for a window look again (a timing script asks more)
started_pids=()  # every launcher and IDE started: stop_desktop kills those still running
# Xvfb on a free display, its screen WIDTHxHEIGHT (default 1280x1024); exports DISPLAY. A
# display number picked at random far above the usual ones: an X server started with
# -displayfd tries the numbers from 0 up and, trying one in use, takes its socket away from the
# server that has it.
start_xvfb() {  # [WIDTHxHEIGHT]
  local display
  for display in $(shuf -i 200-899 -n 20); do
    [ -e "/tmp/.X$display-lock" ] && continue
    Xvfb ":$display" -screen 0 "${1:-1280x1024}x24" -nolisten tcp 2>"$scratch/xvfb.log" &
    xvfb_pid=$!
    export DISPLAY=":$display"
    for _ in $(seq 50); do
      kill -0 "$xvfb_pid" 2>/dev/null || break
      xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
      sleep 0.2
    done
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  done
  fail "Xvfb did not start on a free display"
}
stop_desktop() {  # the IDEs still running, then Xvfb
  local pid
  for pid in "${started_pids[@]}"; do
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null || true
  done
  if [ -n "$xvfb_pid" ]; then
    # Waited for: an X server still shutting down removes the socket of the next one that
    # took its display number.
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
screen_shot() {  # FILE: the whole screen as an xwd image, when xwd is installed
  [ -n "${DISPLAY:-}" ] && command -v xwd >/dev/null && xwd -root -silent >"$1" 2>/dev/null
  return 0
}

wait_window() {  # NAME_REGEX SECONDS: the id of a visible window whose name matches
  # Polled: a search fails outright when a window goes away while it looks (BadWindow).
  local id="" deadline=$(($(date +%s) + $2))
  while [ -z "$id" ] && [ "$(date +%s)" -le "$deadline" ]; do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || id=""
    [ -n "$id" ] || sleep 0.3
  done
  [ -n "$id" ] || fail "no window named /$1/ within $2 s"
  echo "$id"
}
wait_for() {  # SECONDS COMMAND...: until the command succeeds
  local limit=$1
  shift
  for _ in $(seq $((limit * 5))); do "$@" && return 0; sleep 0.2; done
  return 1
}
type_text() { xdotool type --delay 60 "$1"; }

start_ide() {  # NAME ARGS...: startlazarus as the user, output in $scratch/NAME.{out,err};
  # sets launcher_pid
  local name=$1
  shift
  as_user startlazarus "$@" >"$scratch/$name.out" 2>"$scratch/$name.err" &
  launcher_pid=$!
  started_pids+=("$launcher_pid")
}
ide_window() {  # NAME_REGEX SECONDS [WINDOW...]: sets ide_main to the IDE's main window (not
  # one of the WINDOWs given: those of IDEs already running on the same project), ide_pid to
  # its process. The launcher may hand over to Lazarus's own IDE, which starts the user's
  # rebuilt one and ends: the IDE is the process that owns the window.
  local regex=$1 deadline=$(($(date +%s) + $2)) id
  shift 2
  ide_main=""
  while [ -z "$ide_main" ] && [ "$(date +%s)" -le "$deadline" ]; do
    for id in $(xdotool search --onlyvisible --name "$regex" 2>/dev/null); do
      [[ " $* " == *" $id "* ]] || { ide_main=$id; break; }
    done
    [ -n "$ide_main" ] || sleep "$poll_seconds"
  done
  [ -n "$ide_main" ] || fail "no new IDE window named /$regex/ within $2 s"
  ide_pid=$(xdotool getwindowpid "$ide_main" 2>/dev/null) || fail "no process owns the IDE's window"
  started_pids+=("$ide_pid")
}
ide_editor() {  # PID SECONDS: sets editor to the source editor window of the IDE with that process
  local deadline=$(($(date +%s) + $2))
  editor=""
  while [ -z "$editor" ] && [ "$(date +%s)" -le "$deadline" ]; do
    # --all: the process and the name, not either (xdotool's default is "any").
    editor=$(xdotool search --all --onlyvisible --pid "$1" --name '^Source Editor$' 2>/dev/null |
               head -n 1) || editor=""
    [ -n "$editor" ] || sleep "$poll_seconds"
  done
  [ -n "$editor" ] || fail "no source editor of the IDE $1 within $2 s"
}
focus_editor() {  # PID: sets editor to the source editor of the IDE with that process and gives
  # it the keyboard (the editor takes it when clicked: its middle, wherever it is)
  ide_editor "$1" 30
  eval "$(xdotool getwindowgeometry --shell "$editor")" || fail "the source editor went away"
  xdotool windowraise "$editor"  # above the windows of another IDE at the same place
  # Focused first: without a window manager, an IDE that quit while it had the keyboard leaves
  # it to no window, and a click does not take it back.
  xdotool windowfocus "$editor" 2>/dev/null || true
  xdotool mousemove --window "$editor" $((WIDTH / 2)) $((HEIGHT / 2)) click 1
  wait_for 10 test "$(xdotool getwindowfocus 2>/dev/null)" = "$editor" ||
    fail "the source editor did not take the keyboard"
  sleep 0.5
}
ide_ended() {  # PID...: true when none of these IDEs runs any more
  local pid
  for pid in "$@"; do kill -0 "$pid" 2>/dev/null && return 1; done
  return 0
}
quit_ide() {  # WINDOW PID: quits the IDE from its main window and waits for it to end
  xdotool windowfocus --sync "$1" key ctrl+alt+shift+q
  wait_for 30 ide_ended "$2" || fail "the IDE did not quit"
}
