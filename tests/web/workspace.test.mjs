// The measuring workspace in real Chromium: the sample stereo pair measured by
// clicking, checked against the sample session's own figures, its report and
// recorded session replayed byte for byte; mono; editing the table; a failed
// open; the report question on closing; recovery when the server is stopped.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdir, readFile, rename, writeFile } from 'node:fs/promises';
import path from 'node:path';
import {
  artefactDir, chooseFile, clickImage, labels, launchBrowser, openWorkspace, removeDir, run, sampleData,
  settled, startServer, startTool, tempDir, view, zotHost,
} from './harness.mjs';

let browser;
let sample; // the sample data, written once; each test works on a copy

before(async () => {
  browser = await launchBrowser();
  sample = await tempDir();
  await sampleData(sample);
  await mkdir(artefactDir, { recursive: true });
});
after(async () => {
  await browser?.close();
  await removeDir(sample);
});

async function workspaceCopy() {
  const dir = await tempDir();
  await run('cp', ['-r', `${sample}/.`, dir]);
  return dir;
}

// Runs work on a page of a server over a copy of the sample data, started
// with args (a session file's name, relative to the copy, becomes its path).
async function inWorkspace({ session, files = {} }, work) {
  const dir = await workspaceCopy();
  for (const [name, text] of Object.entries(files)) await writeFile(path.join(dir, name), text);
  const server = await startServer(session ? [path.join(dir, session)] : ['--root', dir]);
  const { page, problems } = await openWorkspace(browser, server);
  try {
    await work({ dir, server, page });
    assert.deepEqual(problems, [], 'the page raised no error');
  } finally {
    await page.context().close();
    await server.stop();
    await removeDir(dir);
  }
}

async function openTE(page, file) {
  await page.click('#te-open');
  await chooseFile(page, file);
  await settled(page);
}

function csv(text) {
  const [head, ...lines] = text.trim().split('\n');
  const names = head.split(',');
  return lines.map((line) => Object.fromEntries(line.split(',').map((v, i) => [names[i], v])));
}

// The sample's truth: its reference points of one data set, with their picks.
async function truth(dir, dataset) {
  return csv(await readFile(path.join(dir, 'truth/points.csv'), 'utf8')).filter((p) => p.dataset === dataset);
}

// A mono tool on the sample orthoimage with its points, before the page opens.
const MONO = {
  session: 'start.session',
  files: { 'start.session': 'start ortho_geographic.tif\nopen geographic_te.txt\n' },
};

const picks = (text) => (text ? text.split(';').map((p) => p.split(' ').map(Number)) : []);

// The statistic of a report line that starts with prefix.
function statistic(report, prefix) {
  const line = report.split(/\r?\n/).find((l) => l.startsWith(prefix));
  return Number(line.slice(line.lastIndexOf(':') + 1));
}

