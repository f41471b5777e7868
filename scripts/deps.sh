# Sourced by test.sh and run.sh: the Debian 12 packages the project needs.
SONOMAP_PACKAGES=(
    cmake make g++ pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libopenal-dev libopenal-data
    libsndfile1-dev libsoxr-dev
    libmysofa-dev libfftw3-dev python3-netcdf4
    nlohmann-json3-dev libpugixml-dev libebur128-dev nettle-dev
    liblo-dev liblo-tools
    parallel
    sox sndfile-programs bs1770gain
    xvfb xauth
    appstream desktop-file-utils groff-base dpkg-dev file
    clang-14 libclang-rt-14-dev
)

sonomap_install_missing() {
    local sudo=() missing=() p
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    for p in "${SONOMAP_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        "${sudo[@]}" apt-get update
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}
