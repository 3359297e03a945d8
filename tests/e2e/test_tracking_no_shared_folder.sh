# Without the shared folder every round reports the failed copy and the test
# goes on to its AEC target.
source "$(dirname "$0")/tracking_lib.sh" "$@"

MODEL="KVT Lab 16"
LOG="$SCRATCH/drive1_$MODEL.csv"
write_bench "$(lab_drive 1 kvt 16 "$MODEL")"

run_lab_ok '1\nN\n2\n'
ROUNDS=$(($(output_count 'Round Finished.') + 1))
[ "$ROUNDS" -ge 2 ] || fail "the test ended after $ROUNDS round(s)"
[ "$(grep -cxF "Copy Failed: $SHARED_FOLDER/drive1_$MODEL.csv" "$LAST_OUTPUT")" -eq "$ROUNDS" ] ||
    fail "expected one \"Copy Failed: <copy path>\" line per round"
[ ! -e "$SHARED_FOLDER" ] || fail "the shared folder was created"
output_has 'Log Reopen Failed!' && fail "the log was not reopened"
[ "$(line_count "$LOG")" -eq $((3 + ROUNDS)) ] || fail "expected one log line per round"
[ "$(field_of "$(line_count "$LOG")" 1 "$LOG")" -ge 2 ] || fail "test ended below the AEC target"
check_crlf "$LOG"
check_data_lines "$LOG"
echo "PASS"
