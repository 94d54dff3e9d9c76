#!/usr/bin/env bash
# scripts/package builds the Debian package; its contents list and control
# fields hold what an installed Norvane needs.
#   package_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

NORVANE_BUILD_DIR=$build "$source_dir/scripts/package" "$out" >"$out/package.log" 2>&1 ||
  { cat "$out/package.log" >&2; fail "scripts/package failed"; }
debs=("$out"/norvane_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "not exactly one norvane_*.deb in $out"
deb=${debs[0]}

contents=$(dpkg-deb -c "$deb" | awk '{ $1=$2=$3=$4=$5=""; sub(/^ +/, ""); print }')
expect() { grep -qxF -- "$1" <<<"$contents" || fail "the package does not hold $1"; }
for f in norvane norvane-cli norvane-cli-report norvane-refservice libnorvane-reports.so oem.ini local.dat language/cn.dat language/tw.dat refservice/characters.tsv; do
  expect "./usr/lib/norvane/$f"
done
for page in zongh baz sanc hout shux shengr xingz xiaoming yuns compare print; do
  expect "./usr/lib/norvane/content/$page.html"
done
expect "./usr/lib/norvane/content/report.js"
expect "./usr/bin/norvane -> ../lib/norvane/norvane"
expect "./usr/bin/norvane-cli -> ../lib/norvane/norvane-cli"
expect "./usr/share/applications/norvane.desktop"
expect "./usr/share/metainfo/com.norvane.Norvane.metainfo.xml"
expect "./usr/share/icons/hicolor/scalable/apps/norvane.svg"
for size in 16 22 24 32 48 64 128 256; do expect "./usr/share/icons/hicolor/${size}x${size}/apps/norvane.png"; done
expect "./usr/share/man/man1/norvane-cli.1.gz"
expect "./usr/share/doc/norvane/copyright"
expect "./usr/share/doc/norvane/changelog.gz"
# Nothing of the build or the tests.
! grep -E 'norvane-(language|knowledge)-build|_tests?$|/tests/|\.a$' <<<"$contents" || fail "the package holds build tools or tests"
# Files belong to root, directories are 755.
dpkg-deb -c "$deb" | awk '$2 != "root/root" { bad=1 } $1 ~ /^d/ && $1 != "drwxr-xr-x" { bad=1 } END { exit bad }' ||
  fail "files not owned by root or directories not 755"

# The packaged (stripped) program still exports what its report module needs.
dpkg-deb -x "$deb" "$out/tree"
bash "$source_dir/tests/app/report_module_fit.sh" "$out/tree/usr/lib/norvane/norvane" "$out/tree/usr/lib/norvane/libnorvane-reports.so" ||
  fail "the packaged report module does not fit the packaged program"

[ "$(dpkg-deb -f "$deb" Package)" = norvane ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libc6 libqt6webenginecore6 libqt6webenginecore6-bin libcurl4 fonts-wqy-microhei fonts-dejavu-core; do
  grep -qE "(^|[ ,|])$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
# No maintainer scripts: nothing the package does needs one.
members=$(dpkg-deb -I "$deb" | awk '/^ +[0-9]+ bytes, +[0-9]+ lines/ { print $NF }')
for script in preinst postinst prerm postrm config; do
  ! grep -qx "$script" <<<"$members" || fail "the package has a $script script"
done
echo "ok: $(basename "$deb")"
