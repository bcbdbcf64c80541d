// The stereo aids' pure parts: the epipolar curve and its ticks on a pane's
// screen, the proposal's label, the red/cyan view of the two resampled
// windows, and the floating mark's height steps and positions. No DOM, no I/O.

import { fileToScreen } from './pick_geometry.js';

// The curve on a pane's screen: its polyline, a short stroke across it at
// each tick (tickLength screen pixels), and the predicted point, or null.
export function curveOnScreen(view, prediction, tickLength = 8) {
  const line = prediction.points.map((p) => fileToScreen(view, p.x, p.y));
  const ticks = [];
  prediction.points.forEach((p, i) => {
    if (!p.tick || line.length < 2) return;
    const a = line[Math.max(0, i - 1)], b = line[Math.min(line.length - 1, i + 1)];
    const length = Math.hypot(b.x - a.x, b.y - a.y) || 1;
    const nx = (-(b.y - a.y) / length) * (tickLength / 2), ny = ((b.x - a.x) / length) * (tickLength / 2);
    const c = line[i];
    ticks.push({ from: { x: c.x - nx, y: c.y - ny }, to: { x: c.x + nx, y: c.y + ny }, height: p.height });
  });
  const q = prediction.predicted;
  return { line, ticks, predicted: q ? { ...fileToScreen(view, q.x, q.y), height: q.height } : null };
}

// What the candidate marker says beside it.
export function proposalLabel(proposal) {
  const text = `r ${proposal.coefficient.toFixed(3)} · ${proposal.height.toFixed(2)} m`;
  return proposal.doubtful ? `${text} · doubtful: ${proposal.doubt}` : text;
}

// The bytes of a base64 text.
export function decodeGrey(text) {
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

// RGBA pixels of the red/cyan view: the left window in red, the right one in
// green and blue.
export function anaglyph(left, right) {
  if (left.length !== right.length) throw new RangeError('the two windows differ in size');
  const rgba = new Uint8ClampedArray(left.length * 4);
  for (let i = 0; i < left.length; ++i) {
    rgba[4 * i] = left[i];
    rgba[4 * i + 1] = right[i];
    rgba[4 * i + 2] = right[i];
    rgba[4 * i + 3] = 255;
  }
  return rgba;
}

// The floating mark: its height starts at the view's centre height and moves
// in steps of a tenth of a ground pixel; Shift+wheel doubles or halves the
// step (a thousandth to ten ground pixels).
export function markStart(frame) {
  return { height: frame.height, step: frame.groundPixel / 10 };
}

export function markWheel(mark, frame, up, shift) {
  if (shift) {
    const step = Math.min(frame.groundPixel * 10, Math.max(frame.groundPixel / 1000, up ? mark.step * 2 : mark.step / 2));
    return { ...mark, step };
  }
  return { ...mark, height: mark.height + (up ? mark.step : -mark.step) };
}

// Where each window shows a mark at frame position (u, v) and its height:
// frame pixels, [left, right], moved from (u, v) by the height above the
// view's centre (the affine frame's own approximation, for drawing; the
// picks a click makes are worked out by the server).
export function markInWindows(frame, u, v, height) {
  const dh = height - frame.height;
  return frame.shiftPerMeter.map(([du, dv]) => ({ u: u + dh * du, v: v + dh * dv }));
}

// The file position a frame position shows in image i (the affine frame).
export function frameToFile(frame, i, u, v) {
  const a = frame.toFile[i];
  return { x: a[0] + u * a[1] + v * a[2], y: a[3] + u * a[4] + v * a[5] };
}
