#!/bin/sh
# A picture of the real dorvane window: runs the program under a virtual X
# server with an emulated phone attached to the real adb server, in private
# runtime, mount and settings folders, and grabs the screen.
#   window_screenshot.sh BUILD_DIR OUT.png
set -eu
build=$(cd "$1" && pwd)
out=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/phone/DCIM" "$work/run" "$work/mnt" "$work/cfg/Dorvane"
chmod 700 "$work/run"
printf '[General]\nhasCompletedOnboarding=true\n' > "$work/cfg/Dorvane/Dorvane.conf"

cat > "$work/inside.sh" <<INSIDE
set -eu
export XDG_RUNTIME_DIR="$work/run" DORVANE_MOUNT_ROOT="$work/mnt" XDG_CONFIG_HOME="$work/cfg"
"$build/bin/dorvane" & app=\$!
sleep 6
"$build/bin/dorvane_screen_grab" "$out"
kill \$app
wait \$app || true
INSIDE

# Test programs share the adb server under this lock; take it too.
exec 9>/tmp/dorvane-adb-tests.lock
flock 9
adb start-server >/dev/null 2>&1
# 62,500,000 KB total, 12,011,719 KB free: "12.3 GB of 64 GB".
"$build/bin/dorvane-phone-sim" --folder "$work/phone" --port 0 --model Pixel_7 --attach cable \
    --df 62500000,50488281,12011719 > "$work/phone.log" 2>&1 &
phone=$!
sleep 2
xvfb-run -a -s "-screen 0 560x660x24" sh "$work/inside.sh"
kill $phone 2>/dev/null || true
wait $phone 2>/dev/null || true
