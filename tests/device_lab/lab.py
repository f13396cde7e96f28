# The Linux program against real USB HID devices, inside the device lab's
# guest (boot.sh): the kernel's dummy_hcd, configfs gadgets, usbhid,
# hid-generic and hidraw. Each trigger device is a FunctionFS function
# answered by a thread of this program, which keeps the feature report in
# memory; a keyboard interface beside it is the kernel's HID function; uhid
# makes HID devices that are not USB devices.
#
#     lab.py hidraw|udev|wine RULE OTHER_RULE TRELKEY...
#     lab.py browser PAGE - NODE
#
# The first TRELKEY searches for 1209:4B53, "Trelkèy ??", "Kestavo", the
# second for 1209:4B53, any manufacturer, "Kestavo". RULE is the udev
# rule built for that identity, OTHER_RULE one built for another; the udev
# rows run systemd-udevd with them. The wine row runs three trelkey.exe
# programs under wine (wine_test.sh). The browser row serves the page
# trelkey.html on 127.0.0.1 and drives it in Chromium (tests/web/lab_page.js,
# run by NODE), which a policy grants the unit.
import contextlib, copy, itertools, json, os, re, shutil, struct, subprocess, sys, threading, time  # noqa: E401

GROUP, RULE, OTHER_RULE, *PROGRAMS = sys.argv[1:]
EMPTY, WRITTEN = '01ffffffffffffffff', '01003e0115ffffffff'
LINE = '-' * 52 + '\n'
LISTING = (f'Current Configuration \n{LINE}  Ch    Key            Modified Key\n{LINE}'
           f' Ch-1   KEY_F5         \n Ch-2   KEY_R          CTRL_LEFT\n{LINE}\n')
SET_READ = [(['-s', 'KEY_F5', 'KEY_R,CTRL_LEFT'], 0, 'Success to setup configuration.\n', ''), (['-r'], 0, LISTING, '')]
IDENTITY = 'ID 1209:4b53, manufacturer "Trelkèy ??", product "Kestavo"'
NOT_FOUND = [(a, 2, '', f'Device open error. \ntrelkey: no unit found with {IDENTITY}\n') for a in (['-r'], ['-s', 'KEY_A'])]
NOTE = 'trelkey: 2 units attached; this was the one at {} (trelkey -l lists them, -d LOCATION chooses)\n'


def seen(devices, what='carries the configuration report', first=0):
    """The lines that name devices a search saw: the trigger devices of a row,
    from device number first on, by port, with their IDs and texts as
    narrowed to 8 bits."""
    narrow = lambda text: ''.join(c if ord(c) < 256 else '?' * (1 + (ord(c) > 0xFFFF)) for c in text)  # noqa: E731
    return ''.join(f'trelkey: <port{first + i}>: ID {hid["vendor"]:04x}:{hid["product"]:04x}, manufacturer "{narrow(hid["maker"])}", '
                   f'product "{narrow(hid["name"])}", {what}'
                   + (f': trelkey -i {hid["vendor"]:04x}:{hid["product"]:04x} uses it' if 'carries' in what else '') + '\n'
                   for i, hid in enumerate(devices))


def noted(port, runs=SET_READ):
    """The runs, each naming the unit at port as the one of two it used."""
    return [(*run[:3], run[3] + NOTE.format(port)) for run in runs]
FULL = 'trelkey: write error: No space left on device\n'
# Report descriptors: a vendor collection with feature report 1 of 8 bytes
# (of 64 with 9508 made 953f); the same with report ID 2; a boot keyboard.
VENDOR = '06a0ff0901a10185010901150026ff0075089508b102c0'
VENDOR_REPORT_2 = VENDOR.replace('8501', '8502')
WITHOUT = 'without the configuration report (feature report 1, 9 bytes)'
OTHER = dict(vendor=0x1A86, product=0xE026, maker='Other', name='Pedal')
KEYBOARD = '05010906a101050719e029e7150025017501950881029506750815002565190029658100c0'
GADGETS = itertools.count()  # gadget numbers


