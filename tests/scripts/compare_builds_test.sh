#!/bin/sh
# scripts/compare-builds passes on equal files only: a file that differs,
# that either build lacks or left empty, or that neither made fails it, and
# so does a comparison of nothing.
compare=$1
dir=$(mktemp -d "${TMPDIR:-/tmp}/compare-builds-test.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cd "$dir" && mkdir a b || exit 1
for file in a/same b/same a/differs a/only-in-a a/empty-in-b; do echo x >"$file"; done
echo y >b/differs
: >b/empty-in-b
status=0
check() { # <expected exit status> <files>...
  expected=$1
  shift
  "$compare" a b "$@" >/dev/null 2>&1
  [ $? -eq "$expected" ] || { echo "FAILED: compare-builds a b $*: exit status not $expected"; status=1; }
}
check 0 same
for file in differs only-in-a empty-in-b neither; do check 1 same "$file"; done
check 2
exit $status
