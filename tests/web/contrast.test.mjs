// Contrast in real Chromium: the controls redraw the tiles, the choice
// outlasts a reload and the 0 key resets it; and the workspace's screenshots
// at 1400 x 900 (a dark and a bright image after contrast changes, an error,
// a report written). ZOT_SCREENSHOTS=docs writes them into the repository's
// docs/ folder, else into the build's web-artefacts.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdir, readFile, writeFile } from 'node:fs/promises';
import path from 'node:path';
import { artefactDir, chooseFile, openWorkspace, run, sampleFixture, settled, sourceDir, startServer } from './harness.mjs';

const shots = process.env.ZOT_SCREENSHOTS ? path.resolve(sourceDir, process.env.ZOT_SCREENSHOTS) : artefactDir;
// The sample data, with a dark and a bright copy of its orthoimage: shadows
// crushed (cube of the values) and highlights washed out (cube root).
const fixture = sampleFixture(async (dir) => {
  await mkdir(shots, { recursive: true });
  for (const [name, exponent] of [['dark.tif', '3'], ['bright.tif', '0.33']])
    await run('gdal_translate', ['-q', '-scale', '0', '255', '0', '255', '-exponent', exponent,
      path.join(dir, 'ortho_geographic.tif'), path.join(dir, name)]);
});

// A workspace on image with the sample's first `measured` points measured
// (the sample session's own clicks), at 1400 x 900.
async function inWorkspace(image, measured, work) {
  const { browser, dir } = fixture;
  const lines = (await readFile(path.join(dir, 'geographic.session'), 'utf8')).split('\n');
  const kept = [];
  for (const line of lines) {
    if (line.startsWith('expect') || line.startsWith('#')) continue;
    if (kept.filter((l) => l === 'accept').length === measured && line !== 'accept' && kept.length > 3) break;
    kept.push(line.replace('ortho_geographic.tif', image));
  }
  const session = path.join(dir, `${image}.session`);
  await writeFile(session, [...kept, 'graphics on'].join('\n') + '\n');
  const server = await startServer([session]);
  const { page, problems } = await openWorkspace(browser, server, { width: 1400, height: 900 });
  try {
    await page.waitForSelector('#contrast .contrast-block select');
    await tilesDrawn(page);
    await work(page);
    assert.deepEqual(problems, [], 'the page raised no error');
  } finally {
    await page.context().close();
    await server.stop();
  }
}

// Waits until the left main pane's tiles are all drawn; their mean grey.
async function tilesDrawn(page) {
  const mean = await page.waitForFunction(() => {
    const pane = window.zotWorkspace.state.panes.get('left main');
    const tiles = [...pane.mapElement.querySelectorAll('canvas.leaflet-tile')];
    if (!tiles.length || tiles.some((t) => !t.classList.contains('leaflet-tile-loaded'))) return null;
    let sum = 0;
    let count = 0;
    for (const tile of tiles) {
      const { data } = tile.getContext('2d').getImageData(0, 0, 256, 256);
      for (let i = 0; i < data.length; i += 4) if (data[i + 3]) (sum += data[i]), (count += 1);
    }
    return count ? sum / count : null;
  });
  return mean.jsonValue();
}

// Sets a control of the left image's contrast and waits for the tiles it asks for.
async function setControl(page, selector, value, asked) {
  const tiles = page.waitForResponse((r) => r.url().includes('/api/tile/0/') && r.url().includes(asked));
  const control = page.locator(`#contrast [data-image="0"] ${selector}`);
  if (selector === 'select') await control.selectOption(value);
  else await control.fill(String(value));
  await control.blur();
  await tiles;
  return tilesDrawn(page);
}

test('contrast controls redraw the tiles, the choice outlasts a reload, and 0 resets it', async () => {
  await inWorkspace('ortho_geographic.tif', 2, async (page) => {
    const plain = await tilesDrawn(page);
    const brighter = await setControl(page, 'input[data-field="brightness"]', 40, 'brightness=0.4');
    assert.ok(brighter > plain + 40, `brightness 40 %: mean ${plain} -> ${brighter}`);
    await setControl(page, 'select', 'minmax', 'stretch=');
    const darker = await setControl(page, 'input[data-field="gamma"]', -100, 'gamma=0.25');
    assert.ok(darker < brighter - 40, `gamma 0.25 darkens: ${brighter} -> ${darker}`);

    await page.reload();
    await page.waitForFunction(() => /gamma=0\.25&brightness=0\.4/.test(window.zotWorkspace?.state.panes.get('left main')?.contrast));
    assert.equal(await page.inputValue('#contrast [data-image="0"] select'), 'minmax');
    assert.ok(Math.abs((await tilesDrawn(page)) - darker) < 2, 'the same tiles after the reload');

    const box = await page.locator('.pane[data-pane="left main"] .pane-map').boundingBox();
    await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
    const reset = page.waitForResponse((r) => r.url().includes('/api/tile/0/') && !r.url().includes('&'));
    await page.keyboard.press('0');
    await reset;
    assert.ok(Math.abs((await tilesDrawn(page)) - plain) < 1, 'back to the plain stretch');
    assert.equal(await page.inputValue('#contrast [data-image="0"] input[data-field="gamma"]'), '0');
    assert.equal(await page.evaluate(() => localStorage.length), 0, 'nothing kept for the plain stretch');
  });
});

test('screenshots: a dark and a bright image after contrast changes, an error, a report written', async () => {
  await inWorkspace('dark.tif', 6, async (page) => {
    await setControl(page, 'input[data-field="gamma"]', 70, 'gamma=2.639');
    await setControl(page, 'input[data-field="brightness"]', 8, 'brightness=0.08');
    await page.screenshot({ path: path.join(shots, 'contrast-dark.png') });
  });
  await inWorkspace('bright.tif', 6, async (page) => {
    await setControl(page, 'select', 'meanstd', 'stretch=');
    await setControl(page, 'input[data-field="gamma"]', -60, 'gamma=0.435');
    await page.screenshot({ path: path.join(shots, 'contrast-bright.png') });
  });
  await inWorkspace('ortho_geographic.tif', 6, async (page) => {
    await writeFile(path.join(fixture.dir, 'broken_te.txt'), 'G01 7.64 45.08\n');
    await page.click('#te-open');
    await chooseFile(page, 'broken_te.txt');
    await settled(page);
    await page.click('#status .status-error button:has-text("details")');
    await page.screenshot({ path: path.join(shots, 'workspace-error.png') });
  });
  await inWorkspace('ortho_geographic.tif', 10, async (page) => {
    await page.click('#report');
    await chooseFile(page, 'reports/from-the-page.txt');
    await settled(page);
    await page.waitForSelector('#status .status-last a');
    await page.screenshot({ path: path.join(shots, 'workspace-report.png') });
  });
});
