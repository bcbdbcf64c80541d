// Screen and file positions of a pane: a click records the file position
// under the centre of the screen pixel the pointer is on, at any scale.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { clickedFile, fileToScreen, paneView, screenToFile } from '../../../ui/web/pick_geometry.js';

const near = (actual, expected, what) =>
  assert.ok(Math.abs(actual - expected) < 1e-9, `${what}: ${actual}, expected ${expected}`);

test('a click records the file position under the pointer pixel centre', () => {
  const cases = [
    // [origin, scale, pane left/top, client x/y, device ratio, expected file x/y]
    { o: [893, 559], s: 1, at: [100, 50], c: [100, 50], r: 1, want: [893.5, 559.5] }, // 1x: a pixel's centre
    { o: [893, 559], s: 1, at: [100, 50], c: [100.9, 50.2], r: 1, want: [893.5, 559.5] }, // anywhere in it
    { o: [10, 20], s: 2, at: [0, 0], c: [3, 5], r: 1, want: [11.75, 22.75] },
    { o: [10, 20], s: 2, at: [0, 0], c: [3, 5], r: 2, want: [11.625, 22.625] }, // smaller device pixels
    { o: [0, 0], s: 16, at: [0.25, 450.75], c: [16, 466], r: 1, want: [(16.5 - 0.25) / 16, (466.5 - 450.75) / 16] },
    { o: [100.3, 7.1], s: 3.39, at: [10, 10], c: [57, 91], r: 1, want: [100.3 + 47.5 / 3.39, 7.1 + 81.5 / 3.39] },
  ];
  for (const { o, s, at, c, r, want } of cases) {
    const p = clickedFile(paneView(o[0], o[1], s), c[0], c[1], at[0], at[1], r);
    near(p.x, want[0], `x at ${s}x`);
    near(p.y, want[1], `y at ${s}x`);
  }
});

test('screen and file positions convert both ways; a scale must be positive', () => {
  for (const scale of [0.25, 1, 3.39, 16, 128]) {
    const view = paneView(412.37, 88.002, scale);
    const s = fileToScreen(view, 500.125, 91.5);
    const back = screenToFile(view, s.x, s.y);
    near(back.x, 500.125, 'x');
    near(back.y, 91.5, 'y');
  }
  assert.throws(() => paneView(0, 0, 0), RangeError);
});
