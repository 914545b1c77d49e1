#!/usr/bin/env bash
# Maps a 64 KiB tmpfs as drive T: of the test prefix, for the full-disk tests of the initializer.
#   small-drive.sh --mount  PREFIX   mounts it (or says why it cannot) and always succeeds
#   small-drive.sh --umount PREFIX   removes the drive and unmounts it
# The tests skip themselves with a message when the drive is not there: mounting needs root, or a
# sandbox that allows it.
set -u
prefix="${2:?the test prefix}"
mnt="$prefix/../small-drive"
link="$prefix/dosdevices/t:"

release() {
  rm -f "$link"
  if mountpoint -q "$mnt" 2>/dev/null; then umount "$mnt" 2>/dev/null || umount -l "$mnt" 2>/dev/null; fi
}

case "${1:-}" in
  --mount)
    release
    mkdir -p "$mnt" "$prefix/dosdevices"
    if mount -t tmpfs -o size=64k,mode=0777 vorlix-small-drive "$mnt" 2>/dev/null; then
      ln -s "$mnt" "$link"
      echo "small drive: 64 KiB tmpfs mapped as T:"
    else
      echo "small drive: cannot mount a tmpfs here (not root, or not permitted); full-disk tests will skip"
    fi
    ;;
  --umount)
    release
    ;;
  *)
    echo "usage: $0 --mount|--umount PREFIX" >&2
    exit 2
    ;;
esac
exit 0
