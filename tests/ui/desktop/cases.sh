#!/usr/bin/env bash
# The desktop program end to end, one case a run, on a private display
# (run by run-under-x.sh): cases.sh CASE PROGRAM CLIPBOARD_TOOL
#   tray          the tray item's tool tip and menu, and choosing in the menu
#   tray-icon     the tray item's symbolic icon name, theme folder and pixels, on a
#                 dark and a light desktop, and the icon chosen in the settings
#   one-shot      a paste shortcut pastes Markdown once, then the clipboard is put back
#   alt-bypass    a copy after an Alt tap is kept as it is; only that one
#   url-scheme    dozuzavuvu:// addresses opened through xdg-open reach the program
#   link-paste    a paste address opened through xdg-open presses no keys: the user's own
#                 Ctrl+V gets that rendition once, then the clipboard is put back
#   restart       settings changed in the running program are there after a restart
#   reopen        without a tray host, starting the program again opens its window
#   busy-render   the tray and a second start answer while a large copy renders,
#                 and quitting then does not wait for the render
#   held-chord    a paste shortcut held like any chord (2 s) still pastes what it names
#   copy-original the Copy Keeping Formatting shortcut types Ctrl+C into the focused
#                 window and the copy that follows keeps its formatting
#   tap-key       with Shift as the tap key, a Shift tap keeps the next copy and an
#                 Alt tap does nothing
#   xterm-paste   the Markdown shortcut in a real xterm pastes text through the primary
#                 selection (no literal ^V), and the selection it had comes back
set -u
case_name=$1 program=$2 tool=$3
source "$(dirname "$0")/lib.sh"

need() {
  if ! "$@" >/dev/null 2>&1; then
    [ -n "${CI:-}" ] && dz_fail "missing in CI: $* (scripts/install-deps installs it)"
    echo "SKIPPED: needs $*" >&2
    exit 77
  fi
}
need "$dz_python" -c 'import dbus, dbus.mainloop.glib, gi.repository.GLib'
need command -v xdotool

html='<p>Tide pools are <b>busy</b>&nbsp;places. See the <a href="https://example.org/tides?utm_source=news&amp;fbclid=abc">tide tables</a>.</p>'
plain='Tide pools are busy places. See the tide tables.'
markdown='Tide pools are **busy** places. See the [tide tables](https://example.org/tides).'

# A rich copy from another application, which serves it until someone else
# copies; arguments add targets (TARGET=TEXT).
copy() {
  : >"$dz_work/owner.out"
  "$tool" own "text/html=$html" "$@" >"$dz_work/owner.out" 2>&1 &
  dz_pids+=($!)
  dz_until 10 grep -qx owned "$dz_work/owner.out" || dz_fail "the test application could not copy"
}
clipboard_is() { [ "$("$tool" read "${2:-UTF8_STRING}")" = "$1" ]; }
expect_clipboard() {
  dz_until 10 clipboard_is "$1" || dz_fail "$2: the clipboard holds '$("$tool" read UTF8_STRING)', not '$1'"
}
expect_setting() { dz_until 10 dz_setting_is "$1" "$2" || dz_fail "$3: $1 is $(dz_setting "$1"), not $2"; }
# Every line at once in one reading of the menu.
menu_has_all() {
  local menu line
  menu=$(dz_tray menu) || return 1
  for line in "$@"; do grep -xF -- "$line" >/dev/null <<<"$menu" || return 1; done
}
expect_menu() {
  dz_until 10 menu_has_all "$@" && return
  local menu line
  menu=$(dz_tray menu)
  echo "$menu" >&2
  for line in "$@"; do grep -xF -- "$line" >/dev/null <<<"$menu" || dz_fail "the menu lacks '$line'"; done
}
window_shown() { xdotool search --onlyvisible --pid "$dz_program_pid"; }
expect_tooltip() {
  dz_until 10 dz_tooltip_has "tooltip title: $1" || { dz_tray tooltip >&2; dz_fail "the tool tip is not '$1'"; }
}

