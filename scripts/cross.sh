#!/usr/bin/env bash
# Builds the plugin, the stand-in host and every test for a big-endian
# target, runs the whole test suite and the demo there under qemu's user
# emulation, and checks that the demo prints what the native build prints.
#
#   cross.sh ppc|s390x [JOBS]
#
# ppc:   32-bit PowerPC. Debian's cross compiler and C library; Expat and
#        Lua 5.1 built from the newest Debian 12 source packages that the
#        archive serves (security updates included), GoogleTest from
#        /usr/src/googletest, all kept in build-ppc/deps/.
# s390x: 64-bit s390x. Debian 12's own s390x packages of the C library (with
#        its iconv modules), Expat, Lua 5.1 and GoogleTest, the newest of
#        bookworm, its updates and its security updates, unpacked into
#        build-s390x/sysroot/.
# The target's libraries are made once; a second run rebuilds only the
# project. The machine's own package lists and installed packages are left
# as they are: the target's packages come through a private apt state
# inside the build folder (installing them as :s390x packages would move the
# machine's own Expat and C library to their versions).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

target=${1:?usage: cross.sh ppc|s390x [JOBS]}
jobs=${2:-$(nproc)}
build=$root/build-$target

case "$target" in
ppc) host_packages=(g++-powerpc-linux-gnu qemu-user googletest dpkg-dev) ;;
s390x) host_packages=(g++-s390x-linux-gnu qemu-user) ;;
*)
  echo "cross: unknown target $target (known: ppc, s390x)" >&2
  exit 2
  ;;
esac

# ---- the machine's cross compiler and emulator, when missing --------------
missing=()
for p in "${host_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "cross: installing ${missing[*]}"
  [ "$(id -u)" -eq 0 ] || { echo "cross: need root to install ${missing[*]}" >&2; exit 1; }
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# ---- apt over a private state: Debian 12 with its updates -----------------
# aptdir/sources.list names what to fetch; nothing of the machine's apt
# configuration, lists or archives changes.
debian_sources() { # TYPE [OPTIONS]
  printf '%s %s %s main\n' \
    "$1 $2" http://deb.debian.org/debian bookworm \
    "$1 $2" http://deb.debian.org/debian bookworm-updates \
    "$1 $2" http://deb.debian.org/debian-security bookworm-security
}
papt() { # APTDIR apt-get|apt-cache arguments...
  local dir=$1 tool=$2
  shift 2
  mkdir -p "$dir/state/lists/partial" "$dir/cache/archives/partial" "$dir/none"
  touch "$dir/state/status"
  "$tool" -q -o Dir::State="$dir/state" -o Dir::State::status="$dir/state/status" \
    -o Dir::Cache="$dir/cache" -o Dir::Etc::SourceList="$dir/sources.list" \
    -o Dir::Etc::SourceParts="$dir/none" -o Debug::NoLocking=1 "$@"
}

# ---- ppc: Expat, Lua 5.1 and GoogleTest built for the target --------------
# The newest version of source package NAME that the archive serves, into
# DEPS/src; an older one (said so) when the newest one's files are missing.
fetch_source() { # DEPS NAME
  local deps=$1 name=$2 version newest=
  for version in $(papt "$deps/apt" apt-cache showsrc "$name" 2>/dev/null |
    sed -n "s/^Version: //p" | sort -rV | uniq); do
    newest=${newest:-$version}
    if (cd "$deps/src" && papt "$deps/apt" apt-get source "$name=$version" >/dev/null 2>&1); then
      [ "$version" = "$newest" ] ||
        echo "cross: the archive does not serve $name $newest; using $name $version" >&2
      return 0
    fi
    rm -rf "$deps/src/$name"[-_]*
  done
  echo "cross: cannot fetch the source package $name" >&2
  exit 1
}

