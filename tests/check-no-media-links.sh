#!/usr/bin/env bash
# Every executable the project builds must load the media libraries and SDL at run time only:
# none of them may be a link-time dependency.
set -u
build="$1"
status=0
count=0
while IFS= read -r exe; do
  head -c 4 "$exe" | grep -q $'\x7fELF' || continue
  count=$((count + 1))
  if ldd "$exe" | grep -E 'libav|libsw|libSDL2|libpostproc'; then
    echo "linked at build time: $exe"
    status=1
  fi
done < <(find "$build" -path "$build/CMakeFiles" -prune -o -type f -perm -u+x ! -name '*.so*' -print)
echo "$count executables checked"
[ "$count" -gt 0 ] || status=1
exit $status
