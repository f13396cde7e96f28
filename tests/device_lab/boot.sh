#!/usr/bin/env bash
# Boots this machine's own Linux kernel under QEMU, in software emulation,
# over this machine's root file system (shared read-only by 9p, under a tmpfs
# overlay, so the guest may write anywhere), runs one command in the guest
# with the USB gadget and HID modules loaded, prints its output and exits
# with its status. Exits 77 (skipped), naming the packages to install, when
# QEMU, the kernel, a static busybox or Debian's python3, which runs the lab
# in the guest, is missing.
#   boot.sh COMMAND [ARGUMENT...]
# LAB_TIMEOUT (seconds, default 900) bounds the whole run.
set -u
kernel=$(find /boot -maxdepth 1 -name 'vmlinuz-*' | sort -V | tail -n 1)
release=${kernel#/boot/vmlinuz-} busybox=$(command -v busybox) missing=()
command -v qemu-system-x86_64 >/dev/null || missing+=(qemu-system-x86)
[ -n "$kernel" ] && [ -d "/lib/modules/$release/kernel/drivers/usb/gadget" ] || missing+=(linux-image-amd64)
[ -n "$busybox" ] && ! ldd "$busybox" >/dev/null 2>&1 || missing+=(busybox-static)
[ -x /usr/bin/python3 ] || missing+=(python3)
[ ${#missing[@]} -eq 0 ] ||
    { echo "skipped: the device lab needs ${missing[*]} (apt-get install ${missing[*]})"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"/initramfs/{bin,lower,rw,new} "$work/share"
cp "$busybox" "$work/initramfs/bin/busybox"
# The modules that mount the root file system, in load order; the guest
# loads the rest from the root file system itself.
modprobe --show-depends -S "$release" -a virtio_pci 9pnet_virtio 9p overlay |
    awk '$1 == "insmod" && !seen[$2]++ { print $2 }' >"$work/initramfs/modules"
xargs -a "$work/initramfs/modules" cp --parents -t "$work/initramfs"

# The first stage, in the initramfs: mounts the root and the share of this
# run, and hands over to the second. A failing command ends init, which
# panics the kernel, and so QEMU (-no-reboot); the console shows why.
cat >"$work/initramfs/init" <<'INIT'
#!/bin/busybox sh
set -e
/bin/busybox --install -s /bin
for module in $(cat /modules); do insmod "$module"; done
options=trans=virtio,version=9p2000.L,msize=512000
mount -t 9p -o "$options,cache=loose,ro" root /lower
mount -t tmpfs rw /rw; mkdir /rw/upper /rw/work
mount -t overlay root -o lowerdir=/lower,upperdir=/rw/upper,workdir=/rw/work /new
mount -t tmpfs run /new/run; mkdir /new/run/lab; mount -t 9p -o "$options" lab /new/run/lab
exec switch_root /new /bin/bash /run/lab/run
INIT
chmod +x "$work/initramfs/init"
(cd "$work/initramfs" && find . | "$busybox" cpio -o -H newc 2>/dev/null) >"$work/initramfs.cpio"

# The second stage, on the root file system: the command, in this directory.
cat >"$work/share/run" <<RUN
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin HOME=/root
mount -t proc proc /proc && mount -t sysfs sys /sys && mount -t devtmpfs dev /dev && mkdir -p /dev/shm &&
    mount -t tmpfs tmp /dev/shm
modprobe -a libcomposite usb_f_fs usb_f_hid usbhid hid-generic uhid &&
    modprobe dummy_hcd num=8 && mount -t configfs configfs /sys/kernel/config &&
    cd $(printf %q "$PWD") && $(printf '%q ' "$@") >/run/lab/output 2>&1
echo \$? >/run/lab/status
/bin/busybox poweroff -f
RUN

timeout "${LAB_TIMEOUT:-900}" qemu-system-x86_64 -accel tcg -cpu max,smap=off -m 1024 \
    -nographic -no-reboot -nic none -monitor none -serial "file:$work/console" \
    -kernel "$kernel" -initrd "$work/initramfs.cpio" -append "console=ttyS0 panic=-1 quiet loglevel=3" \
    -virtfs local,path=/,mount_tag=root,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$work/share,mount_tag=lab,security_model=none,multidevs=remap"
qemu=$? status=$(cat "$work/share/status" 2>/dev/null)
cat "$work/share/output" 2>/dev/null
[ -n "$status" ] || { echo "lab: the guest gave no status (QEMU status $qemu); its console:"
    tail -n 40 "$work/console"; exit 1; }
echo "lab: status $status"
exit "$status"
