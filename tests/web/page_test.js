// The configuration page in headless Chromium, over a WebHID double, for
// what the device lab's unit cannot show; and, for a table of values, the
// page's report against the one trelkey -s sends.
//   node page_test.js PAGE REPORT_OF SCREENSHOT
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const { after, before, test } = require('node:test');
const { launch, set_channel, shown, status } = require('./chromium.js');

const [PAGE, REPORT_OF, SCREENSHOT] = process.argv.slice(2);

// Runs in the page before its script. units: null for a browser without
// WebHID, else each { report (9 bytes, hex), granted (before the visit),
// vendor, bytes (of feature report 1), stuck (keeps its report), refuse (a
// reason to refuse requests with) }; requestDevice gives the next unit not
// granted yet. window.hid logs what is sent and asked for, and unplugs.
function webhid_double(units) {
  if (!units) return delete Navigator.prototype.hid;
  const log = (window.hid = { sent: [], filters: [], disconnect: [] });
  const devices = units.map((unit) => ({
    vendorId: unit.vendor ?? 0x1209, productId: 0x4b53, productName: 'Kestavo', granted: unit.granted ?? true,
    collections: [{ featureReports: [{ reportId: 1, items: [{ reportSize: 8, reportCount: unit.bytes ?? 8 }] }] }],
    open: async () => {},
    async sendFeatureReport(id, data) {
      if (unit.refuse) throw new DOMException(unit.refuse, 'NotAllowedError');
      log.sent.push([id, ...new Uint8Array(data)].map((byte) => byte.toString(16).padStart(2, '0')).join(''));
      if (!unit.stuck) unit.report = log.sent.at(-1);
    },
    receiveFeatureReport: async () => new DataView(Uint8Array.from(unit.report.match(/../g), (b) => parseInt(b, 16)).buffer),
  }));
  log.unplug = (i) => {
    const device = devices.splice(i, 1)[0];
    log.disconnect.forEach((listener) => listener({ device }));
  };
  const hid = {
    getDevices: async () => devices.filter((device) => device.granted),
    requestDevice: async ({ filters }) => {
      log.filters.push(filters);
      const next = devices.find((device) => !device.granted);
      return next ? [Object.assign(next, { granted: true })] : [];
    },
    addEventListener: (type, listener) => type === 'disconnect' && log.disconnect.push(listener),
  };
  Object.defineProperty(Navigator.prototype, 'hid', { get: () => hid });
}

let browser;
before(async () => { browser = await launch(); });
after(() => browser.close());

async function open_page(units) {
  const page = await browser.newPage({ viewport: { width: 800, height: 600 } });
  await page.addInitScript(webhid_double, units);
  await page.goto(`file://${PAGE}`);
  return page;
}
const button = (page, name) => page.getByRole('button', { name, exact: true });

test('a browser without WebHID is told which browsers have it', async () => {
  const page = await open_page(null);
  await status(page, 'This browser has no WebHID, which reaches the unit: open this page in Chrome, Edge or Opera');
  assert.equal(await button(page, 'Connect').isDisabled(), true);
});

test("of several units the one picked is used; a refusal and unplugging give the browser's reason", async () => {
  const page = await open_page([{ report: '010015ffffffffffff', refuse: 'Failed to write the feature report.' },
                                { report: '01003effffffff0004' }]);
  await status(page, 'Read from');
  await button(page, 'Write').click();
  await status(page, 'Writing to Kestavo (1209:4b53) failed: Failed to write the feature report.');
  await page.getByRole('combobox', { name: 'Unit', exact: true }).selectOption({ index: 1 });
  await page.waitForFunction(() => document.getElementById('key1').value === 'KEY_F5');
  assert.deepEqual(await shown(page), ['KEY_F5', '', '', 'KEY_A']);
  await page.evaluate(() => window.hid.unplug(1));
  await status(page, 'Kestavo (1209:4b53) was unplugged.');
  assert.equal(await button(page, 'Write').isDisabled(), true);
});

test('Connect asks for the IDs, the other choice takes only a unit with the report; a unit that does not keep a write', async () => {
  const page = await open_page([{ report: '01003effffffffffff', granted: false, vendor: 0x1234, bytes: 7 },
                                { report: '01003effffffffffff', granted: false, vendor: 0x1234, stuck: true }]);
  await status(page, 'Press Connect and choose the unit.');
  await button(page, 'Connect').click();
  await status(page, 'Kestavo (1234:4b53) is not a trelkey unit: it has no configuration report');
  await button(page, 'Connect a unit with other IDs').click();
  await status(page, 'Read from Kestavo (1234:4b53).');
  assert.deepEqual(await page.evaluate(() => window.hid.filters), [[{ vendorId: 0x1209, productId: 0x4b53 }], []]);
  await set_channel(page, 1, 'KEY_B');
  await set_channel(page, 2, 'KEY_C,CTRL_LEFT,CTRL_RIGHT,SHIFT_LEFT,SHIFT_RIGHT,ALT_LEFT,ALT_RIGHT,GUI_LEFT,GUI_RIGHT');
  await button(page, 'Write').click();
  await status(page, 'Channel 2: all eight modifiers at once cannot be written');
  await set_channel(page, 2, 'KEY_C,SHIFT_RIGHT');
  await button(page, 'Write').click();
  await status(page, 'holds 01 00 3e ff ff ff ff ff ff after the write, not 01 00 05 20 06 ff ff ff ff.');
  assert.deepEqual(await shown(page), ['KEY_F5', '', '', '']);
});

// trelkey -s VALUE... and the page set to the same values; the unit holds
// the codes without names beforehand, so that the page offers them.
for (const values of [['KEY_R,CTRL_LEFT', 'KEY_F5'], ['0x64,SHIFT_LEFT', '0x00', 'KEY_0'],
                      ['KEY_A,CTRL_LEFT,SHIFT_LEFT', 'KEY_KP_0,GUI_LEFT,GUI_RIGHT', 'KEY_ENTER,ALT_RIGHT',
                       'KEY_F24,CTRL_RIGHT,SHIFT_RIGHT,ALT_LEFT']]) {
  test(`the same bytes as trelkey -s ${values.join(' ')}`, async () => {
    const page = await open_page([{ report: '010064000000ffffff' }]);
    await status(page, 'Read from');
    for (let n = 1; n <= 4; ++n) await set_channel(page, n, values[n - 1]);
    await button(page, 'Write').click();
    await status(page, 'Written and read back');
    await page.screenshot({ path: SCREENSHOT, fullPage: true });
    const program = execFileSync(REPORT_OF, ['-s', ...values], { encoding: 'utf8' }).replaceAll(' ', '').trim();
    assert.deepEqual(await page.evaluate(() => window.hid.sent), [program]);
  });
}
