#!/usr/bin/env bash
# Runs a command in a fresh network namespace that has only loopback, so nothing
# it sends can leave this machine; the namespace is deleted afterwards. Its name
# begins with $TW_NS_PREFIX (default "tw"), as the test bed's do.
set -u
ns=${TW_NS_PREFIX:-tw}-lo-$$
ip netns add "$ns" || exit 1
trap 'ip netns del "$ns" 2>/dev/null' EXIT INT TERM
ip netns exec "$ns" ip link set lo up
ip netns exec "$ns" "$@"
