// The stereo aids in the page on the sample pair: the curve drawn in the
// other image after a pick in either, a proposal made by M and taken by Enter
// measuring what picking it by hand measures, and the floating mark at a
// point's height picking its true position in both images.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdir, readFile } from 'node:fs/promises';
import path from 'node:path';
import {
  artefactDir, call, chooseFile, clickImage, launchBrowser, openWorkspace, removeDir, sampleData, settled,
  startServer, startTool, tempDir, view,
} from './harness.mjs';

let browser, dir, server, page, problems, points;
before(async () => {
  browser = await launchBrowser();
  dir = await tempDir();
  await sampleData(dir);
  await mkdir(artefactDir, { recursive: true });
  const [head, ...lines] = (await readFile(path.join(dir, 'truth/points.csv'), 'utf8')).trim().split('\n');
  const names = head.split(',');
  points = lines
    .map((line) => Object.fromEntries(line.split(',').map((v, i) => [names[i], v])))
    .filter((p) => p.dataset === 'stereo');
  server = await startServer(['--root', dir]);
  ({ page, problems } = await openWorkspace(browser, server, { width: 1400, height: 900 }));
  await startTool(page, 'stereo_left.tif', 'stereo_right.tif');
  await page.click('#te-open');
  await chooseFile(page, 'stereo_te.txt');
  await settled(page);
});
after(async () => {
  assert.deepEqual(problems, [], 'the page raised no error');
  await page?.context().close();
  await server?.stop();
  await browser?.close();
  await removeDir(dir);
});

const truthOf = (p, image) => (image === 0 ? [+p.true_left_x, +p.true_left_y] : [+p.true_right_x, +p.true_right_y]);
const act = (name, args) => page.evaluate(([n, a]) => window.zotWorkspace.act(n, a), [name, args]).then(() => settled(page));
const aids = () => page.evaluate(() => window.zotWorkspace.stereo.state);
async function press(key, times = 1) {
  for (let i = 0; i < times; ++i) await page.keyboard.press(key);
  await settled(page);
}
async function lastLines(count) {
  return (await call(server, 'GET', '/api/session')).text.trim().split('\n').slice(-count);
}
// The pixels of each pane's drawing in the curve's colour.
function curvePixels() {
  return page.evaluate(() =>
    Object.fromEntries(
      [...window.zotWorkspace.state.panes.values()].map((p) => {
        const data = p.canvas.getContext('2d').getImageData(0, 0, p.canvas.width, p.canvas.height).data;
        let count = 0;
        for (let i = 0; i < data.length; i += 4)
          if (Math.abs(data[i] - 0x5f) + Math.abs(data[i + 1] - 0xd7) + Math.abs(data[i + 2] - 0xff) < 40) count += 1;
        return [p.name, count];
      }),
    ),
  );
}

test('after a pick in either image the other image draws the curve and centres its zoomed pane on the prediction', async () => {
  await act('row', { row: 0 });
  for (const [from, pane] of [[0, 'left zoom'], [1, 'right zoom']]) {
    await clickImage(page, pane, ...truthOf(points[0], from));
    const { prediction } = await aids();
    assert.equal(prediction.to, 1 - from);
    const drawn = await curvePixels();
    const other = from === 0 ? 'right' : 'left', own = from === 0 ? 'left' : 'right';
    assert.ok(drawn[`${other} main`] > 20 && drawn[`${other} zoom`] > 20, `curve in the ${other} panes: ${JSON.stringify(drawn)}`);
    assert.equal(drawn[`${own} main`] + drawn[`${own} zoom`], 0, 'no curve in the picked image');
    const centre = await page.evaluate((name) => window.zotWorkspace.state.panes.get(name).map.getCenter(), `${other} zoom`);
    assert.ok(Math.hypot(centre.lng - prediction.predicted.x, -centre.lat - prediction.predicted.y) < 1, 'auto-drive centres it');
    if (from === 0) await page.screenshot({ path: path.join(artefactDir, 'stereo-prediction.png') });
  }
  await press('Escape', 2);
});

