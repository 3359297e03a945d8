#!/usr/bin/env bash
# Measures the lab executable against fio on one RAM-backed loop device.
#
# A file in /dev/shm backs a loop device, pre-filled once with fio. Then, RUNS
# times, alternating: fio writes the whole device, fio reads it (io_uring,
# direct, 1 MiB, depth 1), and ssdtest-lab runs one round on a `kvt` lab drive
# whose device is the loop device (one whole-drive write reaches the AEC
# target of 1). Prints the medians and the ratios ssdtest / fio (the median of
# each run's ratio, as both ran moments apart):
#   - device speeds: the result log's read and write columns against fio's,
#   - wall clock of a round ("Start Normal Test." to "RBER:") against fio's
#     write time plus read time,
# and the peak resident memory of the lab runs. With several build folders
# (e.g. before and after a change) each run has one round of each.
#
# Usage (as root): bench/compare_fio.sh [build folder...] (default: build)
# Environment: SIZE_MIB (default 4096), RUNS (default 3).
# Needs: fio, util-linux (losetup), tmux, time (for the peak memory).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -gt 0 ] || set -- "$repo/build"
builds=()
for folder in "$@"; do builds+=("$(cd "$folder" && pwd)"); done
size_mib=${SIZE_MIB:-4096}
runs=${RUNS:-3}

fail() {
    echo "compare_fio: $*" >&2
    exit 1
}
[ "$(id -u)" = 0 ] || fail "attaching a loop device needs root"
command -v fio >/dev/null || fail "fio is not installed"
for build in "${builds[@]}"; do
    [ -x "$build/ssdtest-lab" ] || fail "no $build/ssdtest-lab (build it first)"
done

socket="ssdtest-bench-$$"
extra_cleanup() { tmux -L "$socket" kill-server 2>/dev/null || true; }
source "$repo/bench/ram_loop.sh"
ram_loop_attach bench "$size_mib"

# fio_pass RW: one whole-device pass; prints "<MB/s> <seconds>".
fio_pass() {
    local terse
    terse=$(fio --name="bench-$1" --filename="$loop" --ioengine=io_uring --direct=1 --bs=1M \
        --iodepth=1 --rw="$1" --output-format=terse --terse-version=3)
    # Terse v3: read total KiB, runtime ms in fields 6 and 9; write in 47 and 50.
    awk -F';' -v rw="$1" '{
        kib = rw == "read" ? $6 : $47; ms = rw == "read" ? $9 : $50
        printf "%.1f %.3f\n", kib * 1024 / 1e3 / ms, ms / 1e3 }' <<<"$terse"
}

