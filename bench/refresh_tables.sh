#!/usr/bin/env bash
# Both refresh sizes in one go, printed as two tables: 1,000 feeds x 50
# items next to newsboat, and 10,000 feeds x 50 items next to ten times the
# 1,000-feed figures (what a refresh linear in the number of feeds would
# take). Each size runs bench/compare_newsboat.sh once (newsboat only at
# 1,000 feeds); the environment it reads (REFRESH_BENCH, FEEDFARM) applies.
#
#   bench/refresh_tables.sh [--small N] [--large N] [--items N] [--no-newsboat]
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

SMALL=1000
LARGE=10000
ITEMS=50
NEWSBOAT=""
while [ $# -gt 0 ]; do
  case "$1" in
    --small) SMALL="$2"; shift 2 ;;
    --large) LARGE="$2"; shift 2 ;;
    --items) ITEMS="$2"; shift 2 ;;
    --no-newsboat) NEWSBOAT="--no-newsboat"; shift ;;
    *) echo "usage: $0 [--small N] [--large N] [--items N] [--no-newsboat]" >&2; exit 2 ;;
  esac
done

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

"$HERE/compare_newsboat.sh" --feeds "$SMALL" --items "$ITEMS" $NEWSBOAT --results "$WORK/small" >&2
"$HERE/compare_newsboat.sh" --feeds "$LARGE" --items "$ITEMS" --no-newsboat --results "$WORK/large" >&2

python3 - "$WORK/small" "$WORK/large" "$SMALL" "$LARGE" "$ITEMS" <<'EOF'
import sys

def load(path):
    values = {}
    with open(path) as f:
        for line in f:
            key, _, value = line.strip().partition(" ")
            values[key] = value
    return values

small, large = load(sys.argv[1]), load(sys.argv[2])
n_small, n_large, items = (int(v) for v in sys.argv[3:6])

def seconds(value):
    return "—" if value in ("", "-") else f"{float(value):.2f} s"

def step(values, round_):
    return values.get(f"zephlin_main_step_ms_round{round_}", "-")

rows = [("round 1, {n:,} new articles", 1), ("unchanged round", 2), ("after 10 % of the feeds gained an item", 3)]
print(f"| {n_small:,} feeds × {items} items | newsboat (same run) | Zephlin | longest main-thread step |")
print("|---|---|---|---|")
for label, r in rows:
    print(f"| {label.format(n=n_small * items)} | {seconds(small.get(f'newsboat_round{r}', '-'))} "
          f"| {seconds(small[f'zephlin_round{r}'])} | {step(small, r)} ms |")
nb_peak = small.get("newsboat_peak_mb", "-")
print(f"| peak memory | {'—' if nb_peak == '-' else nb_peak + ' MB'} | {small['zephlin_peak_mb']} MB | |")
print()
print(f"| {n_large:,} feeds × {items} items | Zephlin | linear from {n_small:,} | longest main-thread step |")
print("|---|---|---|---|")
factor = n_large / n_small
for label, r in rows:
    linear = float(small[f"zephlin_round{r}"]) * factor
    print(f"| {label.format(n=n_large * items)} | {seconds(large[f'zephlin_round{r}'])} | ≈ {linear:.2f} s "
          f"| {step(large, r)} ms |")
print(f"| peak memory | {large['zephlin_peak_mb']} MB | — | |")
EOF
