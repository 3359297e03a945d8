# Drives and logs the tracking refuses before any test block: a drive of the
# second kind, a missing drive, a model that cannot name a file, and old logs
# whose last line does not hold the two counters.
source "$(dirname "$0")/tracking_lib.sh" "$@"

MODEL="KVT Lab 16"
LOG="$SCRATCH/drive1_$MODEL.csv"
write_bench "$(lab_drive 1 kvt 16 "$MODEL")" "$(lab_drive 2 rzb 16 'RZB Lab 16')" \
    "$(lab_drive 3 kvt 16 'KVT/Sub')"

run_lab_ok '2\nN\n1\n'
output_has 'Drive Not KVT' || fail "the rzb drive was not refused"
output_has 'Open OK' && fail "the rzb drive was opened"
ls "$SCRATCH"/drive2_* > /dev/null 2>&1 && fail "a log was made for the rzb drive"

run_lab_ok '7\nN\n1\n'
output_has 'Drive Not Found' || fail "a missing drive was not refused"

# The model "KVT/Sub" must not put a log into the folder drive3_KVT.
mkdir "$SCRATCH/drive3_KVT"
run_lab_ok '3\nN\n1\n'
output_has 'could not open LogFile' || fail "a model with a slash was accepted"
[ -z "$(ls -A "$SCRATCH/drive3_KVT")" ] || fail "a log was written into a subfolder"
output_has 'Start Normal Test.' && fail "the test started without a log"

# A log that ends with its column line: the counters are not numbers.
printf '%s\r\n%s,%s\r\n' "$TRACKING_TITLE" "$TRACKING_STATUS_COLUMNS" "$TRACKING_RESULT_COLUMNS" \
    > "$LOG"
cp "$LOG" "$SCRATCH/before.csv"
run_lab_ok '1\nN\n1\n'
output_has 'bad lexical cast: source type value could not be interpreted as target' ||
    fail "a log ending with its column line was accepted"
output_has 'Start Normal Test.' && fail "the test started on a broken log"
cmp -s "$LOG" "$SCRATCH/before.csv" || fail "the broken log was changed"

# A log that ends with an empty line: the last line has no fields at all.
printf '\r\n' >> "$LOG"
cp "$LOG" "$SCRATCH/before.csv"
run_lab_ok '1\nN\n1\n'
output_has 'getline unknown error' || fail "a log ending with an empty line was accepted"
cmp -s "$LOG" "$SCRATCH/before.csv" || fail "the broken log was changed"
echo "PASS"
