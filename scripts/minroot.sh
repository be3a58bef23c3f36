#!/usr/bin/env bash
# A minimal Debian 12 root: debootstrap's minbase plus exactly the base set of
# scripts/base-packages.txt, where a tree must run with nothing of the build machine.
#
#   bash scripts/minroot.sh DIR            builds it; a root that is already complete is kept
#   bash scripts/minroot.sh --bind DIR     binds /proc, /sys, /dev, /dev/shm and the X socket folder in
#   bash scripts/minroot.sh --unbind DIR   undoes that
set -euo pipefail

usage() {
  echo "usage: $0 [--bind|--unbind] DIR" >&2
  exit 2
}
mode=build
case "${1:-}" in
  --bind | --unbind) mode=${1#--}; shift ;;
esac
(($# == 1)) || usage
here=$(cd "$(dirname "$0")/.." && pwd)
root=$1
bound=(/proc /sys /dev /dev/shm /tmp/.X11-unix)

# Mount points inside the root, deepest first. The mount table writes a blank, a tab, a line
# break and a backslash in a path as octal escapes; the root's path is passed through the
# environment, since awk -v would read its backslashes as escapes.
mounts_inside() {
  local real
  real=$(realpath "$root")
  inside="$real/" awk '{
      path = $2
      gsub(/\\040/, " ", path); gsub(/\\011/, "\t", path); gsub(/\\012/, "\n", path); gsub(/\\134/, "\\", path)
      if (index(path "/", ENVIRON["inside"]) == 1) print path
    }' /proc/self/mounts | sort -r
}

unbind() {
  local mount
  mounts_inside | while IFS= read -r mount; do umount -l "$mount"; done
}

if [ "$mode" = bind ]; then
  for folder in "${bound[@]}"; do
    mkdir -p "$root$folder"
    mountpoint -q "$root$folder" || mount --bind "$folder" "$root$folder"
  done
  exit 0
fi
if [ "$mode" = unbind ]; then
  unbind
  exit 0
fi

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
  unbind
  if [ -n "$(mounts_inside)" ]; then
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
