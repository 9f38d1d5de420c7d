#!/usr/bin/env bash
# Takes the screenshot that the AppStream metainfo refers to: the real window under Xvfb, just
# after Synchronize All has run a project of three profiles (./dev.sh screenshot runs it).
#   take.sh BUILD_DIR OUT.png   (a build directory of the programs; needs root)
# The folders lie on tmpfs mounts over /home and /media in a mount namespace of the script's
# own, so the window shows the paths of a user's project and nothing real is touched.
set -euo pipefail

if [ "${1:-}" != --inside ]; then
    if [ $# -ne 2 ]; then
        sed -n '4p' "$0" | sed 's/^# *//' >&2
        exit 2
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "take.sh: mounting the sample folders needs root" >&2
        exit 1
    fi
    exec unshare --mount --propagation private "$0" --inside "$(realpath "$1")" \
        "$(realpath -m "$2")"
fi
build=$2
out=$3

mount -t tmpfs tmpfs /home
mount -t tmpfs tmpfs /media
export HOME=/home/anna
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
backup=/media/anna/Backup

# make PATH TIME [CONTENT]: a file with its modification time.
make() {
    mkdir -p "$(dirname "$1")"
    printf '%s\n' "${3:-$1}" >"$1"
    touch -d "$2" "$1"
}

for file in Letters/2026-10-landlord.odt Letters/2026-11-bank.odt Taxes/2025-return.pdf \
    Taxes/2025-receipts.ods notes.txt cv-2024.odt; do
    make "$HOME/Documents/$file" "2026-11-20 09:15"
done
for file in 2026/Summer/IMG_4120.jpg 2026/Summer/IMG_4121.jpg 2026/Summer/IMG_4125.jpg \
    2026/Autumn/IMG_4388.jpg; do
    make "$HOME/Pictures/$file" "2026-10-02 18:40"
done
make "$HOME/Music/Playlists/running.m3u" "2026-09-14 07:05"

project=$HOME/Backup.kvx
profile() {  # profile INDEX CHECKED NAME FOLDER
    printf '[Item%s]\r\nChecked=%s\r\nName=%s\r\nDirA=%s\r\nDirB=%s\r\n' \
        "$1" "$2" "$3" "$HOME/$4" "$backup/$4"
}
{
    printf '[General]\r\nNumOfItems=3\r\n'
    profile 0 1 Documents Documents
    profile 1 1 Pictures Pictures
    profile 2 0 Music Music
} >"$project"
mkdir -p "$backup"/{Documents,Pictures,Music}
# The layout a user would leave: the Name column wide enough for the names, and more room
# for the log list.
mkdir -p "$XDG_CONFIG_HOME/Marvolt"
printf '[UI]\nSyncListC0=110\nSyncListC1=385\nSyncListC2=385\nSyncListHeight=110\n' \
    >"$XDG_CONFIG_HOME/Marvolt/Kalvex.conf"

# A first run makes the copies and the log files, so that the window's run has changes to
# show and no question about a missing previous log file.
"$build/app/sync/kalvex-sync" --yes "$project" >/dev/null 2>&1

# What happened on both sides since then.
make "$HOME/Documents/notes.txt" "2026-12-10 21:30" "notes, edited"
make "$HOME/Documents/Letters/2026-12-insurance.odt" "2026-12-09 11:02"
rm "$HOME/Documents/cv-2024.odt"
make "$backup/Documents/Taxes/2025-receipts.ods" "2026-12-08 16:45" "receipts, edited"
make "$backup/Documents/report-draft.odt" "2026-12-07 14:20"
for file in 2026/Autumn/IMG_4391.jpg 2026/Autumn/IMG_4392.jpg 2026/Autumn/IMG_4395.jpg; do
    make "$HOME/Pictures/$file" "2026-12-06 15:12"
done
rm "$backup/Pictures/2026/Summer/IMG_4121.jpg"

mkdir -p "$XDG_CACHE_HOME"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$XDG_CACHE_HOME/display" 2>/dev/null &
xvfb=$!
kalvex=
stop() {
    kill $kalvex "$xvfb" 2>/dev/null || true
    wait 2>/dev/null || true
}
trap stop EXIT
trap "exit 1" INT TERM
until [ -s "$XDG_CACHE_HOME/display" ]; do sleep 0.1; done
DISPLAY=:$(cat "$XDG_CACHE_HOME/display")
export DISPLAY
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

touch "$XDG_CACHE_HOME/started"
"$build/app/kalvex/kalvex" /SYNC "$project" >/dev/null 2>&1 &
kalvex=$!
window=$(xdotool search --sync --onlyvisible --name 'Kalvex$' | head -n 1)
# The run has ended when the last checked profile has written its log file again.
until [ "$HOME/Pictures/kvx_Backup.log" -nt "$XDG_CACHE_HOME/started" ]; do sleep 0.1; done
sleep 1 # the window paints the last rows
import -window "$window" -strip "$out"
echo "take.sh: wrote $out ($(identify -format '%w x %h' "$out"))"