case_tray() {
  dz_start_tray
  dz_write_settings '{}'
  dz_start_program "$program"
  dz_wait_tray 1
  dz_tooltip_has "title: Dozuzavuvu" || dz_fail "the item's title is not the program's name"
  expect_tooltip "Dozuzavuvu (cleaning automatically, Plain Text)"
  expect_menu "[x] Clean Automatically" "Pause" "  For 5 Minutes" "  For 15 Minutes" "  For 1 Hour" \
    "(disabled) Paste As" "[x]    Plain Text" "[ ]    Plain Text with Links" "[ ]    Markdown" \
    "Clean Clipboard Now" "Restore Original Formatting    Ctrl+Alt+V" \
    "Convert Clipboard to Markdown    Ctrl+Alt+M" "Fix PDF Line Breaks" "Settings…" "Quit Dozuzavuvu"

  dz_tray click "Plain Text with Links" || dz_fail "could not click a format"
  expect_setting defaultFormat '"links"' "choosing a format in the tray"
  expect_tooltip "Dozuzavuvu (cleaning automatically, Plain Text with Links)"
  expect_menu "[x]    Plain Text with Links" "[ ]    Plain Text"

  dz_tray click "Clean Automatically" || dz_fail "could not click the switch"
  expect_setting autoClean false "switching automatic cleaning off in the tray"
  expect_tooltip "Dozuzavuvu (automatic cleaning off)"
  expect_menu "[ ] Clean Automatically"
  dz_menu_has "Pause" && dz_fail "the menu offers a pause while automatic cleaning is off"

  # A pause is not stored: only the tray shows it.
  dz_tray click "Clean Automatically"
  expect_setting autoClean true "switching automatic cleaning on again"
  expect_menu "Pause"
  dz_tray click "For 5 Minutes" || dz_fail "could not click a pause"
  expect_tooltip "Dozuzavuvu (paused)"
  dz_tray menu | grep '^Resume (Paused Until .*)$' >/dev/null || dz_fail "the menu does not offer to resume"

  # The settings window opens from the menu (and not before).
  window_shown >/dev/null && dz_fail "a window is open before Settings… was chosen"
  dz_tray click "Settings…"
  dz_until 10 window_shown || dz_fail "Settings… did not open the settings window"

  dz_tray click "Quit Dozuzavuvu"
  dz_wait_program
}

# A focused window that pastes on each Ctrl+V it receives.
start_receiver() {
  "$tool" window receiver Receiver --paste >"$dz_work/receiver.out" 2>&1 &
  dz_pids+=($!)
  dz_until 10 grep -qx focused "$dz_work/receiver.out" || dz_fail "the receiving window did not get the keyboard"
}
pastes() { grep -c '^pasted ' "$dz_work/receiver.out"; }
paste_count() { [ "$(pastes)" -ge "$1" ]; }
expect_paste() {  # expect_paste N TEXT WHAT
  dz_until 10 paste_count "$1" || dz_fail "$3: nothing was pasted"
  local got
  got=$(grep '^pasted ' "$dz_work/receiver.out" | sed -n "$1p")
  [ "$got" = "pasted $2" ] || dz_fail "$3: pasted '${got#pasted }', not '$2'"
}

# Makes the desktop file, as installed but starting PROGRAM, the handler of
# dozuzavuvu: addresses for xdg-open.
install_handler() {
  need command -v xdg-open
  need command -v update-desktop-database
  export HOME=$dz_work/home XDG_DATA_HOME=$dz_work/home/.local/share
  local applications=$XDG_DATA_HOME/applications
  mkdir -p "$applications"
  sed "s|^Exec=dozuzavuvu |Exec=$program |" "$dz_here/../../../ui/data/dev.dozuzavuvu.desktop" \
    >"$applications/dev.dozuzavuvu.desktop"
  grep -qxF "Exec=$program --from-link %u" "$applications/dev.dozuzavuvu.desktop" ||
    dz_fail "the desktop file does not mark its addresses as coming from a link"
  update-desktop-database "$applications" || dz_fail "update-desktop-database failed"
  xdg-mime default dev.dozuzavuvu.desktop x-scheme-handler/dozuzavuvu || dz_fail "xdg-mime default failed"
  [ "$(xdg-mime query default x-scheme-handler/dozuzavuvu)" = dev.dozuzavuvu.desktop ] ||
    dz_fail "the desktop file is not the scheme's handler"
}

