#!/bin/sh
# The Windows build as a plain configure on Windows meets it: without
# GoogleTest's sources it builds the program alone and says so; the ZIP is
# named for the target, whatever CMAKE_SYSTEM_PROCESSOR says (Windows gives
# the host's, AMD64); without zip and touch, cmake -E tar makes the same ZIP;
# a toolchain's default manifest (MSYS2's) leaves ours alone in the exe; the
# players' guide is in the ZIP. And the workflows run the README's commands,
# word for word.
cd "$(dirname "$0")/../.." || exit 1
dir=$(mktemp -d "${TMPDIR:-/tmp}/windows-build-test.XXXXXX")
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/no-googletest" "$dir/toolchain-manifest"
printf 'include(%s)\nset(CMAKE_SYSTEM_PROCESSOR AMD64)\n' "$PWD/cmake/i686-w64-mingw32.cmake" >"$dir/toolchain.cmake"
printf 'LANGUAGE 0, 0\n1 24 { "<assembly/>" }\n' | i686-w64-mingw32-windres -o "$dir/toolchain-manifest/default-manifest.o"
export SOURCE_DATE_EPOCH=1700000000  # both ZIPs' date, with git out of reach
status=0
fail() { echo "FAILED: $*"; status=1; }
cmake -S . -B "$dir/build" -DCMAKE_TOOLCHAIN_FILE="$dir/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCHROMATTE_GTEST_SOURCE="$dir/no-googletest" -DCMAKE_EXE_LINKER_FLAGS="-B$dir/toolchain-manifest/" >"$dir/log" 2>&1 &&
  cmake --build "$dir/build" -j "$(nproc)" --target package >>"$dir/log" 2>&1 || fail "$(tail -n 20 "$dir/log")"
grep -qx -- "-- No GoogleTest in CHROMATTE_GTEST_SOURCE ($dir/no-googletest): the tests and the bench are off." "$dir/log" ||
  fail "the configure does not say that the tests are off"
i686-w64-mingw32-windres -J coff -i "$dir/build/ui/chromatte.exe" -O rc >"$dir/resources" 2>&1
[ "$(grep -c RT_MANIFEST "$dir/resources")" -eq 1 ] && grep -q Brisquel.Chromatte "$dir/resources" ||
  fail "not one manifest, ours: $(grep -A 2 RT_MANIFEST "$dir/resources")"
zip=$dir/build/chromatte-2.1.0-i686.zip
[ -f "$zip" ] || { fail "no ZIP named for i686: $(cd "$dir/build" && echo *.zip)"; exit 1; }
cmake -E tar tf "$zip" | grep -qx chromatte-2.1.0-i686/LISEZMOI.txt || fail "no LISEZMOI.txt in the ZIP"
mv "$zip" "$dir/made-by-zip.zip"
PATH=/nonexistent "$(command -v cmake)" --build "$dir/build" --target package >"$dir/log" 2>&1 || fail "$(tail "$dir/log")"
listing() { cmake -E tar tvf "$1" | awk '{ print $1, $5, $6, $7, $8, $9 }'; }
[ -n "$(listing "$dir/made-by-zip.zip")" ] && [ "$(listing "$dir/made-by-zip.zip")" = "$(listing "$zip")" ] ||
  fail "cmake -E tar's ZIP holds other files: $(listing "$zip")"
# The workflows' one-line commands, a matrix's for a step that runs one, but
# those marked "workflow only", are README lines less a trailing comment.
for workflow in .github/workflows/*.yml; do
  sed -n -e '/# workflow only$/d' -e 's/^ *\(- \)\{0,1\}run: \([^|>$].*\)$/\2/p' "$workflow"
  for key in $(sed -n 's/^ *\(- \)\{0,1\}run: \${{ *matrix\.\([a-z]*\) *}}$/\2/p' "$workflow"); do
    sed -n "s/^ *\(- \)\{0,1\}$key: //p" "$workflow"
  done
done | sed 's/  *#.*$//' >"$dir/commands"
sed 's/  *#.*$//' README.md | grep -Fxvf - "$dir/commands" >"$dir/drift"
[ -s "$dir/commands" ] && [ ! -s "$dir/drift" ] || fail "workflow commands not in the README: $(cat "$dir/drift")"
exit $status