test('the sample stereo pair clicked gives the sample figures; its session replays to the same report', async () => {
  await inWorkspace({}, async ({ dir, page }) => {
    await startTool(page, 'stereo_left.tif', 'stereo_right.tif');
    await openTE(page, 'stereo_te.txt');
    await page.click('#graphics button[data-on="true"]');
    await page.click('#autodrive button[data-on="true"]');
    await settled(page);

    const points = await truth(dir, 'stereo');
    for (const point of points) {
      for (const [x, y] of picks(point.left_picks)) await clickImage(page, 'left zoom', x, y, 7);
      for (const [x, y] of picks(point.right_picks)) await clickImage(page, 'right zoom', x, y, 7);
      await page.keyboard.press('Enter');
      await settled(page);
    }
    await page.screenshot({ path: path.join(artefactDir, 'workspace-stereo.png') });

    // The same measurements made by the sample session through zot-host run.
    await run(zotHost, ['run', path.join(sample, 'stereo.session')]);
    const expected = await readFile(path.join(sample, 'reports/stereo.txt'), 'utf8');
    const shown = await labels(page);
    // Clicks land within 1/128 pixel of the sample's picks.
    const near = (label, prefix) =>
      assert.ok(Math.abs(Number(shown[label]) - statistic(expected, prefix)) < 0.01,
        `${label}: ${shown[label]}, the session's ${statistic(expected, prefix)}`);
    near('avgce', 'Mean horizontal error');
    near('avgle', 'Mean elevation error');
    near('ce90', '90% Circular Error (T&E and mensuration error included)');
    near('le90', '90% Linear Error (T&E and mensuration error included)');
    const table = (await view(page)).table;
    assert.equal(table.rowCount, points.length);
    assert.ok(table.rows.every((r) => r.cells[17] !== ''), 'every row measured');

    await page.click('#report');
    await chooseFile(page, 'reports/browser.txt');
    await settled(page);
    const written = await readFile(path.join(dir, 'reports/browser.txt'));
    assert.match(written.toString(), /^ZOT Report for stereo_left.tif and stereo_right.tif/);
    // Its link under "Files written" downloads it (fetched with the token).
    const [report] = await Promise.all([
      page.waitForEvent('download'),
      page.click('#files-written a:text-is("reports/browser.txt")'),
    ]);
    assert.equal(report.suggestedFilename(), 'browser.txt');
    assert.deepEqual(await readFile(await report.path()), written);

    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download-session')]);
    const session = path.join(dir, 'replay.session');
    await download.saveAs(session);
    await rename(path.join(dir, 'reports/browser.txt'), path.join(dir, 'reports/browser-page.txt'));
    await run(zotHost, ['run', session]);
    assert.deepEqual(await readFile(path.join(dir, 'reports/browser.txt')), written);
  });
});

test('mono: main and zoomed panes side by side, a pick shows at once, an accept measures the point', async () => {
  await inWorkspace({}, async ({ dir, page }) => {
    // The token left the address bar, and no cookie carries it to other servers.
    assert.equal(new URL(page.url()).hash, '');
    assert.deepEqual(await page.context().cookies(), []);
    await startTool(page, 'ortho_geographic.tif');
    await openTE(page, 'geographic_te.txt');
    assert.equal(await page.getAttribute('#panes', 'class'), 'mono');
    const panes = await page.$$eval('.pane', (elements) => elements.map((p) => p.dataset.pane));
    assert.deepEqual(panes, ['left main', 'left zoom']);
    const [x, y] = picks((await truth(dir, 'geographic'))[0].left_picks)[0];
    await clickImage(page, 'left zoom', x, y);
    assert.equal((await labels(page)).leftcount, '1');
    assert.match(await page.textContent('.pane[data-pane="left zoom"] .picks'), /1 pick pending/);
    await page.keyboard.press('Enter');
    await settled(page);
    const after = await view(page);
    assert.equal(after.table.currentRow, 1);
    assert.notEqual(after.table.rows[0].cells[9], '');
    assert.equal((await labels(page)).leftcount, '0');
    await page.screenshot({ path: path.join(artefactDir, 'workspace-mono.png') });
  });
});

