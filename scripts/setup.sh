#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 and bootstraps the Windows
# libraries. Safe to run again: it installs only what is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(
  build-essential cmake ninja-build pkg-config file git ca-certificates
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev autoconf automake libtool bc dpkg-dev
  nlohmann-json3-dev libmsgsl-dev libfmt-dev
  libpugixml-dev libsodium-dev libzip-dev libcurl4-openssl-dev zlib1g-dev
  googletest libgtest-dev libgmock-dev
  wine wine64 xvfb x11-utils imagemagick
  python3 python3-pytest python3-nacl python3-matplotlib
)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# The data-file builder's open data comes from the npm registry: Debian's npm when the
# machine has no npm of its own.
command -v npm >/dev/null 2>&1 || missing+=(npm)

# The Windows libraries are built from Debian's source packages: enable deb-src with the
# same mirrors as the machine's own entries.
src_list=/etc/apt/sources.list.d/tavelorium-src.sources
need_update=0
if [ ! -f "$src_list" ]; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | as_root tee "$src_list" >/dev/null
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | as_root tee "${src_list%.sources}.list" >/dev/null
  fi
  need_update=1
fi
if ! apt-cache showsrc --only-source pugixml 2>/dev/null | grep -q '^Version:'; then
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ "$need_update" -eq 1 ]; then
  echo "setup: apt-get update" >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The builder's inputs, pinned in tools/package-lock.json; installed again only when the
# lock file changed.
tools="$here/../tools"
if ! cmp -s "$tools/package-lock.json" "$tools/node_modules/.tav-package-lock.json"; then
  echo "setup: npm ci in tools/" >&2
  (cd "$tools" && npm ci --ignore-scripts --no-audit --no-fund >/dev/null)
  cp "$tools/package-lock.json" "$tools/node_modules/.tav-package-lock.json"
fi

"$here/bootstrap-deps.sh" >/dev/null
