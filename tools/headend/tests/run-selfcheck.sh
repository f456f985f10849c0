#!/bin/sh
# Runs a headend self-check inside the private test network, or reports a
# skip (exit 77) when this machine can't make a network namespace.
#   run-selfcheck.sh NETNS_RUN COMMAND [ARGS...]
netns="$1"
shift
if ! "$netns" true >/dev/null 2>&1; then
  echo "SKIP: cannot create a private network namespace"
  exit 77
fi
exec "$netns" "$@"