case_one_shot() {
  dz_write_settings '{}'  # the default shortcuts: Ctrl+Alt+V original, Ctrl+Alt+M Markdown
  dz_start_program "$program"
  copy
  expect_clipboard "$plain" "a rich copy"
  start_receiver

  xdotool key ctrl+v
  expect_paste 1 "$plain" "an ordinary paste"
  xdotool key ctrl+alt+m
  expect_paste 2 "$markdown" "the Markdown paste shortcut"
  # The one-shot rendition is taken back shortly after.
  expect_clipboard "$plain" "after the Markdown paste"
  xdotool key ctrl+v
  expect_paste 3 "$plain" "an ordinary paste after the Markdown one"
}

case_alt_bypass() {
  dz_start_tray
  dz_write_settings '{}'
  dz_start_program "$program"
  dz_wait_tray 1

  last_copy_is() { dz_tray menu | grep "^(disabled) Last copy: .* — $1\$" >/dev/null; }
  # Alt alone, then a copy: this copy keeps its formatting.
  xdotool key alt
  sleep 0.5  # the tap and the copy reach the program on different connections
  copy
  dz_until 10 last_copy_is "formatting kept (Alt bypass)" || { dz_tray menu >&2; dz_fail "the copy after an Alt tap was not kept"; }
  # Still the application's own copy: its HTML, and no plain text of ours.
  clipboard_is "$html" text/html && ! clipboard_is "$plain" ||
    dz_fail "the copy after an Alt tap was changed: $("$tool" read UTF8_STRING)"

  # The tap was used up: the next copy is cleaned.
  copy
  expect_clipboard "$plain" "the copy after the bypassed one"

  # Alt held too long to be a tap.
  xdotool keydown alt
  sleep 1
  xdotool keyup alt
  sleep 0.5
  copy
  expect_clipboard "$plain" "a copy after Alt was held for a second"
  dz_until 10 last_copy_is "Plain Text" || { dz_tray menu >&2; dz_fail "the cleaned copy is not the last copy"; }

  # Alt held while copying keeps that copy too.
  xdotool keydown alt
  sleep 0.5
  copy
  dz_until 10 last_copy_is "formatting kept (Alt bypass)" || { dz_tray menu >&2; dz_fail "a copy with Alt held was not kept"; }
  xdotool keyup alt
  clipboard_is "$html" text/html || dz_fail "the copy with Alt held was changed"
}

case_url_scheme() {
  install_handler
  dz_write_settings '{}'
  dz_start_program "$program"
  xdg-open 'dozuzavuvu://toggle' || dz_fail "xdg-open failed on dozuzavuvu://toggle"
  expect_setting autoClean false "dozuzavuvu://toggle through xdg-open"
  xdg-open 'dozuzavuvu://format?set=Markdown' || dz_fail "xdg-open failed on a format address"
  expect_setting defaultFormat '"markdown"' "dozuzavuvu://format?set=Markdown through xdg-open"
  kill -0 "$dz_program_pid" || dz_fail "the running program ended"
}

