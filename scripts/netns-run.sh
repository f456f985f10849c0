#!/usr/bin/env bash
# Runs a command inside a private network namespace that stands in for the
# operator's network: loopback up with multicast, the multicast range routed
# on lo and the operator's server addresses bound to lo. Nothing sent inside
# it (multicast, IGMP, traffic to 172.26.x or 239.x) can leave this machine.
#
#   scripts/netns-run.sh <command> [args...]
set -euo pipefail

OPERATOR_ADDRESSES=(172.26.22.23 172.26.23.3 172.26.24.10)

if [ $# -eq 0 ]; then
  echo "usage: $0 <command> [args...]" >&2
  exit 2
fi

if [ "${QUORVINA_NETNS_STAGE:-}" = "setup" ]; then
  # Inside the new namespace: set up the interfaces and run the command.
  unset QUORVINA_NETNS_STAGE
  ip link set lo up
  ip link set lo multicast on
  ip route add 224.0.0.0/4 dev lo 2>/dev/null || true
  for a in "${OPERATOR_ADDRESSES[@]}"; do
    ip addr add "$a/32" dev lo 2>/dev/null || true
  done
  exec "$@"
fi

# Every call makes a namespace of its own, also from inside another one, so
# that tests running side by side never share addresses or ports.
export QUORVINA_NETNS=1 QUORVINA_NETNS_STAGE=setup
self="$(readlink -f "$0")"
if [ "$(id -u)" -eq 0 ]; then
  exec unshare --net -- "$self" "$@"
fi
if unshare --user --map-root-user --net -- true 2>/dev/null; then
  exec unshare --user --map-root-user --net -- "$self" "$@"
fi
echo "netns-run: cannot create a private network namespace: run as root, or enable" \
     "unprivileged user namespaces (sysctl kernel.unprivileged_userns_clone=1)" >&2
exit 1
