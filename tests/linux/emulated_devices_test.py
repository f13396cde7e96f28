# The Linux program end to end, against emulated HID devices.
#
# Each scenario builds a kernel-like sysfs tree with umockdev (USB device,
# interface, HID device, hidraw node) and /dev/hidrawN nodes whose feature
# report ioctls are answered here from a report that lasts the scenario, runs
# the program, and checks its output and exit status, the reports held and the
# nodes it tried to open.
#
#     emulated_devices_test.py TRELKEY FSTAT_PRELOAD
#
# TRELKEY searches for 1209:4B53, "Trelkéy ??", "Kestavo". FSTAT_PRELOAD is
# preloaded into it, so that fstat() of a node gives its device number. Exits
# 77 (skipped) when umockdev or its GObject bindings are missing.
import errno
import os
import shutil
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
EMPTY = '01ffffffffffffffff'
WRITTEN = '01003e0115ffffffff'
RULE = '-' * 52 + '\n'
LISTING = ('Current Configuration \n' + RULE + '  Ch    Key            Modified Key\n' + RULE +
           ' Ch-1   KEY_F5         \n Ch-2   KEY_R          CTRL_LEFT\n' + RULE + '\n')
SET_READ = [(['-s', 'KEY_F5', 'KEY_R,CTRL_LEFT'], 0, 'Success to setup configuration.\n', ''),
            (['-r'], 0, LISTING, '')]
NOT_FOUND = [(['-r'], 2, '', 'Device open error. \n'), (['-s', 'KEY_A'], 2, '', 'Device open error. \n')]
REFUSED = [(['-r'], 2, '', 'Device read error. \ntrelkey: /dev/hidraw0: Broken pipe\n'),
           (['-s', 'KEY_A'], 2, '', 'Device write error. \ntrelkey: /dev/hidraw0: Broken pipe\n')]
SHORT = [(['-r'], 2, '', 'Device read error. \ntrelkey: /dev/hidraw0: short feature report (8 of 9 bytes)\n'),
         (['-s', 'KEY_A'], 2, '', 'Device write error. \ntrelkey: /dev/hidraw0: short feature report (8 of 9 bytes)\n')]

# Report descriptors: a vendor collection, a keyboard, a mouse.
VENDOR = '06a0ff0901a10185010901150026ff0075089508b102c0'
KEYBOARD = '05010906a1010507190029ff8100c0'
MOUSE = '05010902a1010901a100c0c0'


# A hidraw node. bus: usb, bluetooth (behind a USB adapter with the trigger's
# identity), uhid, i2c, or a USB layout whose HID_ID names Bluetooth. answer:
# ok, refuse or short. devname: the node's name in /dev. rdev: the node's
# device number when it is not the one sysfs gives. info: what HIDIOCGRAWINFO
# answers (bus, vendor, product) when not the sysfs IDs on USB; None refuses.
def device(node, **fields):
    return dict(dict(node=node, vendor='1209', product='4b53', maker='Trelkéy ??',
                     name='Kestavo', bus='usb', usb=node, interface=0, descriptor=VENDOR,
                     answer='ok', report=EMPTY, denied=False, devname=f'hidraw{node}', rdev=None,
                     info=(3, int(fields.get('vendor', '1209'), 16),
                           int(fields.get('product', '4b53'), 16))), **fields)


# The device and its parents, in umockdev's text form, one a paragraph.
def paragraphs(hidraw):
    usb = f"/devices/pci0000:00/0000:00:14.0/usb1/1-{hidraw['usb']}"
    interface = f"{usb}/1-{hidraw['usb']}:1.{hidraw['interface']}"
    texts = ''.join(f'H: {name}={(hidraw[key] + chr(10)).encode().hex()}\n'
                    for name, key in (('manufacturer', 'maker'), ('product', 'name')) if hidraw[key])
    above_usb = [f"P: {usb}\nE: SUBSYSTEM=usb\nA: idVendor={hidraw['vendor']}\\n\n"
                 f"A: idProduct={hidraw['product']}\\n\n{texts}",
                 f'P: {interface}\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n']
    bus, parent, parents = {
        'usb': ('0003', interface, above_usb),
        'usb, HID_ID Bluetooth': ('0005', interface, above_usb),
        'bluetooth': ('0005', f'{interface}/bluetooth/hci0', above_usb + [
            f'P: {interface}/bluetooth/hci0\nE: SUBSYSTEM=bluetooth\n']),
        'uhid': ('0003', '/devices/virtual/misc/uhid', []),
        'i2c': ('0018', '/devices/platform/i2c-1/i2c-TRG0001:00', []),
    }[hidraw['bus']]
    ids = f"{hidraw['vendor']}:{hidraw['product']}".upper()
    hid = f"{bus}:{ids}.{hidraw['node'] + 1:04X}"
    node = hidraw['node']
    return parents + [
        f"P: {parent}/{hid}\nE: SUBSYSTEM=hid\nE: HID_ID={bus}:0000{ids.replace(':', ':0000')}\n"
        f"H: report_descriptor={hidraw['descriptor']}\n",
        f'P: {parent}/{hid}/hidraw/hidraw{node}\nE: SUBSYSTEM=hidraw\n'
        f"E: DEVNAME=/dev/{hidraw['devname']}\nN: {hidraw['devname']}=00\nA: dev=247:{node}\\n\n"
        f'L: device=../../../{hid}\n']