# lab_round N BUILD: one round of BUILD's ssdtest-lab in its own scratch folder; prints
# "<write MB/s> <read MB/s> <round seconds> <peak RSS KiB> <processor seconds>".
lab_round() {
    local dir
    dir=$(mktemp -d "$work/lab$1.XXXXXX")
    mkdir -p "$dir/home/My Dropbox/Public" "$dir/viewer"
    cp "$2/ssdtest-lab" "$dir/"
    [ -f "$2/GaugeLens_2_21.exe" ] && cp "$2/GaugeLens_2_21.exe" "$dir/"
    printf '{ "drives": [ { "number": 1, "kind": "kvt", "size_mib": %d, "device": "%s",
  "model": "Bench Loop Drive", "serial": "BENCH0000001", "firmware": "B1.0",
  "initial_aec": 0, "write_amplification": 1.02, "seed": 1 } ] }\n' \
        "$size_mib" "$loop" >"$dir/ssdlab.json"
    # Nothing else may hold the device when the run opens it.
    command -v udevadm >/dev/null && udevadm settle 2>/dev/null || true
    local timer=()
    [ -x /usr/bin/time ] && timer=(/usr/bin/time -v -o "$dir/time.txt")
    (
        cd "$dir"
        export SSDLAB_DIR="$dir" HOME="$dir/home" SSDTEST_TRACE="$dir/trace.log"
        export SSDTEST_VIEWER_TMUX_SOCKET="$socket" SSDTEST_VIEWER_DIR="$dir/viewer"
        printf '1\nN\n1\n' | "${timer[@]}" ./ssdtest-lab 2>&1 |
            while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "$line"; done
    ) >"$dir/output.txt"
    grep -q ' RBER: ' "$dir/output.txt" || {
        cat "$dir/output.txt" >&2
        fail "lab round $1 did not finish its round"
    }
    # Peak memory and processor time (user + system) of the whole run.
    local rss=0 cpu=0
    if [ -f "$dir/time.txt" ]; then
        rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$dir/time.txt")
        cpu=$(awk -F': ' '/(User|System) time/ {t += $2} END {print t}' "$dir/time.txt")
    fi
    local log="$dir/drive1_Bench Loop Drive.csv"  # drive<N>_<model>.csv
    # Each row carries the speeds of the batch that wrote it (1 GiB each); the
    # round's speed is their harmonic mean. Titles and the opening row (all
    # zero) are left out.
    awk -F',' '{ sub(/\r$/, "") } $NF + 0 > 0 { n++; w += 1 / $NF; r += 1 / $(NF - 1) }
        END { printf "%.1f %.1f ", n / w, n / r }' "$log"
    awk -v rss="$rss" -v cpu="$cpu" '/ Start Normal Test\.$/ { s = $1 } / RBER: / && !e { e = $1 }
        END { printf "%.3f %d %.2f\n", e - s, rss, cpu }' "$dir/output.txt"
    # The viewer of this round goes before its folder does.
    tmux -L "$socket" kill-server 2>/dev/null || true
    rm -rf "$dir"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), kernel $(uname -r)"
echo "device: $loop over $work/drive.img, $size_mib MiB; $runs alternated runs"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
fio_pass write >/dev/null  # pre-fill once: the device holds data, not zeros

: >"$work/results"
for i in $(seq 1 "$runs"); do
    read -r fw fwt < <(fio_pass write)
    read -r fr frt < <(fio_pass read)
    ft=$(awk -v a="$fwt" -v b="$frt" 'BEGIN { print a + b }')
    printf 'run %d: fio write %s MB/s, read %s MB/s, %s s\n' "$i" "$fw" "$fr" "$ft"
    for b in "${!builds[@]}"; do
        read -r sw sr st rss cpu < <(lab_round "$i" "${builds[$b]}")
        printf '  ssdtest %s: write %s MB/s, read %s MB/s, round %s s, peak %s KiB, processor %s s\n' \
            "${builds[$b]}" "$sw" "$sr" "$st" "$rss" "$cpu"
        echo "$b $fw $fr $ft $sw $sr $st $rss $cpu" >>"$work/results"
    done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

# stat BUILD EXPRESSION: median over the runs of an awk expression of a row.
stat() { awk "\$1 == $1 { print $2 }" "$work/results" | median; }
for b in "${!builds[@]}"; do
    echo
    echo "${builds[$b]}: medians of $runs runs"
    echo "| figure | fio | ssdtest | ratio |"
    echo "|---|---|---|---|"
    printf '| write speed (MB/s) | %.0f | %.0f | %.3f |\n' "$(stat "$b" '$2')" "$(stat "$b" '$5')" "$(stat "$b" '$5 / $2')"
    printf '| read speed (MB/s) | %.0f | %.0f | %.3f |\n' "$(stat "$b" '$3')" "$(stat "$b" '$6')" "$(stat "$b" '$6 / $3')"
    printf '| round wall clock (s; fio: write + read) | %.3f | %.3f | %.3f |\n' "$(stat "$b" '$4')" "$(stat "$b" '$7')" "$(stat "$b" '$7 / $4')"
    echo "processor time of a lab run (user + system, median): $(stat "$b" '$9') s"
    echo "largest peak resident memory of a lab run: $(awk -v b="$b" '$1 == b && $8 > m { m = $8 } END { printf "%.1f MiB", m / 1024 }' "$work/results")"
done
