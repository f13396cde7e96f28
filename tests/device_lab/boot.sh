#!/usr/bin/env bash
# Boots this machine's own Linux kernel under QEMU, in software emulation,
# over this machine's root file system (shared read-only by 9p, under a tmpfs
# overlay, so the guest may write anywhere), runs one command in the guest
# with the USB gadget and HID modules loaded, prints its output and exits
# with its status. Exits 77 (skipped) when QEMU, the kernel or a static
# busybox is missing.
#   boot.sh COMMAND [ARGUMENT...]
# LAB_TIMEOUT (seconds, default 900) bounds the whole run.
set -u
kernel=$(find /boot -maxdepth 1 -name 'vmlinuz-*' | sort -V | tail -n 1)
release=${kernel#/boot/vmlinuz-}
missing=()
command -v qemu-system-x86_64 >/dev/null || missing+=("QEMU")
[ -n "$kernel" ] && [ -d "/lib/modules/$release/kernel/drivers/usb/gadget" ] ||
    missing+=("a kernel with its modules")
busybox=$(command -v busybox)
[ -n "$busybox" ] && ! ldd "$busybox" >/dev/null 2>&1 || missing+=("a static busybox")
if [ ${#missing[@]} -gt 0 ]; then
    echo "skipped: the device lab needs ${missing[*]}" \
        "(apt-get install qemu-system-x86 linux-image-amd64 busybox-static)"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"/initramfs/{bin,proc,sys,dev} "$work/share"
cp "$busybox" "$work/initramfs/bin/busybox"
# The modules that mount the root file system, in load order; the guest
# loads the rest from the root file system itself.
modprobe --show-depends -S "$release" -a virtio_pci 9pnet_virtio 9p overlay |
    awk '$1 == "insmod" && !seen[$2]++ { print $2 }' >"$work/initramfs/modules"
xargs -a "$work/initramfs/modules" cp --parents -t "$work/initramfs"

# The first stage, in the initramfs: mounts the root and the share of this
# run, and hands over to the second. Any failure powers the guest off.
cat >"$work/initramfs/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
off() { echo "lab init: $*"; poweroff -f; }
mount -t proc proc /proc && mount -t sysfs sys /sys && mount -t devtmpfs dev /dev || off mounts
for module in $(cat /modules); do insmod "$module" || off "insmod $module"; done
mkdir -p /lower /rw /new
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000,cache=loose,ro root /lower || off root
mount -t tmpfs rw /rw && mkdir /rw/upper /rw/work || off tmpfs
mount -t overlay root -o lowerdir=/lower,upperdir=/rw/upper,workdir=/rw/work /new || off overlay
mount -t tmpfs run /new/run && mkdir /new/run/lab || off /run
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 lab /new/run/lab || off share
for fs in proc sys dev; do mount --move /$fs /new/$fs || off "move /$fs"; done
exec switch_root /new /bin/bash /run/lab/run
off switch_root
INIT
chmod +x "$work/initramfs/init"
(cd "$work/initramfs" && find . | "$busybox" cpio -o -H newc 2>/dev/null) >"$work/initramfs.cpio"

# The second stage, on the root file system: the command, in this directory.
cat >"$work/share/run" <<RUN
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin HOME=/root
mount -t tmpfs tmp /dev/shm
modprobe -a libcomposite usb_f_fs usb_f_hid usbhid hid-generic uhid &&
    modprobe dummy_hcd num=8 && mount -t configfs configfs /sys/kernel/config &&
    cd $(printf %q "$PWD") && $(printf '%q ' "$@") >/run/lab/output 2>&1
echo \$? >/run/lab/status
/bin/busybox poweroff -f
RUN

timeout "${LAB_TIMEOUT:-900}" qemu-system-x86_64 -accel tcg -cpu max,smap=off -m 1024 \
    -nographic -no-reboot -nic none -monitor none -serial "file:$work/console" \
    -kernel "$kernel" -initrd "$work/initramfs.cpio" \
    -append "console=ttyS0 panic=-1 quiet loglevel=3" \
    -virtfs local,path=/,mount_tag=root,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$work/share,mount_tag=lab,security_model=none,multidevs=remap"
qemu=$?
cat "$work/share/output" 2>/dev/null
if [ ! -s "$work/share/status" ]; then
    echo "lab: the guest gave no status (QEMU status $qemu); its console:"
    tail -n 40 "$work/console"
    exit 1
fi
status=$(cat "$work/share/status")
echo "lab: status $status"
exit "$status"
