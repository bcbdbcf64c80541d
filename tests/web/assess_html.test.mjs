// The assessment page in a real browser: zot-host assess writes it from a
// fixture report (the sample stereo pair's condensed report in feet), Chromium
// opens it in a light and a dark scheme and for print, with no console error,
// no page error and no request beyond the file itself. Screenshots are kept in
// the build folder (ZOT_BUILD_DIR, default build/) as artefacts.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';
import { buildDir as build } from './harness.mjs';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const fixture = path.join(root, 'tests/data/assess/stereo_feet.csv');

test('the assessment page renders in light, dark and print without an error', async (t) => {
  const folder = mkdtempSync(path.join(tmpdir(), 'zot-assess-'));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  const page = path.join(folder, 'assessment.html');
  const summary = execFileSync(path.join(build, 'zot-host'), ['assess', fixture, '--html', page], {
    encoding: 'utf8',
  });
  assert.match(summary, /\nFlagged: S07/);

  const browser = await chromium.launch({ executablePath: '/usr/bin/chromium' });
  t.after(() => browser.close());
  const backgrounds = {};
  for (const colorScheme of ['light', 'dark']) {
    const context = await browser.newContext({ colorScheme, viewport: { width: 1200, height: 1600 } });
    const tab = await context.newPage();
    const problems = [];
    tab.on('console', (message) => {
      if (message.type() === 'error') problems.push(`console: ${message.text()}`);
    });
    tab.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
    tab.on('request', (request) => {
      if (!request.url().startsWith('file:')) problems.push(`request: ${request.url()}`);
    });
    await tab.goto(pathToFileURL(page).href);

    // Three plots, each drawn with something in it and a title for readers.
    const plots = await tab.$$eval('svg.za-plot', (svgs) =>
      svgs.map((svg) => ({
        width: svg.getBoundingClientRect().width,
        marks: svg.querySelectorAll('line, circle, ellipse, rect, path').length,
        title: svg.querySelector('title')?.textContent ?? '',
      })),
    );
    assert.equal(plots.length, 5);  // vectors, HE and VE histograms, scatter, Q-Q
    for (const plot of plots) {
      assert.ok(plot.width > 300, `plot ${plot.title} is ${plot.width} px wide`);
      assert.ok(plot.marks > 5, `plot ${plot.title} draws ${plot.marks} marks`);
      assert.ok(plot.title.length > 10);
    }
    assert.equal(await tab.locator('tr.flagged').count(), 1);
    assert.match(await tab.locator('.statement').first().innerText(), /NSSDA/);

    // Text stands out from the page in either scheme.
    const colours = await tab.evaluate(() => {
      const style = getComputedStyle(document.body);
      return { background: style.backgroundColor, text: style.color };
    });
    assert.notEqual(colours.background, colours.text);
    backgrounds[colorScheme] = colours.background;
    await tab.screenshot({ path: path.join(build, `assess-html-${colorScheme}.png`), fullPage: true });

    // Print: black text on white, whatever the scheme.
    await tab.emulateMedia({ media: 'print' });
    const printed = await tab.evaluate(() => {
      const style = getComputedStyle(document.body);
      return { background: style.backgroundColor, text: style.color };
    });
    assert.deepEqual(printed, { background: 'rgb(255, 255, 255)', text: 'rgb(0, 0, 0)' });
    assert.deepEqual(problems, []);
    await context.close();
  }
  assert.notEqual(backgrounds.light, backgrounds.dark);
});
