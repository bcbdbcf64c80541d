// The stereo aids' pure parts: the curve on a pane's screen, the red/cyan
// compositing and the floating mark's steps and positions.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { paneView } from '../../../ui/web/pick_geometry.js';
import {
  anaglyph, curveOnScreen, decodeGrey, frameToFile, markInWindows, markStart, markWheel, proposalLabel,
} from '../../../ui/web/stereo_model.js';

const frame = {
  height: 300, groundPixel: 0.75, shiftPerMeter: [[0.5, 0.01], [-0.45, 0]], toFile: [[100, 1, 0, 200, 0, 1], [50, 0, -1, 60, 1, 0]],
};

test('the curve, its ticks across it and the predicted point land on the pane as the picks do', () => {
  const prediction = {
    points: [{ x: 10, y: 20, height: 0, tick: true }, { x: 30, y: 20, height: 10, tick: true }, { x: 50, y: 20, height: 15, tick: false }],
    predicted: { x: 25, y: 20, height: 7.5 },
  };
  const curve = curveOnScreen(paneView(0, 10, 2), prediction, 8);
  assert.deepEqual(curve.line, [{ x: 20, y: 20 }, { x: 60, y: 20 }, { x: 100, y: 20 }]);
  // A horizontal curve's ticks stand upright, 8 px long, centred on it; none where tick is false.
  assert.deepEqual(curve.ticks.map((t) => [t.from.y, t.to.y, t.from.x, t.height]), [[16, 24, 20, 0], [16, 24, 60, 10]]);
  assert.deepEqual(curve.predicted, { x: 50, y: 20, height: 7.5 });
  assert.equal(curveOnScreen(paneView(0, 0, 1), { ...prediction, predicted: null }).predicted, null);
});

test('a proposal says its correlation, height and doubt', () => {
  assert.equal(proposalLabel({ coefficient: 0.93456, height: 312.345, doubtful: false }), 'r 0.935 · 312.35 m');
  assert.equal(proposalLabel({ coefficient: 0.6, height: 1, doubtful: true, doubt: 'low' }), 'r 0.600 · 1.00 m · doubtful: low');
});

test('the red/cyan view puts the left window in red and the right one in green and blue', () => {
  const grey = decodeGrey(Buffer.from([0, 128, 255]).toString('base64'));
  assert.deepEqual([...grey], [0, 128, 255]);
  assert.deepEqual([...anaglyph(grey, Uint8Array.from([9, 8, 7]))], [0, 9, 9, 255, 128, 8, 8, 255, 255, 7, 7, 255]);
  assert.throws(() => anaglyph(grey, new Uint8Array(2)), RangeError);
});

test('the mark steps a tenth of a ground pixel; Shift+wheel doubles or halves the step within bounds', () => {
  let mark = markStart(frame);
  assert.deepEqual(mark, { height: 300, step: 0.075 });
  const cases = [
    // [up, shift, height, step]
    [true, false, 300.075, 0.075],
    [false, false, 300, 0.075],
    [true, true, 300, 0.15],
    [true, false, 300.15, 0.15],
    [false, true, 300.15, 0.075],
  ];
  for (const [up, shift, height, step] of cases) {
    mark = markWheel(mark, frame, up, shift);
    assert.ok(Math.abs(mark.height - height) < 1e-9 && Math.abs(mark.step - step) < 1e-12, JSON.stringify(mark));
  }
  for (let i = 0; i < 40; ++i) mark = markWheel(mark, frame, true, true);
  assert.equal(mark.step, 7.5);
  for (let i = 0; i < 40; ++i) mark = markWheel(mark, frame, false, true);
  assert.equal(mark.step, 0.00075);
});

test('the mark moves apart in the two windows with its height, and frame positions map to each file', () => {
  assert.deepEqual(markInWindows(frame, 40, 50, 300), [{ u: 40, v: 50 }, { u: 40, v: 50 }]);
  assert.deepEqual(markInWindows(frame, 40, 50, 302), [{ u: 41, v: 50.02 }, { u: 39.1, v: 50 }]);
  assert.deepEqual(frameToFile(frame, 0, 3, 4), { x: 103, y: 204 });
  assert.deepEqual(frameToFile(frame, 1, 3, 4), { x: 46, y: 63 });
});
