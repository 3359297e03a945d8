# On a drive larger than one batch the status is followed inside each round:
# a data line per status change, and AEC, round time and ETA from the second
# change of the average erase count on.
source "$(dirname "$0")/tracking_lib.sh" "$@"

# 1026 MiB: a round is one full batch of 1024 blocks and one more block.
MODEL="KVT Lab 1G"
LOG="$SCRATCH/drive1_$MODEL.csv"
write_bench "$(lab_drive 1 kvt 1026 "$MODEL")"
mkdir -p "$SHARED_FOLDER"

run_lab_ok '1\nN\n3\n'
ROUNDS=$(($(output_count 'Round Finished.') + 1))
[ "$ROUNDS" -eq 3 ] || fail "expected 3 rounds to AEC 3, saw $ROUNDS"
# AEC rises once inside every round: each change writes a line, each change
# but the first prints the three progress lines.
CHANGES=$(($(line_count "$LOG") - 3 - ROUNDS))
[ "$CHANGES" -eq 3 ] || fail "expected 3 status change lines, saw $CHANGES"
for text in 'Current AEC: ' 'Round Time: ' 'ETA : '; do
    [ "$(output_count "$text")" -eq 2 ] || fail "expected two \"$text\" lines"
done
grep -qE '^ETA : [0-9]{4}-[A-Z][a-z]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$' "$LAST_OUTPUT" ||
    fail "ETA line not in date-time form"
[ "$(output_count 'RBER: ')" -eq "$ROUNDS" ] || fail "expected one RBER line per round"
# Change lines carry 0 as the last round's rate; round lines the round's own.
[ "$(field_of 4 26 "$LOG")" = 0 ] || fail "change line with a last-round rate"
check_crlf "$LOG"
check_data_lines "$LOG"
cmp -s "$LOG" "$SHARED_FOLDER/drive1_$MODEL.csv" || fail "shared copy differs from the log"
echo "PASS"
