// Screen and file positions of a pane, pure. A file position (x, y) has
// (0, 0) at the top-left corner of the image's first pixel, so pixel (i, j)
// covers [i, i + 1) x [j, j + 1) and its centre is (i + 0.5, j + 0.5). A pane
// shows the image at `scale` screen pixels (CSS) per image pixel with file
// position `origin` at the top-left corner of its drawing area. A click
// records the position under the centre of the screen pixel the pointer is
// on: at 1x, a click anywhere in image pixel k records k + 0.5.

// The pane's mapping from its origin (file position at the drawing area's
// top-left corner) and its scale.
export function paneView(originX, originY, scale) {
  if (!(scale > 0)) throw new RangeError(`a pane's scale must be positive, not ${scale}`);
  return { originX, originY, scale };
}

export function screenToFile(view, sx, sy) {
  return { x: view.originX + sx / view.scale, y: view.originY + sy / view.scale };
}

export function fileToScreen(view, x, y) {
  return { x: (x - view.originX) * view.scale, y: (y - view.originY) * view.scale };
}

// The centre of the device pixel under the pointer, in CSS pixels from the
// drawing area's top-left corner (at `left`, `top` in the page), with `ratio`
// device pixels per CSS pixel.
export function pointerCentre(clientX, clientY, left, top, ratio = 1) {
  const centre = (v) => (Math.floor(v * ratio + 1e-6) + 0.5) / ratio;
  return { x: centre(clientX) - left, y: centre(clientY) - top };
}

// The file position a click at (clientX, clientY) records.
export function clickedFile(view, clientX, clientY, left, top, ratio = 1) {
  const p = pointerCentre(clientX, clientY, left, top, ratio);
  return screenToFile(view, p.x, p.y);
}
