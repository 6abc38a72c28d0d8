#!/usr/bin/env bash
# The manual pages made at build time from the programs' --help: one per program, each with the
# whatis line apropos reads, and each formatted by man without a single warning (what lintian
# reports as a groff message).  Skipped (77) where man is not installed.
set -uo pipefail
pages="$1"
shift
command -v man > /dev/null || { echo "man is not installed"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

for program in "$@"; do
  page="$pages/$program.1.gz"
  [ -s "$page" ] || fail "no manual page $page"
  source="$(gzip -dc "$page")" || fail "$page is not gzip-compressed"
  name_line="$(printf '%s\n' "$source" | sed -n '/^\.SH NAME$/{n;p;q}')"
  [ "$name_line" != "" ] && [ "${name_line#"${program//-/\\-} \\- "}" != "$name_line" ] ||
    fail "$program: the NAME section is not \"$program - summary\": '$name_line'"
  for section in SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS"; do
    printf '%s\n' "$source" | grep -qx "\.SH $section" || fail "$program: no $section section"
  done
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 \
    > /dev/null)"
  [ -z "$warnings" ] || fail "$program: man warns: $warnings"
done
echo "manual pages of $* are well formed"
