# The Linux program against real USB HID devices, inside the device lab's
# guest (boot.sh): the kernel's dummy_hcd, configfs gadgets, usbhid,
# hid-generic and hidraw. Each trigger device is a FunctionFS function
# answered by a thread of this program, which keeps the feature report in
# memory; a keyboard interface beside it is the kernel's HID function; uhid
# makes HID devices that are not USB devices.
#
#     lab.py hidraw|udev|wine TRELKEY RULE OTHER_RULE
#
# TRELKEY searches for 1209:4B53, "Trelkéy ??", "Kestavo". RULE is the udev
# rule built for that identity, OTHER_RULE one built for another; the udev
# rows run systemd-udevd with them, or exit 77 (skipped) without it. The
# wine rows run TRELKEY, a trelkey.exe, under wine (wine_test.sh).
import os
import shutil
import struct
import subprocess
import sys
import threading
import time

GROUP, TRELKEY, RULE, OTHER_RULE = sys.argv[1:5]
GADGETS = '/sys/kernel/config/usb_gadget'
EMPTY = '01ffffffffffffffff'
WRITTEN = '01003e0115ffffffff'
LINE = '-' * 52 + '\n'
LISTING = ('Current Configuration \n' + LINE + '  Ch    Key            Modified Key\n' + LINE +
           ' Ch-1   KEY_F5         \n Ch-2   KEY_R          CTRL_LEFT\n' + LINE + '\n')
SET_READ = [(['-s', 'KEY_F5', 'KEY_R,CTRL_LEFT'], 0, 'Success to setup configuration.\n', ''),
            (['-r'], 0, LISTING, '')]
NOT_FOUND = [(['-r'], 2, '', 'Device open error. \n'), (['-s', 'KEY_A'], 2, '', 'Device open error. \n')]
FULL = 'trelkey: write error: No space left on device\n'
# Report descriptors: a vendor collection with feature report 1 of 8 bytes;
# a boot keyboard.
VENDOR = '06a0ff0901a10185010901150026ff0075089508b102c0'
KEYBOARD = '05010906a101050719e029e7150025017501950881029506750815002565190029658100c0'


def device(**fields):
    """A device of kind ffs (the trigger, keyboard=True puts a keyboard
    interface before it), or uhid (on bus 3, USB, or 5, Bluetooth).
    answer: ok, stall, short or empty. drop=N: removed once device N is
    there, so that a later device takes its node. denied: node mode 0600.
    renode=N: its /dev node made anew with device N's number. replaced: the
    program is stopped as it opens the node, the device is unplugged and a
    uhid device with other IDs, which takes the node, plugged in."""
    return dict(dict(kind='ffs', vendor=0x1209, product=0x4B53, maker='Trelkéy ??',
                     name='Kestavo', descriptor=VENDOR, answer='ok', report=EMPTY, bus=3,
                     keyboard=False, drop=None, denied=False, renode=None, replaced=False),
                **fields)


def write(path, data):
    with open(path, 'wb') as file:
        file.write(data if isinstance(data, bytes) else str(data).encode())


def nodes():
    return set(os.listdir('/sys/class/hidraw'))


def wait_for(what, check, seconds=60):
    end = time.monotonic() + seconds
    while not check():
        if time.monotonic() > end:
            sys.exit(f'lab: no {what} after {seconds} s')
        time.sleep(0.05)


def serve(ep0, hid):
    """Answers the control requests of one FunctionFS function until it is
    unbound: events are 12 bytes, a setup packet, then the event type."""
    stall = hid['answer'] == 'stall'
    while True:
        setup, kind = struct.unpack('<8sB3x', os.read(ep0, 12))[:2]
        if kind == 1:  # unbind
            return
        if kind != 4:  # not a setup request
            continue
        request_type, request, value, _, length = struct.unpack('<BBHHH', setup)
        reply = None
        if (request_type, request, value >> 8) == (0x81, 6, 0x22):
            reply = bytes.fromhex(hid['descriptor'])
        elif (request_type, request, value) == (0xA1, 1, 0x0301) and not stall:
            reply = bytes.fromhex(hid['report'])[:{'ok': 9, 'short': 8, 'empty': 0}[hid['answer']]]
        elif (request_type, request) == (0x21, 0x0A) or \
                (request_type, request, value) == (0x21, 9, 0x0301) and not stall:
            data = os.read(ep0, 4096)  # reading an OUT request's data accepts it
            if request == 9 and hid['answer'] == 'ok':
                hid['report'] = data.hex()
            continue
        try:  # a read during an IN request, or a write during an OUT one, stalls it
            if reply is not None:
                os.write(ep0, reply[:length])
            elif request_type & 0x80:
                os.read(ep0, 1)
            else:
                os.write(ep0, b'\0')
        except OSError:
            pass


