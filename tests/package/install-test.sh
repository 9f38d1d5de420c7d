#!/usr/bin/env bash
# Installs the Debian packages that ./dev.sh package built on a fresh Debian root and checks
# what a user gets: kalvex-sync alone brings no widget library; both programs answer; the
# manual page shows; .kvx files are known and open with the desktop entry; the icon resolves
# in hicolor; apt-get remove leaves nothing behind.
#   install-test.sh DEB_DIR
# The root is made by mmdebstrap from this machine's apt sources (of the same release, as the
# packages were built against its libraries) and kept as a tarball in
# $KALVEX_PACKAGE_TEST_CACHE (/var/cache/kalvex-package-test) for a week, with the packages
# apt downloads into it. Exits 77 (SKIPPED) where it cannot run.
set -euo pipefail

skip() {
    echo "SKIPPED: $*"
    exit 77
}

[ $# -eq 1 ] || {
    sed -n '6p' "$0" | sed 's/^# *//' >&2
    exit 2
}
deb_dir=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
cache=${KALVEX_PACKAGE_TEST_CACHE:-/var/cache/kalvex-package-test}

shopt -s nullglob
desktop_debs=("$deb_dir"/kalvex_*.deb)
sync_debs=("$deb_dir"/kalvex-sync_*.deb)
shopt -u nullglob
if [ ${#desktop_debs[@]} -ne 1 ] || [ ${#sync_debs[@]} -ne 1 ]; then
    skip "not one kalvex and one kalvex-sync package in $deb_dir (./dev.sh package makes them)"
fi
[ "$(id -u)" -eq 0 ] || skip "a Debian root needs root"
command -v mmdebstrap >/dev/null || skip "mmdebstrap is not installed"
command -v python3 >/dev/null || skip "python3 is not installed"

# Everything below runs in a mount namespace of its own, so that the mounts in the root go
# when the script does, however it ends.
if [ "${KALVEX_PACKAGE_TEST_INSIDE:-}" != 1 ]; then
    KALVEX_PACKAGE_TEST_INSIDE=1 exec unshare --mount --propagation private "$0" "$@"
fi

# What a desktop has besides the base system: manual pages, xdg-mime, and the programs whose
# triggers build the MIME and desktop-entry caches.
tools=man-db,xdg-utils,desktop-file-utils,shared-mime-info
sources=()
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -s "$file" ] && sources+=("$file")
done
[ ${#sources[@]} -gt 0 ] || skip "this machine has no apt sources"
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$suite" ] || skip "this machine does not name its Debian release"
key=$( (echo "$suite $tools $(mmdebstrap --version)"; cat "${sources[@]}") | sha256sum | cut -c1-16)
base=$cache/root-$suite-$key.tar
mkdir -p "$cache"
# One run at a time uses the cache.
exec 9>"$cache/lock"
flock 9

if [ -z "$(find "$base" -mtime -7 2>/dev/null)" ]; then
    rm -rf "$cache"/root-*.tar "$cache/archives"
    echo "Making a fresh $suite root (kept in $base)"
    # A mirror may serve a fixed snapshot, whose Release files are past their Valid-Until.
    if ! mmdebstrap --variant=apt --include="$tools" --format=tar --quiet \
        --aptopt='Acquire::Check-Valid-Until "false"' "$suite" "$base.new" "${sources[@]}" \
        >"$cache/mmdebstrap.log" 2>&1; then
        tail -n 20 "$cache/mmdebstrap.log"
        rm -f "$base.new"
        skip "mmdebstrap could not make a $suite root (no Debian mirror?)"
    fi
    mv "$base.new" "$base"
fi
mkdir -p "$cache/archives/partial"

work=$(mktemp -d "${TMPDIR:-/var/tmp}/kalvex-package-test.XXXXXX")
root=$work/root
drop_root() {
    local mount
    # The cache is mounted in the root: never delete the root through the mount.
    for mount in "$root/var/cache/apt/archives" "$root/proc"; do
        if mountpoint -q "$mount" && ! umount "$mount"; then
            echo "cannot unmount $mount: $work is left" >&2
            return 1
        fi
    done
    rm -rf "$root"
}
trap 'drop_root && rm -rf "$work"' EXIT
new_root() {  # a fresh root from the tarball, with the packages in /tmp/debs
    drop_root
    mkdir "$root"
    tar -xf "$base" -C "$root"
    mount -t proc proc "$root/proc"
    mount --bind "$cache/archives" "$root/var/cache/apt/archives"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    mkdir -p "$root/tmp/debs" "$root/tmp/home"
    cp "${desktop_debs[0]}" "${sync_debs[0]}" "$root/tmp/debs/"
}
desktop_deb=/tmp/debs/$(basename "${desktop_debs[0]}")
sync_deb=/tmp/debs/$(basename "${sync_debs[0]}")

# in_root COMMAND...: runs in the root with a clean environment and a home of its own.
in_root() {
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp/home LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}
# apt_get ARGS...: apt-get in the root, its output in apt.log, the end of it on failure.
apt_get() {
    in_root apt-get -y -q "$@" >>"$work/apt.log" 2>&1 || {
        tail -n 30 "$work/apt.log"
        return 1
    }
}
# What a package depends on must be enough: recommendations are left out.
apt_install() { apt_get install --no-install-recommends "$@"; }
installed() {  # installed PACKAGE: true when dpkg has it unpacked or configured
    in_root dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null | grep -qv '^not-installed$'
}
# Debian's man-db forgets removed pages in its daily job (cron or timer), not at removal.
remove() {
    apt_get remove kalvex kalvex-sync &&
        in_root setpriv --reuid=man --regid=man --init-groups mandb --quiet
}

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
    local description=$1
    shift
    if "$@"; then
        echo "ok - $description"
        passed=$((passed + 1))
    else
        echo "FAIL - $description"
        failed=$((failed + 1))
    fi
}
output_matches() {  # output_matches PATTERN COMMAND...: status 0 and a line matching PATTERN
    local pattern=$1 output
    shift
    output=$("$@" 2>&1) || {
        printf '%s\n' "$output" | head -n 5
        return 1
    }
    printf '%s\n' "$output" | grep -qE "$pattern" || {
        printf '%s\n' "$output" | head -n 5
        return 1
    }
}

version=$(dpkg-deb -f "${desktop_debs[0]}" Version)
app_id=org.kalvex.Kalvex

control() {  # the fields a user and apt read, in both packages
    local deb field
    for deb in "${desktop_debs[0]}" "${sync_debs[0]}"; do
        for field in Section Maintainer Description Depends; do
            [ -n "$(dpkg-deb -f "$deb" "$field")" ] || { echo "$deb has no $field"; return 1; }
        done
    done
    [ "$(dpkg-deb -f "${sync_debs[0]}" Version)" = "$version" ] &&
        dpkg-deb -f "${desktop_debs[0]}" Depends | grep -qF "kalvex-sync (= $version)"
}
check "both packages name a section, a maintainer and a description; kalvex needs its kalvex-sync" \
    control
check "the manual page is compressed, as Debian keeps them" \
    output_matches '\./usr/share/man/man1/kalvex-sync\.1\.gz$' dpkg-deb -c "${sync_debs[0]}"

new_root
apt_get update >/dev/null || skip "apt-get update found no Debian mirror"

# kalvex-sync alone, as on a server.
check "apt-get install ./$(basename "$sync_deb") on a fresh root" apt_install "$sync_deb"
no_widgets() {
    local library
    for library in libqt6widgets6 libqt6gui6 libx11-6; do
        if installed "$library"; then
            echo "kalvex-sync brought $library"
            return 1
        fi
    done
}
check "kalvex-sync installs alone, without a widget or X library" no_widgets
check "kalvex-sync --help" output_matches '^Usage: kalvex-sync ' in_root kalvex-sync --help
check "kalvex-sync --version names the package's version" output_matches \
    "^kalvex-sync ${version%%~*}" in_root kalvex-sync --version
# As a user: run by root, man keeps a formatted copy in man-db's cache.
check "man kalvex-sync" output_matches '^NAME' in_root env MANPAGER=cat MANWIDTH=80 \
    setpriv --reuid=nobody --regid=nogroup --clear-groups man kalvex-sync

# Then the desktop program.
check "apt-get install ./$(basename "$desktop_deb")" apt_install "$desktop_deb"
check "kalvex --version names the package's version" output_matches "^kalvex ${version%%~*}" \
    in_root kalvex --version
starts() {  # the window comes up with the installed libraries, and quits on SIGTERM
    local output start=$SECONDS
    output=$(in_root env QT_QPA_PLATFORM=offscreen timeout --preserve-status -s TERM 3 kalvex 2>&1) ||
        { printf '%s\n' "$output" | tail -n 5; return 1; }
    # Still running when the signal came.
    [ $((SECONDS - start)) -ge 2 ] || { printf '%s\n' "$output" | tail -n 5; return 1; }
}
check "kalvex starts and quits on SIGTERM" starts
check "xdg-mime names the desktop entry for .kvx files" output_matches "^$app_id.desktop\$" \
    in_root xdg-mime query default application/x-kalvex-project
check "the MIME database maps *.kvx to application/x-kalvex-project" \
    grep -qx '[0-9]*:application/x-kalvex-project:\*\.kvx' "$root/usr/share/mime/globs2"
icon_resolves() {  # the desktop entry's icon, at the sizes a desktop asks for
    local icon size path
    icon=$(sed -n 's/^Icon=//p' "$root/usr/share/applications/$app_id.desktop")
    [ -n "$icon" ] || return 1
    python3 "$here/resolve_icon.py" "$root" "$icon" 16 22 24 32 48 64 96 128 256 >"$work/icons" ||
        { cat "$work/icons"; return 1; }
    while read -r size path; do
        in_root dpkg -S "/$path" >/dev/null 2>&1 || { echo "$size: $path is not kalvex's"; return 1; }
        case $size in 16 | 32 | 48 | 64 | 128 | 256)
            [ "$path" = "usr/share/icons/hicolor/${size}x$size/apps/$icon.png" ] ||
                { echo "$size: $path"; return 1; } ;;
        esac
    done <"$work/icons"
}
check "the icon resolves in hicolor at every size" icon_resolves

# Removing both: the files they held, and whatever their installation made, go.
files=$(for deb in "${desktop_debs[0]}" "${sync_debs[0]}"; do
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }'
done)
check "apt-get remove kalvex kalvex-sync" remove
forgotten() {
    local package
    for package in kalvex kalvex-sync; do
        if installed "$package"; then
            in_root dpkg-query -W -f='${Package}: ${db:Status-Abbrev}\n' "$package"
            return 1
        fi
    done
}
check "dpkg keeps no trace of either package" forgotten
files_gone() {
    local file left=0
    while read -r file; do
        if [ -e "$root$file" ] || [ -L "$root$file" ]; then
            echo "left: $file"
            left=1
        fi
    done <<<"$files"
    return $left
}
check "no file of either package is left" files_gone
# apt's and dpkg's own records, the package copies and the home the programs ran in (a
# user's files stay) are meant to mention them.
bookkeeping=(-path "$root/proc" -o -path "$root/tmp" -o -path "$root/var/log"
    -o -path "$root/var/cache/apt" -o -path "$root/var/lib/apt" -o -path "$root/var/lib/dpkg")
