#!/usr/bin/env bash
# Bunnymark: the runtime against LOVE 11.4, interleaved, three rounds, medians.
# usage: LOVE_BUNNYMARK_DIR=<folder of the LOVE program> bench/bunnymark/run.sh [build dir, default build-rel]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build-rel}"
ours="$build/bench/bunnymark/bench_bunnymark"
love_dir="${LOVE_BUNNYMARK_DIR:?set LOVE_BUNNYMARK_DIR to the folder of the LOVE bunnymark program (main.lua)}"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
results=$(mktemp)
run() { "$@" 2>/dev/null | grep '^RESULT' >> "$results" || true; }
for round in 1 2 3; do
  run "$ours" 10000 plain 50 5
  run love "$love_dir" 10000 plain 50 5
  run "$ours" 10000 rotzoom 50 5
  run love "$love_dir" 10000 rotzoom 50 5
  run "$ours" 50000 tiny 50 5
  BM_SPRITE=tiny.png run love "$love_dir" 50000 plain 50 5
done
python3 - "$results" <<'PY'
import re, sys, statistics
rows = [dict(re.findall(r'(\w+)=(\S+)', l)) for l in open(sys.argv[1])]
def med(peer, variant, n):
    v = [float(r['fps']) for r in rows if r['peer'].startswith(peer) and r['variant'] == variant and r['n'] == n]
    return statistics.median(v) if v else float('nan')
for variant, n, love_variant in (('plain', '10000', 'plain'), ('rotzoom', '10000', 'rotzoom'), ('tiny', '50000', 'plain')):
    ours, peer = med('moxtril', variant, n), med('love', love_variant, n)
    print(f"{variant:8s} n={n:6s} moxtril {ours:8.2f} fps  love {peer:8.2f} fps  ratio {ours / peer:.2f}")
PY
rm -f "$results"
