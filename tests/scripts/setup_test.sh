#!/bin/sh
# scripts/setup goes on past a package list that cannot be fetched, and leaves
# Wine's 32-bit part out only when apt cannot install it; scripts/wine-env
# then runs the x86_64 build alone. apt-get, dpkg-query, dpkg and sudo are
# stand-ins that fail as the real ones do, so no package tool runs. The 64-bit
# loader is the real one.
scripts=$1
dir=$(mktemp -d "${TMPDIR:-/tmp}/setup-test.XXXXXX")
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/bin"
cat >"$dir/bin/dpkg-query" <<'STANDIN'
#!/bin/sh
grep -qx "$3" "$STANDIN/installed" && printf 'install ok installed' && exit 0
echo "dpkg-query: no packages found matching $3" >&2 && exit 1
STANDIN
printf '#!/bin/sh\necho i386\n' >"$dir/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' >"$dir/bin/sudo"
cat >"$dir/bin/apt-get" <<'STANDIN'
#!/bin/sh
echo "$*" >>"$STANDIN/calls"
if echo "$*" | grep -Eq "$STANDIN_FAILS"; then
  if [ "$1" = update ]; then
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
  else
    echo "E: Unable to correct problems, you have held broken packages." >&2
  fi
  exit 100
fi
[ "$1" = update ] || { shift 4; printf '%s\n' "$@" >>"$STANDIN/installed"; }
STANDIN
chmod +x "$dir/bin"/*
: >"$dir/installed"

status=0
fail() { echo "FAILED: $*"; status=1; }
setup() { # <the apt-get calls that fail, an extended regex>: scripts/setup's status
  : >"$dir/calls"
  CHROMATTE_SET_UP= STANDIN=$dir STANDIN_FAILS=$1 PATH="$dir/bin:$PATH" sh "$scripts/setup" >"$dir/out" 2>&1 && result=0 || result=$?
  grep -q "^install" "$dir/calls" || fail "$1: the stand-in apt-get installed nothing"
  return $result
}

setup "^update|^install" && fail "the set-up passed on a failed install"
setup "^update|wine32:i386" || fail "the set-up stopped without Wine's 32-bit part: $(cat "$dir/out")"
grep -A1 "^warning: Wine's 32-bit part (wine32:i386) could not be installed" "$dir/out" |
  grep -qx "E: Unable to correct problems, you have held broken packages." || fail "no warning with apt's error: $(cat "$dir/out")"
grep -qx zip "$dir/installed" && ! grep -qx wine32:i386 "$dir/installed" || fail "not all but wine32:i386 installed"
skipped=$(STANDIN=$dir PATH="$dir/bin:$PATH" sh -c '. "$1/wine-env" && echo "$CHROMATTE_WINE_ARCHS: $CHROMATTE_WINE_SKIPPED"' sh "$scripts")
[ "$skipped" = "x86_64: Wine's 32-bit part (wine32:i386) is not installed" ] || fail "wine-env: $skipped"
# The test command stops there, before its first build, when told that the
# i686 tests must run; the stand-in cmake ends a run that goes on.
printf '#!/bin/sh\necho "$*" >>"$STANDIN/cmake-calls"\nexit 1\n' >"$dir/bin/cmake" && chmod +x "$dir/bin/cmake"
test_command() { # <CHROMATTE_REQUIRE_I686>: true when scripts/test began to build
  rm -f "$dir/cmake-calls"
  CHROMATTE_SET_UP=1 CHROMATTE_REQUIRE_I686=$1 STANDIN=$dir PATH="$dir/bin:$PATH" sh "$scripts/test" >"$dir/out" 2>&1
  [ -s "$dir/cmake-calls" ]
}
test_command 1 && fail "with CHROMATTE_REQUIRE_I686=1 and no 32-bit Wine, the test command built"
grep -qx "error: CHROMATTE_REQUIRE_I686=1, but the i686 Windows tests cannot run: ${skipped#x86_64: }" "$dir/out" ||
  fail "the switch's reason: $(cat "$dir/out")"
test_command "" || fail "without the switch, the test command stopped before its build: $(cat "$dir/out")"
setup "^update" || fail "the set-up stopped on a failed update: $(cat "$dir/out")"
grep -q "Mirror sync in progress?" "$dir/out" || fail "apt's update error not shown"
grep -qx "install -y -qq --no-install-recommends wine32:i386" "$dir/calls" || fail "wine32:i386 not tried again"
exit $status
