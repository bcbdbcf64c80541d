// Shared by the browser tests: the built programs, a workspace server started
// on a free loopback port, and Debian's chromium driven by playwright-core
// (which never downloads a browser of its own).
import { spawn, execFile } from 'node:child_process';
import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const sourceDir = path.resolve(here, '../..');
export const buildDir = process.env.ZOT_BUILD_DIR || path.join(sourceDir, 'build');
export const zotHost = path.join(buildDir, 'zot-host');
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
      const found = output.match(/(http:\/\/[^\s/]+)\/\?token=([0-9a-f]+)/);
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
