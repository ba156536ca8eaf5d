#!/bin/sh
# scripts/compare-builds passes on equal files only: a file that differs,
# that either build lacks or left empty, or that neither build made fails
# it, and so does a comparison of nothing.
compare=$1
dir=$(mktemp -d "${TMPDIR:-/tmp}/compare-builds-test.XXXXXX")
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/first" "$dir/second"
for folder in first second; do
  echo exe >"$dir/$folder/chromatte.exe"
  echo "$folder" >"$dir/$folder/differs"
done
echo symbols >"$dir/first/only-first"
echo symbols >"$dir/first/empty-in-second"
: >"$dir/second/empty-in-second"

failures=0
expect() { # <exit status> <files>...
  status=$1
  shift
  "$compare" "$dir/first" "$dir/second" "$@" >"$dir/out" 2>&1
  got=$?
  if [ "$got" -ne "$status" ]; then
    echo "FAILED: compare-builds $*: exit status $got, expected $status"
    cat "$dir/out"
    failures=$((failures + 1))
  fi
}
expect 0 chromatte.exe
expect 1 chromatte.exe differs
expect 1 chromatte.exe only-first
expect 1 chromatte.exe empty-in-second
expect 1 chromatte.exe neither
expect 2
[ "$failures" -eq 0 ] && echo "compare-builds: every case as expected"
exit $((failures != 0))
