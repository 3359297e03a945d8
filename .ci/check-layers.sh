#!/usr/bin/env bash
# The portable core (everything above platform/) reaches the platform only
# through the headers directly in platform/: no implementation header, no
# system header of one OS, no conditional compilation. Within the core,
# includes point down only: console/ over engine/ tracking/ viewer/, over
# smart/ disks/ status/, over text/. Prints each breach.
set -uo pipefail
cd "$(dirname "$0")/.."
core=(console engine tracking viewer smart disks status text)
# below <folders>: the core folders that <folders> must not include.
below() {
    local folders=("${@:2}")
    grep -nE "#include *\"($1)/" -r "${folders[@]}"
}
breaches=$(
    grep -nE '#include *"platform/[^"]+/' -r "${core[@]}"
    grep -nE '#include *<(windows\.h|winioctl\.h|wbemidl\.h|linux/|sys/|liburing|blkid|unistd\.h|fcntl\.h)' -r "${core[@]}"
    grep -nE '^\s*#\s*(if|ifdef|ifndef|elif)\b' -r "${core[@]}" | grep -v '#pragma'
    below 'console' engine tracking viewer
    below 'console|engine|tracking|viewer' smart disks status
    below 'console|engine|tracking|viewer|smart|disks|status' text
)
if [ -n "$breaches" ]; then
    echo "core files that break the layer rules:"
    echo "$breaches"
    exit 1
fi
echo "core includes only platform/*.h, points down only and has no conditional compilation"