test('a proposal made by M and taken by Enter measures what picking the proposed position by hand measures', async () => {
  await act('row', { row: 1 });
  await clickImage(page, 'left zoom', ...truthOf(points[1], 0));
  await press('m');
  const { proposal } = await aids();
  assert.equal(proposal.to, 1);
  assert.ok(Math.hypot(proposal.x - points[1].true_right_x, proposal.y - points[1].true_right_y) < 0.3);
  await page.screenshot({ path: path.join(artefactDir, 'stereo-proposal.png') });
  const [leftPick] = await lastLines(2);
  await press('Enter');
  assert.deepEqual(await lastLines(1), [`click right main ${proposal.x} ${proposal.y}`], 'Enter takes the proposal as the pick');
  assert.equal((await aids()).proposal, null);
  await press('Enter');
  const measured = async () => {
    const table = (await view(page)).table;
    const cells = table.rows.find((r) => r.row === 1).cells;
    return table.columns.map((c, i) => [c.title, cells[i]]).filter(([title]) => /^(Measured (Lat|Lon|Elev)|Delta)/.test(title));
  };
  const taken = await measured();
  assert.ok(taken.length >= 3 && taken.every(([, text]) => text !== ''), `row 2 is measured: ${JSON.stringify(taken)}`);
  await act('row', { row: 1 }); // auto-drive moved on to the next point
  await press('Backspace');
  const cleared = await measured();
  assert.ok(cleared.every(([, text]) => text === ''), `cleared: ${JSON.stringify(cleared)}`);
  const [x, y] = leftPick.split(' ').slice(3).map(Number);
  await act('click', { image: 0, view: 0, x, y });
  await act('click', { image: 1, view: 0, x: proposal.x, y: proposal.y });
  await act('accept');
  assert.deepEqual(await measured(), taken);
});

test('the floating mark moved to a point\'s height and clicked picks its true position in both images', async () => {
  const point = points[2];
  await act('row', { row: 2 });
  await press('s');
  const frame = await page.evaluate(() => window.zotWorkspace.stereo.stereo.frame);
  assert.ok(frame && frame.residual < 0.1, 'the stereo view is open');
  const steps = Math.round((point.true_z - frame.height) / (frame.groundPixel / 10));
  await press(steps >= 0 ? 'PageUp' : 'PageDown', Math.abs(steps));
  const mark = await page.evaluate(() => window.zotWorkspace.stereo.stereo.mark);
  assert.ok(Math.abs(mark.height - point.true_z) <= mark.step / 2 + 1e-9, `mark at ${mark.height}`);
  // Where the left window shows the point, less the mark's own parallax.
  const [lx, ly] = truthOf(point, 0);
  const b = frame.toFrame[0], dh = mark.height - frame.height;
  const u = b[0] + lx * b[1] + ly * b[2] - dh * frame.shiftPerMeter[0][0];
  const v = b[3] + lx * b[4] + ly * b[5] - dh * frame.shiftPerMeter[0][1];
  const box = await page.locator('#stereo-view canvas').boundingBox();
  const scale = box.width / frame.size;
  const at = { x: Math.round(box.x + u * scale - 0.5), y: Math.round(box.y + v * scale - 0.5) };
  await page.mouse.move(at.x, at.y);
  await page.screenshot({ path: path.join(artefactDir, 'stereo-anaglyph.png') });
  await page.mouse.click(at.x, at.y);
  await settled(page);
  const lines = await lastLines(2);
  for (const [image, line] of lines.entries()) {
    const words = line.split(' ');
    assert.deepEqual(words.slice(0, 3), ['click', image ? 'right' : 'left', 'main']);
    const [tx, ty] = truthOf(point, image);
    assert.ok(Math.hypot(words[3] - tx, words[4] - ty) < 0.3, `${line} against the truth ${tx} ${ty}`);
  }
});
