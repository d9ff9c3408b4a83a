# Sourced by the other scripts: installs the Debian packages the build needs,
# only those missing, so a machine that has them all touches nothing.
kestrane_packages="cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev libcli11-dev pkg-config"
# For the sanitizer, fuzzing and static-analysis stages of the tests.
kestrane_check_packages="clang libclang-rt-14-dev llvm clang-tidy clang-format cppcheck"
# For the Windows stage: the MinGW-w64 cross compiler and Wine to run its tests.
kestrane_windows_packages="g++-mingw-w64-x86-64-posix wine wine64"

ensure_packages() {
    missing=""
    for package in "$@"; do
        status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
        case "$status" in
            *"install ok installed"*) ;;
            *) missing="$missing $package" ;;
        esac
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
}