ppc_libraries() {
  local deps=$build/deps prefix=$build/deps/prefix
  [ -f "$prefix/.complete" ] && return 0
  echo "cross: building Expat, Lua 5.1 and GoogleTest for ppc in $deps"
  rm -rf "$deps"
  mkdir -p "$deps/apt" "$deps/src" "$prefix/include/lua5.1" "$prefix/lib"
  # The deb-src entries live in this private list only while fetching.
  debian_sources deb-src "" >"$deps/apt/sources.list"
  papt "$deps/apt" apt-get update >/dev/null
  fetch_source "$deps" expat
  fetch_source "$deps" lua5.1
  rm -rf "$deps/apt"
  local expat lua
  expat=$(find "$deps/src" -maxdepth 1 -type d -name 'expat-*' | head -1)
  lua=$(find "$deps/src" -maxdepth 1 -type d -name 'lua5.1-*' | head -1)
  echo "cross: sources $(basename "$deps"/src/expat_*.dsc) $(basename "$deps"/src/lua5.1_*.dsc)"

  local toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/scripts/cross/ppc.cmake" -DCROSS_PREFIX="$prefix"
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_POSITION_INDEPENDENT_CODE=ON)
  # Debian's patches test XML_DTD's value, as its autotools build defines
  # it; Expat's CMake build defines it empty.
  cmake -S "$expat/expat" -B "$deps/expat-build" "${toolchain[@]}" -DEXPAT_SHARED_LIBS=OFF \
    -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF \
    -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF >/dev/null
  sed -i 's/^#define XML_DTD$/#define XML_DTD 1/; s/^#define XML_NS$/#define XML_NS 1/' \
    "$deps/expat-build/expat_config.h"
  cmake --build "$deps/expat-build" -j "$jobs" --target install >/dev/null

  # Lua: the library's C files as one static library, headers under lua5.1/
  # (Debian's luaconf.h takes the multiarch name from a header that its
  # build writes).
  mkdir -p "$deps/lua-build"
  printf '#ifndef _LUA_DEB_MULTIARCH_\n#define _LUA_DEB_MULTIARCH_\n%s\n#endif\n' \
    '#define DEB_HOST_MULTIARCH "powerpc-linux-gnu"' >"$prefix/include/lua5.1/lua5.1-deb-multiarch.h"
  local files=() f
  for f in "$lua"/src/*.c; do
    case "$(basename "$f")" in lua.c | luac.c | print.c) ;; *) files+=("$f") ;; esac
  done
  (cd "$deps/lua-build" &&
    printf '%s\n' "${files[@]}" | xargs -P "$jobs" -n 4 \
      powerpc-linux-gnu-gcc -c -O2 -fPIC -DLUA_USE_LINUX -I"$prefix/include/lua5.1" &&
    powerpc-linux-gnu-ar rcs "$prefix/lib/liblua5.1.a" ./*.o)
  cp "$lua"/src/{lua.h,luaconf.h,lualib.h,lauxlib.h} "$lua"/etc/lua.hpp "$prefix/include/lua5.1/"

  cmake -S /usr/src/googletest -B "$deps/gtest-build" "${toolchain[@]}" -DBUILD_GMOCK=OFF >/dev/null
  cmake --build "$deps/gtest-build" -j "$jobs" --target install >/dev/null
  rm -rf "$deps/expat-build" "$deps/lua-build" "$deps/gtest-build"
  touch "$prefix/.complete"
}

# ---- s390x: Debian's own s390x packages in a root of their own ------------
S390X_PACKAGES=(libc6 libgcc-s1 libstdc++6 libexpat1 libexpat1-dev liblua5.1-0 liblua5.1-0-dev
  libgtest-dev)
s390x_libraries() {
  local sysroot=$build/sysroot apt=$build/apt
  [ -f "$sysroot/.complete" ] && return 0
  echo "cross: unpacking Debian's s390x packages ${S390X_PACKAGES[*]} into $sysroot"
  rm -rf "$sysroot" "$apt"
  mkdir -p "$apt/debs" "$sysroot"
  debian_sources deb "[arch=s390x]" >"$apt/sources.list"
  local arch=(-o APT::Architecture=s390x -o APT::Architectures::=s390x)
  papt "$apt" apt-get "${arch[@]}" update >/dev/null
  (cd "$apt/debs" && papt "$apt" apt-get "${arch[@]}" download "${S390X_PACKAGES[@]}" >/dev/null)
  local deb
  for deb in "$apt"/debs/*.deb; do
    echo "cross:   $(basename "$deb")"
    dpkg-deb -x "$deb" "$sysroot"
  done
  rm -rf "$apt"
  touch "$sysroot/.complete"
}

case "$target" in
ppc)
  ppc_libraries
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/scripts/cross/ppc.cmake" \
    -DCROSS_PREFIX="$build/deps/prefix" >/dev/null
  ;;
s390x)
  s390x_libraries
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/scripts/cross/s390x.cmake" \
    -DCROSS_SYSROOT="$build/sysroot" >/dev/null
  ;;
esac

cmake --build "$build" -j "$jobs"
(cd "$build" && ctest --output-on-failure -j "$jobs")

# The demo, under the emulator, prints what the native build prints (but
# for the build folder and the name of a temporary file).
same_paths() { sed -e "s|$1/|BUILD/|g" -e 's|/tmp/lua_[A-Za-z0-9]*|/tmp/lua_XXXXXX|g'; }
bash scripts/demo.sh "$build" | tee "$build/demo.txt"
bash scripts/demo.sh build >"$build/demo-native.txt"
if ! diff -u <(same_paths "$root/build" <"$build/demo-native.txt") \
  <(same_paths "$build" <"$build/demo.txt"); then
  echo "cross: the $target demo differs from the native one" >&2
  exit 1
fi
echo "cross: $target demo prints what the native build prints"