# A hidraw request, answered as the emulated device is set up: HIDIOCGRAWINFO,
# and the feature reports HIDIOCGFEATURE and HIDIOCSFEATURE, type 'H', numbers
# 7 and 6.
def answer(hidraw, client):
    request = client.get_request()
    size, number = (request >> 16) & 0x3FFF, request & 0xFF
    if request == 0x80084803 and hidraw['info']:
        client.get_arg().resolve(0, 8).update(0, struct.pack('<Ihh', *hidraw['info']))
        client.complete(0, 0)
        return True
    if request >> 30 != 3 or (request >> 8) & 0xFF != ord('H') or number not in (6, 7) \
            or size != 9 or hidraw['answer'] == 'refuse':
        client.complete(-1, errno.EPIPE)
        return True
    data = client.get_arg().resolve(0, size)
    if number == 7:
        data.update(0, bytes.fromhex(hidraw['report']))
    elif hidraw['answer'] == 'ok':
        hidraw['report'] = bytes(data.retrieve()).hex()
    client.complete(9 - (hidraw['answer'] == 'short'), 0)
    return True


# Runs (arguments, status, stdout, stderr) against the devices; then checks
# the open attempts per node and the reports held.
def run_scenario(name, devices, runs, opened, held=None):
    testbed = UMockdev.Testbed.new()
    root = testbed.get_root_dir()
    attempts, added, handlers = {}, set(), []
    for hidraw in devices:
        for paragraph in paragraphs(hidraw):
            if paragraph not in added:  # interfaces of one USB device share it
                testbed.add_from_string(paragraph)
                added.add(paragraph)
        handler = UMockdev.IoctlBase()
        handler.connect('client-connected', lambda _, client: attempts.update(
            {client.get_devnode(): attempts.get(client.get_devnode(), 0) + 1}))
        handler.connect('handle-ioctl', lambda _, client, hidraw=hidraw: answer(hidraw, client))
        testbed.attach_ioctl(f"/dev/{hidraw['devname']}", handler)
        handlers.append(handler)
        if hidraw['rdev']:
            os.remove(f"{root}/dev/.node/{hidraw['devname']}")
            os.symlink(hidraw['rdev'], f"{root}/dev/.node/{hidraw['devname']}")
        # As root the program runs as nobody, who may not open a node only
        # root may; otherwise a node its owner may not open stands in.
        os.chmod(f"{root}/dev/{hidraw['devname']}",
                 (0o600 if os.geteuid() == 0 else 0) if hidraw['denied'] else 0o666)
    command, preload = [TRELKEY], PRELOAD
    if os.geteuid() == 0 and any(hidraw['denied'] for hidraw in devices):
        for directory, _, files in os.walk(root):
            os.chmod(directory, 0o755)
            for file in files if '/ioctl' in directory else []:
                os.chmod(f'{directory}/{file}', 0o777)  # the ioctl sockets
        command = ['setpriv', '--reuid=65534', '--regid=65534', '--clear-groups',
                   shutil.copy(TRELKEY, root)]
        preload = shutil.copy(PRELOAD, root)
    problems = []
    for arguments, *expected in runs:
        # Standard output None: it goes to a full disk.
        result = subprocess.run(command + arguments, stderr=subprocess.PIPE, text=True, env=dict(
                                    os.environ, LD_PRELOAD=f"{os.environ['LD_PRELOAD']} {preload}",
                                    UMOCKDEV_DIR=root),
                                stdout=open('/dev/full', 'w') if expected[1] is None else subprocess.PIPE)
        if [result.returncode, result.stdout, result.stderr] != expected:
            problems.append(f'{arguments}: {result.returncode} {result.stdout!r} '
                            f'{result.stderr!r}, expected {expected}')
    # umockdev reports a connection from its own thread, maybe after the
    # program has ended.
    for _ in range(50):
        if attempts == opened:
            break
        time.sleep(0.02)
    reports = {f"/dev/{hidraw['devname']}": hidraw['report'] for hidraw in devices}
    if attempts != opened or held and {node: reports[node] for node in held} != held:
        problems.append(f'opened {attempts}, holding {reports}; expected {opened}, {held}')
    testbed.clear()
    for problem in problems:
        print(f'FAIL {name}: {problem}')
    return not problems


def twice(node):
    return {f'/dev/hidraw{node}': 2}