test('the assessment follows every accept, edit and clear; a flagged point leads to its row; its PDF and producer verdict', async () => {
  await inWorkspace(MONO, async ({ dir, page }) => {
    const panel = (selector) => page.textContent(`#assessment ${selector}`);
    assert.equal(await page.isVisible('#assessment'), true);
    assert.match(await panel('.empty'), /No measured points yet/);
    const points = await truth(dir, 'geographic');
    for (const [i, point] of points.entries()) {
      for (const [x, y] of picks(point.left_picks)) await clickImage(page, 'left zoom', x, y, 7);
      await page.keyboard.press('Enter');
      await settled(page);
      assert.equal(await page.getAttribute('#assessment', 'data-measured'), String(i + 1), `after accept ${i + 1}`);
    }
    assert.match(await panel('.figures th:nth-child(2)'), /^All 10$/);
    assert.match(await panel('.figures tr[data-figure="rmse_r"]'), /RMSEr\s*\d+\.\d{3}/);
    assert.equal(await page.locator('#assessment .plots figure svg').count(), 4, 'no VE histogram for mono');
    assert.equal(await page.isVisible('#assessment .tabs button[data-plot="verticalHistogram"]'), false);
    assert.match(await panel('.flagged button'), /^G06 · HE/);
    // A thumbnail's labels are not drawn a few pixels high; enlarged they are.
    assert.equal(await page.locator('#assessment figure[data-plot="vectorMap"] svg text').first().isVisible(), false);
    await page.click('#assessment .tabs button[data-plot="qq"]');
    assert.equal(await page.isVisible('#assessment figure[data-plot="qq"] svg'), true);
    await page.click('#assessment figure[data-plot="qq"]');
    assert.equal(await page.locator('#plot-dialog svg text').first().isVisible(), true);
    await page.keyboard.press('Escape');
    await page.waitForSelector('#plot-dialog', { state: 'hidden' });
    await page.screenshot({ path: path.join(artefactDir, 'workspace-assessment.png') });
    await page.locator('#assessment').screenshot({ path: path.join(artefactDir, 'assessment-panel.png') });
    await page.click('#assessment .tabs button[data-plot="scatter"]');
    await page.click('#assessment figure[data-plot="scatter"]');
    await page.screenshot({ path: path.join(artefactDir, 'assessment-plot.png') });
    await page.keyboard.press('Escape');
    await page.waitForSelector('#plot-dialog', { state: 'hidden' });
    // The dialog's close event comes a moment after it hides.
    await page.waitForSelector('#assessment figure[data-plot="scatter"] svg', { state: 'attached' });
    assert.equal(await page.locator('#assessment figure[data-plot="scatter"] svg').count(), 1, 'back in its place');

    const row = Number(await page.getAttribute('#assessment .flagged button', 'data-row'));
    const id = page.locator(`.row[data-row="${row}"] .cell[data-column="1"]`);
    await id.dblclick();
    await page.keyboard.press('Control+A');
    await page.keyboard.type('G06-bad');
    await page.keyboard.press('Enter');
    await settled(page);
    assert.match(await panel('.flagged button'), /^G06-bad · HE/, 'an edit shows');

    await page.click('#assessment .flagged button');
    await settled(page);
    assert.equal((await view(page)).table.currentRow, row, 'the flagged point is the current one');
    await page.click('#clear');
    await settled(page);
    assert.match(await panel('.figures th:nth-child(2)'), /^All 9$/);
    assert.match(await panel('.flagged'), /No point flagged/);

    // Producer mode: a 1 cm class fails, with its checks; empty is a tester's statement again.
    assert.equal(await page.isVisible('#assessment .producer'), false);
    await page.fill('#asprs-class-h', '1');
    await page.press('#asprs-class-h', 'Tab');
    await page.waitForSelector('#assessment .producer .verdict');
    assert.equal(await panel('.producer .verdict'), 'FAILED');
    assert.ok(await page.locator('#assessment .producer li').count() > 0);
    await page.locator('#assessment').screenshot({ path: path.join(artefactDir, 'assessment-producer.png') });

    // The PDF goes into the folder, shows among the files written, and is not written over unasked.
    await page.click('#assessment button.pdf');
    await chooseFile(page, 'deliverable.pdf');
    await page.waitForSelector('#files-written :text("deliverable.pdf")');
    assert.match(await readFile(path.join(dir, 'deliverable.pdf'), 'latin1'), /^%PDF-/);
    assert.match(await panel('.message'), /Wrote deliverable\.pdf/);
    await page.click('#assessment button.pdf');
    await page.fill('#file-name', 'deliverable.pdf');
    await page.click('#file-ok');
    await page.waitForSelector('#question-dialog[open]');
    assert.equal(await page.textContent('#question-text'), 'Replace deliverable.pdf?');
    await page.click('#question-buttons button:has-text("No")');
    await page.click('#file-cancel');
  });
});

