# Shared by scripts/demo, scripts/test and .ci/run. Source it; do not run it.

ORVEX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# The compiler cache hashes paths relative to the tree, so a fresh clone elsewhere (CI's) reuses
# what an earlier build compiled; the build folder is left out of the hash of debug builds for the same
# reason (only the debug information's folder names then name the first tree).
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ORVEX_ROOT}"
export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"

# Debian packages the build, the tests, the fuzzers and the Debian package (its dependencies and
# the validators of its desktop entry and software-centre record) need.
ORVEX_PACKAGES=(
    cmake ninja-build ccache g++ clang libclang-rt-14-dev pkg-config clang-format
    libasio-dev libhidapi-dev libudev-dev libpugixml-dev libnlopt-dev libcpp-httplib-dev nlohmann-json3-dev
    libmosquitto-dev libqrencode-dev mosquitto mosquitto-clients chromium chromium-driver python3-selenium
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
    fonts-wqy-microhei qt6-translations-l10n
    dpkg-dev desktop-file-utils appstream
)

# Installs whatever is missing, quietly; does nothing when everything is present.
orvex_install_packages() {
    local missing=()
    local pkg
    for pkg in "${ORVEX_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq >/dev/null
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures a preset once and builds it (optionally only some targets), printing only on failure.
orvex_build() {
    local preset="$1"
    shift
    local log
    log="$(mktemp)"
    if [ ! -f "$ORVEX_ROOT/build/$preset/build.ninja" ]; then
        if ! cmake --preset "$preset" -S "$ORVEX_ROOT" >"$log" 2>&1; then
            cat "$log"
            rm -f "$log"
            return 1
        fi
    fi
    local targets=()
    if [ "$#" -gt 0 ]; then
        targets=(--target "$@")
    fi
    if ! cmake --build "$ORVEX_ROOT/build/$preset" "${targets[@]}" >"$log" 2>&1; then
        cat "$log"
        rm -f "$log"
        return 1
    fi
    rm -f "$log"
}
