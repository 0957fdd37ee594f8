#!/usr/bin/env bash
# zipkeeper extract against unzip -qo on (a) about 256 MiB of mixed files in about 2,000 entries
# and (b) 20,000 small files of 1 to 8 KiB: interleaved runs, each into a new folder, the medians,
# their ratio, and our peak memory on (a). Usage: bench/extract.sh [RUNS] [mixed|small]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
sets=${2:-mixed small}
scripts/setup
scripts/build build >/dev/null
work=$PWD/build/bench
mkdir -p "$work"
make_set() {  # name count min max compressible-share
  local archive=$work/$1.zip
  [[ -f $archive ]] && return
  rm -rf "$work/$1.src"
  python3 - "$work/$1.src" "$2" "$3" "$4" "$5" <<'PY'
import os, random, sys
root, count, lo, hi, share = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5])
rng = random.Random(1234)
words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))) for _ in range(2000)]
for i in range(count):
    folder = os.path.join(root, f"dir{i // 100:03d}")
    os.makedirs(folder, exist_ok=True)
    size = int(lo * (hi / lo) ** rng.random())
    if rng.random() < share:  # text-like: compresses about 3:1
        out = bytearray()
        while len(out) < size:
            out += b" ".join(rng.choice(words) for _ in range(12)) + b"\n"
        data = bytes(out[:size])
    else:
        data = os.urandom(size)
    with open(os.path.join(folder, f"file{i:05d}.{'txt' if data[:1].isalpha() else 'bin'}"), "wb") as f:
        f.write(data)
PY
  (cd "$work/$1.src" && zip -qr "$archive" .)
  rm -rf "$work/$1.src"
}
make_set mixed 2000 4096 1048576 0.6
make_set small 20000 1024 8192 0.7
export PINFORGE_ROOT=$work/machine PINFORGE_UI=default
# SET RUN: each run into a folder of its own.
ours() { build/bin/zipkeeper extract "$work/$1.zip" -d "$work/out/ours-$1-$2" --dirnames --overwrite > /dev/null 2>&1; }
peer() { unzip -qo "$work/$1.zip" -d "$work/out/peer-$1-$2"; }
ns() { local s=$(date +%s%N); "$@"; echo $(( $(date +%s%N) - s )); }
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
# This file system is slow to create files for some minutes after many were deleted (it avoids
# reusing their inodes), so the outputs of an earlier run are removed first and then waited out.
if [[ -d $work/out ]]; then rm -rf "$work/out"; sleep "${BENCH_SETTLE:-300}"; fi
mkdir -p "$work/out"
for set in $sets; do
  ours $set warm; peer $set warm  # warm the page cache
  a=(); b=()
  for ((i = 0; i < runs; i++)); do a+=("$(ns ours $set $i)"); b+=("$(ns peer $set $i)"); done
  ma=$(median "${a[@]}"); mb=$(median "${b[@]}")
  printf '%-6s zipkeeper extract: %7.1f ms   unzip -qo: %7.1f ms   ratio %.3f (%d interleaved runs each)\n' \
    "$set" "$(echo "$ma / 1000000" | bc -l)" "$(echo "$mb / 1000000" | bc -l)" "$(echo "$ma / $mb" | bc -l)" "$runs"
done
/usr/bin/time -o "$work/peak.txt" -f '%M' build/bin/zipkeeper extract "$work/mixed.zip" -d "$work/out/peak" --dirnames > /dev/null 2>&1
printf 'peak memory of zipkeeper extract on mixed: %.1f MiB\n' "$(echo "$(tail -1 "$work/peak.txt") / 1024" | bc -l)"