test('table editing: a value typed in feet is kept as feet, rows are added, inserted and deleted', async () => {
  await inWorkspace(MONO, async ({ page }) => {
      await page.click('#units button[data-units="feet"]');
      await settled(page);
      const cell = page.locator('.row[data-row="1"] .cell[data-column="4"]');
      await cell.dblclick();
      await page.keyboard.type('100');
      await page.keyboard.press('Enter');
      await settled(page);
      assert.equal(await cell.textContent(), '100.000');
      await page.click('#units button[data-units="meters"]');
      await settled(page);
      assert.equal(await cell.textContent(), '30.480');

      const rows = (await view(page)).table.rowCount;
      await page.click('#addrow');
      await settled(page);
      await page.locator('.row[data-row="2"]').click();
      await settled(page);
      await page.click('#insert-above');
      await settled(page);
      assert.equal((await view(page)).table.rowCount, rows + 2);
      assert.equal((await view(page)).table.currentRow, 3, 'the current point moved down with the insert');
      await page.locator('.row[data-row="0"]').click({ modifiers: ['Control'] });
      await settled(page);
      assert.deepEqual((await view(page)).table.selected, [0]);
      await page.click('#delete-rows');
      await settled(page);
      assert.equal((await view(page)).table.rowCount, rows + 1);
    });
});

test('a failed open shows the error chain and keeps the points', async () => {
  await inWorkspace({ ...MONO, files: { ...MONO.files, 'broken.txt': 'P1\t46\t7\n' } }, async ({ page }) => {
      const rows = (await view(page)).table.rowCount;
      await openTE(page, 'broken.txt');
      const error = await page.textContent('#log-list li.error');
      assert.match(error, /open failed/);
      assert.match(error, /Incorrect format for T&E File\./);
      assert.equal((await view(page)).table.rowCount, rows);

      // Under the panes: the sentence, the chain behind "details", until dismissed.
      const shown = page.locator('#status .status-error');
      assert.equal(await shown.locator('.sentence').textContent(), 'Incorrect format for T&E File.');
      assert.equal(await shown.locator('.chain').isVisible(), false);
      await shown.locator('button.details').click();
      assert.match(await shown.locator('.chain').textContent(), /::processLine \(line 1\).*\n.*2 TABs/);
      await page.click('#report');
      await chooseFile(page, 'status.txt');
      await settled(page);
      assert.equal(await shown.count(), 1, 'the error stays after another action');
      const written = page.locator('#status .status-last');
      assert.match(await written.textContent(), /Written: status\.txt/);
      assert.match(await written.locator('a').first().getAttribute('href'), /status\.txt/);
      await page.screenshot({ path: path.join(artefactDir, 'workspace-status.png') });
      await shown.locator('button.dismiss').click();
      assert.equal(await shown.count(), 0);

      await page.click('#close');
      await settled(page);
      await startTool(page, 'ortho_geographic.tif');
      const after = (await page.locator('#status').textContent()) + (await page.locator('#log-list').textContent());
      assert.doesNotMatch(after, /Incorrect format|status\.txt/, 'a new tool starts without the old messages');
      assert.equal(await page.locator('#log-list li.error').count(), 0);
    });
});