case_link_paste() {
  # A web page can open these addresses too; it must not get the clipboard
  # typed into itself.
  install_handler
  dz_start_notices
  local original='Tide pools are busy places: https://example.org/tides?utm_source=news&fbclid=abc'
  local cleaned='Tide pools are busy places: https://example.org/tides'
  dz_write_settings '{}'
  dz_start_program "$program"
  copy "UTF8_STRING=$original"
  expect_clipboard "$cleaned" "a copy with a tracking link"
  start_receiver

  # xdg-open returns once the program has taken the address.
  xdg-open 'dozuzavuvu://paste-original' || dz_fail "xdg-open failed on dozuzavuvu://paste-original"
  sleep 1  # time enough for any keys to arrive
  [ "$(pastes)" -eq 0 ] || dz_fail "the address from a link pressed keys: $(cat "$dz_work/receiver.out")"
  dz_until 10 dz_noticed "Press Ctrl+V to paste with its formatting." ||
    dz_fail "no notice asked for a paste: $(cat "$dz_notices_log" 2>/dev/null)"

  # The user's own paste gets the original, once.
  xdotool key ctrl+v
  expect_paste 1 "$original" "the paste after the link"
  expect_clipboard "$cleaned" "after the paste the link asked for"
  xdotool key ctrl+v
  expect_paste 2 "$cleaned" "the next paste"

  # The same address from the user's own command line still pastes at once.
  "$program" 'dozuzavuvu://paste-original' || dz_fail "the second start did not forward"
  expect_paste 3 "$original" "dozuzavuvu://paste-original from the command line"
}

case_reopen() {
  # No tray host at all: starting the program again is the way to its window.
  dz_write_settings '{}'
  dz_start_program "$program"
  window_shown >/dev/null && dz_fail "a window opened at start"
  "$program" || dz_fail "the second start did not reach the first"
  dz_until 10 window_shown || dz_fail "starting again without a tray did not open the settings window"
  dz_stop_program
}

case_restart() {
  dz_start_tray
  dz_write_settings '{}'
  dz_start_program "$program"
  dz_wait_tray 1
  dz_tray click "Markdown"
  expect_setting defaultFormat '"markdown"' "choosing Markdown in the tray"
  dz_tray click "Clean Automatically"
  expect_setting autoClean false "switching automatic cleaning off in the tray"
  dz_stop_program

  dz_start_program "$program"
  dz_wait_tray 2
  expect_tooltip "Dozuzavuvu (automatic cleaning off)"
  expect_menu "[ ] Clean Automatically" "[x]    Markdown"
  # A toggle from the stored state switches cleaning on, in Markdown.
  "$program" 'dozuzavuvu://toggle' || dz_fail "the second start did not forward"
  expect_setting autoClean true "toggling after the restart"
  expect_tooltip "Dozuzavuvu (cleaning automatically, Markdown)"
  dz_setting_is defaultFormat '"markdown"' || dz_fail "the format was lost: $(dz_setting defaultFormat)"
}

# Milliseconds a command takes.
millis() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null || return 1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

case_busy_render() {
  need command -v xclip
  dz_start_tray
  dz_write_settings '{}'
  dz_start_program "$program"
  dz_wait_tray 1
  # A list of 20 MB takes seconds to render, longer under the sanitizers.
  "$dz_python" -c 'import sys; sys.stdout.write("<ul>" + "<li>item</li>" * 1700000 + "</ul>")' >"$dz_work/big.html"
  xclip -selection clipboard -t text/html -i "$dz_work/big.html" &
  dz_pids+=($!)
  local tray open
  sleep 1  # the copy is read
  tray=$(millis dz_tray menu) || dz_fail "the tray menu did not answer during the render"
  open=$(millis "$program" 'dozuzavuvu://disable') || dz_fail "a second start was not answered during the render"
  echo "during the render: tray menu ${tray} ms, second start ${open} ms"
  # Only a render still running makes the figures above mean anything.
  [ "$("$tool" read UTF8_STRING | head -c 4)" != item ] || dz_fail "the render ended before the checks"
  [ "$tray" -lt 3000 ] || dz_fail "the tray menu took ${tray} ms during the render"
  [ "$open" -lt 3000 ] || dz_fail "the second start took ${open} ms during the render"
  expect_setting autoClean false "dozuzavuvu://disable during the render"
  local start=$(date +%s%N)
  dz_stop_program
  echo "quit took $((($(date +%s%N) - start) / 1000000)) ms"
}