nothing_named() {
    local left
    left=$(find "$root" \( "${bookkeeping[@]}" \) -prune -o -iname '*kalvex*' -print)
    [ -z "$left" ] || { echo "$left" | head; return 1; }
}
check "no path named after kalvex is left" nothing_named
nothing_mentions() {
    local left
    left=$(find "$root" \( "${bookkeeping[@]}" \) -prune -o -type f -print0 |
        xargs -0 grep -l -a -i -e kalvex -e x-kalvex-project || true)
    [ -z "$left" ] || { echo "$left" | head; return 1; }
}
check "no file mentions kalvex any more (caches, indexes)" nothing_mentions

# On a second fresh root with the dependencies already there, so that everything else that
# changes is the packages' doing: after installing and removing both, the tree is as before.
new_root
dependencies=$(for deb in "${desktop_debs[0]}" "${sync_debs[0]}"; do
    dpkg-deb -f "$deb" Depends | tr ',' '\n' | grep -v '^ *kalvex'
done | paste -sd, -)
snapshot() (  # every path with its type, mode and link target, and every file's checksum
    pruned=(-path ./proc -o -path ./tmp -o -path ./var/log -o -path ./var/cache/apt
        -o -path ./var/lib/apt -o -path ./var/lib/dpkg)
    cd "$root"
    find . \( "${pruned[@]}" \) -prune -o -printf '%y %m %p %l\n' | sort
    find . \( "${pruned[@]}" \) -prune -o -type f -print0 | sort -z | xargs -0 sha256sum
)
round_trip() {
    apt_get update >/dev/null && apt_get satisfy --no-install-recommends "$dependencies" ||
        return 1
    snapshot >"$work/before"
    { apt_install "$sync_deb" "$desktop_deb" && remove; } || return 1
    snapshot >"$work/after"
    diff "$work/before" "$work/after" | head -n 20
    cmp -s "$work/before" "$work/after"
}
check "on a root with the dependencies, install and remove leave the tree as it was" round_trip

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
