# The Linux program against emulated HID devices that the device lab's real
# kernel cannot make: HID devices with the trigger's identity that are not on
# the USB bus although USB devices sit above them in sysfs.
#
# The scenario builds kernel-like sysfs trees with umockdev (USB device,
# interface, HID device, hidraw node) and /dev/hidrawN nodes whose feature
# report reads are answered here, runs the program, and checks its output and
# exit status and the nodes it opened.
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

TRELKEY = os.path.abspath(sys.argv[1])
RULE = '-' * 52 + '\n'
LISTING = ('Current Configuration \n' + RULE + '  Ch    Key            Modified Key\n' + RULE +
           ' Ch-1   KEY_F5         \n Ch-2   KEY_R          CTRL_LEFT\n' + RULE + '\n')
VENDOR = '06a0ff0901a10185010901150026ff0075089508b102c0'


# The sysfs paragraphs, in umockdev's text form, of hidraw node N on a USB
# device 1-N with the trigger's identity. bus: usb; bluetooth, behind that
# device as an adapter; i2c, away from it; or usb, HID_ID Bluetooth.
def paragraphs(node, bus):
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
        f'E: DEVNAME=/dev/hidraw{node}\nN: hidraw{node}=00\nA: dev=247:{node}\\n\n'
        f'L: device=../../../{hid}\n']


# Answers hidraw's HIDIOCGFEATURE of 9 bytes (type 'H', number 7) with the
# report that -s KEY_F5 KEY_R,CTRL_LEFT writes; fails any other request.
def answer(client):
    request = client.get_request()
    if request != (3 << 30) | (9 << 16) | (ord('H') << 8) | 7:
        client.complete(-1, 5)  # EIO
        return True
    client.get_arg().resolve(0, 9).update(0, bytes.fromhex('01003e0115ffffffff'))
    client.complete(9, 0)
    return True


# The devices not on USB come first, so the program passes them by to reach
# the one on USB, whose listing shows that the tree is one it reads.
testbed = UMockdev.Testbed.new()
attempts, handlers = {}, []
for node, bus in enumerate(('bluetooth', 'i2c', 'usb, HID_ID Bluetooth', 'usb')):
    for paragraph in paragraphs(node, bus):
        testbed.add_from_string(paragraph)
    handlers.append(UMockdev.IoctlBase())
    handlers[-1].connect('client-connected', lambda _, client: attempts.update(
        {client.get_devnode(): attempts.get(client.get_devnode(), 0) + 1}))
    handlers[-1].connect('handle-ioctl', lambda _, client: answer(client))
    testbed.attach_ioctl(f'/dev/hidraw{node}', handlers[-1])
result = subprocess.run([TRELKEY, '-r'], capture_output=True, text=True)
# umockdev reports a connection from its own thread, maybe after the
# program has ended.
for _ in range(50):
    if '/dev/hidraw3' in attempts:
        break
    time.sleep(0.02)
found = [result.returncode, result.stdout, result.stderr, attempts]
expected = [0, LISTING, '', {'/dev/hidraw3': 1}]
print('passed' if found == expected else f'FAIL: {found}, expected {expected}')
sys.exit(0 if found == expected else 1)
