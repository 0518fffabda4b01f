#!/usr/bin/env bash
# Builds the Debian package from the build tree into a scratch folder, unpacks
# it with dpkg-deb and checks what it holds: the control fields, the programs
# and their manual pages, and the unpacked qarpost writing the bundled
# example's execution profile exactly as the end-to-end case expects it.
#   check_deb_package.sh BUILD_DIR SOURCE_DIR WITH_EXPORT(0|1) EXPECTED_PROFILE
set -uo pipefail
build=$1
source=$2
with_export=$3
expected_profile=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "--- $*"; failed=1; }

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "--- cpack failed"
  exit 1
fi
packages=("$work"/out/*.deb)
if [ ${#packages[@]} -ne 1 ] || [ ! -f "${packages[0]}" ]; then
  echo "--- expected one package, found: ${packages[*]}"
  exit 1
fi
deb=${packages[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = qarpost ] || fail "Package is '$(field Package)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
grep -q 'libc6' <<<"$(field Depends)" || fail "Depends '$(field Depends)' does not name the C library"

dpkg-deb -x "$deb" "$work/root" || { echo "--- dpkg-deb -x failed"; exit 1; }
root=$work/root/usr

# The programs and their pages, compressed, and the pages as written in man/.
programs=(qarpost)
[ "$with_export" = 1 ] && programs+=(qarpost-export)
for program in "${programs[@]}"; do
  [ -x "$root/bin/$program" ] || fail "usr/bin/$program missing or not executable"
  page=$root/share/man/man1/$program.1.gz
  if [ ! -f "$page" ]; then
    fail "usr/share/man/man1/$program.1.gz missing"
  elif ! gzip -dc "$page" | cmp -s - "$source/man/$program.1"; then
    fail "the packaged $program.1 differs from man/$program.1"
  fi
done
if [ "$with_export" != 1 ] && [ -e "$root/bin/qarpost-export" -o -e "$root/share/man/man1/qarpost-export.1.gz" ]; then
  fail "qarpost-export is packaged although this build has no such program"
fi
unexpected=$(cd "$work/root" && find . -type f | sort | grep -vE '^\./usr/(bin/qarpost(-export)?|share/man/man1/qarpost(-export)?\.1\.gz)$')
[ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"

# The package's version is the version the program reports.
usage=$("$root/bin/qarpost" -h)
[ $? -eq 0 ] || fail "the unpacked qarpost -h did not end with status 0"
grep -qF "(v$(field Version))" <<<"$usage" || fail "package version $(field Version) is not the program's"

# The unpacked program on the bundled example, with the clock of the e2e cases.
( cd "$source/examples" &&
  env -i PATH=/usr/bin:/bin TZ=UTC SOURCE_DATE_EPOCH=1764950400 HOME="$work" \
    "$root/bin/qarpost" MON.sym run1.dat run2.dat -p - >"$work/profile.txt" 2>"$work/stderr.txt" )
status=$?
[ $status -eq 0 ] || fail "the unpacked qarpost ended with status $status: $(cat "$work/stderr.txt")"
[ -s "$work/stderr.txt" ] && fail "the unpacked qarpost wrote to standard error: $(cat "$work/stderr.txt")"
if ! cmp -s "$expected_profile" "$work/profile.txt"; then
  fail "the unpacked qarpost's profile listing differs from $expected_profile:"
  diff -u "$expected_profile" "$work/profile.txt" | head -n 40
fi

[ $failed -eq 0 ] && echo "$(basename "$deb") holds ${programs[*]} with the manual pages; the example profile is as expected"
exit $failed
