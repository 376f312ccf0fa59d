# Sourced by every script that runs Wine on this checkout's prefixes.
#
# Wine keeps its server's socket in $TMPDIR/wine-XXXXXX (the name is stored in the prefix) and
# never removes that directory; under build/tmp it goes with the build instead of piling up in
# /tmp. Every Wine process of one prefix must see the same TMPDIR, or a second server starts for
# the prefix. A socket path is limited to 107 bytes, so a checkout with a very long path keeps
# the system's TMPDIR.
wine_env_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/tmp
if [ ${#wine_env_dir} -le 56 ]; then
  mkdir -p "$wine_env_dir"
  export TMPDIR=$wine_env_dir
fi
unset wine_env_dir
# The file whose presence says a prefix is set up (scripts/wine-run.sh); bump its number when
# that set-up changes, so old prefixes, and the copies made of them, are set up again.
wine_prefix_marker=.tarnwell-prefix-2