# dz_tray icon's lines, every one at once.
icon_has_all() {
  local icon line
  icon=$(dz_tray icon) || return 1
  for line in "$@"; do grep -xF -- "$line" >/dev/null <<<"$icon" || return 1; done
}
expect_icon() { dz_until 10 icon_has_all "$@" || { dz_tray icon >&2; dz_fail "the tray icon is not: $*"; }; }

case_tray_icon() {
  local themes tray_pid
  themes=$(cd "$(dirname "$program")" && pwd)/icons
  for scheme in dark light; do
    dz_start_tray "$scheme"
    tray_pid=${dz_pids[-1]}
    dz_write_settings '{"menuBarIcon": "anvil"}'
    dz_start_program "$program"
    dz_wait_tray $([ "$scheme" = dark ] && echo 1 || echo 2)
    # Hosts find the symbolic icon in our folder and tint it; the pixels are
    # white on a dark desktop and dark on a light one.
    if [ "$scheme" = dark ]; then
      expect_icon "name: dozuzavuvu-anvil-symbolic" "theme path: $themes" "pixel 255 255 255 255"
      # The desktop turns light while the program runs.
      dz_tray scheme light || dz_fail "could not change the scheme"
      expect_icon "name: dozuzavuvu-anvil-symbolic" "pixel 46 52 54 255"
    else
      expect_icon "name: dozuzavuvu-anvil-symbolic" "theme path: $themes" "pixel 46 52 54 255"
    fi
    [ -f "$themes/hicolor/scalable/status/dozuzavuvu-anvil-symbolic.svg" ] || dz_fail "no symbolic icon in $themes"
    dz_stop_program
    kill "$tray_pid" && wait "$tray_pid" 2>/dev/null
    dz_until 10 eval '! dz_bus_name_owned org.kde.StatusNotifierWatcher' || dz_fail "the tray host did not end"
  done

  # Dimmed at half strength while automatic cleaning is off.
  dz_start_tray
  dz_write_settings '{"menuBarIcon": "wand"}'
  dz_start_program "$program"
  dz_wait_tray 3
  expect_icon "name: dozuzavuvu-wand-symbolic" "pixel 255 255 255 255"
  "$program" 'dozuzavuvu://disable' || dz_fail "the second start did not forward"
  dimmed() { dz_tray icon | grep -E '^pixel 255 255 255 12[78]$' >/dev/null; }
  dz_until 10 dimmed || { dz_tray icon >&2; dz_fail "the icon is not dimmed to half strength"; }
  dz_stop_program
}

case_held_chord() {
  dz_write_settings '{}'
  dz_start_program "$program"
  copy
  expect_clipboard "$plain" "a rich copy"
  start_receiver
  # Held for two seconds, the letter let go first and the modifiers a second
  # later: the paste waits for the letter, and its Ctrl+V is no Ctrl+Alt+V.
  xdotool keydown ctrl+alt+m
  sleep 2
  xdotool keyup m
  sleep 1
  xdotool keyup alt+ctrl
  expect_paste 1 "$markdown" "the Markdown shortcut held for two seconds"
  expect_clipboard "$plain" "after the held Markdown paste"
  xdotool key ctrl+v
  expect_paste 2 "$plain" "an ordinary paste after it"
}

