#!/usr/bin/env bash
# CI: the program as a user installs it. Validates the desktop entry, the metainfo and the man
# pages; installs with `cmake --install` into a scratch prefix and starts the installed window;
# builds the Debian package, unpacks it into a scratch root (dpkg -x) and starts that window too.
# Each start runs offscreen on a private session bus with a throwaway home, and checks that the
# window found its bundle without being told, launched the helper it installed, and left one login
# item that starts an existing program; then the same with "--bundle ." from inside the bundle,
# and once more after the user turned the login item off.
# Usage: scripts/check-install.sh [BUILD_DIR]   (default build/test, as scripts/test.sh leaves it)
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
cd "$(dirname "$0")/.."

fail() { echo "check-install: $*" >&2; exit 1; }

# The helper's pid from the bus, or nothing when no one owns its name.
helper_pid() {
  dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetConnectionUnixProcessID string:com.quillonworks.mouse.helper \
    2>/dev/null | awk '{print $2}'
}

stop_helper() {
  local pid
  pid=$(helper_pid)
  [ -n "$pid" ] || return 0
  kill "$pid"
  for _ in $(seq 50); do [ -z "$(helper_pid)" ] && return 0; sleep 0.1; done
  fail "the helper (pid $pid) did not stop"
}

# Starts the window once (arguments: folder to start in, then its options) and checks what a
# user would see: it ran and took its picture, and the helper it installed runs.
run_window() {
  local folder=$1; shift
  local log=$HOME/window.log
  rm -f "$HOME/shot.png"
  # Output to a file, not a pipe: the helper the window starts inherits it and outlives it.
  if ! (cd "$folder" && QT_QPA_PLATFORM=offscreen "$prefix/bin/quillon-settings" "$@" \
        --screenshot "$HOME/shot.png" --after 1) >"$log" 2>&1; then
    cat "$log" >&2
    fail "quillon-settings $* failed in $folder"
  fi
  [ -s "$HOME/shot.png" ] || fail "no screenshot"
  local pid=""
  for _ in $(seq 50); do pid=$(helper_pid); [ -n "$pid" ] && break; sleep 0.1; done
  [ -n "$pid" ] || { cat "$log" >&2; fail "the window did not launch a helper"; }
  local exe
  exe=$(readlink -f "/proc/$pid/exe")
  [ "$exe" = "$(readlink -f "$prefix/bin/quillon-helper")" ] || fail "the running helper is $exe"
}

# Exactly one login item, and it starts the installed helper application's program.
check_one_login_item() {
  local entries=("$HOME"/.config/autostart/*.desktop)
  [ ${#entries[@]} -eq 1 ] && [ -f "${entries[0]}" ] ||
    fail "want one login item, found: $(ls -A "$HOME/.config/autostart" 2>/dev/null | tr '\n' ' ')"
  local program
  program=$(sed -n 's/^Exec="\{0,1\}\([^"]*\)"\{0,1\}.*/\1/p' "${entries[0]}")
  [ "$program" = "$prefix/share/QuillonMouseHelper.app/Contents/MacOS/quillon-helper" ] ||
    fail "the login item starts $program"
  [ -x "$program" ] || fail "the login item's program $program does not exist"
}

# Inside a private bus: the three starts against one installed tree.
if [ "${1:-}" = "--in-session" ]; then
  prefix=$2
  trap stop_helper EXIT
  export HOME XDG_CONFIG_HOME="$HOME/.config"
  run_window /
  check_one_login_item
  stop_helper
  # A relative bundle, given from inside it: the helper is still the one beside the bundle.
  run_window "$prefix/share/quillon-mouse" --bundle .
  check_one_login_item
  stop_helper
  item=$HOME/.config/autostart/quillonmousehelper.desktop
  [ -f "$item" ] || fail "the login item is not $item"
  # The user turns it off in the desktop's startup settings: the helper still starts with the
  # window, but the item stays off and no second one appears.
  echo "Hidden=true" >>"$item"
  before=$(cat "$item")
  run_window /
  [ "$(ls -A "$HOME/.config/autostart")" = quillonmousehelper.desktop ] ||
    fail "items after turning it off: $(ls -A "$HOME/.config/autostart" | tr '\n' ' ')"
  [ "$(cat "$item")" = "$before" ] || fail "the turned-off login item was changed"
  exit 0
fi

# One installed tree: prefix is where bin/ and share/ are.
check_tree() {
  local what=$1
  prefix=$2
  echo "== $what: $prefix"
  desktop-file-validate "$prefix/share/applications/com.quillonworks.mouse.settings.desktop"
  appstreamcli validate --no-net "$prefix/share/metainfo/com.quillonworks.mouse.settings.metainfo.xml"
  for page in "$prefix"/share/man/man1/quillon-*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" | grep -q '^NAME' || fail "$page does not render"
  done
  for program in quillon-settings quillon-helper quillon-prefs quillon-plutil; do
    [ -x "$prefix/bin/$program" ] || fail "$program is not installed"
  done
  for size in 16x16 48x48 256x256; do
    [ -s "$prefix/share/icons/hicolor/$size/apps/com.quillonworks.mouse.settings.png" ] ||
      fail "no $size icon"
  done
  # quillon-prefs finds the installed bundle's defaults on its own.
  local home
  home=$(mktemp -d "$scratch/home.XXXXXX")
  HOME=$home "$prefix/bin/quillon-prefs" check >/dev/null 2>"$home/prefs.err" ||
    { cat "$home/prefs.err" >&2; fail "quillon-prefs check failed"; }
  HOME=$home dbus-run-session -- "$self" --in-session "$prefix"
  echo "   window started, found its bundle, launched the installed helper, one login item"
}

scripts/deps.sh install
build=${1:-build/test}
[ -f "$build/CMakeCache.txt" ] || fail "$build is not a configured build tree (run scripts/test.sh)"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillon-check-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

start=$(date +%s)
echo "== validators on the sources"
desktop-file-validate data/com.quillonworks.mouse.settings.desktop
appstreamcli validate --no-net data/com.quillonworks.mouse.settings.metainfo.xml

scripts/package.sh "$build"
cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" ||
  { cat "$scratch/install.log" >&2; fail "cmake --install failed"; }
check_tree "cmake --install" "$scratch/prefix"
deb=(build/package/quillon-mouse_*.deb)
dpkg-deb --contents "${deb[0]}" >"$scratch/contents"
grep -q ' \./usr/bin/quillon-settings$' "$scratch/contents" || fail "the package lacks the window"
dpkg -x "${deb[0]}" "$scratch/root"
check_tree "dpkg -x" "$scratch/root/usr"
echo "check-install: all passed in $(( $(date +%s) - start )) s"
