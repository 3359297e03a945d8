#!/usr/bin/env bash
# Measures the lab executable against fio at several queue depths on one
# RAM-backed loop device.
#
# A file in /dev/shm backs a loop device, pre-filled once with fio. Then, RUNS
# times, and in each run for every depth (fio and ssdtest-lab taking turns at
# going first): fio writes the whole device, then reads it (io_uring, direct,
# 1 MiB, --iodepth N), and ssdtest-lab runs one round with --queue-depth N on
# a `kvt` lab drive whose device is the loop device (one whole-drive write
# reaches the AEC target of 1). Prints, per depth, the medians of
#   - a round's wall clock ("Start Normal Test." to "RBER:") over fio's write
#     time plus read time (each run's own ratio),
#   - the lab run's processor time (user + system) per GiB verified,
# the largest peak resident memory of the lab runs, and the load before and
# after (uptime).
#
# Usage (as root): bench/depth_vs_fio.sh [build folder] (default: build)
# Environment: SIZE_MIB (default 4096), RUNS (default 5), DEPTHS (default "1 4 16 32").
# Needs: fio, util-linux (losetup), time (for the peak memory and processor time).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
size_mib=${SIZE_MIB:-4096}
runs=${RUNS:-5}
read -r -a depths <<<"${DEPTHS:-1 4 16 32}"

fail() {
    echo "depth_vs_fio: $*" >&2
    exit 1
}
[ "$(id -u)" = 0 ] || fail "attaching a loop device needs root"
command -v fio >/dev/null || fail "fio is not installed"
[ -x /usr/bin/time ] || fail "/usr/bin/time is not installed (package time)"
[ -x "$build/ssdtest-lab" ] || fail "no $build/ssdtest-lab (build it first)"

source "$repo/bench/ram_loop.sh"
ram_loop_attach depth "$size_mib"

# fio_pass RW DEPTH: one whole-device pass; prints its seconds.
fio_pass() {
    fio --name="depth-$1" --filename="$loop" --ioengine=io_uring --direct=1 --bs=1M \
        --iodepth="$2" --rw="$1" --output-format=terse --terse-version=3 |
        # Terse v3: the read runtime (ms) is field 9, the write runtime field 50.
        awk -F';' -v rw="$1" '{ printf "%.3f\n", (rw == "read" ? $9 : $50) / 1e3 }'
}

# lab_round DEPTH: one round of ssdtest-lab in its own scratch folder; prints
# "<round seconds> <peak RSS KiB> <processor seconds>". The drive makes no bit
# errors ("rber_max": 0): the round times the tool, not the lab's error model.
lab_round() {
    local dir
    dir=$(mktemp -d "$work/lab.XXXXXX")
    printf '{ "drives": [ { "number": 1, "kind": "kvt", "size_mib": %d, "device": "%s",
  "model": "Depth Loop Drive", "serial": "DEPTH000001", "firmware": "D1.0",
  "initial_aec": 0, "write_amplification": 1.02, "seed": 1, "rber_max": 0 } ] }\n' \
        "$size_mib" "$loop" >"$dir/ssdlab.json"
    # Nothing else may hold the device when the run opens it.
    command -v udevadm >/dev/null && udevadm settle 2>/dev/null || true
    (
        cd "$dir"
        export SSDLAB_DIR="$dir" HOME="$dir" SSDTEST_TRACE="$dir/trace.log"
        /usr/bin/time -v -o "$dir/time.txt" "$build/ssdtest-lab" --drive 1 --aec-target 1 \
            --queue-depth "$1" --dir "$dir" --shared-dir "$dir" --no-viewer </dev/null 2>&1 |
            while IFS= read -r line; do printf '%s %s\n' "$EPOCHREALTIME" "$line"; done
    ) >"$dir/output.txt"
    grep -q ' RBER: ' "$dir/output.txt" || {
        cat "$dir/output.txt" >&2
        fail "lab round at depth $1 did not finish its round"
    }
    local rss cpu
    rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$dir/time.txt")
    cpu=$(awk -F': ' '/(User|System) time/ {t += $2} END {print t}' "$dir/time.txt")
    awk -v rss="$rss" -v cpu="$cpu" '/ Start Normal Test\.$/ { s = $1 } / RBER: / && !e { e = $1 }
        END { printf "%.3f %d %.3f\n", e - s, rss, cpu }' "$dir/output.txt"
    rm -rf "$dir"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), kernel $(uname -r)"
echo "device: $loop over $work/drive.img, $size_mib MiB; $runs alternated runs at depths ${depths[*]}"
echo "load before: $(uptime)"
fio --name=prefill --filename="$loop" --ioengine=io_uring --direct=1 --bs=1M --iodepth=16 \
    --rw=write --output-format=terse >/dev/null  # the device holds data, not zeros

: >"$work/results"
# The blocks one round verifies: every block but the last.
gib=$(awk -v m="$size_mib" 'BEGIN { print (m - 1) / 1024 }')
for i in $(seq 1 "$runs"); do
    for d in "${depths[@]}"; do
        if ((i % 2)); then
            fw=$(fio_pass write "$d") && fr=$(fio_pass read "$d")
            read -r st rss cpu < <(lab_round "$d")
        else
            read -r st rss cpu < <(lab_round "$d")
            fw=$(fio_pass write "$d") && fr=$(fio_pass read "$d")
        fi
        ft=$(awk -v a="$fw" -v b="$fr" 'BEGIN { print a + b }')
        printf 'run %d depth %d: fio %s s (write %s + read %s), ssdtest round %s s, peak %s KiB, processor %s s\n' \
            "$i" "$d" "$ft" "$fw" "$fr" "$st" "$rss" "$cpu"
        echo "$d $ft $st $rss $cpu" >>"$work/results"
    done
done
echo "load after: $(uptime)"

# stat DEPTH EXPRESSION: median over the runs of an awk expression of a row.
stat() { awk -v gib="$gib" "\$1 == $1 { print $2 }" "$work/results" | median; }
echo
echo "medians of $runs runs"
echo "| depth | fio write + read (s) | ssdtest round (s) | ratio | processor s/GiB verified | peak memory (MiB) | memory limit (MiB) |"
echo "|---|---|---|---|---|---|---|"
for d in "${depths[@]}"; do
    printf '| %d | %.3f | %.3f | %.3f | %.4f | %.1f | %d |\n' "$d" "$(stat "$d" '$2')" \
        "$(stat "$d" '$3')" "$(stat "$d" '$3 / $2')" "$(stat "$d" '$5 / gib')" \
        "$(awk -v d="$d" '$1 == d && $4 > m { m = $4 } END { print m / 1024 }' "$work/results")" \
        "$((16 + d))"
done
