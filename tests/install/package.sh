#!/usr/bin/env bash
# Builds the Debian packages from a build tree and checks what they hold.
#   package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB >/dev/null)
contents() { dpkg-deb -c "$work"/"$1"_*.deb | awk '{print $6}'; }
expect() { # package, pattern...
    local package=$1; shift
    local listing; listing=$(contents "$package")
    for pattern in "$@"; do
        grep -qE "$pattern" <<<"$listing" || { echo "$package lacks $pattern" >&2; echo "$listing" >&2; exit 1; }
    done
    echo "$package: $(grep -c . <<<"$listing") entries, as expected"
}
expect libkestraneencrypt1 'usr/lib.*/libKestraneEncrypt\.so\.1\.0\.0$' 'usr/lib.*/libTolvarisEncrypt\.so\.1\.0\.0$' \
    'usr/lib.*/libKestraneEncrypt\.so\.1$'
expect libkestraneencrypt-dev 'usr/include/KestraneEncrypt\.h$' 'usr/include/kestrane_export\.h$' \
    'cmake/KestraneEncrypt/KestraneEncryptConfig\.cmake$' 'cmake/KestraneEncrypt/KestraneEncryptConfigVersion\.cmake$' \
    'pkgconfig/KestraneEncrypt\.pc$' 'pkgconfig/TolvarisEncrypt\.pc$' 'usr/lib.*/libKestraneEncrypt\.so$'
expect kestrane 'usr/bin/kestrane$'
dpkg-deb -f "$work"/libkestraneencrypt-dev_*.deb Depends | grep -q libkestraneencrypt1
dpkg-deb -f "$work"/kestrane_*.deb Depends | grep -q libkestraneencrypt1
echo "package: all checks passed"
