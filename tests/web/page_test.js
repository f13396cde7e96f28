// The configuration page in headless Chromium, over a WebHID double whose
// units keep their report; and, for a table of values, the page's report
// against the one trelkey -s sends.
//   node page_test.js PAGE REPORT_OF SCREENSHOT
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const { after, before, test } = require('node:test');
const { launch, set_channel, shown, status } = require('./chromium.js');

const [PAGE, REPORT_OF, SCREENSHOT] = process.argv.slice(2);

// Installed in the page before its script runs. units: null for a browser
// without WebHID, else each { report: 9 bytes in hex, granted (before the
// visit), vendor, product, bits (of feature report 1), stuck (keeps its
// report), refuse (a reason to refuse requests with) }. requestDevice hands
// out the next unit not granted yet.
function webhid_double(units) {
  if (units === null) {
    delete Navigator.prototype.hid;
    return;
  }
  const listeners = { connect: [], disconnect: [] };
  const log = (window.hid_double = { sent: [], filters: [] });
  const devices = units.map((unit) => ({
    vendorId: unit.vendor ?? 0x1209, productId: unit.product ?? 0x4b53, productName: 'Kestavo',
    collections: [{ featureReports: [{ reportId: 1, items: [{ reportSize: 8, reportCount: (unit.bits ?? 64) / 8 }] }],
                    children: [] }],
    opened: false, granted: unit.granted ?? true, plugged: true, report: unit.report,
    async open() { this.opened = true; },
    async close() { this.opened = false; },
    async sendFeatureReport(id, data) {
      if (!this.plugged || unit.refuse) throw new DOMException(unit.refuse ?? 'Failed to write.', 'NotAllowedError');
      const hex = [id, ...new Uint8Array(data)].map((byte) => byte.toString(16).padStart(2, '0')).join(' ');
      log.sent.push(hex);
      if (!unit.stuck) this.report = hex.replaceAll(' ', '');
    },
    async receiveFeatureReport() {
      if (!this.plugged) throw new DOMException('Failed to receive the feature report.', 'NotAllowedError');
      return new DataView(Uint8Array.from(this.report.match(/../g), (byte) => parseInt(byte, 16)).buffer);
    },
  }));
  log.unplug = (index) => {
    devices[index].plugged = false;
    for (const listener of listeners.disconnect) listener({ device: devices[index] });
  };
  const hid = {
    getDevices: async () => devices.filter((device) => device.granted && device.plugged),
    requestDevice: async ({ filters }) => {
      log.filters.push(filters);
      const next = devices.find((device) => !device.granted);
      if (next) next.granted = true;
      return next ? [next] : [];
    },
    addEventListener: (type, listener) => listeners[type].push(listener),
  };
  Object.defineProperty(Navigator.prototype, 'hid', { get: () => hid, configurable: true });
}

let browser;
before(async () => { browser = await launch(); });
after(() => browser.close());

async function open_page(units) {
  const page = await browser.newPage({ viewport: { width: 800, height: 600 } });
  page.setDefaultTimeout(10000);
  await page.addInitScript(webhid_double, units);
  await page.goto(`file://${PAGE}`);
  return page;
}

const sent = (page) => page.evaluate(() => window.hid_double.sent);
const button = (page, name) => page.getByRole('button', { name, exact: true });

test('a browser without WebHID is told which browsers have it', async () => {
  const page = await open_page(null);
  await status(page, 'This browser has no WebHID, which reaches the unit: open this page in Chrome, Edge or Opera');
  assert.equal(await button(page, 'Connect').isDisabled(), true);
});

test("a unit's rows are shown; a write changes only the channels changed, and is read back", async () => {
  // Combined modifiers, a gap (a key 0xff after a modifier 0x00), a key
  // without a name, the GUI modifiers.
  const page = await open_page([{ report: '01030400ff00648845' }]);
  await status(page, 'Read from Kestavo (1209:4b53).');
  assert.deepEqual(await shown(page), ['KEY_A CTRL_LEFT SHIFT_LEFT', '', '0x64', 'KEY_F12 GUI_LEFT GUI_RIGHT']);
  await page.screenshot({ path: SCREENSHOT, fullPage: true });
  await set_channel(page, 3, 'KEY_ENTER,ALT_RIGHT');
  await button(page, 'Write').click();
  await status(page, 'Written and read back: Kestavo (1209:4b53) holds what is shown.');
  assert.deepEqual(await sent(page), ['01 03 04 00 ff 40 28 88 45']);
  assert.deepEqual(await shown(page), ['KEY_A CTRL_LEFT SHIFT_LEFT', '', 'KEY_ENTER ALT_RIGHT', 'KEY_F12 GUI_LEFT GUI_RIGHT']);
});

