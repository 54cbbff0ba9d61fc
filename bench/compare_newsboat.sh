#!/usr/bin/env bash
# Times "refresh all" of refresh_bench next to newsboat's "reload" on the
# feed farm: round 1 (every feed new), round 2 (nothing changed: only
# conditional GETs) and round 3 (after a bump: every tenth feed has a new
# item). Each program gets a fresh farm of 1,000 feeds x 50 items and its
# own temp folder. The farm serves from several processes (--workers), so
# that it is not what is measured. newsboat is only measured here; install
# it with `scripts/deps.sh newsboat`, or leave it out with --no-newsboat.
#
#   bench/compare_newsboat.sh [--feeds N] [--items N] [--threads N] [--workers N] [--no-newsboat]
#                             [--results FILE]
#
# --results FILE writes the figures as "name value" lines (seconds, MB) for
# bench/refresh_tables.sh.
#
# Environment: REFRESH_BENCH (default build/rel/bin/refresh_bench, built
# when missing), FEEDFARM (default ../shared/tools/feedfarm.py, else the copy in tests/tools).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

FEEDS=1000
ITEMS=50
THREADS=8
WORKERS=4
NEWSBOAT=1
RESULTS=""
while [ $# -gt 0 ]; do
  case "$1" in
    --feeds) FEEDS="$2"; shift 2 ;;
    --items) ITEMS="$2"; shift 2 ;;
    --threads) THREADS="$2"; shift 2 ;;
    --workers) WORKERS="$2"; shift 2 ;;
    --no-newsboat) NEWSBOAT=0; shift ;;
    --results) RESULTS="$2"; shift 2 ;;
    *)
      echo "usage: $0 [--feeds N] [--items N] [--threads N] [--workers N] [--no-newsboat] [--results FILE]" >&2
      exit 2
      ;;
  esac
done

FEEDFARM="${FEEDFARM:-$ZPH_ROOT/../shared/tools/feedfarm.py}"
[ -f "$FEEDFARM" ] || FEEDFARM="$ZPH_ROOT/tests/tools/feedfarm.py"
REFRESH_BENCH="${REFRESH_BENCH:-$ZPH_ROOT/build/rel/bin/refresh_bench}"
[ -f "$FEEDFARM" ] || { echo "no feed farm at $FEEDFARM" >&2; exit 2; }
if [ "$NEWSBOAT" -eq 1 ]; then
  command -v newsboat >/dev/null || { echo "newsboat is missing: scripts/deps.sh newsboat" >&2; exit 2; }
fi
if [ ! -x "$REFRESH_BENCH" ]; then
  cmake -S "$ZPH_ROOT" -B "$ZPH_ROOT/build/rel" $(zph_generator) -DCMAKE_BUILD_TYPE=Release -DZPH_BUILD_BENCH=ON \
    -DZPH_BUILD_TESTS=OFF >/dev/null
  cmake --build "$ZPH_ROOT/build/rel" -j "$(zph_jobs)" --target refresh_bench >/dev/null
fi

WORK="$(mktemp -d)"
FARM_PID=""
stop_farm() {
  if [ -n "$FARM_PID" ]; then
    kill "$FARM_PID" 2>/dev/null || true
    wait "$FARM_PID" 2>/dev/null || true
    FARM_PID=""
  fi
}
trap 'stop_farm; rm -rf "$WORK"' EXIT

# A fresh farm; sets PORT.
start_farm() {
  stop_farm
  rm -f "$WORK/farm.port"
  python3 "$FEEDFARM" --port 0 --feeds "$FEEDS" --items "$ITEMS" --workers "$WORKERS" --port-file "$WORK/farm.port" \
    --max-seconds 3600 >"$WORK/farm.log" 2>&1 &
  FARM_PID=$!
  for _ in $(seq 1 600); do
    [ -s "$WORK/farm.port" ] && break
    kill -0 "$FARM_PID" 2>/dev/null || { cat "$WORK/farm.log" >&2; exit 1; }
    sleep 0.1
  done
  [ -s "$WORK/farm.port" ] || { echo "the feed farm did not start" >&2; exit 1; }
  PORT="$(cat "$WORK/farm.port")"
}

# 200s and 304s the farm served since the last call.
LAST_OK=0
LAST_NM=0
farm_counts() {
  local stats ok nm
  stats="$(python3 -c 'import json,sys,urllib.request; s=json.load(urllib.request.urlopen(sys.argv[1])); print(s["ok"], s["not_modified"])' "http://127.0.0.1:$PORT/stats")"
  ok="${stats% *}"
  nm="${stats#* }"
  # The /stats answer itself counts as one 200 next time.
  echo "$((ok - LAST_OK)) $((nm - LAST_NM))"
  LAST_OK=$((ok + 1))
  LAST_NM=$nm
}

now() { date +%s.%N; }
elapsed() { python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.3f}')" "$1" "$2"; }

declare -a NB_SECONDS NB_OK NB_NM NB_RSS ZPH_SECONDS ZPH_OK ZPH_NM ZPH_RSS