# name, devices, runs, open attempts per node, reports held afterwards
SCENARIOS = [
    ('set, then read', [device(0)], SET_READ, twice(0), {'/dev/hidraw0': WRITTEN}),
    ('output lost on a full disk', [device(0, report=WRITTEN)],
     [(['-r'], 2, None, 'trelkey: write error: No space left on device\n'),
      (['-s', 'KEY_A'], 2, None, 'trelkey: write error: No space left on device\n')],
     twice(0), {'/dev/hidraw0': '010004ffffffffffff'}),
    ('refused requests', [device(0, answer='refuse')], REFUSED, twice(0), {'/dev/hidraw0': EMPTY}),
    ('short transfers', [device(0, answer='short', report=WRITTEN)], SHORT, twice(0),
     {'/dev/hidraw0': WRITTEN}),
    ('no device', [], NOT_FOUND, {}),
    ('wrong IDs', [device(0, vendor='1208'), device(1, product='4b52'),
                   device(2, vendor='4b53', product='1209')], NOT_FOUND, {}),
    ('wrong texts', [device(0, maker='trelkéy ??'), device(1, name='Kestavo '),
                     device(2, maker=''), device(3, name=''), device(4, maker='Trelkey ??'),
                     device(5, maker='Trelkéy ?'), device(6, maker='Trelkéy Ω'),
                     device(7, name='Kestavo' * 200)], NOT_FOUND, {}),
    ('beyond Latin-1: "?" per UTF-16 unit',
     [device(0, maker='Trelkéy ΩΩ', report=WRITTEN), device(1, maker='Trelkéy 😀')],
     [(['-r'], 0, LISTING, '')], {'/dev/hidraw0': 1}),
    ('outside the BMP: "??"', [device(3, maker='Trelkéy 😀')], SET_READ, twice(3),
     {'/dev/hidraw3': WRITTEN}),
    ('two matches: numeric order', [device(10), device(2), device(1, vendor='0001')],
     SET_READ, twice(2), {'/dev/hidraw2': WRITTEN, '/dev/hidraw10': EMPTY}),
    ('keyboards and mice are never opened',
     [device(0, descriptor=KEYBOARD), device(1, descriptor=MOUSE),
      device(2, descriptor=KEYBOARD + MOUSE)], NOT_FOUND, {}),
    ('a keyboard with a vendor collection', [device(0, descriptor=KEYBOARD + VENDOR)],
     SET_READ, twice(0), {'/dev/hidraw0': WRITTEN}),
    ('composite: the vendor interface', [device(0, descriptor=KEYBOARD, usb=5),
                                         device(1, usb=5, interface=1)],
     SET_READ, twice(1), {'/dev/hidraw1': WRITTEN}),
    ('not on USB', [device(0, bus='bluetooth'), device(1, bus='uhid'), device(2, bus='i2c'),
                    device(3, bus='usb, HID_ID Bluetooth')],
     NOT_FOUND, {}),
    ('20 devices that do not match', [device(n, vendor=f'{n:04x}') for n in range(16)] +
     [device(16 + n, descriptor=KEYBOARD) for n in range(3)] + [device(19, name='Other')],
     NOT_FOUND, {}),
    ('a match the user may not open',
     [device(3, denied=True), device(4, vendor='0001'), device(5, denied=True)],
     [(['-r'], 2, '', 'Device open error. \ntrelkey: /dev/hidraw3: Permission denied\n')],
     {'/dev/hidraw3': 1, '/dev/hidraw5': 1}),
    ('a match the user may not open, then one that opens', [device(3, denied=True), device(7)],
     SET_READ, {'/dev/hidraw3': 2, '/dev/hidraw7': 2}, {'/dev/hidraw7': WRITTEN}),
    ('a node named by udev', [device(4, devname='trigger')], SET_READ, {'/dev/trigger': 2},
     {'/dev/trigger': WRITTEN}),
    ('nodes that are not the device matched, then one that is',
     [device(1, rdev='247:9'), device(2, info=(3, 0x1209, 0x4b52)), device(3, info=(5, 0x1209, 0x4b53)),
      device(4, info=(3, 0x1208, 0x4b53)), device(5, info=None), device(6)],
     SET_READ, {f'/dev/hidraw{n}': 2 for n in range(1, 7)}, {'/dev/hidraw6': WRITTEN}),
    ('nodes that are not the device matched', [device(1, rdev='247:9'), device(2, info=(5, 0x1209, 0x4b53))],
     [(['-s', 'KEY_A'], 2, '', 'Device open error. \ntrelkey: /dev/hidraw1: not the device that was matched\n')],
     {'/dev/hidraw1': 1, '/dev/hidraw2': 1}),
]

failed = sum(not run_scenario(*scenario) for scenario in SCENARIOS)
print(f'{len(SCENARIOS) - failed} of {len(SCENARIOS)} scenarios passed')
sys.exit(1 if failed else 0)
