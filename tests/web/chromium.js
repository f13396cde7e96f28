// Debian's Chromium, headless, driven by playwright-core. The flags keep it
// from reaching for the network, which is closed, and from what a container
// or the device lab's guest lacks (a sandbox, a GPU, a large /dev/shm).
const { chromium } = require('playwright-core');

exports.launch = () => chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--in-process-gpu', '--disable-software-rasterizer',
         '--disable-dev-shm-usage', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync'],
});

// What the page shows for each channel: the key drop-down's value, then the
// modifiers checked, found by their accessible names.
const MODIFIERS = ['CTRL_LEFT', 'SHIFT_LEFT', 'ALT_LEFT', 'GUI_LEFT',
                   'CTRL_RIGHT', 'SHIFT_RIGHT', 'ALT_RIGHT', 'GUI_RIGHT'];
exports.shown = async (page) => {
  const channels = [];
  for (let n = 1; n <= 4; ++n) {
    const words = [await page.getByRole('combobox', { name: `Channel ${n} key`, exact: true }).inputValue()];
    for (const modifier of MODIFIERS) {
      const box = page.getByRole('checkbox', { name: `Channel ${n} ${modifier}`, exact: true });
      if (await box.isChecked()) words.push(modifier);
    }
    channels.push(words.join(' '));
  }
  return channels;
};

// Sets channel n as a VALUE of trelkey -s gives it, KEY[,MODIFIER...], or
// unassigned for undefined.
exports.set_channel = async (page, n, value) => {
  const [key, ...modifiers] = value === undefined ? [''] : value.split(',');
  await page.getByRole('combobox', { name: `Channel ${n} key`, exact: true }).selectOption(key);
  for (const modifier of MODIFIERS) {
    await page.getByRole('checkbox', { name: `Channel ${n} ${modifier}`, exact: true })
      .setChecked(modifiers.includes(modifier));
  }
};

// The status line once it says what pattern matches.
exports.status = async (page, pattern) => {
  const line = page.getByRole('status').filter({ hasText: pattern });
  await line.waitFor();
  return line.textContent();
};
