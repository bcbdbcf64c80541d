// Exact picks: a click records the file position under the centre of the
// screen pixel the pointer is on, read off the image tiles as drawn, at
// every magnification, in every pane of both images of a stereo pair.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdir } from 'node:fs/promises';
import path from 'node:path';
import { artefactDir, call, launchBrowser, openStereo, removeDir, sampleData, settled, tempDir } from './harness.mjs';

let browser;
let dir;
before(async () => {
  browser = await launchBrowser();
  dir = await tempDir();
  await sampleData(dir);
  await mkdir(artefactDir, { recursive: true });
});
after(async () => {
  await browser?.close();
  await removeDir(dir);
});

// Centres a pane on (x, y) at zoom, waits for its tiles, and finds the screen
// pixel `offset` pixels from the pane's centre: its client position and the
// file position its centre shows, from the drawn tile it lies on.
async function aim(page, pane, [x, y], zoom, offset) {
  await page.evaluate(([name, x, y, zoom]) => {
    window.zotWorkspace.state.panes.get(name).map.setView([-y, x], zoom, { animate: false });
  }, [pane, x, y, zoom]);
  return page.waitForFunction(
    ([name, offset]) => {
      const p = window.zotWorkspace.state.panes.get(name);
      const box = p.mapElement.getBoundingClientRect();
      const cx = Math.floor(box.left + box.width / 2) + offset;
      const cy = Math.floor(box.top + box.height / 2) + offset;
      for (const tile of p.mapElement.querySelectorAll('.leaflet-tile-loaded[data-tile]')) {
        const r = tile.getBoundingClientRect();
        const [z, tx, ty] = tile.dataset.tile.split(' ').map(Number);
        const size = tile.width / r.width; // file pixels per screen pixel
        const right = r.left + 256 / size; // the last pixel column repeated beyond
        const bottom = r.top + 256 / size;
        if (z !== 0 || cx + 0.5 < r.left || cx + 0.5 >= right || cy + 0.5 < r.top || cy + 0.5 >= bottom) continue;
        return { cx, cy, x: tx * 256 + (cx + 0.5 - r.left) * size, y: ty * 256 + (cy + 0.5 - r.top) * size };
      }
      return null;
    },
    [pane, offset],
  ).then((handle) => handle.jsonValue());
}

test('a click records the file position under the pointer pixel centre in every pane at 1x to 16x', async () => {
  const { server, page, problems } = await openStereo(browser, dir);
  try {
    let clicks = 0;
    for (const pane of ['left main', 'left zoom', 'right main', 'right zoom'])
      for (const [factor, offset] of [[1, 3], [2, -5], [3.39, 7], [16, 2]]) {
        const want = await aim(page, pane, [300.3, 200.7], Math.log2(factor), offset);
        await page.mouse.click(want.cx, want.cy);
        await settled(page);
        clicks += 1;
        const session = (await call(server, 'GET', '/api/session')).text.trim().split('\n');
        const words = session[session.length - 1].split(' ');
        assert.deepEqual(words.slice(0, 3), ['click', ...pane.split(' ')], `the click in ${pane} is recorded`);
        const [x, y] = words.slice(3).map(Number);
        const what = `${pane} at ${factor}x: recorded ${x} ${y}, under the pointer ${want.x} ${want.y}`;
        assert.ok(Math.abs(x - want.x) <= 0.02 && Math.abs(y - want.y) <= 0.02, what);
        if (factor === 1) assert.equal(x % 1, 0.5, `at 1x a click records a pixel centre (${what})`);
        if (factor === 3.39 && pane === 'right zoom')
          await page.screenshot({ path: path.join(artefactDir, 'picks-3.39x.png') });
      }
    assert.equal(clicks, 16);
    assert.deepEqual(problems, [], 'the page raised no error');
  } finally {
    await page.context().close();
    await server.stop();
  }
});
