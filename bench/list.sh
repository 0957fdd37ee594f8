#!/usr/bin/env bash
# zipkeeper list against zipinfo -1 on an archive of 60,000 entries: interleaved runs, the medians
# and their ratio. Usage: bench/list.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-7}
scripts/setup
scripts/build build >/dev/null
work=build/bench
mkdir -p "$work"
archive=$work/entries60000.zip
if [[ ! -f $archive ]]; then
  python3 - "$archive" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as z:
    for i in range(60000):
        z.writestr(f"folder{i // 1000:02d}/file{i:05d}.txt", f"entry {i}\n")
PY
fi
export PINFORGE_ROOT=$PWD/$work/machine PINFORGE_UI=default
ours() { build/bin/zipkeeper list "$PWD/$archive" --unattended > /dev/null; }
peer() { zipinfo -1 "$archive" > /dev/null; }
ours; peer  # warm the page cache
ns() { local s=$(date +%s%N); "$@"; echo $(( $(date +%s%N) - s )); }
a=(); b=()
for ((i = 0; i < runs; i++)); do a+=("$(ns ours)"); b+=("$(ns peer)"); done
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
ma=$(median "${a[@]}"); mb=$(median "${b[@]}")
printf 'zipkeeper list: %.1f ms   zipinfo -1: %.1f ms   ratio %.3f (%d interleaved runs each)\n' \
  "$(echo "$ma / 1000000" | bc -l)" "$(echo "$mb / 1000000" | bc -l)" "$(echo "$ma / $mb" | bc -l)" "$runs"