test('closing with results not reported asks about the report in a dialog, then for its file', async () => {
  await inWorkspace(MONO, async ({ dir, page }) => {
      assert.equal((await view(page)).table.rowCount, 10, 'the session ran before the page took over');
      const [x, y] = picks((await truth(dir, 'geographic'))[0].left_picks)[0];
      await clickImage(page, 'left zoom', x, y);
      await page.click('#accept');
      await settled(page);
      await page.click('#close');
      await page.waitForSelector('#question-dialog[open]');
      assert.equal(await page.textContent('#question-text'), 'Would you like to create a report?');
      await page.screenshot({ path: path.join(artefactDir, 'workspace-question.png') });
      await page.click('#question-buttons button:has-text("Yes")');
      await chooseFile(page, 'reports/closing.txt');
      await settled(page);
      assert.equal((await view(page)).toolsOpen, 0);
      const report = await readFile(path.join(dir, 'reports/closing.txt'), 'utf8');
      assert.match(report, /^ZOT Report for ortho_geographic.tif/);
      assert.equal(await page.isVisible('#empty'), true, 'the page offers to start again');
    });
});

test('stopped with results not reported, the server writes a recovery report and a replayable session', async () => {
  const dir = await workspaceCopy();
  await writeFile(path.join(dir, 'start.session'), 'start stereo_left.tif stereo_right.tif\nopen stereo_te.txt\n');
  const server = await startServer([path.join(dir, 'start.session')]);
  const { page } = await openWorkspace(browser, server);
  const point = (await truth(dir, 'stereo'))[0];
  for (const [x, y] of picks(point.left_picks)) await clickImage(page, 'left zoom', x, y);
  for (const [x, y] of picks(point.right_picks)) await clickImage(page, 'right zoom', x, y);
  await page.keyboard.press('Enter');
  await settled(page);
  await page.context().close(); // closing the page loses nothing
  const stopped = await server.stop('SIGTERM');
  try {
    assert.equal(stopped.code, 0, stopped.output);
    const report = stopped.output.match(/written to (\S+)/)[1];
    const session = stopped.output.match(/zot-host run (\S+)/)[1];
    assert.match(report, /^stereo_te-recovery-\d{8}-\d{6}\.txt$/);
    const recovered = await readFile(path.join(dir, report));
    await rename(path.join(dir, report), path.join(dir, 'recovered.txt'));
    await run(zotHost, ['run', path.join(dir, session)]);
    assert.deepEqual(await readFile(path.join(dir, report)), recovered);
  } finally {
    await removeDir(dir);
  }
});

// Where a pane's centre lies in the image, and the ID its head names.
async function paneCentre(page, name) {
  return page.evaluate((n) => {
    const pane = window.zotWorkspace.state.panes.get(n);
    const c = pane.map.getCenter();
    return { x: c.lng, y: -c.lat, current: pane.element.querySelector('.current').textContent };
  }, name);
}

