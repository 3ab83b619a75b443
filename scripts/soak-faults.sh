#!/usr/bin/env bash
# The soak with faults: rux-soak on a folder where saves meet a full disk (a small tmpfs) and a
# read-only folder (a read-only bind mount: root ignores permission bits), a dropped photo vanishes
# before it opens, and the process is SIGKILLed every few hundred touches and started again, to
# reopen the photo from its journal. The mounts live in a mount namespace of their own (unshare -m),
# so nothing outside sees them and they go when the run ends. A machine that cannot make a fault
# (no unshare, no mount rights) fails the run and says which fault; it never passes without it.
#
#   soak-faults.sh RUX_SOAK [TOUCHES] [SEED]
#
# Exit status: 0 every check held and nothing was lost, 1 otherwise.
set -euo pipefail

soak=${1:?usage: soak-faults.sh RUX_SOAK [TOUCHES] [SEED]}
touches=${2:-1200}
seed=${3:-1}
# More kills than this means a run that never gets through.
max_runs=$((touches / 100 + 10))

if [ "${RUX_SOAK_IN_NAMESPACE:-}" != 1 ]; then
    if ! command -v unshare >/dev/null; then
        echo "soak-faults: cannot make the full-disk and read-only faults: unshare is not installed" >&2
        exit 1
    fi
    if ! unshare -m --propagation private true 2>/dev/null; then
        echo "soak-faults: cannot make the full-disk and read-only faults: no rights to a mount namespace" \
            "(unshare -m); run as root" >&2
        exit 1
    fi
    exec env RUX_SOAK_IN_NAMESPACE=1 unshare -m --propagation private bash "$0" "$@"
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/rux-soak-faults.XXXXXX")
cleanup() {
    umount "$dir/full" 2>/dev/null || true
    umount "$dir/readonly" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
mkdir -p "$dir/full" "$dir/readonly" "$dir/state" "$dir/photos"
if ! mount -t tmpfs -o size=2m tmpfs "$dir/full"; then
    echo "soak-faults: cannot make the full-disk fault: mounting a tmpfs failed" >&2
    exit 1
fi
if ! mount --bind "$dir/readonly" "$dir/readonly" || ! mount -o remount,bind,ro "$dir/readonly"; then
    echo "soak-faults: cannot make the read-only fault: a read-only bind mount failed" >&2
    exit 1
fi

# A killed run (SIGKILL: status 137) is started again with the same arguments and goes on from
# where it stopped; any other status ends the soak.
runs=0 kills=0
while :; do
    runs=$((runs + 1))
    status=0
    "$soak" --seed "$seed" --touches "$touches" --size 384x256 --idle-every 20 --faults "$dir" \
        --reopen-every 300 || status=$?
    if [ "$status" -ne 137 ]; then
        break
    fi
    kills=$((kills + 1))
    if [ "$runs" -ge "$max_runs" ]; then
        echo "soak-faults: $runs runs and still not through" >&2
        exit 1
    fi
done
echo "soak-faults: $runs runs, $kills of them killed and reopened; exit status $status"
exit "$status"
