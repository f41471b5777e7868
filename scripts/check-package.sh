#!/usr/bin/env bash
# Builds the Debian package from a configured and built BUILD_DIR and checks what it holds.
# As root (CI runs as root on a scratch machine) it then installs the package, runs the
# installed programs and removes the package again. Elsewhere that step needs
# SONOMAP_INSTALL_DEB=1 and sudo; without them it is skipped with a note.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)

fail() {
    echo "check-package: $*" >&2
    exit 1
}

rm -f "$build"/sonomap_*_amd64.deb
log=$(cd "$build" && cpack -G DEB 2>&1) || { echo "$log" >&2; fail "cpack -G DEB failed"; }
debs=("$build"/sonomap_*_amd64.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "cpack wrote no sonomap_<version>_amd64.deb"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
expected=(
    ./usr/bin/sonomap ./usr/bin/sonomap-cli
    ./usr/share/applications/sonomap.desktop
    ./usr/share/metainfo/com.ambrel.Sonomap.metainfo.xml
    ./usr/share/man/man1/sonomap.1.gz ./usr/share/man/man1/sonomap-cli.1.gz
    ./usr/share/doc/sonomap/copyright
)
for size in 16 22 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/sonomap.png")
done
for path in "${expected[@]}"; do
    grep -qxF "$path" <<<"$contents" || fail "$(basename "$deb") lacks $path"
done
# Nothing outside /usr: no build or test files ride along.
outside=$(grep -v '^\./usr/' <<<"$contents" | grep -vx '\./' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"

# The copyright file is the machine-readable form (DEP-5) and grants the GPL, 3 or later.
copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/sonomap/copyright)
head -n1 <<<"$copyright" | grep -qxF 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "usr/share/doc/sonomap/copyright is not in the machine-readable format"
grep -qx 'License: GPL-3+' <<<"$copyright" || fail "usr/share/doc/sonomap/copyright names no GPL-3+"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6widgets6 libopenal1 libsndfile1 libsoxr0 libmysofa1; do
    grep -q "\b$library\b" <<<"$depends" || fail "Depends lacks $library: $depends"
done
echo "check-package: $(basename "$deb") holds ${#expected[@]} checked files"
echo "check-package: Depends: $depends"

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if [ "${SONOMAP_INSTALL_DEB:-0}" != 1 ]; then
        echo "check-package: not root, so the package is not installed (SONOMAP_INSTALL_DEB=1 installs it through sudo)"
        exit 0
    fi
    sudo=(sudo)
fi

# Whatever happens below, the package does not stay installed.
remove() {
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q sonomap >/dev/null 2>&1 ||
        "${sudo[@]}" dpkg -r sonomap >/dev/null 2>&1 || true
}
trap remove EXIT
# apt brings what Depends names; dpkg alone does when all of it is there already.
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "$deb" >/dev/null || "${sudo[@]}" dpkg -i "$deb" >/dev/null ||
    fail "neither apt-get install nor dpkg -i installed $deb"
[ "$(dpkg-query -W -f='${Status}' sonomap)" = "install ok installed" ] || fail "not installed"
/usr/bin/sonomap-cli --help >/dev/null || fail "the installed sonomap-cli --help failed"
info=$(/usr/bin/sonomap-cli info "$root/examples/demo.wav") || fail "the installed sonomap-cli info failed"
grep -Eq '"channels": ?1\b' <<<"$info" || fail "unexpected info of the demo: $info"
[ -x /usr/bin/sonomap ] || fail "/usr/bin/sonomap is not installed"
remove
trap - EXIT
[ ! -e /usr/bin/sonomap-cli ] || fail "/usr/bin/sonomap-cli is still there after the removal"
echo "check-package: installed, ran sonomap-cli --help and info on the demo, removed"
