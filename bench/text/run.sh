#!/usr/bin/env bash
# Text: the runtime's mxt_print, its per-character mxt_draw_anim, and LOVE 11.4's
# love.graphics.print, 2,000 texts of 16 characters a frame, interleaved, three
# rounds, medians; then all three again through a 1 x 1 scissor, which
# leaves out the filling a software renderer spends most of its time on.
# usage: bench/text/run.sh [build dir, default build-rel]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build-rel}"
ours="$build/bench/text/bench_text"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$ours" imagefont "$work/font.png" >/dev/null
export TEXT_FONT="$work/font.png"
results="$work/results"
run() { "$@" 2>/dev/null | grep '^RESULT' >> "$results" || true; }
for round in 1 2 3; do
  run "$ours" 2000 print 100 10
  run love "$here/love" 2000 100 10
  run "$ours" 2000 anim 100 10
  # The same through a 1 x 1 scissor: submission and set-up without the fill.
  TEXT_SCISSOR=1 run "$ours" 2000 print 100 10
  TEXT_SCISSOR=1 run love "$here/love" 2000 100 10
  TEXT_SCISSOR=1 run "$ours" 2000 anim 100 10
done
python3 - "$results" <<'PY'
import re, sys, statistics
rows = [dict(re.findall(r'(\w+)=(\S+)', l)) for l in open(sys.argv[1])]
def med(peer, variant):
    v = [float(r['fps']) for r in rows if r['peer'] == peer and r['variant'] == variant]
    return statistics.median(v) if v else float('nan')
ours, anim, love = med('moxtril', 'print'), med('moxtril', 'anim'), med('love', 'print')
print(f"n=2000 x 16 chars  moxtril print {ours:8.2f} fps  per-character anim {anim:8.2f} fps  love print {love:8.2f} fps")
print(f"print / anim {ours / anim:.2f}   moxtril / love {ours / love:.2f}")
ours, anim, love = med('moxtril', 'print_scissor'), med('moxtril', 'anim_scissor'), med('love', 'print_scissor')
print(f"through a 1 x 1 scissor: moxtril print {ours:8.2f} fps  per-character anim {anim:8.2f} fps  love print {love:8.2f} fps")
print(f"print / anim {ours / anim:.2f}   moxtril / love {ours / love:.2f}")
PY
