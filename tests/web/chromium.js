// Debian's Chromium, headless, driven by playwright-core, and the page's
// controls by their accessible names. playwright-core keeps Chromium from
// reaching for the network, which is closed, and from its sandbox; the flags
// spare it what the device lab's guest lacks (a GPU, a large /dev/shm).
const { chromium } = require('playwright-core');

const FLAGS = ['--disable-gpu', '--in-process-gpu', '--disable-software-rasterizer', '--disable-dev-shm-usage'];
exports.launch = () => chromium.launch({ executablePath: '/usr/bin/chromium', args: FLAGS });

const MODIFIERS = ['CTRL_LEFT', 'SHIFT_LEFT', 'ALT_LEFT', 'GUI_LEFT', 'CTRL_RIGHT', 'SHIFT_RIGHT', 'ALT_RIGHT', 'GUI_RIGHT'];
const key = (page, n) => page.getByRole('combobox', { name: `Channel ${n} key`, exact: true });
const box = (page, n, modifier) => page.getByRole('checkbox', { name: `Channel ${n} ${modifier}`, exact: true });

// Each channel as the page shows it: the key's value, then the modifiers
// checked, read from the accessibility tree in one go.
exports.shown = async (page) => {
  const tree = await page.locator('#channels').ariaSnapshot();
  const channels = [];
  for (let n = 1; n <= 4; ++n) {
    const checked = [...tree.matchAll(new RegExp(`checkbox "Channel ${n} (\\w+)" \\[checked\\]`, 'g'))];
    channels.push([await key(page, n).inputValue(), ...checked.map((match) => match[1])].join(' '));
  }
  return channels;
};

// Sets channel n to a VALUE of trelkey -s, KEY[,MODIFIER...], or unassigned for undefined.
exports.set_channel = async (page, n, value) => {
  const [name, ...modifiers] = (value ?? '').split(',');
  await key(page, n).selectOption(name);
  for (const modifier of MODIFIERS) await box(page, n, modifier).setChecked(modifiers.includes(modifier));
};

// The status line's text, once it matches.
exports.status = (page, pattern) => page.getByRole('status').filter({ hasText: pattern }).textContent();
