# Which hidraw nodes the Linux program opens, in sysfs trees that the device
# lab's real kernel cannot be made to show: HID devices with the trigger's
# identity under a USB device but on another bus, and a node that udev named
# otherwise than hidraw<N>. umockdev builds the trees and reports every open
# of a /dev node; what the program does with an opened node is the lab's.
#
#     emulated_devices_test.py TRELKEY
#
# TRELKEY searches for 1209:4B53, "Trelkéy ??", "Kestavo". Exits 77
# (skipped) when umockdev or its GObject bindings are missing.
import os
import subprocess
import sys
import time

try:
    import gi
    gi.require_version('UMockdev', '1.0')
    from gi.repository import UMockdev
except (ImportError, ValueError) as error:
    print(f'skipped: umockdev for Python is not installed ({error}): '
          'apt-get install umockdev gir1.2-umockdev-1.0 python3-gi')
    sys.exit(77)
if 'umockdev' not in os.environ.get('LD_PRELOAD', ''):
    # The preload library routes /sys and /dev of this process and its
    # children into the testbed.
    os.execvp('umockdev-wrapper', ['umockdev-wrapper', sys.executable] + sys.argv)

VENDOR = '06a0ff0901a10185010901150026ff0075089508b102c0'
TEXTS = ''.join(f'H: {name}={(text + chr(10)).encode().hex()}\n'
                for name, text in (('manufacturer', 'Trelkéy ??'), ('product', 'Kestavo')))
# Node hidrawN sits on USB device 1-N with the trigger's identity, in the
# order made. bus: usb; bluetooth, behind that device as an adapter; i2c,
# away from it; or usb, HID_ID Bluetooth. name: the node's name in /dev.
NODES = [('bluetooth', 0, 'hidraw0'), ('i2c', 1, 'hidraw1'), ('usb, HID_ID Bluetooth', 2, 'hidraw2'),
         ('usb', 10, 'hidraw10'), ('usb', 3, 'trigger')]

testbed = UMockdev.Testbed.new()
opened, handlers = [], []
for kind, node, name in NODES:
    usb = f'/devices/pci0000:00/0000:00:14.0/usb1/1-{node}'
    interface = f'{usb}/1-{node}:1.0'
    bus, parent = {'usb': ('0003', interface), 'usb, HID_ID Bluetooth': ('0005', interface),
                   'bluetooth': ('0005', f'{interface}/bluetooth/hci0'),
                   'i2c': ('0018', '/devices/platform/i2c-1/i2c-TRG0001:00')}[kind]
    hid = f'{parent}/{bus}:1209:4B53.{node + 1:04X}'
    for paragraph in [f'P: {usb}\nE: SUBSYSTEM=usb\nA: idVendor=1209\\n\nA: idProduct=4b53\\n\n{TEXTS}',
                      f'P: {interface}\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n'] + \
            [f'P: {parent}\nE: SUBSYSTEM=bluetooth\n'] * (kind == 'bluetooth') + \
            [f'P: {hid}\nE: SUBSYSTEM=hid\nE: HID_ID={bus}:00001209:00004B53\n'
             f'H: report_descriptor={VENDOR}\n',
             f'P: {hid}/hidraw/hidraw{node}\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/{name}\n'
             f'N: {name}=00\nA: dev=247:{node}\\n\nL: device=../../../{hid.split("/")[-1]}\n']:
        testbed.add_from_string(paragraph)
    handlers.append(UMockdev.IoctlBase())
    handlers[-1].connect('client-connected', lambda _, client: opened.append(client.get_devnode()))
    testbed.attach_ioctl(f'/dev/{name}', handlers[-1])
result = subprocess.run([sys.argv[1], '-r'], capture_output=True, text=True)
# umockdev reports a connection from its own thread, maybe after the program
# has ended, and not always in order. Only the nodes on USB are opened, by the
# names udev gave them; neither answers the program's checks of an open node,
# so the command fails, naming the first it tried: hidraw3 before hidraw10
# (the testbed's directory lists hidraw10 first, so an unsorted list fails).
deadline = time.monotonic() + 2
while len(opened) < 2 and time.monotonic() < deadline:
    time.sleep(0.02)
time.sleep(0.1)
print(f'opened {opened}, status {result.returncode}, standard error {result.stderr!r}')
sys.exit(0 if sorted(opened) == ['/dev/hidraw10', '/dev/trigger'] and result.returncode == 2 and
         result.stderr.startswith('Device open error. \ntrelkey: /dev/trigger: ') else 1)
