#!/usr/bin/env bash
# Installs what building and testing qarpost needs, when it is missing.
set -euo pipefail
need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
command -v xmllint >/dev/null || need+=(libxml2-utils)
# The manual pages are checked with groff; the Debian package takes its
# dependencies from dpkg-shlibdeps, which cpack runs after file(1).
command -v groff >/dev/null || need+=(groff-base)
command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev)
command -v file >/dev/null || need+=(file)
# The consumers that check every export in the tests: genhtml and lcov read
# the LCOV tracefiles, Debian's python3 checks the JSON against its schema.
command -v genhtml >/dev/null || need+=(lcov)
/usr/bin/python3 -c 'import jsonschema' 2>/dev/null || need+=(python3-jsonschema)
# The patch figures are compared with diff-cover's reading of the Cobertura export.
command -v diff-cover >/dev/null || need+=(diff-cover)
# The browser tests of the HTML report render its pages headless.
command -v chromium-headless-shell >/dev/null || command -v chromium >/dev/null ||
  need+=(chromium-headless-shell)
# The fuzz targets (scripts/fuzz.sh) need clang 14 and its runtimes.
if [ "${1:-}" = "--fuzz" ]; then
  command -v clang++-14 >/dev/null || need+=(clang-14)
  compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-*.a" >/dev/null ||
    need+=(libclang-rt-14-dev)
fi
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd=sudo
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${need[@]}"
fi