def device(**fields):
    """A device of kind ffs (the trigger, keyboard=True puts a keyboard
    interface before it), or uhid (on bus 3, USB, or 5, Bluetooth).
    answer: ok, ignore (takes a set and keeps nothing), late (keeps a set,
    but the first read after it answers the report before it), readonly
    (stalls a set), stall, short or empty. held: the report it must hold at
    the end, by default the one it starts with. drop=N: removed once device N
    is there, so that a later device takes its node. denied: node mode 0600.
    renode=N: its /dev node made anew with device N's number. replaced: the
    program is stopped as it opens the node, the device is unplugged and a
    uhid device with other IDs, which takes the node, plugged in. A gadget's
    port is "BUS-1", BUS the number of the bus on the host side of its UDC."""
    return dict(dict(kind='ffs', vendor=0x1209, product=0x4B53, maker='Trelkèy ??', name='Kestavo', descriptor=VENDOR,
                     answer='ok', report=EMPTY, held=fields.get('report', EMPTY), bus=3, keyboard=False, drop=None,
                     denied=False, renode=None, replaced=False), **fields)


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
    while True:
        request_type, request, value, _, length, kind = struct.unpack('<BBHHHB3x', os.read(ep0, 12))
        if kind == 1:  # unbind
            return
        answer = hid['answer']
        try:  # the setup fields of other events than a setup request are 0, which no branch but the last takes
            if (request_type, request, value >> 8) == (0x81, 6, 0x22):
                os.write(ep0, bytes.fromhex(hid['descriptor'])[:length])
            elif (request_type, request, value) == (0xA1, 1, 0x0301) and answer != 'stall':
                report = bytes.fromhex(hid.pop('stale', hid['report']))
                os.write(ep0, report[:{'short': 8, 'empty': 0}.get(answer, 9)][:length])
            elif request_type == 0x21 and (request == 0x0A or (request, value) == (9, 0x0301) and
                                           answer not in ('stall', 'readonly')):
                data = os.read(ep0, 4096)  # reading an OUT request's data accepts it
                if request == 9 and answer == 'late':
                    hid['stale'] = hid['report']
                if request == 9 and answer in ('ok', 'late'):
                    hid['report'] = data.hex()
            elif kind == 4:  # a read during an IN request, or a write during an OUT one, stalls it
                os.read(ep0, 1) if request_type & 0x80 else os.write(ep0, b'\0')
        except OSError:
            pass