test('the workspace starts ready to measure and follows the current point, measured there; a pick nearer another point is questioned', async () => {
  await inWorkspace({}, async ({ dir, page }) => {
    await startTool(page, 'stereo_left.tif', 'stereo_right.tif');
    const tool = (await view(page)).tool;
    assert.equal(tool.autoDrive, true);
    assert.equal(tool.graphics, true);
    assert.equal(await page.locator('#autodrive button.on').textContent(), 'On');
    await openTE(page, 'stereo_te.txt');
    const points = await truth(dir, 'stereo');
    const [first, second, third] = points;
    const centredOn = async (point) => {
      const [x, y] = picks(point.left_picks)[0];
      const centre = await paneCentre(page, 'left zoom');
      assert.ok(Math.hypot(centre.x - x, centre.y - y) < 3, `centred near ${point.id}: ${JSON.stringify(centre)}`);
      assert.equal(centre.current, `Current point ${point.id}`);
      assert.equal((await paneCentre(page, 'right main')).current, `Current point ${point.id}`);
    };
    await centredOn(first);
    // The analyst's magnification stays when the panes are driven.
    await page.evaluate(() => window.zotWorkspace.state.panes.get('left zoom').map.setZoom(3, { animate: false }));
    await page.keyboard.press('ArrowDown');
    await settled(page);
    await centredOn(second);
    assert.equal(await page.evaluate(() => window.zotWorkspace.state.panes.get('left zoom').map.getZoom()), 3);
    await page.locator('#table-body .row').nth(2).click();
    await settled(page);
    await centredOn(third);
    await page.keyboard.press('ArrowUp');
    await settled(page);
    await centredOn(second);

    // A pick on the third point's target while the second is current.
    const [x, y] = picks(third.left_picks)[0];
    await clickImage(page, 'left main', x, y);
    await page.waitForSelector('.pane[data-pane="left main"] .pick-warning:not([hidden])');
    assert.match(await page.locator('.pane[data-pane="left main"] .pick-warning').textContent(), new RegExp(third.id));
    await page.screenshot({ path: path.join(artefactDir, 'workspace-wrong-point.png') });
    await page.keyboard.press('Enter');
    await page.waitForSelector('#question-dialog[open]');
    assert.equal(await page.locator('#question-text').textContent(),
      `Measure ${second.id} here? The nearest reference marker is ${third.id}.`);
    await page.locator('#question-buttons button', { hasText: 'No' }).click();
    await settled(page);
    const after = await view(page);
    assert.deepEqual(after.tool.pendingPicks, [1, 0], 'No keeps the pick');
    assert.equal(after.table.currentRow, 1);
    // Measured where the panes were driven: the wrong pick taken back, the
    // second point's targets clicked, accepted without a question.
    await page.keyboard.press('Escape');
    await settled(page);
    await clickImage(page, 'left main', ...picks(second.left_picks)[0]);
    await clickImage(page, 'right main', ...picks(second.right_picks)[0]);
    await page.keyboard.press('Enter');
    await settled(page);
    assert.notEqual((await view(page)).table.rows[1].cells[17], '', `${second.id} measured`);
  });
});

test('Esc removes a pending pick; Ctrl+Z and Ctrl+Y undo and redo, also after a reload; files are not replaced unasked', async () => {
  await inWorkspace(MONO, async ({ dir, page }) => {
    const [x, y] = picks((await truth(dir, 'geographic'))[0].left_picks)[0];
    const pending = async () => (await view(page)).tool.pendingPicks[0];
    const measured = async () => (await view(page)).table.rows[0].cells[9];
    const key = async (name) => {
      await page.keyboard.press(name);
      await settled(page);
    };
    await clickImage(page, 'left zoom', x, y);
    await key('Escape');
    assert.equal(await pending(), 0);
    assert.equal((await labels(page)).leftcount, '0', 'the pick shown at once is gone too');
    await clickImage(page, 'left zoom', x, y);
    await key('Enter');
    const value = await measured();
    assert.notEqual(value, '');
    await key('ArrowUp');
    await key('Backspace');
    assert.equal(await measured(), '');
    await key('Control+z');
    assert.equal(await measured(), value);

    await page.reload();
    await page.waitForFunction(() => window.zotWorkspace && window.zotWorkspace.state.reply);
    await key('Control+z');
    assert.equal(await measured(), '');
    assert.equal(await pending(), 1, 'undoing the accept gives the pick back');
    await key('Control+y');
    assert.equal(await measured(), value);

    // Writing over an existing file asks first; No keeps the file and the dialog.
    await page.click('#report');
    await page.waitForSelector('#file-dialog[open]');
    await page.fill('#file-name', 'geographic_te.txt');
    await page.click('#file-ok');
    await page.waitForSelector('#question-dialog[open]');
    assert.equal(await page.textContent('#question-text'), 'Replace geographic_te.txt?');
    await page.screenshot({ path: path.join(artefactDir, 'workspace-replace.png') });
    await page.click('#question-buttons button:has-text("No")');
    assert.ok(await page.isVisible('#file-dialog'));
    await page.click('#file-cancel');
    assert.doesNotMatch(await readFile(path.join(dir, 'geographic_te.txt'), 'utf8'), /ZOT Report/);
  });
});
