#!/usr/bin/env bash
# The catalogues stay complete: every entry has a finished translation, and lupdate, run over the
# sources into a copy of each catalogue, finds no text that the catalogue lacks and none that the
# sources no longer have.  A class that calls tr() without declaring its translation context
# would look its texts up under its Qt base class, where no catalogue has them: lupdate's warning
# about it fails the check too.
#   check-translations.sh SOURCE_DIR LUPDATE FOLDER...
set -uo pipefail
root="$1"
lupdate="$2"
shift 2
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

count() { grep -c '<message' "$1"; }
unfinished() { grep -B3 'type="unfinished"' "$1" | grep '<source>' | head -20; }

for ts in "$root"/translations/*.ts; do
  name="$(basename "$ts")"
  [ -z "$(unfinished "$ts")" ] || fail "$name has entries without a translation:
$(unfinished "$ts")"
  ! grep -q 'type="vanished"\|type="obsolete"' "$ts" || fail "$name keeps entries of texts gone"
  cp "$ts" "$work/$name"
  # English, the language of the sources, keeps only the plural forms of its counts.
  only=()
  [ "$name" = morvane_en.ts ] && only=(-pluralonly)
  (cd "$root" && "$lupdate" -I . -locations none -no-obsolete "${only[@]}" "$@" -ts "$work/$name") \
    > "$work/lupdate.log" 2>&1 || fail "lupdate: $(cat "$work/lupdate.log")"
  ! grep -q "lacks Q_OBJECT" "$work/lupdate.log" ||
    fail "tr() without a context of its own: $(grep "lacks Q_OBJECT" "$work/lupdate.log")"
  [ -z "$(unfinished "$work/$name")" ] || fail "texts of the sources missing from $name:
$(unfinished "$work/$name")"
  [ "$(count "$ts")" = "$(count "$work/$name")" ] ||
    fail "$name has $(count "$ts") entries, the sources $(count "$work/$name")"
  echo "$name: $(count "$ts") texts, all translated"
done
