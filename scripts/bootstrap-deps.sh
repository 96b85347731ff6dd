#!/usr/bin/env bash
# Builds the Windows (mingw-w64, static) libraries the program links against from
# Debian's source packages into a prefix cached outside the clone. The cache key is
# this script's content plus the source package versions, so a changed recipe or a
# new Debian upload rebuilds it; a hit costs nothing.
# Prints the prefix path on its last line of stdout.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache_root=${TAV_CACHE_DIR:-$HOME/.cache/tavelorium}
host=x86_64-w64-mingw32
packages="pugixml libsodium libzip curl"

src_version() {
    apt-cache showsrc --only-source "$1" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V | tail -n 1
}

key_text=$(sha256sum "$here/bootstrap-deps.sh" | cut -d' ' -f1)
for p in $packages; do
    v=$(src_version "$p")
    [ -n "$v" ] || { echo "bootstrap-deps: no source package '$p' (are deb-src entries enabled?)" >&2; exit 1; }
    key_text="$key_text $p=$v"
done
key=$(printf '%s' "$key_text" | sha256sum | cut -c1-16)
prefix="$cache_root/deps-$key"

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

echo "bootstrap-deps: building Windows dependencies into $prefix" >&2
work="$cache_root/work-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix/include" "$prefix/lib"
toolchain="$here/../cmake/mingw-w64.cmake"
jobs=$(nproc)

fetch() { # package -> unpacked source folder
    local dir="$work/src-$1"
    mkdir -p "$dir"
    (cd "$dir" && apt-get source --download-only -qq "$1" >>"$log" 2>&1 \
        && dpkg-source --no-check -x ./*.dsc unpacked >>"$log" 2>&1)
    echo "$dir/unpacked"
}

build_pugixml() {
    local s; s=$(fetch pugixml)
    cmake -S "$s" -B "$work/b-pugixml" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DPUGIXML_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=OFF \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DTAV_DEPS_PREFIX="$prefix" >>"$log" 2>&1
    cmake --build "$work/b-pugixml" --target install >>"$log" 2>&1
}

build_libsodium() {
    local s; s=$(fetch libsodium)
    (cd "$s" && autoreconf -fi >>"$log" 2>&1 \
        && ./configure --host=$host --prefix="$prefix" --disable-shared --enable-static \
             CC=$host-gcc-posix >>"$log" 2>&1 \
        && make -j"$jobs" >>"$log" 2>&1 && make install >>"$log" 2>&1)
}

build_libzip() {
    local s; s=$(fetch libzip)
    cmake -S "$s" -B "$work/b-libzip" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DTAV_DEPS_PREFIX="$prefix" \
        -DENABLE_COMMONCRYPTO=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF \
        -DENABLE_WINDOWS_CRYPTO=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
        -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
        -DZLIB_LIBRARY=/usr/$host/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/$host/include >>"$log" 2>&1
    cmake --build "$work/b-libzip" --target install >>"$log" 2>&1
}

build_curl() {
    local s; s=$(fetch curl)
    # curl's own makefile: no configure step. The settings must come from the environment.
    (cd "$s/lib" && CROSSPREFIX=$host- CC=gcc-posix CFG=-schannel-sspi-ipv6 CPPFLAGS=-DHTTP_ONLY \
        make -f Makefile.mk -j"$jobs" >>"$log" 2>&1)
    cp "$s/lib/libcurl.a" "$prefix/lib/"
    mkdir -p "$prefix/include/curl"
    cp "$s"/include/curl/*.h "$prefix/include/curl/"
}

build_googletest() {
    cmake -S /usr/src/googletest -B "$work/b-gtest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DTAV_DEPS_PREFIX="$prefix" \
        -Dgtest_disable_pthreads=OFF >>"$log" 2>&1
    cmake --build "$work/b-gtest" --target install >>"$log" 2>&1
}

copy_headers() {
    cp -r /usr/include/nlohmann "$prefix/include/"
    cp -r /usr/include/gsl "$prefix/include/"
    cp -r /usr/include/fmt "$prefix/include/"
}

pids=()
names=()
for step in pugixml libsodium libzip curl googletest; do
    ( log="$work/$step.log"; "build_$step" ) & pids+=($!); names+=("$step")
done
copy_headers
failed=0
for i in "${!pids[@]}"; do
    if ! wait "${pids[$i]}"; then
        echo "bootstrap-deps: building ${names[$i]} failed:" >&2
        tail -n 40 "$work/${names[$i]}.log" >&2
        failed=1
    fi
done
[ "$failed" -eq 0 ] || exit 1
printf '%s\n' "$key_text" >"$prefix/.complete"
rm -rf "$work"
echo "$prefix"