test('a unit that does not keep the write is shown as it holds it', async () => {
  const page = await open_page([{ report: '01003effffffffffff', stuck: true }]);
  await status(page, 'Read from');
  await set_channel(page, 1, 'KEY_B');
  await set_channel(page, 2, 'KEY_C,CTRL_LEFT,CTRL_RIGHT,SHIFT_LEFT,SHIFT_RIGHT,ALT_LEFT,ALT_RIGHT,GUI_LEFT,GUI_RIGHT');
  await button(page, 'Write').click();
  await status(page, 'Channel 2: all eight modifiers at once cannot be written');
  await set_channel(page, 2, 'KEY_C,SHIFT_RIGHT');
  await button(page, 'Write').click();
  await status(page, 'holds 01 00 3e ff ff ff ff ff ff after the write, not 01 00 05 20 06 ff ff ff ff.');
  assert.deepEqual(await shown(page), ['KEY_F5', '', '', '']);
});

test("a refused request and an unplugged unit are told with the browser's reason", async () => {
  const page = await open_page([{ report: '01003effffffffffff', refuse: 'Failed to write the feature report.' },
                                { report: '01003effffffffffff' }]);
  await status(page, 'Read from');
  await button(page, 'Write').click();
  await status(page, 'Writing to Kestavo (1209:4b53) failed: Failed to write the feature report.');
  await page.getByRole('combobox', { name: 'Unit', exact: true }).selectOption({ index: 1 });
  await status(page, 'Read from');
  await page.evaluate(() => window.hid_double.unplug(1));
  await status(page, 'Kestavo (1209:4b53) was unplugged.');
  assert.equal(await button(page, 'Write').isDisabled(), true);
});

test('Connect asks for the IDs; the other choice takes a unit with other IDs only with the report', async () => {
  const page = await open_page([{ report: '01003effffffffffff', granted: false, vendor: 0x1234, bits: 56 },
                                { report: '010004ffffffffffff', granted: false, vendor: 0x1234, product: 1 }]);
  await status(page, 'Press Connect and choose the unit.');
  await button(page, 'Connect').click();
  await status(page, 'Kestavo (1234:4b53) is not a trelkey unit: it has no configuration report');
  await button(page, 'Connect a unit with other IDs').click();
  await status(page, 'Read from Kestavo (1234:0001).');
  assert.deepEqual(await page.evaluate(() => window.hid_double.filters), [[{ vendorId: 0x1209, productId: 0x4b53 }], []]);
  assert.deepEqual(await shown(page), ['KEY_A', '', '', '']);
});

test('units granted before are listed, and the one picked is read', async () => {
  const page = await open_page([{ report: '01003effffffffffff' }, { report: '010015ffffffff0004' }]);
  await status(page, 'Read from');
  assert.deepEqual(await shown(page), ['KEY_F5', '', '', '']);
  await page.getByRole('combobox', { name: 'Unit', exact: true }).selectOption({ index: 1 });
  await page.waitForFunction(() => document.getElementById('key1').value !== 'KEY_F5');
  assert.deepEqual(await shown(page), ['KEY_R', '', '', 'KEY_A']);
});

// trelkey -s VALUE... and the page set to the same values; the unit holds
// the codes without names beforehand, so that the page offers them.
for (const values of [['KEY_F5'], ['KEY_R,CTRL_LEFT', 'KEY_F5'],
                      ['KEY_A,CTRL_LEFT,SHIFT_LEFT', 'KEY_KP_0,GUI_LEFT,GUI_RIGHT', 'KEY_ENTER,ALT_RIGHT',
                       'KEY_F24,CTRL_RIGHT,SHIFT_RIGHT,ALT_LEFT'],
                      ['0x64,SHIFT_LEFT', '0x00', 'KEY_0']]) {
  test(`the same bytes as trelkey -s ${values.join(' ')}`, async () => {
    const page = await open_page([{ report: '010064000000ffffff' }]);
    await status(page, 'Read from');
    for (let n = 1; n <= 4; ++n) await set_channel(page, n, values[n - 1]);
    await button(page, 'Write').click();
    await status(page, 'Written and read back');
    const program = execFileSync(REPORT_OF, ['-s', ...values], { encoding: 'utf8' }).trim();
    assert.deepEqual(await sent(page), [program]);
  });
}
