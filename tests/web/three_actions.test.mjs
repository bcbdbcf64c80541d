// The sample stereo pair measured as an analyst does, three actions a point
// with real mouse and key events (a click on the target in the left zoomed
// pane, one in the right, Enter), the panes driven by the tool alone; its
// report is byte for byte the one `zot-host run` writes for a session of the
// same picks.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFile, writeFile } from 'node:fs/promises';
import path from 'node:path';
import { call, chooseFile, openStereo, run, sampleFixture, settled, view, zotHost } from './harness.mjs';

const fixture = sampleFixture();

// Where image position (x, y) shows in a pane as it stands, in the page.
async function onScreen(page, pane, x, y) {
  return page.evaluate(([name, x, y]) => {
    const p = window.zotWorkspace.state.panes.get(name);
    const c = p.map.latLngToContainerPoint([-y, x]);
    const r = p.mapElement.getBoundingClientRect();
    return { x: r.left + c.x, y: r.top + c.y, inside: c.x >= 0 && c.y >= 0 && c.x < r.width && c.y < r.height };
  }, [pane, x, y]);
}

test('three actions a point measure the sample stereo pair to the report zot-host run gives for the same picks', async () => {
  const { browser, dir } = fixture;
  const { server, page, problems } = await openStereo(browser, dir);
  try {
    const [head, ...rows] = (await readFile(path.join(dir, 'truth/points.csv'), 'utf8')).trim().split('\n');
    const names = head.split(',');
    const points = rows.map((l) => Object.fromEntries(l.split(',').map((v, i) => [names[i], v])))
      .filter((p) => p.dataset === 'stereo');
    // The workspace starts with auto-drive on and the markers shown.
    const session = ['start stereo_left.tif stereo_right.tif', 'graphics on', 'autodrive on', 'open stereo_te.txt'];
    for (const point of points) {
      // In the zoomed pane; where the reference is wrong (S07), the target
      // lies outside it and is clicked in the main pane.
      for (const [image, x, y] of [['left', point.true_left_x, point.true_left_y],
        ['right', point.true_right_x, point.true_right_y]]) {
        let pane = `${image} zoom`;
        let at = await onScreen(page, pane, Number(x), Number(y));
        if (!at.inside) at = await onScreen(page, (pane = `${image} main`), Number(x), Number(y));
        assert.ok(at.inside, `${point.id} is in sight in the ${image} image`);
        await page.mouse.click(at.x, at.y);
        await settled(page);
        const recorded = (await call(server, 'GET', '/api/session')).text.trim().split('\n').pop();
        assert.match(recorded, new RegExp(`^click ${pane} `));
        session.push(recorded);
      }
      await page.keyboard.press('Enter');
      await settled(page);
      session.push('accept');
    }
    const table = (await view(page)).table;
    assert.equal(table.rowCount, points.length);
    assert.ok(table.rows.every((r) => r.cells[17] !== ''), 'every row measured');
    await page.click('#report');
    await chooseFile(page, 'reports/page.txt');
    await settled(page);

    session.push('report reports/batch.txt');
    await writeFile(path.join(dir, 'three.session'), session.join('\n') + '\n');
    await run(zotHost, ['run', path.join(dir, 'three.session')]);
    const written = await readFile(path.join(dir, 'reports/page.txt'));
    assert.ok(written.length > 0);
    assert.deepEqual(written, await readFile(path.join(dir, 'reports/batch.txt')));
    assert.deepEqual(problems, [], 'the page raised no error');
  } finally {
    await page.context().close();
    await server.stop();
  }
});
