"""The Linux program end to end, against emulated HID devices.

Each scenario builds a kernel-like sysfs tree with umockdev (USB device,
interface, HID device, hidraw node) and /dev/hidrawN nodes whose feature
report ioctls are answered here, from a state that lasts the scenario, so a
set followed by a read shows what was written. It then runs the program and
checks its output, its exit status, the reports the devices hold and which
nodes the program opened.

    emulated_devices_test.py TRELKEY

TRELKEY must search for vendor 1209, product 4B53, manufacturer
"Trelkéy ??" and product "Kestavo". Exits 77 (skipped) when umockdev or its
GObject bindings are not installed.
"""
import errno
import os
import shutil
import subprocess
import sys
import tempfile

try:
    import gi
    gi.require_version('UMockdev', '1.0')
    from gi.repository import UMockdev
except (ImportError, ValueError) as error:
    print(f'skipped: umockdev for Python is not installed ({error}); '
          'apt-get install umockdev gir1.2-umockdev-1.0 python3-gi')
    sys.exit(77)

if 'umockdev' not in os.environ.get('LD_PRELOAD', ''):
    wrapper = shutil.which('umockdev-wrapper')
    if wrapper is None:
        print('skipped: umockdev-wrapper is not installed; apt-get install umockdev')
        sys.exit(77)
    os.execv(wrapper, [wrapper, sys.executable] + sys.argv)

TRELKEY = os.path.abspath(sys.argv[1])
NOBODY = 65534

RULE = '-' * 52 + '\n'
HEAD = 'Current Configuration \n' + RULE + '  Ch    Key            Modified Key\n' + RULE
EMPTY_REPORT = '01ffffffffffffffff'
OPEN_ERROR = 'Device open error. \n'
SET_OK = 'Success to setup configuration.\n'

# Report descriptors: a vendor-defined collection with a 9-byte feature
# report, a boot keyboard, a mouse, and a keyboard plus a vendor collection.
VENDOR = '06a0ff0901a10185010901150026ff0075089508b102c0'
KEYBOARD = '05010906a101050719e029e7150025017501950881020507190029ff950675081500' \
           '26ff008100c0'
MOUSE = '05010902a1010901a100c0c0'
KEYBOARD_AND_VENDOR = KEYBOARD + VENDOR
KEYBOARD_AND_MOUSE = KEYBOARD + MOUSE

TRIGGER = dict(vendor='1209', product='4b53', maker='Trelkéy ??', name='Kestavo')


def device(node, **fields):
    """A hidraw node and the devices above it. layout: usb (USB device,
    interface, HID device), bluetooth (a Bluetooth HID device behind a USB
    adapter that has the trigger's identity), uhid, or i2c. ioctl: ok,
    refuse or short. denied: the user the program runs as may not open it."""
    spec = dict(TRIGGER, node=node, layout='usb', port=node + 1, interface=0,
                descriptor=VENDOR, ioctl='ok', report=EMPTY_REPORT, denied=False)
    spec.update(fields)
    return spec


def hex_text(text):
    return (text + '\n').encode().hex()


def describe(spec):
    """The device in umockdev's text form."""
    node, vendor, product = spec['node'], spec['vendor'], spec['product']
    usb = f"/devices/pci0000:00/0000:00:14.0/usb1/1-{spec['port']}"
    strings = ''.join(f'H: {attribute}={hex_text(spec[key])}\n'
                      for attribute, key in (('manufacturer', 'maker'), ('product', 'name'))
                      if spec[key] is not None)
    usb_device = (f'P: {usb}\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n'
                  f'A: idVendor={vendor}\\n\nA: idProduct={product}\\n\n{strings}\n')
    interface = f"{usb}/1-{spec['port']}:1.{spec['interface']}"
    usb_interface = (f'P: {interface}\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n'
                     f"A: bInterfaceNumber=0{spec['interface']}\\n\n\n")
    bus, parents = {
        'usb': ('0003', usb_device + usb_interface),
        'bluetooth': ('0005', usb_device + usb_interface +
                      f'P: {interface}/bluetooth/hci0\nE: SUBSYSTEM=bluetooth\n\n'
                      f'P: {interface}/bluetooth/hci0/hci0:256\nE: SUBSYSTEM=bluetooth\n\n'),
        'uhid': ('0003', ''),
        'i2c': ('0018', ''),
    }[spec['layout']]
    parent = {'usb': interface, 'bluetooth': f'{interface}/bluetooth/hci0/hci0:256',
              'uhid': '/devices/virtual/misc/uhid',
              'i2c': '/devices/pci0000:00/0000:00:15.0/i2c_designware.0/i2c-1/i2c-TRG0001:00'
              }[spec['layout']]
    hid_name = f'{bus}:{vendor.upper()}:{product.upper()}.{node + 1:04X}'
    hid = f'{parent}/{hid_name}'
    return (parents +
            f'P: {hid}\nE: SUBSYSTEM=hid\nE: HID_ID={bus}:0000{vendor.upper()}:0000{product.upper()}\n'
            f"H: report_descriptor={spec['descriptor']}\n\n"
            f'P: {hid}/hidraw/hidraw{node}\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw{node}\n'
            f'N: hidraw{node}=00\nA: dev=247:{node}\\n\nL: device=../../../{hid_name}\n\n')