# --- newsboat
if [ "$NEWSBOAT" -eq 1 ]; then
  start_farm
  LAST_OK=0
  LAST_NM=0
  NB="$WORK/newsboat"
  mkdir -p "$NB/home"
  curl -fsS "http://127.0.0.1:$PORT/urls.txt" >"$NB/urls"
  printf 'reload-threads %s\nshow-read-feeds yes\n' "$THREADS" >"$NB/config"
  farm_counts >/dev/null
  for round in 1 2 3; do
    if [ "$round" -eq 3 ]; then
      curl -fsS "http://127.0.0.1:$PORT/bump" >/dev/null
      farm_counts >/dev/null
    fi
    start="$(now)"
    HOME="$NB/home" XDG_CONFIG_HOME="$NB/home/.config" XDG_DATA_HOME="$NB/home/.local/share" \
      /usr/bin/time -f '%M' -o "$NB/rss" \
      newsboat -x reload -u "$NB/urls" -c "$NB/cache.db" -C "$NB/config" >"$NB/out.log" 2>&1 </dev/null
    end="$(now)"
    NB_SECONDS[$round]="$(elapsed "$start" "$end")"
    NB_RSS[$round]="$(awk '{printf "%.1f", $1 / 1024}' "$NB/rss")"
    read -r NB_OK[$round] NB_NM[$round] < <(farm_counts)
    echo "newsboat round $round: ${NB_SECONDS[$round]} s" >&2
  done
fi

# --- refresh_bench, on a farm of its own
start_farm
LAST_OK=0
LAST_NM=0
farm_counts >/dev/null
ZB="$WORK/zephlin"
# Rounds 1 and 2 back to back, the bump before round 3; the list of
# addresses and the bump each count one 200 at the farm.
"$REFRESH_BENCH" --data-dir "$ZB" --urls "http://127.0.0.1:$PORT/urls.txt" --rounds 3 \
  --bump "http://127.0.0.1:$PORT/bump" --first-bumped-round 3 >"$WORK/zephlin.jsonl"
read -r total_ok total_nm < <(farm_counts)
round=0
while read -r line; do
  round=$((round + 1))
  ZPH_SECONDS[$round]="$(python3 -c 'import json,sys; print("%.3f" % json.loads(sys.argv[1])["seconds"])' "$line")"
  ZPH_RSS[$round]="$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["peak_rss_mb"])' "$line")"
done <"$WORK/zephlin.jsonl"

field() { python3 -c 'import json,sys; print(json.loads(sys.argv[1])[sys.argv[2]])' "$1" "$2"; }

NB_PEAK="-"
if [ "$NEWSBOAT" -eq 1 ]; then
  NB_PEAK="$(printf '%s\n' "${NB_RSS[@]}" | sort -n | tail -1)"
fi
ZPH_PEAK="$(printf '%s\n' "${ZPH_RSS[@]}" | sort -n | tail -1)"
echo "feeds: $FEEDS x $ITEMS items, $THREADS at once, farm of $WORKERS processes"
printf '%-28s %12s %12s\n' "" "newsboat" "refresh_bench"
for round in 1 2 3; do
  case "$round" in
    1) name="round 1 (all new)" ;;
    2) name="round 2 (unchanged)" ;;
    3) name="round 3 (after a bump)" ;;
  esac
  printf '%-28s %11ss %11ss\n' "$name" "${NB_SECONDS[$round]:--}" "${ZPH_SECONDS[$round]}"
done
printf '%-28s %10s MB %10s MB\n' "peak RSS (largest round)" "$NB_PEAK" "$ZPH_PEAK"
if [ "$NEWSBOAT" -eq 1 ]; then
  echo "newsboat: farm answers per round (200 / 304): ${NB_OK[1]}/${NB_NM[1]}, ${NB_OK[2]}/${NB_NM[2]}, ${NB_OK[3]}/${NB_NM[3]}"
fi
echo "refresh_bench: farm answers in all (200 / 304, with the list and the bump): $total_ok/$total_nm"
round=0
while read -r line; do
  round=$((round + 1))
  switches="$(field "$line" context_switches)"
  echo "refresh_bench round $round: $(field "$line" cpu_seconds) CPU-s, $switches context switches" \
    "($(python3 -c 'import sys; print(f"{int(sys.argv[1]) / int(sys.argv[2]):.1f}")' "$switches" "$FEEDS") a feed)," \
    "longest main-thread step $(field "$line" main_thread_longest_step_ms) ms"
done <"$WORK/zephlin.jsonl"

if [ -n "$RESULTS" ]; then
  {
    echo "feeds $FEEDS"
    for round in 1 2 3; do
      echo "newsboat_round$round ${NB_SECONDS[$round]:--}"
      echo "zephlin_round$round ${ZPH_SECONDS[$round]}"
    done
    echo "newsboat_peak_mb $NB_PEAK"
    echo "zephlin_peak_mb $ZPH_PEAK"
    round=0
    while read -r line; do
      round=$((round + 1))
      echo "zephlin_cpu_round$round $(field "$line" cpu_seconds)"
      echo "zephlin_switches_round$round $(field "$line" context_switches)"
      echo "zephlin_main_step_ms_round$round $(field "$line" main_thread_longest_step_ms)"
    done <"$WORK/zephlin.jsonl"
  } >"$RESULTS"
fi