def make_gadget(hid):
    udc = sorted(set(os.listdir('/sys/class/udc')) - set(USED))[0]
    USED.append(udc)
    hid['udc'] = udc
    name = 'lab' + udc.split('.')[-1]
    functions = (['hid.keyboard'] if hid['keyboard'] else []) + [f'ffs.{name}']
    hid['gadget'] = gadget = f'{GADGETS}/{name}'
    hid['directories'] = ['configs/c.1'] + [f'functions/{f}' for f in functions] + ['strings/0x409', '']
    for directory in hid['directories'][:-1]:
        os.makedirs(f'{gadget}/{directory}')
    write(f'{gadget}/idVendor', hex(hid['vendor']))
    write(f'{gadget}/idProduct', hex(hid['product']))
    for text, key in (('manufacturer', 'maker'), ('product', 'name')):
        if hid[key]:
            write(f'{gadget}/strings/0x409/{text}', hid[key])
    if hid['keyboard']:
        for text, value in (('protocol', 1), ('subclass', 1), ('report_length', 8),
                            ('report_desc', bytes.fromhex(KEYBOARD))):
            write(f'{gadget}/functions/hid.keyboard/{text}', value)
    hid['mount'] = mount = f'/dev/ffs-{name}'
    os.makedirs(mount)
    subprocess.run(['mount', '-t', 'functionfs', name, mount], check=True)
    hid['ep0'] = ep0 = os.open(f'{mount}/ep0', os.O_RDWR)
    # An interface of class HID with its HID descriptor and an interrupt IN
    # endpoint, the same at full and high speed; no strings.
    descriptor = bytes.fromhex(hid['descriptor'])
    interface = bytes.fromhex('090400000103000000' '09211101000122') + \
        struct.pack('<H', len(descriptor)) + bytes.fromhex('07058103400001')
    os.write(ep0, struct.pack('<IIIII', 3, 20 + 2 * len(interface), 3, 3, 3) + interface * 2)
    os.write(ep0, struct.pack('<IIII', 2, 16, 0, 0))
    hid['thread'] = threading.Thread(target=serve, args=(ep0, hid))
    hid['thread'].start()
    for function in functions:
        os.symlink(f'{gadget}/functions/{function}', f'{gadget}/configs/c.1/{function}')
    write(f'{gadget}/UDC', udc)
    return len(functions)


def make(hid):
    before = nodes()
    if hid['kind'] == 'uhid':
        hid['uhid'] = fd = os.open('/dev/uhid', os.O_RDWR | os.O_NONBLOCK)
        descriptor = bytes.fromhex(hid['descriptor'])
        os.write(fd, struct.pack('<I128s64s64sHHIIII', 11, hid['name'].encode(), b'', b'',
                                 len(descriptor), hid['bus'], hid['vendor'], hid['product'],
                                 0, 0) + descriptor)  # UHID_CREATE2
        count = 1
    else:
        count = make_gadget(hid)
    wait_for('hidraw node', lambda: len(nodes() - before) == count)
    hid['nodes'] = sorted(nodes() - before)


def remove(hid):
    if hid.get('removed'):
        return
    hid['removed'] = True
    if 'uhid' in hid:
        os.close(hid['uhid'])
    elif 'thread' in hid:
        gadget = hid['gadget']
        write(f'{gadget}/UDC', '\n')
        hid['thread'].join()
        os.close(hid['ep0'])
        subprocess.run(['umount', hid['mount']], check=True)
        os.rmdir(hid['mount'])
        for function in os.listdir(f'{gadget}/configs/c.1'):
            if '.' in function:
                os.unlink(f'{gadget}/configs/c.1/{function}')
        for directory in hid['directories']:
            os.rmdir(f'{gadget}/{directory}')
        USED.remove(hid['udc'])


def uhid_events(hid):
    events = []
    while True:
        try:
            events.append(struct.unpack('<I', os.read(hid['uhid'], 4380)[:4])[0])
        except BlockingIOError:
            return events


