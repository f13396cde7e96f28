# The Linux program against emulated HID devices that the device lab's real
# kernel cannot make: HID devices with the trigger's identity that are not on
# the USB bus although USB devices sit above them in sysfs; a node udev names
# otherwise; and nodes that turn out, once open, not to be the device sysfs
# described (another device number, or HIDIOCGRAWINFO naming another device,
# as when the device is replaced between the check and the open).
#
# Each scenario builds kernel-like sysfs trees with umockdev (USB device,
# interface, HID device, hidraw node) and /dev nodes whose requests are
# answered here, runs the program, and checks its output and exit status and
# the nodes it opened.
#
#     emulated_devices_test.py TRELKEY FSTAT_PRELOAD
#
# TRELKEY searches for 1209:4B53, "Trelkéy ??", "Kestavo". FSTAT_PRELOAD is
# preloaded into it, so that fstat() of a node gives its device number. Exits
# 77 (skipped) when umockdev or its GObject bindings are missing.
import os
import struct
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

TRELKEY, PRELOAD = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
RULE = '-' * 52 + '\n'
LISTING = ('Current Configuration \n' + RULE + '  Ch    Key            Modified Key\n' + RULE +
           ' Ch-1   KEY_F5         \n Ch-2   KEY_R          CTRL_LEFT\n' + RULE + '\n')
VENDOR = '06a0ff0901a10185010901150026ff0075089508b102c0'


# The sysfs paragraphs, in umockdev's text form, of hidraw node N on a USB
# device 1-N with the trigger's identity. bus: usb; bluetooth, behind that
# device as an adapter; i2c, away from it; or usb, HID_ID Bluetooth. name: the
# node's name in /dev.
def paragraphs(node, bus, name):
    usb = f'/devices/pci0000:00/0000:00:14.0/usb1/1-{node}'
    interface = f'{usb}/1-{node}:1.0'
    bus, parent, parents = {
        'usb': ('0003', interface, []),
        'usb, HID_ID Bluetooth': ('0005', interface, []),
        'bluetooth': ('0005', f'{interface}/bluetooth/hci0', [
            f'P: {interface}/bluetooth/hci0\nE: SUBSYSTEM=bluetooth\n']),
        'i2c': ('0018', '/devices/platform/i2c-1/i2c-TRG0001:00', []),
    }[bus]
    hid = f'{bus}:1209:4B53.{node + 1:04X}'
    texts = ''.join(f'H: {name}={(text + chr(10)).encode().hex()}\n'
                    for name, text in (('manufacturer', 'Trelkéy ??'), ('product', 'Kestavo')))
    return [f'P: {usb}\nE: SUBSYSTEM=usb\nA: idVendor=1209\\n\nA: idProduct=4b53\\n\n{texts}',
            f'P: {interface}\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n'] + parents + [
        f'P: {parent}/{hid}\nE: SUBSYSTEM=hid\nE: HID_ID={bus}:00001209:00004B53\n'
        f'H: report_descriptor={VENDOR}\n',
        f'P: {parent}/{hid}/hidraw/hidraw{node}\nE: SUBSYSTEM=hidraw\n'
        f'E: DEVNAME=/dev/{name}\nN: {name}=00\nA: dev=247:{node}\\n\n'
        f'L: device=../../../{hid}\n']


# Answers HIDIOCGRAWINFO with info (bus, vendor, product), or refuses it when
# info is None, and hidraw's HIDIOCGFEATURE of 9 bytes with the report that
# -s KEY_F5 KEY_R,CTRL_LEFT writes; fails any other request.
def answer(client, info):
    request = client.get_request()
    if request == 0x80084803 and info:
        client.get_arg().resolve(0, 8).update(0, struct.pack('<Ihh', *info))
        client.complete(0, 0)
    elif request == (3 << 30) | (9 << 16) | (ord('H') << 8) | 7:
        client.get_arg().resolve(0, 9).update(0, bytes.fromhex('01003e0115ffffffff'))
        client.complete(9, 0)
    else:
        client.complete(-1, 5)  # EIO
    return True


# Runs trelkey -r against nodes (bus, name, device number in /dev or None,
# HIDIOCGRAWINFO's answer); the result, and the open attempts per node.
def run(nodes):
    testbed = UMockdev.Testbed.new()
    root, attempts, handlers = testbed.get_root_dir(), {}, []
    for node, (bus, name, rdev, info) in enumerate(nodes):
        for paragraph in paragraphs(node, bus, name):
            testbed.add_from_string(paragraph)
        handlers.append(UMockdev.IoctlBase())
        handlers[-1].connect('client-connected', lambda _, client: attempts.update(
            {client.get_devnode(): attempts.get(client.get_devnode(), 0) + 1}))
        handlers[-1].connect('handle-ioctl', lambda _, client, info=info: answer(client, info))
        testbed.attach_ioctl(f'/dev/{name}', handlers[-1])
        if rdev:  # umockdev keeps a node's device number as a symbolic link
            os.remove(f'{root}/dev/.node/{name}')
            os.symlink(rdev, f'{root}/dev/.node/{name}')
    result = subprocess.run([TRELKEY, '-r'], capture_output=True, text=True, env=dict(
        os.environ, LD_PRELOAD=f"{os.environ['LD_PRELOAD']} {PRELOAD}", UMOCKDEV_DIR=root))
    # umockdev reports a connection from its own thread, maybe after the
    # program has ended.
    for _ in range(50):
        if len(attempts) == len([node for node in nodes if node[0] == 'usb']):
            break
        time.sleep(0.02)
    testbed.clear()
    return [result.returncode, result.stdout, result.stderr, attempts]


USB = ('usb', None, None, (3, 0x1209, 0x4B53))
OTHER = 'Device open error. \ntrelkey: /dev/hidraw0: not the device that was matched\n'
# name, nodes, expected status, output, error output and open attempts
SCENARIOS = [
    ('not on USB, then on USB', [('bluetooth',) + USB[1:], ('i2c',) + USB[1:],
                                 ('usb, HID_ID Bluetooth',) + USB[1:], USB],
     [0, LISTING, '', {'/dev/hidraw3': 1}]),
    ('a node udev names otherwise', [('usb', 'trigger') + USB[2:]],
     [0, LISTING, '', {'/dev/trigger': 1}]),
    ('not the device matched, then one that is',
     [USB[:2] + ('247:9',) + USB[3:], USB[:3] + ((3, 0x1209, 0x4B52),),
      USB[:3] + ((5, 0x1209, 0x4B53),), USB[:3] + ((3, 0x1208, 0x4B53),), USB[:3] + (None,), USB],
     [0, LISTING, '', {f'/dev/hidraw{n}': 1 for n in range(6)}]),
    ('not the device matched', [USB[:2] + ('247:9',) + USB[3:], USB[:3] + ((5, 0x1209, 0x4B53),)],
     [2, '', OTHER, {'/dev/hidraw0': 1, '/dev/hidraw1': 1}]),
]
failed = 0
for name, nodes, expected in SCENARIOS:
    # A node's name defaults to hidrawN.
    found = run([(bus, node_name or f'hidraw{n}', rdev, info)
                 for n, (bus, node_name, rdev, info) in enumerate(nodes)])
    if found != expected:
        failed += 1
        print(f'FAIL {name}: {found}, expected {expected}')
print(f'{len(SCENARIOS) - failed} passed, {failed} failed')
sys.exit(1 if failed else 0)