# hidraw's feature report ioctls: direction read and write, type 'H', numbers
# 0x06 (set) and 0x07 (get), the length in bits 16 to 29.
HIDIOC_SET, HIDIOC_GET = 0x06, 0x07


def answer(spec, requests, client):
    """Answers an ioctl on the node as the device spec says."""
    request = client.get_request()
    number, size = request & 0xFF, (request >> 16) & 0x3FFF
    kind = {HIDIOC_GET: 'get', HIDIOC_SET: 'set'}.get(number) \
        if (request >> 8) & 0xFF == ord('H') and request >> 30 == 3 else None
    requests.append((kind or hex(request), size))
    if kind is None or size != 9:
        client.complete(-1, errno.ENOTTY)
        return True
    data = client.get_arg().resolve(0, size)
    sent = bytes(data.retrieve())
    if spec['ioctl'] == 'refuse' or sent[0] != 1:
        client.complete(-1, errno.EIO)
    elif kind == 'get':
        data.update(0, bytes.fromhex(spec['report']))
        client.complete(5 if spec['ioctl'] == 'short' else 9, 0)
    else:
        if spec['ioctl'] == 'ok':
            spec['report'] = sent.hex()
        client.complete(8 if spec['ioctl'] == 'short' else 9, 0)
    return True


def run_scenario(name, devices, runs, opened, reports=None, as_nobody=False):
    """Builds the devices, runs each (arguments, status, stdout, stderr) and
    checks them, then the open attempts per node and the reports held."""
    problems = []
    testbed = UMockdev.Testbed.new()
    root = testbed.get_root_dir()
    handlers, attempts, requests, described = [], {}, {}, set()
    for spec in devices:
        # Interfaces of one USB device share its paragraph.
        for paragraph in describe(spec).split('\n\n'):
            if paragraph and paragraph not in described:
                testbed.add_from_string(paragraph + '\n')
                described.add(paragraph)
        node_path = f"/dev/hidraw{spec['node']}"
        handler = UMockdev.IoctlBase()
        handler.connect('client-connected',
                        lambda _h, client: attempts.update(
                            {client.get_devnode(): attempts.get(client.get_devnode(), 0) + 1}))
        requests[node_path] = []
        handler.connect('handle-ioctl',
                        lambda _h, client, spec=spec, log=requests[node_path]:
                        answer(spec, log, client))
        testbed.attach_ioctl(node_path, handler)
        handlers.append(handler)
        # As root the program runs as another user, who may not open a node
        # only root may; without root, a node its owner may not open does.
        denied_mode = 0o600 if os.geteuid() == 0 else 0o000
        os.chmod(os.path.join(root, 'dev', f"hidraw{spec['node']}"),
                 denied_mode if spec['denied'] else 0o666)
    command = [TRELKEY]
    if as_nobody and os.geteuid() == 0:
        # The unprivileged user needs to reach the testbed, the ioctl
        # sockets and a copy of the program.
        for directory, _subdirectories, files in os.walk(root):
            os.chmod(directory, 0o755)
            for file in files:
                if directory.startswith(os.path.join(root, 'ioctl')):
                    os.chmod(os.path.join(directory, file), 0o777)
        command = ['setpriv', f'--reuid={NOBODY}', f'--regid={NOBODY}', '--clear-groups',
                   shutil.copy(TRELKEY, os.path.join(root, 'trelkey'))]
    for arguments, status, out, err in runs:
        result = subprocess.run(command + arguments, capture_output=True, text=True,
                                stdin=subprocess.DEVNULL)
        got = (result.returncode, result.stdout, result.stderr)
        if got != (status, out, err):
            problems.append(f'{arguments}: got {got!r}, expected {(status, out, err)!r}')
    if attempts != opened:
        problems.append(f'opened {attempts}, expected {opened}')
    for node_path, log in requests.items():
        bad = [entry for entry in log if entry[0] not in ('get', 'set') or entry[1] != 9]
        if bad:
            problems.append(f'{node_path}: unexpected requests {bad}')
    held = {f"/dev/hidraw{spec['node']}": spec['report'] for spec in devices}
    for node_path, report in (reports or {}).items():
        if held[node_path] != report:
            problems.append(f'{node_path} holds {held[node_path]}, expected {report}')
    for spec in devices:
        testbed.detach_ioctl(f"/dev/hidraw{spec['node']}")
    testbed.clear()
    for problem in problems:
        print(f'FAIL {name}: {problem}')
    return not problems