def run_replacing(hid, arguments):
    """Runs the program under gdb, which stops it as it opens hid's node and
    waits while the device is unplugged and another takes the same node."""
    node = f"/dev/{hid['nodes'][-1]}"
    os.mkfifo('/run/stopped')
    gdb = subprocess.Popen(
        ['gdb', '-q', '-batch', '-ex', 'catch syscall openat',
         '-ex', f'condition 1 $_streq((char *) $rsi, "{node}")',
         '-ex', f"run {' '.join(arguments)} >/run/out 2>/run/err",
         '-ex', 'shell echo >/run/stopped; read line </run/stopped', '-ex', 'delete',
         '-ex', 'continue', '-ex', 'quit $_exitcode', TRELKEY], stdout=subprocess.DEVNULL,
        env=dict(os.environ, ASAN_OPTIONS='detect_leaks=0'))  # LeakSanitizer cannot run traced
    with open('/run/stopped') as stopped:
        stopped.read()
    remove(hid)
    other = device(kind='uhid', product=0x4B52)
    wait_for('the node gone', lambda: not os.path.exists(node))
    make(other)
    with open('/run/stopped', 'w') as stopped:
        stopped.write('go\n')
    status = gdb.wait()
    os.remove('/run/stopped')
    remove(other)
    return subprocess.CompletedProcess(arguments, status, open('/run/out').read(),
                                       open('/run/err').read())


def current_tags(node):
    subprocess.run(['udevadm', 'settle'], check=True)
    info = subprocess.run(['udevadm', 'info', '--query=property', f'/dev/{node}'],
                          capture_output=True, text=True).stdout
    if 'USEC_INITIALIZED=' not in info:
        return 'none: udev has not seen the node'
    return next((line[13:] for line in info.splitlines() if line.startswith('CURRENT_TAGS=')), '')