case_copy_original() {
  dz_start_tray
  # A stored map replaces the defaults as a whole.
  dz_write_settings '{"shortcuts": {"copyOriginal": {"keyCode": 40, "carbonModifiers": 6144, "display": "\u2303\u2325K"}}}'
  dz_start_program "$program"
  dz_wait_tray 1
  start_receiver
  last_copy_is() { dz_tray menu | grep "^(disabled) Last copy: .* — $1\$" >/dev/null; }
  xdotool key ctrl+alt+k
  dz_until 10 grep -qx 'copy-key ctrl' "$dz_work/receiver.out" ||
    dz_fail "the focused window did not get Ctrl+C: $(grep copy-key "$dz_work/receiver.out")"
  # The window copies, as an application does on Ctrl+C.
  copy
  dz_until 10 last_copy_is "formatting kept (Alt bypass)" || { dz_tray menu >&2; dz_fail "the copy was not kept"; }
  clipboard_is "$html" text/html && ! clipboard_is "$plain" ||
    dz_fail "the copy kept its formatting, yet was changed: $("$tool" read UTF8_STRING)"
  # Only that copy.
  copy
  dz_until 10 clipboard_is "$plain" || { dz_tray menu >&2; dz_fail "the copy after the kept one: $("$tool" read UTF8_STRING)"; }
  [ "$(grep -c copy-key "$dz_work/receiver.out")" = 1 ] || dz_fail "Ctrl+C was typed more than once"
}

case_tap_key() {
  dz_start_tray
  dz_write_settings '{"tapKey": "shift"}'
  dz_start_program "$program"
  dz_wait_tray 1
  last_copy_is() { dz_tray menu | grep "^(disabled) Last copy: .* — $1\$" >/dev/null; }
  xdotool key alt
  sleep 0.5
  copy
  expect_clipboard "$plain" "a copy after an Alt tap, with Shift as the tap key"
  xdotool key shift
  sleep 0.5
  copy
  dz_until 10 last_copy_is "formatting kept (Alt bypass)" || { dz_tray menu >&2; dz_fail "the copy after a Shift tap was not kept"; }
  clipboard_is "$html" text/html || dz_fail "the copy after a Shift tap was changed"
}

case_xterm_paste() {
  need command -v xterm
  need command -v xclip
  dz_write_settings '{}'
  dz_start_program "$program"
  copy
  expect_clipboard "$plain" "a rich copy"
  xterm -class DzXTerm -e sh -c "stty -echo; cat > '$dz_work/typed'" &
  dz_pids+=($!)
  dz_until 10 xdotool search --class DzXTerm >/dev/null || dz_fail "xterm did not start"
  xdotool search --class DzXTerm windowactivate --sync >/dev/null 2>&1
  printf 'an old selection' | xclip -selection primary -i
  dz_until 5 eval '[ "$(xclip -selection primary -o 2>/dev/null)" = "an old selection" ]' ||
    dz_fail "could not select text"
  xdotool key ctrl+alt+m
  typed_is() { [ "$(cat "$dz_work/typed" 2>/dev/null)" = "$markdown" ]; }
  # cat sees the text once its line ends.
  sleep 1.5
  xdotool key Return
  dz_until 10 typed_is || dz_fail "xterm got '$(od -c "$dz_work/typed" | head -3)', not the Markdown"
  dz_until 10 eval '[ "$(xclip -selection primary -o 2>/dev/null)" = "an old selection" ]' ||
    dz_fail "the old selection did not come back: '$(xclip -selection primary -o 2>&1)'"
  expect_clipboard "$plain" "the clipboard, untouched by the paste into xterm"
}

case "$case_name" in
  xterm-paste) case_xterm_paste ;;
  held-chord) case_held_chord ;;
  copy-original) case_copy_original ;;
  tap-key) case_tap_key ;;
  tray) case_tray ;;
  tray-icon) case_tray_icon ;;
  one-shot) case_one_shot ;;
  alt-bypass) case_alt_bypass ;;
  url-scheme) case_url_scheme ;;
  link-paste) case_link_paste ;;
  restart) case_restart ;;
  reopen) case_reopen ;;
  busy-render) case_busy_render ;;
  *) echo "unknown case $case_name" >&2; exit 2 ;;
esac
echo "ok: $case_name"
