#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds and runs host
# programs against it through find_package and through pkg-config, and runs
# the installed tool.
#   run.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(cd "$prefix" && dirname "$(find . -name 'libKestraneEncrypt.so.1.0.0' | head -n 1)")

echo "== installed files"
(cd "$prefix" && find . -type f -o -type l | sort)
for name in KestraneEncrypt TolvarisEncrypt; do
    test -f "$prefix/$libdir/lib$name.so.1.0.0"
    test "$(readlink "$prefix/$libdir/lib$name.so.1")" = "lib$name.so.1.0.0"
    test "$(readlink "$prefix/$libdir/lib$name.so")" = "lib$name.so.1"
done

echo "== find_package"
cmake -S "$here/find_package" -B "$work/find_package" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/find_package" >/dev/null
for name in KestraneEncrypt TolvarisEncrypt; do
    "$work/find_package/consumer_$name"
    ldd "$work/find_package/consumer_$name" | grep -q "lib$name.so.1 => $prefix"
done

echo "== pkg-config"
for name in KestraneEncrypt TolvarisEncrypt; do
    export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
    test "$(pkg-config --modversion "$name")" = "1.0.0"
    # shellcheck disable=SC2046
    c++ -o "$work/pc_$name" "$here/consumer.cpp" $(pkg-config --cflags --libs "$name")
    LD_LIBRARY_PATH="$prefix/$libdir" "$work/pc_$name"
done

echo "== installed tool"
"$prefix/bin/kestrane" --version
printf 'tool' | "$prefix/bin/kestrane" encrypt - - | "$prefix/bin/kestrane" decrypt - - | grep -qx tool
echo "install: all checks passed"
