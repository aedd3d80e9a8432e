#!/usr/bin/env bash
# Bunnymark: the runtime against LOVE 11.4, five interleaved rounds, medians.
# Each round runs every variant three ways, one after the other: the runtime
# as it draws (its own GLSL programs), the runtime forced onto the
# fixed-function stages (MXT_GL_FIXED_FUNCTION=1), and LOVE.
# usage: LOVE_BUNNYMARK_DIR=<folder of the LOVE program> bench/bunnymark/run.sh [build dir, default build-rel] [rounds]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build-rel}"
rounds="${2:-5}"
ours="$build/bench/bunnymark/bench_bunnymark"
love_dir="${LOVE_BUNNYMARK_DIR:?set LOVE_BUNNYMARK_DIR to the folder of the LOVE bunnymark program (main.lua)}"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
results=$(mktemp)
run() {  # run <label> <command...>: the RESULT line, its peer renamed to the label
  local label="$1"; shift
  "$@" 2>/dev/null | grep '^RESULT' | sed "s/peer=[^ ]*/peer=$label/" >> "$results" || true
}
for round in $(seq "$rounds"); do
  for variant in "10000 plain" "10000 rotzoom" "50000 tiny"; do
    set -- $variant
    run moxtril "$ours" "$1" "$2" 50 5
    run fixed env MXT_GL_FIXED_FUNCTION=1 "$ours" "$1" "$2" 50 5
    if [ "$2" = tiny ]; then
      BM_SPRITE=tiny.png run love love "$love_dir" "$1" plain 50 5
    else
      run love love "$love_dir" "$1" "$2" 50 5
    fi
  done
done
python3 - "$results" <<'PY'
import re, sys, statistics
rows = [dict(re.findall(r'(\w+)=(\S+)', l)) for l in open(sys.argv[1])]
def med(peer, n, variants):
    v = [float(r['fps']) for r in rows if r['peer'] == peer and r['variant'] in variants and r['n'] == n]
    return statistics.median(v) if v else float('nan')
print(f"{'variant':8s} {'n':>6s} {'moxtril':>9s} {'fixed':>9s} {'love':>9s}  moxtril/love  fixed/love")
for variant, n in (('plain', '10000'), ('rotzoom', '10000'), ('tiny', '50000')):
    ours = med('moxtril', n, (variant,))
    fixed = med('fixed', n, (variant,))
    peer = med('love', n, (variant, 'plain') if variant == 'tiny' else (variant,))
    print(f"{variant:8s} {n:>6s} {ours:9.2f} {fixed:9.2f} {peer:9.2f}  {ours / peer:12.2f}  {fixed / peer:10.2f}")
PY
rm -f "$results"
