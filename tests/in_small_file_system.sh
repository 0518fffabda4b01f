#!/usr/bin/env bash
# Runs a command on a small file system: mounts a tmpfs of SIZE kB on DIR,
# then runs the rest. Meant to run in a user and mount namespace of its
# own; where the tmpfs cannot be mounted it ends with status 77 (skipped).
#   unshare --user --map-root-user --mount bash in_small_file_system.sh SIZE DIR COMMAND...
set -euo pipefail
size=$1 dir=$2
shift 2
mount -t tmpfs -o "size=${size}k" tmpfs "$dir" || exit 77
exec "$@"
