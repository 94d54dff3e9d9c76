#!/usr/bin/env bash
# The tree that `cmake --install` makes, used from where it was installed.
#   installed_tree_test.sh BUILD_DIR run       programs run from the prefix
#   installed_tree_test.sh BUILD_DIR desktop   desktop files and icons validate
set -euo pipefail
build=$1
check=$2
work=$(mktemp -d)
prefix=$work/prefix
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log" >&2; fail "cmake --install"; }
program=$prefix/lib/norvane

run_check() {
  # A private home, no display: only command-line runs.
  export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config NORVANE_MACHINE_STORE=$work/home/machine.ini
  unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM NORVANE_TRACE
  mkdir -p "$HOME"
  # Run as a user, as a family does: root would write into a read-only folder.
  local as_user=()
  if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$work"
    chown -R 65534:65534 "$HOME"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi

  for f in norvane norvane-cli norvane-refservice; do
    [ -x "$program/$f" ] || fail "$f is not an executable in the program folder"
  done
  for f in libnorvane-reports.so oem.ini local.dat language/cn.dat language/tw.dat refservice/characters.tsv; do
    [ -f "$program/$f" ] || fail "$f is missing from the program folder"
  done
  for f in norvane norvane-cli; do
    [ "$(readlink "$prefix/bin/$f")" = "../lib/norvane/$f" ] || fail "bin/$f is not a link into the program folder"
  done
  for key in Service Statistics Update; do
    grep -qx "$key=local" "$program/oem.ini" || fail "oem.ini does not name the built-in service for $key"
  done

  # Nothing is written into the program folder at run time; make it read-only
  # as a package installs it (this binds only when the test is not run as root).
  listing() { (cd "$program" && find . -printf '%p %s %T@\n' | sort); }
  local before
  before=$(listing)
  chmod -R a-w "$program"

  local out
  out=$("${as_user[@]}" "$prefix/bin/norvane-cli" names --surname 李 --gender 1 --birthday "2020-2-8 09:05:00" --county 110101 \
    2>"$HOME/cli.err") || { cat "$HOME/cli.err" >&2; fail "norvane-cli names failed"; }
  grep -q '"Ming"' <<<"$out" || fail "norvane-cli names printed no names: $out"
  [ "$(grep -c '"Ming"' <<<"$out")" -eq 10 ] || fail "norvane-cli names printed not a page of ten"
  ! pgrep -f "$program/norvane-refservice" >/dev/null || fail "norvane-cli left its built-in service running"

  # The report command is handed to norvane-cli-report in the program folder
  # (found through the bin/ link), which lays the PDF out without a display.
  if [ -x "$program/norvane-cli-report" ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY "${as_user[@]}" "$prefix/bin/norvane-cli" report --fortune --surname 李 --name 白 \
      --pdf "$HOME/fortune.pdf" >"$HOME/report.out" 2>"$HOME/report.err" ||
      { cat "$HOME/report.err" >&2; fail "norvane-cli report failed"; }
    [ -s "$HOME/fortune.pdf" ] || fail "norvane-cli report wrote no PDF"
    [ "$(head -c 5 "$HOME/fortune.pdf")" = "%PDF-" ] || fail "norvane-cli report wrote no PDF"
  fi

  "${as_user[@]}" "$prefix/bin/norvane" /uninstall 2>"$HOME/uninstall.err" || { cat "$HOME/uninstall.err" >&2; fail "norvane /uninstall did not exit 0"; }
  ! pgrep -f "$program/norvane-refservice" >/dev/null || fail "norvane /uninstall left its built-in service running"

  # The window program on an invisible display: it starts, shows its window,
  # and closing it (SIGTERM closes the window the ordinary way) ends its
  # service too.
  local gui_log=$HOME/gui.err
  QT_QPA_PLATFORM=offscreen NORVANE_TRACE=1 "${as_user[@]}" "$prefix/bin/norvane" 2>"$gui_log" &
  local gui=$!
  local waited=0
  until grep -q 'main window shown' "$gui_log" && grep -q 'built-in service: pid .* at http' "$gui_log"; do
    sleep 0.2
    waited=$((waited + 1))
    if [ $waited -gt 300 ] || ! kill -0 $gui 2>/dev/null; then
      kill -KILL $gui 2>/dev/null || true
      cat "$gui_log" >&2
      fail "the window program did not show its window with the built-in service"
    fi
  done
  kill -TERM $gui
  local status=0
  wait $gui || status=$?
  [ $status -eq 0 ] || { cat "$gui_log" >&2; fail "the window program ended with status $status after SIGTERM"; }
  ! pgrep -f "$program/norvane-refservice" >/dev/null || fail "the window program left its built-in service running"

  [ "$before" = "$(listing)" ] || fail "the program folder changed at run time"

  # The program starts without the browser engine; the report module it loads
  # for reports finds everything it needs in the installed program.
  bash "$(dirname "$0")/../app/report_module_fit.sh" "$program/norvane" "$program/libnorvane-reports.so" ||
    fail "the installed report module does not fit the installed program"
}

# Reads width and height from a PNG's header.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3*256+$4, $7*256+$8 }'; }

desktop_check() {
  desktop-file-validate "$prefix/share/applications/norvane.desktop" || fail "desktop-file-validate"
  appstreamcli validate --no-net "$prefix/share/metainfo/com.norvane.Norvane.metainfo.xml" || fail "appstreamcli validate"
  local desktop=$prefix/share/applications/norvane.desktop
  grep -qx 'Exec=norvane' "$desktop" || fail "the desktop file does not start norvane"
  grep -qx 'StartupWMClass=Norvane' "$desktop" || fail "StartupWMClass is not the window's class"
  grep -q '^Name\[zh_CN\]=' "$desktop" && grep -q '^Comment\[zh_CN\]=' "$desktop" || fail "no Chinese name or comment"
  grep -q '<launchable type="desktop-id">norvane.desktop</launchable>' "$prefix/share/metainfo/com.norvane.Norvane.metainfo.xml" ||
    fail "the metainfo does not name norvane.desktop"
  [ -f "$prefix/share/icons/hicolor/scalable/apps/norvane.svg" ] || fail "no scalable icon"
  for size in 16 22 24 32 48 64 128 256; do
    local icon=$prefix/share/icons/hicolor/${size}x${size}/apps/norvane.png
    [ -f "$icon" ] || fail "no ${size}px icon"
    [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "$icon is $(png_size "$icon"), not ${size}x${size}"
  done
  for page in norvane norvane-cli; do
    gzip -t "$prefix/share/man/man1/$page.1.gz" || fail "manual page of $page is not gzip"
  done
  zcat "$prefix/share/man/man1/norvane-cli.1.gz" | grep -q '^\.SH SYNOPSIS' || fail "manual page of norvane-cli has no synopsis"
}

case $check in
  run) run_check ;;
  desktop) desktop_check ;;
  *) fail "unknown check $check" ;;
esac
echo "ok: $check"
