// The point table at 1400 px wide: the errors in sight without scrolling
// sideways, the row number and ID frozen, full headers on hover; every text
// on the page at 4.5:1 contrast or more; no console error under the page's
// own Content-Security-Policy while dragging, picking and accepting.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import {
  artefactDir, chooseFile, launchBrowser, removeDir, sampleData, startServer, startTool, tempDir,
} from './harness.mjs';

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Every visible text with less than 4.5:1 contrast against the background under it.
function lowContrast() {
  const lum = (c) => {
    const [r, g, b] = c.match(/[\d.]+/g).map((x) => x / 255).map((x) => (x <= 0.03928 ? x / 12.92 : ((x + 0.055) / 1.055) ** 2.4));
    return 0.2126 * r + 0.7152 * g + 0.0722 * b;
  };
  const back = (e) => (/, 0\)$|transparent/.test(getComputedStyle(e).backgroundColor) ? back(e.parentElement) : e);
  const low = [];
  const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
  for (let n = walker.nextNode(); n; n = walker.nextNode()) {
    const e = n.parentElement;
    if (!n.textContent.trim() || !e.getClientRects().length || e.closest('[hidden], svg, button:disabled')) continue;
    const [a, b] = [lum(getComputedStyle(e).color), lum(getComputedStyle(back(e)).backgroundColor)];
    if ((Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05) < 4.5) low.push(n.textContent.trim().slice(0, 30));
  }
  return low;
}

test('the table at 1400 px: errors in sight, ID frozen, headers whole on hover; contrast; no console error', async () => {
  const browser = await launchBrowser();
  const dir = await tempDir();
  await sampleData(dir);
  const server = await startServer(['--root', dir]);
  const context = await browser.newContext({ viewport: { width: 1400, height: 900 } }); // the page's own policy
  const page = await context.newPage();
  const errors = [];
  page.on('console', (m) => m.type() === 'error' && errors.push(m.text()));
  page.on('pageerror', (e) => errors.push(e.message));
  try {
    await page.goto(server.url);
    await startTool(page, 'stereo_left.tif', 'stereo_right.tif');
    await page.click('#te-open');
    await chooseFile(page, 'stereo_te.txt');
    await page.waitForSelector('#table-body .row');
    for (const name of ['left main', 'right main']) { // a drag, then a pick
      const box = await page.locator(`.pane[data-pane="${name}"] .pane-map`).boundingBox();
      await page.mouse.move(box.x + 100, box.y + 100);
      await page.mouse.down();
      await page.mouse.move(box.x + 160, box.y + 140, { steps: 6 });
      await page.mouse.up();
      await page.mouse.click(box.x + 200, box.y + 120);
    }
    await page.keyboard.press('Enter');
    await page.waitForSelector('#assessment svg');
    await pause(500);

    const layout = () =>
      page.evaluate(() => {
        const scroll = document.getElementById('table-scroll').getBoundingClientRect();
        const head = [...document.querySelectorAll('#table-head .cell')].filter((c) => !c.hidden);
        return {
          right: scroll.right,
          errors: head.filter((c) => /Delta|Mensuration|Individual/.test(c.title)).map((c) => c.getBoundingClientRect().right),
          titles: head.map((c) => [c.title, c.textContent]),
          // How far the ID cell sits from where it belongs, right of the row number.
          id: (() => {
            const [number, id] = document.querySelectorAll('#table-body .row .cell.frozen');
            return id.getBoundingClientRect().left - number.getBoundingClientRect().width - scroll.left;
          })(),
        };
      });
    const compact = await layout();
    assert.equal(compact.errors.length, 6, 'the six error columns show');
    assert.ok(compact.errors.every((r) => r <= compact.right), 'every error column in sight without scrolling');
    assert.ok(compact.titles.every(([title, text]) => title === text && title), 'each header carries its full title');
    await page.screenshot({ path: path.join(artefactDir, 'table-compact.png') });

    await page.click('#table-compact');
    await page.evaluate(() => (document.getElementById('table-scroll').scrollLeft = 600));
    const full = await layout();
    assert.ok(full.titles.some(([t]) => /Description/.test(t)), 'the full layout shows every column');
    assert.equal(await page.evaluate(() => document.getElementById('table-scroll').scrollLeft), 600);
    assert.ok(Math.abs(full.id) < 1 && Math.abs(compact.id) < 1, `the ID column stays in sight (${full.id})`);
    await page.screenshot({ path: path.join(artefactDir, 'table-full-scrolled.png') });

    assert.deepEqual(await page.evaluate(lowContrast), [], 'every text has 4.5:1 contrast or more');
    assert.deepEqual(errors, [], 'no console error');
  } finally {
    await context.close();
    await browser.close();
    await server.stop();
    await removeDir(dir);
  }
});
