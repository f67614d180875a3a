#!/usr/bin/env bash
# Builds the Debian package from the default build and checks it: its contents, lintian
# without errors, and (when run as root, as in CI) that it installs and the program starts.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/default

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/vexo-setting_*.deb | head -n1)
echo "== $deb"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
expected=(
  /usr/bin/vexo-setting
  /usr/share/applications/vexo-setting.desktop
  /usr/share/metainfo/com.vexo_racing.vexo_setting.metainfo.xml
  /usr/lib/udev/rules.d/70-vexo-px7.rules
  /lib/udev/hwdb.d/70-vexo-px7.hwdb
  /usr/share/icons/hicolor/scalable/apps/vexo-setting.svg
  /usr/share/man/man1/vexo-setting.1.gz
  /usr/share/doc/vexo-setting/copyright
  /usr/share/doc/vexo-setting/changelog.Debian.gz
)
for size in 16 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/vexo-setting.png")
done
for f in "${expected[@]}"; do
  grep -qxF "$f" <<<"$contents" || { echo "missing in package: $f"; exit 1; }
done
if grep -E 'tst_|vexo-setting-sim|pedal_sim' <<<"$contents"; then
  echo "test or demo files in the package"; exit 1
fi

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6network6 libhidapi-hidraw0 qt6-qpa-plugins; do
  grep -q "$lib" <<<"$depends" || { echo "Depends lacks $lib: $depends"; exit 1; }
done

# The joystick mark, compiled as udev would from the package's files alone: no line may be
# ignored (systemd-hwdb only warns about those), and the pedal set's input modalias gets it.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
hwdb_log=$(systemd-hwdb --strict --root="$scratch" update 2>&1) || { echo "$hwdb_log"; exit 1; }
[ -z "$hwdb_log" ] || { echo "systemd-hwdb: $hwdb_log"; exit 1; }
marked=$(systemd-hwdb --root="$scratch" query 'id-input:modalias:input:b0003vC872p2020e0111-e0,3,kra0,1,2,mlsfw')
[ "$marked" = "$(printf 'ID_INPUT=1\nID_INPUT_ACCELEROMETER=0\nID_INPUT_JOYSTICK=1')" ] ||
  { echo "the hardware database does not mark the pedal set a joystick: $marked"; exit 1; }

lintian --fail-on error --allow-root "$deb"
desktop-file-validate packaging/linux/vexo-setting.desktop
appstreamcli validate --no-net packaging/linux/com.vexo_racing.vexo_setting.metainfo.xml

if [ "$(id -u)" -eq 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
  # No pedal set here: the program starts, waits for one and keeps running.
  status=0
  QT_QPA_PLATFORM=offscreen timeout 3 vexo-setting >/dev/null 2>&1 || status=$?
  [ "$status" -eq 124 ] || { echo "installed program exited with $status"; exit 1; }
  # Commands need no display; with no pedal set they say so and exit with 3.
  env -u DISPLAY -u QT_QPA_PLATFORM vexo-setting --version | grep -qx "vexo-setting [0-9.]*" ||
    { echo "vexo-setting --version failed"; exit 1; }
  status=0
  env -u DISPLAY -u QT_QPA_PLATFORM vexo-setting --list >/dev/null 2>&1 || status=$?
  [ "$status" -eq 3 ] || { echo "vexo-setting --list without a pedal set exited with $status"; exit 1; }
  # udev's trigger rebuilt the system's hardware database with the mark.
  [ "$(systemd-hwdb query 'id-input:modalias:input:b0003vC872p2020e0111-e0,3,kra0,1,2,mlsfw' |
    grep JOYSTICK)" = ID_INPUT_JOYSTICK=1 ] || { echo "installed, but the pedal set is not marked"; exit 1; }
  echo "== installed and started"
fi
echo "== package OK"
