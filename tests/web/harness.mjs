// Shared by the browser tests: the built programs, a workspace server started
// on a free loopback port, and Debian's chromium driven by playwright-core
// (which never downloads a browser of its own).
import { spawn, execFile } from 'node:child_process';
import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import { before, after } from 'node:test';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const sourceDir = path.resolve(here, '../..');
export const buildDir = process.env.ZOT_BUILD_DIR || path.join(sourceDir, 'build');
export const zotHost = process.env.ZOT_HOST || path.join(buildDir, 'zot-host');
export const artefactDir = path.join(buildDir, 'web-artefacts');

export const run = promisify(execFile);

export async function tempDir(prefix = 'zot-web-') {
  return mkdtemp(path.join(tmpdir(), prefix));
}

export async function removeDir(dir) {
  await rm(dir, { recursive: true, force: true });
}

// Writes the sample data (images, T&E files, truth) into dir.
export async function sampleData(dir) {
  await run(path.join(buildDir, 'zot-sample-data'), [dir]);
}

// Starts `zot-host serve` on a free port; resolves once it prints its address.
// The result's stop(signal) ends it and resolves with its exit code and output.
export function startServer(args, { timeoutMs = 30000 } = {}) {
  const child = spawn(zotHost, ['serve', '--port', '0', ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
  let output = '';
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => {
      child.kill('SIGKILL');
      reject(new Error(`zot-host serve printed no address in time:\n${output}`));
    }, timeoutMs);
    const read = (chunk) => {
      output += chunk;
      const found = output.match(/(http:\/\/[^\s/]+)\/#token=([0-9a-f]+)/);
      if (!found) return;
      clearTimeout(timer);
      child.stdout.off('data', read);
      child.stdout.on('data', (more) => (output += more));
      resolve({
        url: found[0],
        origin: found[1],
        token: found[2],
        child,
        output: () => output,
        async stop(signal = 'SIGTERM') {
          if (child.exitCode === null && child.signalCode === null) child.kill(signal);
          const status = await exited;
          return { ...status, output };
        },
      });
    };
    child.stdout.on('data', read);
    child.stderr.on('data', (chunk) => (output += chunk));
    child.on('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`zot-host serve ended (${code}) before serving:\n${output}`));
    });
  });
}

export async function launchBrowser() {
  return chromium.launch({
    executablePath: process.env.ZOT_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
  });
}

// A request to the server with the token as a header; resolves with
// {status, body (parsed JSON when it is JSON), text, headers}.
export async function call(server, method, route, { body, headers = {}, token = server.token } = {}) {
  const options = { method, headers: { ...headers } };
  if (token) options.headers['X-Zot-Token'] = token;
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = typeof body === 'string' ? body : JSON.stringify(body);
  }
  const response = await fetch(server.origin + route, options);
  const text = await response.text();
  let parsed = null;
  try {
    parsed = JSON.parse(text);
  } catch {
    parsed = null;
  }
  return { status: response.status, body: parsed, text, headers: response.headers };
}

// ---- Acting in the workspace page ----

// A page showing the workspace, opened through the address with the token.
export async function openWorkspace(browser, server, viewport = { width: 1500, height: 900 }) {
  // The page's own scripts run under its Content-Security-Policy; the test's
  // probes (waitForFunction) need eval, which that policy refuses.
  const context = await browser.newContext({ viewport, acceptDownloads: true, bypassCSP: true });
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  await page.goto(server.url);
  await page.waitForFunction(() => window.zotWorkspace && window.zotWorkspace.state.reply);
  return { page, problems };
}

// Waits until every request the page queued has been answered and applied.
export async function settled(page) {
  await page.evaluate(async () => {
    let queue;
    do {
      queue = window.zotWorkspace.state.queue;
      await queue;
    } while (queue !== window.zotWorkspace.state.queue);
  });
}

// Chooses a file in the open file dialog: through its folders, then the file
// (typed, when it does not exist yet), then OK.
export async function chooseFile(page, file) {
  await page.waitForSelector('#file-dialog[open]');
  const parts = file.split('/');
  for (const folder of parts.slice(0, -1)) {
    await page.locator('#file-list li.folder', { hasText: folder }).first().click();
    await page.waitForFunction((f) => document.getElementById('file-path').textContent.endsWith(f), folder);
  }
  await page.fill('#file-name', parts[parts.length - 1]);
  await page.click('#file-ok');
  await page.waitForSelector('#file-dialog', { state: 'hidden' });
}

// Starts the tool through the start dialog.
export async function startTool(page, left, right) {
  await page.click('#start');
  await page.click('#start-pick-left');
  await chooseFile(page, left);
  if (right) {
    await page.click('#start-pick-right');
    await chooseFile(page, right);
  }
  await page.click('#start-ok');
  await settled(page);
}

// Clicks image position (x, y) in a pane ("left zoom" ...): the pane is
// centred there first (at zoom, when given), so the click lands on it to a
// fraction of a pixel: 2^-zoom.
export async function clickImage(page, pane, x, y, zoom) {
  const at = await page.evaluate(
    ([name, x, y, zoom]) => {
      const p = window.zotWorkspace.state.panes.get(name);
      p.map.setView([-y, x], zoom ?? p.map.getZoom(), { animate: false });
      const c = p.map.latLngToContainerPoint([-y, x]);
      const r = p.mapElement.getBoundingClientRect();
      return { x: r.left + c.x, y: r.top + c.y };
    },
    [pane, x, y, zoom],
  );
  await page.mouse.click(at.x, at.y);
  await settled(page);
}

// The labels as the side panel shows them, by part name.
export async function labels(page) {
  return page.evaluate(() =>
    Object.fromEntries([...document.querySelectorAll('#labels dd')].map((d) => [d.dataset.label, d.textContent])),
  );
}

// The current view as the page holds it.
export async function view(page) {
  return page.evaluate(() => window.zotWorkspace.state.reply.view);
}

// A test file's browser and sample data (written once into a temporary
// folder), made before its tests and removed after them; prepare(dir) adds to
// the folder. Read them as fixture.browser and fixture.dir inside the tests.
export function sampleFixture(prepare = async () => {}) {
  const fixture = { browser: null, dir: null };
  before(async () => {
    fixture.browser = await launchBrowser();
    fixture.dir = await tempDir();
    await sampleData(fixture.dir);
    await prepare(fixture.dir);
  });
  after(async () => {
    await fixture.browser?.close();
    await removeDir(fixture.dir);
  });
  return fixture;
}

// A server over dir and a page on it at 1400 x 900, the sample stereo pair
// started and its T&E file open: {server, page, problems}.
export async function openStereo(browser, dir) {
  const server = await startServer(['--root', dir]);
  const { page, problems } = await openWorkspace(browser, server, { width: 1400, height: 900 });
  try {
    await startTool(page, 'stereo_left.tif', 'stereo_right.tif');
    await page.click('#te-open');
    await chooseFile(page, 'stereo_te.txt');
    await settled(page);
  } catch (error) {
    await page.context().close();
    await server.stop();
    throw error;
  }
  return { server, page, problems };
}