LISTING = (HEAD + ' Ch-1   KEY_F5         \n Ch-2   KEY_R          CTRL_LEFT\n' + RULE + '\n')
SET_READ = [(['-s', 'KEY_F5', 'KEY_R,CTRL_LEFT'], 0, SET_OK, ''), (['-r'], 0, LISTING, '')]
WRITTEN = '01003e0115ffffffff'
NOT_FOUND = [(['-r'], 2, '', OPEN_ERROR), (['-s', 'KEY_A'], 2, '', OPEN_ERROR)]


def one(node=0):
    return {f'/dev/hidraw{node}': 1}


# name, devices, runs, open attempts per node, reports held afterwards
SCENARIOS = [
    ('set then read', [device(0)], SET_READ, {'/dev/hidraw0': 2}, {'/dev/hidraw0': WRITTEN}),
    ('read lists what the device holds', [device(0, report='01003e011500ff0004')],
     [(['-r'], 0, LISTING, '')], one()),
    ('refused requests', [device(0, ioctl='refuse')],
     [(['-r'], 2, '', 'Device read error. \n'), (['-s', 'KEY_A'], 2, '', 'Device write error. \n')],
     {'/dev/hidraw0': 2}, {'/dev/hidraw0': EMPTY_REPORT}),
    ('short transfers', [device(0, ioctl='short', report=WRITTEN)],
     [(['-r'], 2, '', 'Device read error. \n'), (['-s', 'KEY_A'], 2, '', 'Device write error. \n')],
     {'/dev/hidraw0': 2}, {'/dev/hidraw0': WRITTEN}),
    ('no device', [], NOT_FOUND, {}),
    ('wrong IDs', [device(0, vendor='1208'), device(1, product='4b52'),
                   device(2, vendor='4b53', product='1209')], NOT_FOUND, {}),
    ('wrong strings', [device(0, maker='trelkéy ??'), device(1, name='Kestavo '),
                       device(2, maker=None), device(3, name=None),
                       device(4, maker='Trelkey ??'), device(5, maker='Trelkéy ?')], NOT_FOUND, {}),
    ('characters beyond Latin-1 become one "?" per UTF-16 unit',
     [device(0, maker='Trelkéy Ω'), device(1, maker='Trelkéy ΩΩ', report=WRITTEN)],
     [(['-r'], 0, LISTING, '')], one(1)),
    ('a character outside the BMP becomes "??"', [device(3, maker='Trelkéy 😀')],
     SET_READ, {'/dev/hidraw3': 2}, {'/dev/hidraw3': WRITTEN}),
    ('two matching devices: the lower node number wins',
     [device(10), device(2), device(1, vendor='0001')],
     SET_READ, {'/dev/hidraw2': 2}, {'/dev/hidraw2': WRITTEN, '/dev/hidraw10': EMPTY_REPORT}),
    ('keyboards and mice are never opened',
     [device(0, descriptor=KEYBOARD), device(1, descriptor=MOUSE),
      device(2, descriptor=KEYBOARD_AND_MOUSE)], NOT_FOUND, {}),
    ('a keyboard with a vendor collection is used', [device(0, descriptor=KEYBOARD_AND_VENDOR)],
     SET_READ, {'/dev/hidraw0': 2}, {'/dev/hidraw0': WRITTEN}),
    ('composite device: the vendor interface, not the keyboard',
     [device(0, descriptor=KEYBOARD, port=1, interface=0), device(1, port=1, interface=1)],
     SET_READ, {'/dev/hidraw1': 2}, {'/dev/hidraw1': WRITTEN}),
    ('HID devices not on USB', [device(0, layout='bluetooth'), device(1, layout='uhid'),
                                device(2, layout='i2c')], NOT_FOUND, {}),
    ('many devices that do not match are never opened',
     [device(n, vendor=f'{n:04x}') for n in range(12)] +
     [device(12 + n, descriptor=KEYBOARD) for n in range(4)] +
     [device(16, layout='bluetooth'), device(17, name='Other')], NOT_FOUND, {}),
]

# Runs as an unprivileged user: the node it cannot open is named.
DENIED = 'Device open error. \ntrelkey: /dev/hidraw3: Permission denied\n'
NOBODY_SCENARIOS = [
    ('a matching node the user cannot open', [device(3, denied=True), device(4, vendor='0001')],
     [(['-r'], 2, '', DENIED), (['-s', 'KEY_A'], 2, '', DENIED)], {'/dev/hidraw3': 2}),
    ('an unopenable match, then one that opens', [device(3, denied=True), device(7)],
     SET_READ, {'/dev/hidraw3': 2, '/dev/hidraw7': 2}, {'/dev/hidraw7': WRITTEN}),
]

failed = 0
for scenario in SCENARIOS:
    failed += not run_scenario(*scenario)
for scenario in NOBODY_SCENARIOS:
    failed += not run_scenario(*scenario, as_nobody=True)
total = len(SCENARIOS) + len(NOBODY_SCENARIOS)
print(f'{total - failed} of {total} scenarios passed')
sys.exit(1 if failed else 0)