def run_row(name, devices, runs, held=None, rule=None, uaccess=False):
    """Makes the devices, runs (arguments, status, stdout, stderr) each, with
    stdout None going to /dev/full, and checks the reports the devices hold
    (held: device index to report; the others keep theirs), that no uhid
    device was opened, and with a rule, whether udev tags the first node uaccess."""
    problems = []
    if rule:
        shutil.copy(rule, '/etc/udev/rules.d/70-trelkey.rules')
        subprocess.run(['udevadm', 'control', '--reload'], check=True)
    try:
        for index, hid in enumerate(devices):
            hid['held'] = (held or {}).get(index, hid['report'])
            make(hid)
            for dropped in devices:
                if dropped['drop'] == index:
                    remove(dropped)
        for hid in devices:
            if hid['renode'] is not None:
                node = f"/dev/{hid['nodes'][-1]}"
                os.remove(node)
                os.mknod(node, 0o20600, os.stat(f"/dev/{devices[hid['renode']]['nodes'][-1]}").st_rdev)
        command = [TRELKEY]
        if GROUP == 'wine':  # wine's HID bus shows hidraw nodes made before wine starts
            subprocess.run('wineserver -k; wineserver -w; wine wineboot', shell=True, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            command = ['wine', TRELKEY]
        if any(hid['denied'] for hid in devices):
            for hid in devices:
                os.chmod(f"/dev/{hid['nodes'][-1]}", 0o600 if hid['denied'] else 0o666)
            command = ['setpriv', '--reuid=65534', '--regid=65534', '--clear-groups', TRELKEY]
        for arguments, *expected in runs:
            if devices and devices[0]['replaced']:
                result = run_replacing(devices[0], arguments)
            else:
                result = subprocess.run(command + arguments, stderr=subprocess.PIPE, text=True,
                                        stdout=open('/dev/full', 'w') if expected[1] is None else subprocess.PIPE)
            # A Windows program's text-mode streams end lines with CRLF.
            got = [text.replace('\r\n', '\n') if text else text
                   for text in (result.stdout, result.stderr)]
            if [result.returncode] + got != expected:
                problems.append(f'{arguments}: {result.returncode} {got}, expected {expected}')
        for index, hid in enumerate(devices):
            if hid['kind'] == 'uhid' and hid['drop'] is None and 4 in uhid_events(hid):  # UHID_OPEN
                problems.append(f'uhid device {index} was opened')
            elif hid['kind'] == 'ffs' and hid['report'] != hid['held']:
                problems.append(f"device {index} holds {hid['report']}, expected {hid['held']}")
        found = current_tags(devices[0]['nodes'][-1]) if rule else ''
        if rule and (':uaccess:' in found) != uaccess:
            problems.append(f'udev tags {found!r}, expected uaccess {uaccess}')
    finally:
        for hid in reversed(devices):
            remove(hid)
            if hid['renode'] is not None and 'nodes' in hid:  # devtmpfs keeps a node not its own
                os.remove(f"/dev/{hid['nodes'][-1]}")
        wait_for('removal of the nodes', lambda: not nodes())
    for problem in problems:
        print(f'FAIL {name}: {problem}')
    return not problems


USED = []
PERMISSION = 'Device open error. \ntrelkey: /dev/hidraw0: Permission denied\n'
# name, devices, runs, reports held afterwards by device index
HIDRAW = [
    ('set, then read', [device()], SET_READ, {0: WRITTEN}),
    ('output lost on a full disk', [device(report=WRITTEN)],
     [(['-r'], 2, None, FULL), (['-s', 'KEY_A'], 2, None, FULL)], {0: '010004ffffffffffff'}),
    ('stalled requests', [device(answer='stall')],
     [(['-r'], 2, '', 'Device read error. \ntrelkey: /dev/hidraw0: Broken pipe\n'),
      (['-s', 'KEY_A'], 2, '', 'Device write error. \ntrelkey: /dev/hidraw0: Broken pipe\n')]),
    ('a short reply', [device(answer='short', report=WRITTEN)], [(['-r'], 2, '',
     'Device read error. \ntrelkey: /dev/hidraw0: short feature report (8 of 9 bytes)\n')]),
    ('an empty reply', [device(answer='empty', report=WRITTEN)], [(['-r'], 2, '',
     'Device read error. \ntrelkey: /dev/hidraw0: short feature report (0 of 9 bytes)\n')]),
    ('no device', [], NOT_FOUND),
    ('wrong IDs', [device(vendor=0x1208), device(product=0x4B52),
                   device(vendor=0x4B53, product=0x1209)], NOT_FOUND),
    ('wrong texts', [device(maker='trelkéy ??'), device(name='Kestavo '), device(maker=''),
                     device(name=''), device(maker='Trelkey ??'), device(maker='Trelkéy ?'),
                     device(maker='Trelkéy Ω')], NOT_FOUND),
    ('beyond Latin-1: "?" per UTF-16 unit', [device(maker='Trelkéy ΩΩ')], SET_READ, {0: WRITTEN}),
    ('outside the BMP: "??"', [device(maker='Trelkéy 😀')], SET_READ, {0: WRITTEN}),
    ('two matches: hidraw2, made last, before hidraw10',
     [device(kind='uhid', drop=10 if n == 2 else None) for n in range(10)] + [device(), device()],
     SET_READ, {11: WRITTEN}),
    ('a keyboard is never opened', [device(descriptor=KEYBOARD)], NOT_FOUND),
    ('a keyboard with a vendor collection', [device(descriptor=KEYBOARD + VENDOR)],
     SET_READ, {0: WRITTEN}),
    ('composite: the vendor interface beside a keyboard', [device(keyboard=True)],
     SET_READ, {0: WRITTEN}),
    ('uhid devices on USB and Bluetooth are never opened',
     [device(kind='uhid'), device(kind='uhid', bus=5)], NOT_FOUND),
    ('a match the user may not open', [device(denied=True)], [(['-r'], 2, '', PERMISSION)]),
    ('a node with another device\'s number, then that device', [device(renode=1), device()],
     SET_READ, {1: WRITTEN}),
    ('unplugged between the check and the open, its node taken by another',
     [device(replaced=True)], [(['-r'], 2, '', 'Device open error. \ntrelkey: /dev/hidraw0: '
                                'not the device that was matched\n')]),
    ('a match the user may not open, then one that opens', [device(denied=True), device()],
     SET_READ, {1: WRITTEN}),
]
UDEV = [
    ('udev: a rule for another ID gives no uaccess', [device()], [], None, OTHER_RULE, False),
    ('udev: the rule gives uaccess', [device()], [], None, RULE, True),
]
# wine's hidraw bus names a device's maker "hidraw" and its product by the
# kernel's HID name, "maker product": the trelkey.exe builds search for those.
WINE = [
    ('wine: set, then read', [device()], SET_READ, {0: WRITTEN}),
    ('wine: no device, only wine\'s own', [], NOT_FOUND),
    ('wine: another product text', [device(name='Kestavo ')], NOT_FOUND),
]

if GROUP == 'hidraw' and not shutil.which('gdb'):
    print('skipped: gdb is not installed (apt-get install gdb)')
    sys.exit(77)
if GROUP == 'udev' and not os.path.exists('/lib/systemd/systemd-udevd'):
    print('skipped: systemd-udevd is not installed (apt-get install udev)')
    sys.exit(77)
if GROUP == 'udev':
    os.makedirs('/etc/udev/rules.d', exist_ok=True)
    subprocess.run(['/lib/systemd/systemd-udevd', '--daemon'], check=True)
rows = {'udev': UDEV, 'wine': WINE}.get(GROUP, HIDRAW)
start = time.monotonic()
failed = sum(not run_row(*row) for row in rows)
print(f'{len(rows) - failed} of {len(rows)} scenarios passed in {time.monotonic() - start:.1f} s')
sys.exit(1 if failed else 0)
