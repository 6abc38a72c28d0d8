#!/usr/bin/env bash
# Writes the manual page of one program, gzip-compressed, from its --help text, so that the page
# and the program's own help never tell different stories.  The help texts share one layout:
# "Usage:" lines, a description, headings ending in ":" with "  -option ARG   text" lines (text
# continued on lines indented further), and an "Exit status:" paragraph.  Only the one-line
# summary of the NAME section (what whatis and apropos show) is given here.
#
# make-man-page.sh PROGRAM SUMMARY VERSION DATE OUTPUT.gz [OTHER-PROGRAM ...]
set -euo pipefail
program="$1" summary="$2" version="$3" date="$4" output="$5"
shift 5
name="$(basename "$program")"

help="$("$program" --help)"
see_also=""
for other in "$@"; do see_also+="${see_also:+, }\\fB${other//-/\\-}\\fR(1)"; done

# Handed over in the environment: awk -v would take the backslashes of \fB as escapes.
page="$(printf '%s\n' "$help" | NAME="$name" SUMMARY="$summary" VERSION="$version" DATE="$date" \
  SEE_ALSO="$see_also" awk '
function esc(s) {
  gsub(/\\/, "\\\\e", s)
  gsub(/-/, "\\\\-", s)
  if (s ~ /^[.\047]/) s = "\\&" s
  return s
}
function trim(s) {
  sub(/^ +/, "", s)
  sub(/ +$/, "", s)
  return s
}
function text(s) {
  if (paragraph) print ".PP"
  paragraph = 0
  print esc(trim(s))
}
function description() {
  if (state != "synopsis") return
  print ".fi"
  print ".SH DESCRIPTION"
  state = "description"
  paragraph = 0
}
# A help text without a description of its own: the summary, as a sentence.
function summary_only() {
  if (state != "synopsis") return
  description()
  print esc(toupper(substr(summary, 1, 1)) substr(summary, 2)) "."
}
BEGIN {
  name = ENVIRON["NAME"]
  summary = ENVIRON["SUMMARY"]
  see_also = ENVIRON["SEE_ALSO"]
  upper = toupper(name)
  gsub(/-/, "\\-", upper)
  print ".\\\" Made at build time from the output of " name " --help."
  printf ".TH %s 1 %s \"morvane %s\" \"User Commands\"\n", upper, ENVIRON["DATE"], ENVIRON["VERSION"]
  print ".SH NAME"
  print esc(name) " \\- " esc(summary)
  print ".SH SYNOPSIS"
  print ".nf"
  state = "synopsis"
}
state == "synopsis" && /^(Usage:)? +[^ ]/ {
  line = trim($0)
  sub(/^Usage: +/, "", line)
  first = line
  sub(/ .*/, "", first)
  print "\\fB" esc(first) "\\fR" esc(substr(line, length(first) + 1))
  next
}
/^$/ { paragraph = 1; next }
/^Exit status: / {
  summary_only()
  print ".SH EXIT STATUS"
  state = "exit"
  paragraph = 0
  text(substr($0, 14))
  next
}
/^[^ ].*:$/ {
  heading = substr($0, 1, length($0) - 1)
  summary_only()
  if (state != "options") {
    print ".SH OPTIONS"
    state = "options"
    if (heading != "Options") print ".SS " esc(heading)
  } else {
    print ".SS " esc(heading)
  }
  paragraph = 0
  next
}
state == "options" && /^  -/ {
  term = $0
  rest = ""
  if (match($0, /^  -[^ ]*( [^ -][^ ]*)?  +/)) {
    term = substr($0, 1, RLENGTH)
    rest = substr($0, RLENGTH + 1)
  }
  term = trim(term)
  option = term
  sub(/ .*/, "", option)
  argument = substr(term, length(option) + 2)
  print ".TP"
  print "\\fB" esc(option) "\\fR" (argument == "" ? "" : " \\fI" esc(argument) "\\fR")
  # "this text" of the help would point at the page itself.
  if (rest == "this text") rest = "print the help text and exit"
  if (rest != "") print esc(rest)
  paragraph = 0
  next
}
state == "options" && /^    +[^ ]/ { print esc(trim($0)); next }
{
  description()
  text($0)
}
END {
  summary_only()
  if (see_also != "") {
    print ".SH SEE ALSO"
    print see_also
  }
}')"

mkdir -p "$(dirname "$output")"
# -n: no name or time stamp in the header, so that the same page gives the same bytes.
printf '%s\n' "$page" | gzip -9n > "$output.tmp"
mv "$output.tmp" "$output"
