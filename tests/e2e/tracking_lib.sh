# Shared steps of the result-log end-to-end scripts (test_tracking_*.sh): a
# scratch program folder with its shared folder, the log's layout and checks
# of its lines, and lab drives whose wear climbs one step per round.
# Usage: source tracking_lib.sh "$@"   (arguments: <ssdtest-lab> <ssdtest> <build dir>)
source "$(dirname "$0")/lib.sh" "$@"
make_scratch "$(basename "$0" .sh)"
SHARED_FOLDER="$HOME/My Dropbox/Public"
LAST_OUTPUT="$SCRATCH/last.out"

# The 23 status columns and the 10 result columns of the log's column line.
TRACKING_STATUS_COLUMNS="Date-Time,Average Erase Count,Maximum Erase Count,Minimum Erase Count,\
Power Cycle Count,Power on Hours,Raw Read Error Rate,Initial Bad Block Count,\
Program Failure Block Count,Erase Failure Block Count,Read Failure Block Count,\
Total Count of Error Bits from Flash,Total Count of Read Sectors with Correctable Bit Errors,\
Maximum PE Count Specification,Bad Block Full Flag,Total Count of Read Sectors,\
Total Count of Read Commands,Total Count of Write Sectors,Total Count of Write Commands,\
BBM Error Log,SATA Error Count CRC,SATA Error Count HANDSHAKE,SATA Link Status1"
TRACKING_RESULT_COLUMNS="Raw Bit Error Rate(Calculated),Uncorrectable Bit Error Rate(8bitECC),\
Uncorrectable Bit Error Rate(12bitECC),Raw Bit Error Rate(Last Round),\
Uncorrectable Bit Error Rate(8bitECC Last Round),Uncorrectable Bit Error Rate(12bitECC Last Round),\
Uncorrectable Bit Error Count,Sector Fail Count,Read Speed(MB/s),Write Speed(MB/s)"
TRACKING_TITLE="Pinewade Tallymark Log v1.1"

fail() {
    echo "FAIL: $*" >&2
    echo "--- last program output (tail) ---" >&2
    tail -n 40 <<<"${OUT:-}" >&2
    exit 1
}

# run_lab_ok INPUT: run_lab that must end with status 0; the output is also
# kept in the file $LAST_OUTPUT.
run_lab_ok() {
    run_lab "$1"
    printf '%s\n' "$OUT" >"$LAST_OUTPUT"
    [ "$RC" -eq 0 ] || fail "run ended with status $RC"
}

output_has() { grep -qF -- "$1" <<<"$OUT"; }
output_count() { grep -cF -- "$1" <<<"$OUT"; }

# Number of lines of a file.
line_count() { awk 'END { print NR }' "$1"; }

# Fails unless every line of the file ends with CR LF.
check_crlf() {
    local file=$1
    [ "$(tail -c 2 "$file" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "$file does not end with CR LF"
    local bare
    bare=$(awk '!/\r$/ { n++ } END { print n + 0 }' "$file")
    [ "$bare" -eq 0 ] || fail "$file has $bare lines without CR LF"
}

# Prints field $2 (counted from 0) of line $1 (counted from 1) of file $3,
# without its CR.
field_of() {
    awk -F, -v line="$1" -v field="$2" 'NR == line { sub(/\r$/, ""); print $(field + 1) }' "$3"
}

# Checks the title and column lines and, from line 3 on, every data line: 33
# fields, and field 23 = field 11 / (field 15 x 4096) in six significant
# digits, or not a number without read sectors. (How the estimates in fields
# 24 and 25 follow from that rate is shown by the unit tests.)
check_data_lines() {
    local file=$1
    [ "$(sed -n 1p "$file" | tr -d '\r')" = "$TRACKING_TITLE" ] || fail "title line of $file"
    [ "$(sed -n 2p "$file" | tr -d '\r')" = "$TRACKING_STATUS_COLUMNS,$TRACKING_RESULT_COLUMNS" ] ||
        fail "column line of $file"
    awk -F, '
        NR < 3 { next }
        {
            sub(/\r$/, "")
            if (NF != 33) { printf "line %d has %d fields\n", NR, NF; bad = 1; next }
            expected = $16 == 0 ? "nan" : sprintf("%.6g", $12 / ($16 * 4096))
            if ($24 != expected && !($16 == 0 && $24 ~ /nan|inf/)) {
                printf "line %d: rate %s, expected %s\n", NR, $24, expected; bad = 1
            }
        }
        END { exit bad }
    ' "$file" >&2 || fail "data lines of $file"
}

# Prints the JSON entry of a lab drive: number, kind, size in MiB, model.
# AEC climbs by one per round: a round writes all but the last MiB, and the
# write amplification makes up for it.
lab_drive() {
    printf '{ "number": %d, "kind": "%s", "size_mib": %d, "model": "%s", "serial": "LAB%04d", "firmware": "1.0", "write_amplification": %s, "rber_start": 1e-6, "rber_rated": 1e-5, "rated_cycles": 30, "seed": %d }' \
        "$1" "$2" "$3" "$4" "$1" "${5:-1.1}" "$(($1 + 7))"
}
