// The page in the device lab's guest (lab.py browser): Chromium, granted the
// lab's unit by policy, reads it, sets channel 3, writes and reads back; each
// step prints what the page says and shows.
//   node lab_page.js URL
const { launch, set_channel, shown, status } = require('./chromium.js');

(async () => {
  const browser = await launch();
  const page = await browser.newPage();
  page.setDefaultTimeout(240000);
  await page.goto(process.argv[2]);
  console.log(await status(page, /Read from|failed|Press/));
  console.log((await shown(page)).join(' | '));
  await set_channel(page, 3, 'KEY_ENTER,SHIFT_LEFT,ALT_RIGHT');
  await page.getByRole('button', { name: 'Write', exact: true }).click();
  console.log(await status(page, /Written|failed/));
  console.log((await shown(page)).join(' | '));
  await browser.close();
})();