def make(hid):
    """Plugs the device in and waits for its hidraw nodes; the trigger's is the last."""
    before = nodes()
    if hid['kind'] == 'uhid':
        hid['uhid'] = os.open('/dev/uhid', os.O_RDWR | os.O_NONBLOCK)
        descriptor = bytes.fromhex(hid['descriptor'])
        os.write(hid['uhid'], struct.pack('<I128s64s64sHHIIII', 11, hid['name'].encode(), b'', b'', len(descriptor),
                                          hid['bus'], hid['vendor'], hid['product'], 0, 0) + descriptor)  # UHID_CREATE2
    else:
        number = next(GADGETS)
        name = f'lab{number}'
        gadget = hid['gadget'] = f'/sys/kernel/config/usb_gadget/{name}'
        mount = f'/dev/ffs-{name}'
        functions = ['hid.keyboard'] * hid['keyboard'] + [f'ffs.{name}']
        for directory in ['configs/c.1', 'strings/0x409'] + [f'functions/{f}' for f in functions]:
            os.makedirs(f'{gadget}/{directory}')
        keyboard = [('protocol', 1), ('subclass', 1), ('report_length', 8), ('report_desc', bytes.fromhex(KEYBOARD))]
        attributes = [('idVendor', hex(hid['vendor'])), ('idProduct', hex(hid['product'])), ('bcdDevice', '0x0100'),
                      ('strings/0x409/manufacturer', hid['maker']), ('strings/0x409/product', hid['name'])]
        for path, value in attributes + [(f'functions/hid.keyboard/{k}', v) for k, v in keyboard] * hid['keyboard']:
            if value != '':  # an empty text is no string at all
                write(f'{gadget}/{path}', value)
        os.makedirs(mount)
        subprocess.run(['mount', '-t', 'functionfs', name, mount], check=True)
        ep0 = os.open(f'{mount}/ep0', os.O_RDWR)
        # An interface of class HID with its HID descriptor and an interrupt IN
        # endpoint, the same at full and high speed; no strings.
        interface = bytes.fromhex('09040000010300000009211101000122') + \
            struct.pack('<H', len(hid['descriptor']) // 2) + bytes.fromhex('07058103400001')
        os.write(ep0, struct.pack('<IIIII', 3, 20 + 2 * len(interface), 3, 3, 3) + interface * 2)
        os.write(ep0, struct.pack('<IIII', 2, 16, 0, 0))
        threading.Thread(target=serve, args=(ep0, hid), daemon=True).start()
        for function in functions:
            os.symlink(f'{gadget}/functions/{function}', f'{gadget}/configs/c.1/{function}')
        # Consecutive gadgets take consecutive UDCs, so a row's gadgets (at most 8) bind to UDCs of their own;
        # a device plugged in again takes its UDC again.
        udc = hid.setdefault('udc', sorted(os.listdir('/sys/class/udc'))[number % 8])
        host = f"/sys/devices/platform/{udc.replace('udc', 'hcd')}"
        hid['port'] = next(f'{name[3:]}-1' for name in os.listdir(host) if name.startswith('usb'))
        write(f'{gadget}/UDC', udc)
    wait_for('hidraw node', lambda: len(nodes() - before) == 1 + hid['keyboard'])
    hid['node'], hid['plugged'] = '/dev/' + max(nodes() - before, key=lambda node: int(node[6:])), True


def remove(hid):
    """Unplugs the device, once. A gadget's configfs directories and FunctionFS
    mount stay, under a name of their own: the guest is thrown away after the run."""
    if not hid.pop('plugged', False):
        return
    if hid['kind'] == 'uhid':
        return os.close(hid['uhid'])
    write(f"{hid['gadget']}/UDC", '\n')  # serve() returns on the unbind


def uhid_events(hid):
    with contextlib.suppress(BlockingIOError):  # none left
        while True:
            yield struct.unpack('<I', os.read(hid['uhid'], 4380)[:4])[0]


def run_replacing(program, hid, arguments):
    """Runs the program under gdb, which stops it as it opens hid's node and
    waits while the device is unplugged and another takes the same node."""
    script = ['catch syscall openat', f'condition 1 $_streq((char *) $rsi, "{hid["node"]}")',
              f"run {' '.join(arguments)} >/run/out 2>/run/err", 'shell echo stopped; read line',
              'delete', 'continue', 'quit $_exitcode']
    gdb = subprocess.Popen(['gdb', '-q', '-batch'] + [a for line in script for a in ('-ex', line)] + [program],
                           stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                           env=dict(os.environ, ASAN_OPTIONS='detect_leaks=0'))  # LeakSanitizer cannot run traced
    while gdb.stdout.readline() not in ('stopped\n', ''):
        pass
    remove(hid)
    wait_for('the node gone', lambda: not os.path.exists(hid['node']))
    make(other := device(kind='uhid', product=0x4B52))
    gdb.communicate('go\n')
    remove(other)
    return subprocess.CompletedProcess(arguments, gdb.returncode, open('/run/out').read(), open('/run/err').read())


def place(devices, match):
    """What <portN>, <nodeN>, <nameN> (the node's name), <linkN> (a symlink
    to the node, as udev makes them) and <empty> (a USB port with nothing
    plugged in) stand for."""
    if match[0] == '<empty>':
        buses = sorted(int(hub[3:]) for hub in os.listdir('/sys/bus/usb/devices') if hub.startswith('usb'))
        return next(f'{bus}-1' for bus in buses if not os.path.exists(f'/sys/bus/usb/devices/{bus}-1') and
                    os.path.exists(f'/sys/bus/usb/devices/usb{bus}/{bus}-0:1.0/usb{bus}-port1'))
    hid = devices[int(match[2])]
    if match[1] == 'link' and not os.path.islink(link := f"/dev/trelkey-{match[2]}"):
        os.symlink(hid['node'], link)
    return {**hid, 'name': os.path.basename(hid['node']), 'link': f"/dev/trelkey-{match[2]}"}[match[1]]


def run_row(name, devices, runs, rule=None, uaccess=False):
    """Makes the devices, runs ([program index,] arguments, status, stdout,
    stderr) each, with stdout None going to /dev/full, and the places in
    them filled in (place()), or unplugs device N and plugs it into the
    same port again for a run 'replug N'; then checks the reports the devices hold,
    that no uhid device was opened, and with a rule, whether udev tags the
    trigger's node uaccess."""
    problems, denied, record = [], any(hid['denied'] for hid in devices), None
    if rule:
        shutil.copy(rule, '/etc/udev/rules.d/70-trelkey.rules')
        subprocess.run(['udevadm', 'control', '--reload'], check=True)
    try:
        for index, hid in enumerate(devices):
            make(hid)
            for dropped in devices:
                if dropped['drop'] == index:
                    remove(dropped)
        for hid in devices:
            if hid['renode'] is not None:
                os.remove(hid['node'])
                os.mknod(hid['node'], 0o20600, os.stat(devices[hid['renode']]['node']).st_rdev)
            if denied:
                os.chmod(hid['node'], 0o600 if hid['denied'] else 0o666)
        command = ['setpriv', '--reuid=65534', '--regid=65534', '--clear-groups'] * denied
        if GROUP == 'wine':  # one wine session, kept up for all the runs, on the 64-bit loader itself
            command = [WINE64]
            subprocess.run(f'wineserver -p && {WINE64} wineboot >/dev/null 2>&1', shell=True, check=True)
        for run in runs:
            if isinstance(run, str):
                remove(devices[int(run.split()[1])])
                make(devices[int(run.split()[1])])
                continue
            *program, arguments, status, out, err = [json.loads(re.sub(
                '<(port|node|name|link)([0-9]+)>|<empty>', lambda m: place(devices, m), json.dumps(part))) for part in run]
            program = PROGRAMS[program[0] if program else 0]
            # A first argument VARIABLE=VALUE goes to the environment.
            environment = dict(os.environ, **dict([arguments.pop(0).split('=', 1)] if '=' in arguments[0] else []))
            result = run_replacing(program, devices[0], arguments) if devices and devices[0]['replaced'] else \
                subprocess.run(command + [program] + arguments, stdin=subprocess.DEVNULL, stderr=subprocess.PIPE, env=environment,
                               stdout=open('/dev/full', 'w') if out is None else subprocess.PIPE, encoding=ENCODING)
            # A Windows program's text-mode streams end lines with CRLF.
            got_out, got_err = (text and text.replace('\r\n', '\n') for text in (result.stdout, result.stderr))
            if [result.returncode, got_out, got_err] != [status, out, err]:
                problems.append(f'{arguments}: {result.returncode} {got_out!r} {got_err!r}, '
                                f'expected {status} {out!r} {err!r}')
        for index, hid in enumerate(devices):
            if hid['kind'] == 'uhid' and hid['drop'] is None and 4 in uhid_events(hid):  # UHID_OPEN
                problems.append(f'uhid device {index} was opened')
            elif hid['kind'] == 'ffs' and hid['report'] != hid['held']:
                problems.append(f"device {index} holds {hid['report']}, expected {hid['held']}")
        if rule:
            # udev's record of the node, written once udev has handled its add event, deleted with its
            # remove event. udevadm settle may return before udev has read the kernel's event, when
            # the record on these device numbers can still be the previous row's.
            rdev = os.stat(devices[0]['node']).st_rdev
            record = f'/run/udev/data/c{os.major(rdev)}:{os.minor(rdev)}'
            wait_for("udev's record of the node", lambda: os.path.exists(record))
            info = subprocess.run(['udevadm', 'info', '--query=property', devices[0]['node']],
                                  capture_output=True, text=True).stdout
            if 'USEC_INITIALIZED=' not in info or bool(re.search('^CURRENT_TAGS=.*:uaccess:', info, re.M)) != uaccess:
                problems.append(f'udev properties {info!r}, expected uaccess {uaccess}')
    finally:
        for hid in reversed(devices):
            if hid['renode'] is not None and hid.get('plugged'):  # devtmpfs keeps a node not its own
                os.remove(hid['node'])
            remove(hid)
        wait_for('removal of the nodes', lambda: not nodes())
        if record:
            wait_for("removal of udev's record", lambda: not os.path.exists(record))
    for problem in problems:
        print(f'FAIL {name}: {problem}')
    return not problems


# name, devices, runs
WRONG_IDS = [device(vendor=0x1208), device(product=0x4B52), device(vendor=0x4B53, product=0x1209)]
WRONG_TEXTS = [device(maker='trelkèy ??'), device(name='Kestavo '), device(maker=''), device(name=''),
               device(maker='Trelkey ??'), device(maker='Trelkèy ?'), device(maker='Trelkèy Ω')]
HIDRAW = [
    ('set, then read', [device(held=WRITTEN)], SET_READ),
    ('output lost on a full disk', [device(report=WRITTEN, held='010004ffffffffffff')],
     [(['-r'], 2, None, FULL), (['-s', 'KEY_A'], 2, None, FULL)]),
    ('stalled requests', [device(answer='stall')],
     [(['-r'], 2, '', 'Device read error. \ntrelkey: /dev/hidraw0: Broken pipe\n'),
      (['-s', 'KEY_A', 'KEY_B', 'KEY_C', 'KEY_D'], 2, '', 'Device write error. \ntrelkey: /dev/hidraw0: Broken pipe\n'),
      (['-s', 'KEY_A', 'KEEP'], 2, '', 'Device read error. \ntrelkey: /dev/hidraw0: Broken pipe\n')]),
    ('KEEP: channels 1, 3 and 4 as they were', [device(report='010115003e003f0028', held='010115003f003f0028')],
     [(['-s', 'KEEP', 'KEY_F6', 'keep', 'KEEP'], 0, 'Success to setup configuration.\n', '')]),
    ('a set the unit does not keep', [device(answer='ignore', report=WRITTEN)],
     [(['-s', 'KEY_A'], 2, '', 'Device write error. \ntrelkey: /dev/hidraw0: the unit holds '
       '01 00 3e 01 15 ff ff ff ff after the write, not 01 00 04 ff ff ff ff ff ff\n')]),
    ('read back: the report held only at the second read; a set refused, a read answered',
     [device(answer='late', held='010004ffffffffffff'), device(answer='readonly', report=WRITTEN)],
     [(['-d', '<node0>', '-s', 'KEY_A'], 0, 'Success to setup configuration.\n', ''),
      (['-d', '<node1>', '-s', 'KEY_A'], 2, '', 'Device write error. \ntrelkey: <node1>: Broken pipe\n')]),
    ('a gap: channels 2 and 3 listed', [device(report='01ffff00050006ffff')],
     [(['-r'], 0, LISTING.replace(' Ch-1   KEY_F5         \n Ch-2   KEY_R          CTRL_LEFT',
                                  ' Ch-2   KEY_B          \n Ch-3   KEY_C          '), '')]),
    *[(f'a reply of {n} bytes', [device(answer=answer, report=WRITTEN)], [(['-r'], 2, '', 'Device read error. \n'
       f'trelkey: /dev/hidraw0: short feature report ({n} of 9 bytes)\n')]) for answer, n in (('short', 8), ('empty', 0))],
    ('no device', [], NOT_FOUND),
    ('wrong IDs', WRONG_IDS, [(run[0], 2, '', run[3] + seen(WRONG_IDS)) for run in NOT_FOUND]),
    ('wrong texts', WRONG_TEXTS, [(run[0], 2, '', run[3] + seen(WRONG_TEXTS)) for run in NOT_FOUND]),
    ('outside the BMP: "??"', [device(maker='Trelkèy 😀', held=WRITTEN)], SET_READ),
    ('two matches: hidraw2, made last, before hidraw10',
     [device(kind='uhid', drop=10 if n == 2 else None) for n in range(10)] + [device(), device(held=WRITTEN)],
     noted('<port11>')),
    ('feature report 1 of 64 bytes: seen, and said so, never opened', [device(descriptor=VENDOR.replace('9508', '953f'))],
     [(arguments, 2, '', 'Device open error. \n' + seen([device()], WITHOUT)) for arguments in (['-r'], ['-l'])]),
    ('other IDs: seen, and used with -i', [device(**OTHER, held=WRITTEN)],
     [(arguments, 2, '', NOT_FOUND[0][3] + seen([device(**OTHER)])) for arguments in (['-r'], ['-l'])] + [
     (['-l', '-i', '1a86:e026'], 0, '<port0> <node0>\n', ''),
     (['-i', '1a86:e026', '-s', 'KEY_F5', 'KEY_R,CTRL_LEFT'], 0, 'Success to setup configuration.\n', '')]),
    ('a keyboard with a vendor collection', [device(descriptor=KEYBOARD + VENDOR, held=WRITTEN)], SET_READ),
    ('composite: the vendor interface beside a keyboard', [device(keyboard=True, held=WRITTEN)], SET_READ),
    ('uhid on USB and Bluetooth is never opened', [device(kind='uhid'), device(kind='uhid', bus=5)], NOT_FOUND),
    ('a match the user may not open, listed with its reason', [device(denied=True)],
     [(['-r'], 2, '', 'Device open error. \ntrelkey: /dev/hidraw0: Permission denied\n'),
      (['-l'], 0, '<port0> /dev/hidraw0 (Permission denied)\n', '')]),
    ('a match the user may not open, then one that opens', [device(denied=True), device(held=WRITTEN)],
     noted('<port1>')),
    ('a node with the number of a device of the IDs but other texts, then a match',
     [device(renode=1), device(maker='Trelkey ??'), device(held=WRITTEN)], noted('<port2>')),
    ('several units: each named by its port, or its node, and only it written',
     [device(held='010004000500060007'), device(held='01003e0115ffffffff')],
     [(['-l'], 0, '<port0> <node0>\n<port1> <node1>\n', ''),
      (['-d', '<port1>', '-s', 'KEY_F5', 'KEY_R,CTRL_LEFT'], 0, 'Success to setup configuration.\n', ''),
      (['-s', 'KEY_A', 'KEY_B', 'KEY_C', 'KEY_D', '-d', '<port0>'], 0, 'Success to setup configuration.\n', ''),
      (['-r', '-d', '<port1>'], 0, LISTING, ''), (['-d', '<node1>', '-r'], 0, LISTING, ''),
      (['-d', '<name1>', '-r'], 0, LISTING, ''), (['-d', '<link1>', '-r'], 0, LISTING, ''),
      'replug 1', (['-l'], 0, '<port0> <node0>\n<port1> <node1>\n', ''), (['-d', '<port1>', '-r'], 0, LISTING, ''),
      (['-s', 'KEY_A', 'KEY_B', 'KEY_C', 'KEY_D'], 0, 'Success to setup configuration.\n', NOTE.format('<port0>'))]),
    ('-d: the unit\'s keyboard, an empty port, no port, a node that is none: nothing written',
     [device(), device(descriptor=KEYBOARD)],
     [(['-d', '<port1>', '-s', 'KEY_A'], 2, '', 'Device open error. \n' + seen([device()], WITHOUT, 1)),
      (['-d', '<empty>', '-s', 'KEY_A'], 2, '', 'Device open error. \ntrelkey: <empty>: nothing is plugged in there\n')] +
     [(['-d', name, '-s', 'KEY_A'], 2, '', f'Device open error. \ntrelkey: {name}: no USB port or device node of that name\n')
      for name in ('1-2', '.', '/dev/hidraw9', 'hidraw9')]),
    ('no manufacturer string, found by a build that compares none', [device(maker='', held=WRITTEN)],
     [(1, *run) for run in SET_READ] + [(['-l'], 2, '', NOT_FOUND[0][3] + seen([device(maker='')]))]),
    ('unplugged between the check and the open, its node taken by another', [device(replaced=True)],
     [(['-r'], 2, '', 'Device open error. \ntrelkey: /dev/hidraw0: not the device that was matched\n')]),
]
UDEV = [
    ('udev: a rule for another ID gives no uaccess', [device()], [], OTHER_RULE, False),
    ('udev: the rule gives uaccess', [device()], [], RULE, True),
]
# wine's hidraw bus names a device's maker "hidraw" and its product by the
# kernel's HID name, "maker product"; the three trelkey.exe programs search
# for those texts with the products 4B53, 4B54 and 4B55, and a run names its
# program by that index. wine shows only the nodes made before it starts, so
# the devices are all plugged first, in one row. An interface path holds the
# device's release number, bcdDevice, and an index among the devices alike,
# in the order they were plugged in: there are two units of product 4B53.
WINE_PATH = r'\\?\hid#vid_1209&pid_4b5{}&mi_00#256&0000&0&{}#{{4d1e55b2-f16f-11cf-88cb-001111000030}}'
WINE_WITHOUT = (f'Device open error. \ntrelkey: {WINE_PATH.format(5, 1)}: ID 1209:4b55, manufacturer "hidraw", '
                f'product "Trelkèy ?? Kestavo", {WITHOUT}\n')
WINE = [
    ('wine: set, then read, KEEP; several units; stalled requests; only another product text, or no feature '
     'report 1; other IDs with -i; no hid.dll',
     [device(held='01003e0005ffffffff'), device(product=0x4B54, answer='stall'),
      device(product=0x4B55, name='Kestavo '),
      device(held='010004ffffffffffff'), device(product=0x4B55, descriptor=VENDOR_REPORT_2),
      device(**OTHER, held='010004ffffffffffff')],
     [(0, *run) for run in noted(WINE_PATH.format(3, 0), SET_READ + [
         (['-s', 'KEEP', 'KEY_B'], 0, 'Success to setup configuration.\n', '')])] +
     [(0, ['-l'], 0, f'{WINE_PATH.format(3, 0)}\n{WINE_PATH.format(3, 1)}\n', ''),
      (0, ['-d', WINE_PATH.format(3, 1).upper(), '-s', 'KEY_A'], 0, 'Success to setup configuration.\n', ''),
      (0, ['-i', '1a86:e026', '-s', 'KEY_A'], 0, 'Success to setup configuration.\n', ''),
      (0, ['WINEDLLOVERRIDES=hid=d', '-r'], 2, '', 'Device open error. \ntrelkey: hid.dll: Module not found.\n'),
      (2, ['-r'], 2, '', WINE_WITHOUT), (2, ['-s', 'KEY_A'], 2, '', WINE_WITHOUT),
      (1, ['-r'], 2, '', f'Device read error. \ntrelkey: {WINE_PATH.format(4, 0)}: General failure.\n'),
      (1, ['-s', 'KEY_A'], 2, '', f'Device write error. \ntrelkey: {WINE_PATH.format(4, 0)}: General failure.\n')]),
]
# Chromium reads the page from a server on the guest's loopback, and is granted
# the unit by an enterprise policy, as an administrator would, without the chooser.
ORIGIN = 'http://127.0.0.1:8000'
BROWSER = [
    ('browser: read names, combined modifiers, a gap and a code without a name; set channel 3 alone, write, read back',
     [device(report='01030400ffffff8864', held='01030400ff42288864')],
     [([os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'web', 'lab_page.js'), f'{ORIGIN}/trelkey.html'], 0,
       'Read from Kestavo (1209:4b53).\nKEY_A CTRL_LEFT SHIFT_LEFT |  |  | 0x64 GUI_LEFT GUI_RIGHT\n'
       'Written and read back: Kestavo (1209:4b53) holds what is shown.\n'
       'KEY_A CTRL_LEFT SHIFT_LEFT |  | KEY_ENTER SHIFT_LEFT ALT_RIGHT | 0x64 GUI_LEFT GUI_RIGHT\n', '')]),
]

