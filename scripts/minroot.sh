#!/usr/bin/env bash
# Builds a minimal Debian 12 root in DIR: debootstrap's minbase plus exactly the base set of
# scripts/base-packages.txt. A root that is already complete is kept, so tests can cache it.
#
#   bash scripts/minroot.sh DIR
set -euo pipefail

if (($# != 1)); then
  echo "usage: $0 DIR" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
root=$1
stamp=$root/.corvala-minroot
mapfile -t base < <(grep -v -e '^#' -e '^$' "$here/scripts/base-packages.txt")
wanted="${base[*]}"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ]; then
  echo "minroot: $root is ready"
  exit 0
fi

# The mirror the host's own package lists come from.
mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
if [ -z "$mirror" ]; then
  mirror=$(awk '$1 == "deb" { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
fi
mirror=${mirror:-http://deb.debian.org/debian}

command -v debootstrap >/dev/null || apt-get install -y -qq --no-install-recommends debootstrap
# Tests bind /proc, /dev and the like into the root: those must never be deleted with it.
if [ -d "$root" ]; then
  real=$(realpath "$root")
  awk -v r="$real/" 'index($2 "/", r) == 1 { print $2 }' /proc/self/mounts | sort -r | while read -r mount; do
    umount -l "$mount"
  done
  if awk -v r="$real/" 'index($2 "/", r) == 1 { found = 1 } END { exit !found }' /proc/self/mounts; then
    echo "minroot: $root still has mounts inside; not deleting it" >&2
    exit 1
  fi
fi
rm -rf "$root"
mkdir -p "$root"
echo "minroot: debootstrap --variant=minbase bookworm from $mirror"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.log" 2>&1 ||
  { tail -20 "$root.log" >&2; exit 1; }
echo "minroot: adding the base set"
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${base[@]}" >>"$root.log" 2>&1 ||
  { tail -20 "$root.log" >&2; exit 1; }
chroot "$root" apt-get clean
echo "$wanted" >"$stamp"
echo "minroot: done"
