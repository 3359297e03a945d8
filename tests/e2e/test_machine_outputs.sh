#!/usr/bin/env bash
# What scripts and monitors read: the JSON drive list, the JSON summary, the
# run status file (whole after a kill -9 at a random moment), the Prometheus
# textfile checked by promtool, and two benches sharing one folder.
source "$(dirname "$0")/lib.sh" "$@"

make_scratch machine_outputs
export SSDLAB_DIR="$SCRATCH/bench"
D="$SCRATCH/D" S="$SCRATCH/S" M="$SCRATCH/M"
mkdir -p "$SSDLAB_DIR" "$D" "$S" "$M"
MODEL="Brindlecove KV Lab 256"

# run_cli ARGS...: stdout in $SCRATCH/out.json, stderr in $ERR, exit code in $RC.
run_cli() {
  (cd "$SCRATCH" && timeout 600 ./ssdtest-lab "$@" </dev/null >"$SCRATCH/out.json" 2>"$SCRATCH/err")
  RC=$?
  ERR=$(cat "$SCRATCH/err")
  OUT=$(cat "$SCRATCH/out.json" "$SCRATCH/err")
}
# json_is FILE EXPR: the Python expression EXPR is true of the JSON document d in FILE.
json_is() { python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); sys.exit(0 if eval(sys.argv[2]) else 1)' "$1" "$2"; }

run_cli --list --json
check "--list --json exits 0" test "$RC" = 0
check "--list --json is one JSON document" python3 -m json.tool "$SCRATCH/out.json" /dev/null
check "the default drives with kinds and verdicts" json_is "$SCRATCH/out.json" \
  "[(x['number'], x['kind'], x['verdict']) for x in d['drives']] == [(0, 'unknown', 'not tested'), (1, 'kvt', 'would test'), (2, 'rzb', 'not tested'), (3, 'kvt', 'would test'), (4, 'nvme', 'would test')] and d['drives'][1]['size_bytes'] == 268435456"

run_cli --drive 1 --aec-target 2 --json --dir "$D" --shared-dir "$S" --metrics-dir "$M" --no-viewer
check "test with --json exits 0" test "$RC" = 0
check "stdout holds only the summary" json_is "$SCRATCH/out.json" \
  "d['format'] == 'ssdtest-summary' and d['exit_code'] == 0 and d['state'] == 'finished' and d['rounds_completed'] == 2 and d['average_erase_count'] == 2"
check "operator lines on stderr" grep -q "Start Normal Test." "$SCRATCH/err"
STATUS="$D/drive1_$MODEL.status.json"
check "status file beside the log" json_is "$STATUS" \
  "d['state'] == 'finished' and d['drive']['serial'] == 'BKV2560000001' and d['target_aec'] == 2 and d['updated'].endswith('Z') and d['log_file'] == 'drive1_$MODEL.csv'"
check "status copy beside the shared log" cmp -s "$STATUS" "$S/drive1_$MODEL.status.json"
PROM="$M/ssdtest_BKV2560000001.prom"
check "metrics file" grep -q '^ssdtest_state{serial="BKV2560000001",model="'"$MODEL"'",host="[^"]*",state="finished"} 1$' "$PROM"
if command -v promtool >/dev/null; then
  check "promtool accepts the metrics" promtool check metrics <"$PROM"
  check "promtool accepts the alert rules" promtool check rules "$(dirname "$0")/../../docs/prometheus/ssdtest-alerts.yml"
else
  echo "NOTE: promtool not installed (Debian package prometheus): metrics format not checked"
fi
check "dashboard is JSON" python3 -m json.tool "$(dirname "$0")/../../docs/grafana/ssdtest-dashboard.json" /dev/null

# On a terminal: the progress line, redrawn in place.
if command -v script >/dev/null; then
  script -qec "cd '$SCRATCH' && ./ssdtest-lab --drive 1 --aec-target 3 --dir '$D' --shared-dir '$S' --no-viewer </dev/null" /dev/null >"$SCRATCH/tty.out" </dev/null
  check "progress line on a terminal" grep -qa $'\rRound 1: [0-9.]*%, write [0-9]* read [0-9]* MB/s, erase count [0-9]*/3, ETA ' "$SCRATCH/tty.out"
fi

# kill -9 at random moments of a long test: the status file always parses.
SEED=${SSDTEST_E2E_SEED:-$(date +%s)}
echo "kill -9 seed: $SEED"
RANDOM=$SEED
K="$SCRATCH/K"
mkdir -p "$K"
for attempt in 1 2 3; do
  (cd "$SCRATCH" && exec ./ssdtest-lab --drive 1 --aec-target 40 --dir "$K" --shared-dir "$S" --no-viewer </dev/null >/dev/null 2>&1) &
  PID=$!
  for _ in $(seq 100); do [ -e "$K/drive1_$MODEL.status.json" ] && break; sleep 0.1; done
  sleep "$((RANDOM % 20 / 10)).$((RANDOM % 10))"
  kill -9 "$PID"
  wait "$PID" 2>/dev/null
  check "status parses after kill -9 ($attempt)" json_is "$K/drive1_$MODEL.status.json" "d['state'] == 'running'"
done

# A second bench with another drive 1 of the same model publishes beside the
# first bench's copy instead of over it.
B="$SCRATCH/benchB"
mkdir -p "$B" "$SCRATCH/DB"
printf '{ "drives": [ { "number": 1, "kind": "kvt", "size_mib": 64, "model": "%s", "serial": "BKV2560000002", "firmware": "KV2.10" } ] }\n' "$MODEL" >"$B/ssdlab.json"
SSDLAB_DIR="$B" run_cli --drive 1 --aec-target 1 --dir "$SCRATCH/DB" --shared-dir "$S" --no-viewer
check "second bench exits 0" test "$RC" = 0
check "first bench's copy kept" json_is "$S/drive1_$MODEL.status.json" "d['drive']['serial'] == 'BKV2560000001'"
check "second bench's copy beside it" cmp -s "$SCRATCH/DB/drive1_$MODEL.csv" "$S/drive1_${MODEL}_BKV2560000002.csv"
expect_count "said once" 1 "published as"
finish
