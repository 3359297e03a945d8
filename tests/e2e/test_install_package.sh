#!/usr/bin/env bash
# A clean install: the DESTDIR install tree and the Debian package. Installed
# programs never write beside themselves, the stand-in viewer is the lab's
# alone, and the package installs and removes cleanly in a scratch root and
# has no lintian errors.
source "$(dirname "$0")/lib.sh" "$@"

make_scratch install_package
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$BUILD_DIR/CMakeCache.txt")
DEST="$SCRATCH/destdir"
ROOT="$DEST$prefix"
DESTDIR="$DEST" cmake --install "$BUILD_DIR" >"$SCRATCH/install.out" || check "cmake --install" false

for f in bin/ssdtest bin/ssdtest-lab libexec/ssdtest-lab/GaugeLens_2_21.exe \
  share/man/man1/ssdtest.1.gz share/man/man1/ssdtest-lab.1.gz lib/systemd/system/ssdtest@.service \
  share/doc/ssdtest/copyright; do
  check "installed $f" test -e "$ROOT/$f"
done
etc="$ROOT/etc"
[[ $prefix =~ (^|/)usr/?$ ]] && etc="$DEST${prefix%usr*}etc"
check "example settings" test -s "$etc/default/ssdtest"
check "only programs in bin" test -z "$(ls "$ROOT/bin" | grep -vxE 'ssdtest|ssdtest-lab|ssdtest-report')"
check "programs stripped" test -z "$(file -L "$ROOT/bin/ssdtest" "$ROOT/bin/ssdtest-lab" \
  "$ROOT/libexec/ssdtest-lab/GaugeLens_2_21.exe" | grep -vF ', stripped')"

# The installed lab keeps its bench, logs and captures in the user's data
# folder and starts the viewer from libexec; the install tree stays as it is.
export XDG_DATA_HOME="$SCRATCH/data"
DATA="$XDG_DATA_HOME/ssdtest-lab"
WORK="$SCRATCH/work"
mkdir -p "$WORK" "$HOME/My Dropbox/Public"
tree() { (cd "$DEST" && find . -printf '%p %s\n' | sort); }
before=$(tree)
(cd "$WORK" && "$ROOT/bin/ssdtest-lab" --list </dev/null >"$SCRATCH/list.out" 2>&1)
check "installed lab lists its bench" grep -qF "serial BKV2560000001, firmware KV2.10: would test" "$SCRATCH/list.out"
check "bench in the user's data folder" test -s "$DATA/ssdlab.json"
(cd "$WORK" && timeout 600 "$ROOT/bin/ssdtest-lab" --drive 1 --aec-target 1 </dev/null \
  >"$SCRATCH/run.out" 2>&1)
check "installed lab's test exits 0" test $? = 0
check "viewer started from libexec" \
  grep -qF "Waiting Viewer : $ROOT/libexec/ssdtest-lab/GaugeLens_2_21.exe" "$SCRATCH/run.out"
check "log in the data folder" test -s "$DATA/drive1_Brindlecove KV Lab 256.csv"
check "captures in the data folder" test -n "$(ls "$DATA" | grep '_bank.csv$')"
check "nothing written under the install tree" test "$(tree)" = "$before"
check "nothing in the working folder" test -z "$(ls "$WORK")"

for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
  command -v $tool >/dev/null || { [ "$FAILURES" -eq 0 ] && skip "$tool is not installed"; finish; }
done

# The Debian package.
PKG="$SCRATCH/pkg"
(cd "$BUILD_DIR" && cpack -G DEB -B "$PKG" >"$SCRATCH/cpack.out" 2>&1) || check "cpack -G DEB" false
deb=$(ls "$PKG"/ssdtest_*.deb 2>/dev/null | head -n 1)
OUT=$(dpkg-deb -c "$deb" 2>&1)
expect "package: the lab's viewer under libexec" "./usr/libexec/ssdtest-lab/GaugeLens_2_21.exe"
expect_not "package: no viewer in /usr/bin" "./usr/bin/GaugeLens"
expect "package: example settings" "./etc/default/ssdtest"
expect "package: systemd unit" "./usr/lib/systemd/system/ssdtest@.service"
OUT=$(lintian --fail-on error "$deb" 2>&1)
check "lintian: no errors" test $? = 0

# Installed and removed in a scratch root with its own dpkg database.
R="$SCRATCH/root"
mkdir -p "$R/var/lib/dpkg/info" "$R/var/lib/dpkg/updates"
touch "$R/var/lib/dpkg/status"
dpkg_root() { dpkg --root="$R" --force-not-root --force-depends --log=/dev/null "$@" >>"$SCRATCH/dpkg.out" 2>&1; }
dpkg_root -i "$deb"
check "dpkg -i" test $? = 0
check "package installed" test -x "$R/usr/bin/ssdtest" -a -s "$R/etc/default/ssdtest"
dpkg_root -r ssdtest
check "dpkg -r" test $? = 0
check "removed: only the settings are left" test "$(cd "$R" && find usr etc -type f)" = "etc/default/ssdtest"
dpkg_root -P ssdtest
check "dpkg -P" test $? = 0
check "purged: no file left" test -z "$(cd "$R" && find usr etc -type f)"

finish