# Run without a terminal, a Windows program under wine has no console, and writes its text in the ANSI code
# page, 1252 here; with a terminal on standard input it would have one, and write the console's (OEM) code page.
ENCODING = 'cp1252' if GROUP == 'wine' else 'utf-8'
WINE64 = '/usr/lib/wine/wine64'  # Debian's; /usr/bin/wine would go through the 32-bit loader where wine32 is
tool, package = {'hidraw': ('gdb', 'gdb'), 'udev': ('/lib/systemd/systemd-udevd', 'udev'),
                 'browser': ('/usr/bin/chromium', 'chromium')}.get(GROUP, (WINE64, 'wine64'))
if not shutil.which(tool):
    print(f'skipped: {os.path.basename(tool)} is not installed (apt-get install {package})')
    sys.exit(77)
if GROUP == 'udev':
    subprocess.run([tool, '--daemon'], check=True)
if GROUP == 'browser':
    subprocess.run(['ip', 'link', 'set', 'lo', 'up'], check=True)
    os.makedirs('/etc/chromium/policies/managed', exist_ok=True)
    write('/etc/chromium/policies/managed/lab.json', json.dumps({'WebHidAllowDevicesForUrls': [
        {'devices': [{'vendor_id': 0x1209, 'product_id': 0x4B53}], 'urls': [ORIGIN]}]}))
    subprocess.Popen([sys.executable, '-m', 'http.server', '-b', '127.0.0.1', '-d', os.path.dirname(RULE), '8000'],
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
rows = {'hidraw': HIDRAW, 'udev': UDEV, 'wine': WINE, 'browser': BROWSER}[GROUP]
start = time.monotonic()
passed = [run_row(*copy.deepcopy(row)) for row in rows]
print(f'{sum(passed)} of {len(rows)} scenarios passed in {time.monotonic() - start:.1f} s')
sys.exit(0 if all(passed) else 1)
