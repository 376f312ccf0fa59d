#!/usr/bin/env bash
# Runs a command in a fresh network namespace that has only loopback, so nothing
# it sends can leave this machine; the namespace is deleted afterwards.
set -u
ns=tw-lo-$$
ip netns add "$ns" || exit 1
trap 'ip netns del "$ns" 2>/dev/null' EXIT INT TERM
ip netns exec "$ns" ip link set lo up
ip netns exec "$ns" "$@"
