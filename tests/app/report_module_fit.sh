#!/usr/bin/env bash
# The program and its report module, as built or installed:
#   report_module_fit.sh PROGRAM MODULE
# - the program needs none of the browser engine's libraries (nor Quick, Qml,
#   WebChannel, Positioning, PrintSupport), directly or through another
#   library, so a start loads none of them;
# - the module needs them, and every symbol it leaves to its host is defined
#   (and exported) by the program or by a library the module itself needs,
#   so loading it into the program binds every symbol.
set -euo pipefail
program=$1
module=$2
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
[ -x "$program" ] || fail "no program at $program"
[ -f "$module" ] || fail "no report module at $module"

heavy='libQt6(WebEngineCore|WebEngineWidgets|WebChannel|Quick|QuickWidgets|Qml|QmlModels|Positioning|PrintSupport)\.so'
loaded=$(ldd "$program")
! grep -E "$heavy" <<<"$loaded" || fail "the program loads the libraries above at start"
grep -qE 'libQt6WebEngineWidgets\.so' <<<"$(readelf -d "$module")" || fail "the module does not need the web engine"

# Undefined, non-weak symbols of the module, without version suffixes.
needed=$(nm -D --undefined-only "$module" | awk '$1 == "U" { sub(/@.*/, "", $2); print $2 }' | sort -u)
provided=$({
  nm -D --defined-only "$program"
  ldd "$module" | awk '/=> \// { print $3 }' | while read -r lib; do nm -D --defined-only "$lib"; done
} | awk '{ sub(/@.*/, "", $3); print $3 }' | sort -u)
missing=$(comm -23 <(echo "$needed") <(echo "$provided"))
[ -z "$missing" ] || fail "symbols the module needs and nothing provides: $(echo "$missing" | head -20 | tr '\n' ' ')"
echo "ok: $(wc -l <<<"$needed") symbols bound"
