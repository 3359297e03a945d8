# Shared steps of the result-log end-to-end tests; sourced by test_tracking_*.sh.
# Usage in a script: source tracking_lib.sh; tracking_setup "$@"; ...
# The scripts are run as: bash script <ssdtest-lab> <ssdtest> <build dir>.

set -u

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
    if [ -n "${LAST_OUTPUT:-}" ] && [ -f "$LAST_OUTPUT" ]; then
        echo "--- last program output (tail) ---" >&2
        tail -n 40 "$LAST_OUTPUT" >&2
    fi
    exit 1
}

# Creates the scratch folder with the lab program, the viewer stand-in and a
# home folder; removes it again when the script ends.
tracking_setup() {
    [ $# -ge 3 ] || { echo "usage: $0 <ssdtest-lab> <ssdtest> <build dir>" >&2; exit 2; }
    LAB_PROGRAM=$1
    BUILD_DIR=$(cd "$3" && pwd) || fail "build folder $3 missing"
    [ -x "$LAB_PROGRAM" ] || fail "lab program $LAB_PROGRAM missing"
    mkdir -p "$BUILD_DIR/e2e-scratch"
    SCRATCH=$(mktemp -d "$BUILD_DIR/e2e-scratch/$(basename "$0" .sh).XXXXXX")
    # TRACKING_KEEP=1 keeps the scratch folder for a look after a failure.
    [ "${TRACKING_KEEP:-0}" = 1 ] || trap 'rm -rf "$SCRATCH"' EXIT
    cp "$LAB_PROGRAM" "$SCRATCH/ssdtest-lab"
    local viewer
    for viewer in "$BUILD_DIR/GaugeLens_2_21.exe" "$BUILD_DIR/tools/GaugeLens_2_21.exe"; do
        if [ -f "$viewer" ]; then
            cp "$viewer" "$SCRATCH/GaugeLens_2_21.exe"
            break
        fi
    done
    export HOME="$SCRATCH/home"
    mkdir -p "$HOME"
    export SSDTEST_TRACE="$SCRATCH/trace.log"
    unset SSDLAB_DIR
    SHARED_FOLDER="$HOME/My Dropbox/Public"
    RUN_COUNT=0
}

# Writes the bench file from the drive entries given as JSON objects.
write_bench() {
    local IFS=,
    printf '{ "drives": [ %s ] }\n' "$*" > "$SCRATCH/ssdlab.json"
}

# Runs the lab program in the scratch folder with the given console input;
# the output goes to $LAST_OUTPUT.
run_lab() {
    RUN_COUNT=$((RUN_COUNT + 1))
    LAST_OUTPUT="$SCRATCH/run$RUN_COUNT.out"
    (cd "$SCRATCH" && printf '%b' "$1" | timeout 300 ./ssdtest-lab) > "$LAST_OUTPUT" 2>&1
    local status=$?
    [ $status -eq 0 ] || fail "run $RUN_COUNT ended with status $status"
}

output_has() { grep -qF -- "$1" "$LAST_OUTPUT"; }
output_count() { grep -cF -- "$1" "$LAST_OUTPUT"; }

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

# Checks the column line and, from line 3 on, every data line: 33 fields,
# field 23 = field 11 / (field 15 x 4096) in six significant digits, and
# fields 24 and 25 the 8- and 12-bit estimates of that rate.
check_data_lines() {
    local file=$1
    [ "$(sed -n 1p "$file" | tr -d '\r')" = "$TRACKING_TITLE" ] || fail "title line of $file"
    [ "$(sed -n 2p "$file" | tr -d '\r')" = "$TRACKING_STATUS_COLUMNS,$TRACKING_RESULT_COLUMNS" ] ||
        fail "column line of $file"
    awk -F, '
        function lbinom(n, k,    m, l, i, upper, lower) {
            m = k > n - k ? k : n - k; l = n - m; upper = 0; lower = 0
            for (i = m + 1; i <= n; i++) upper += log(i)
            for (i = 1; i <= l; i++) lower += log(i)
            return upper - lower
        }
        function uber(t, p,    n, lp, lq, s, k, term) {
            if (p == 0) return 0
            n = 4096 + 2 * t; lp = log(p); lq = log(1 - p); s = 0
            for (k = t + 1; k < n; k++) {
                term = exp(lbinom(n, k) + k * lp + (n - k) * lq)
                s += term
                if (term > 0 && s / term > 1000000) break
                if (term == 0 && s > 0) break
            }
            return s / 4096
        }
        function close_to(text, value) {
            if (value == 0) return text == "0"
            return (text - value) / value < 1e-4 && (value - text) / value < 1e-4
        }
        NR < 3 { next }
        {
            sub(/\r$/, "")
            if (NF != 33) { printf "line %d has %d fields\n", NR, NF; bad = 1; next }
            if ($16 == 0) {
                if ($24 !~ /nan|inf/ || $25 !~ /nan/ || $26 !~ /nan/) {
                    printf "line %d: no read sectors but rate %s %s %s\n", NR, $24, $25, $26
                    bad = 1
                }
                next
            }
            rate = $12 / ($16 * 4096)
            if ($24 != sprintf("%.6g", rate)) {
                printf "line %d: rate %s, expected %.6g\n", NR, $24, rate; bad = 1
            }
            if (!close_to($25, uber(8, rate)) || !close_to($26, uber(12, rate))) {
                printf "line %d: estimates %s %s, expected %.6g %.6g\n", NR, $25, $26,
                       uber(8, rate), uber(12, rate)
                bad = 1
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
