// How the panes draw: a marker's shape by its kind, colours from the
// tool's 0-1 components, and the magnification as the pane's head shows it.
// drawMarker draws on a canvas context; the others are pure.

export function zoomText(zoom) {
  const factor = Math.pow(2, zoom);
  return factor >= 1 ? `${+factor.toFixed(factor < 10 ? 2 : 1)}×` : `1:${+(1 / factor).toFixed(1)}`;
}

export function rgb(colour) {
  const c = colour.map((v) => Math.round(Math.max(0, Math.min(1, v)) * 255));
  return `rgb(${c[0]}, ${c[1]}, ${c[2]})`;
}

// Each kind its own shape: a T&E point an open square, a measurement a
// diagonal cross, a pending pick an upright cross; each drawn over a dark halo
// so it shows on bright and dark ground alike.
// The current point's markers (current) stand out: a wide light halo and a
// larger, bold label. The marker's centre is p itself, to a fraction of a
// screen pixel.
// A cross with an open centre at (x, y), added to g's path: the pick's mark.
export function crossPath(g, x, y) {
  for (const [dx, dy] of [[1, 0], [-1, 0], [0, 1], [0, -1]]) {
    g.moveTo(x + 2 * dx, y + 2 * dy);
    g.lineTo(x + 7 * dx, y + 7 * dy);
  }
}

// Text over a dark halo, so that it reads on bright and dark ground alike.
export function haloText(g, text, x, y, colour) {
  g.lineWidth = 3;
  g.strokeStyle = 'rgba(0, 0, 0, 0.85)';
  g.strokeText(text, x, y);
  g.fillStyle = colour;
  g.fillText(text, x, y);
}

export function drawMarker(g, p, kind, colour, label, current = false) {
  const { x, y } = p;
  const path = () => {
    g.beginPath();
    if (kind === 'T&E') {
      g.rect(x - 6, y - 6, 12, 12);
    } else if (kind === 'pick') {
      crossPath(g, x, y);
    } else {
      g.moveTo(x - 6, y - 6);
      g.lineTo(x + 6, y + 6);
      g.moveTo(x + 6, y - 6);
      g.lineTo(x - 6, y + 6);
    }
  };
  if (current) {
    g.beginPath();
    g.arc(x, y, 13, 0, 2 * Math.PI);
    g.strokeStyle = 'rgba(255, 255, 255, 0.9)';
    g.lineWidth = 5;
    g.stroke();
    g.strokeStyle = 'rgba(0, 0, 0, 0.9)';
    g.lineWidth = 1.5;
    g.stroke();
  }
  if (kind === 'pick') {
    // A light rim round the dark halo, so that a pick shows on white too.
    path();
    g.strokeStyle = 'rgba(255, 255, 255, 0.9)';
    g.lineWidth = 6;
    g.stroke();
  }
  path();
  g.strokeStyle = 'rgba(0, 0, 0, 0.85)';
  g.lineWidth = 4;
  g.stroke();
  path();
  g.strokeStyle = colour;
  g.lineWidth = 2;
  g.stroke();
  if (kind === 'pick') {
    g.fillStyle = colour;
    g.fillRect(x - 0.5, y - 0.5, 1, 1);
  }
  if (label) {
    const font = g.font;
    if (current) g.font = `bold 16px ${font.replace(/^.*?px\s*/, '')}`;
    const lx = x + (current ? 15 : 9);
    const ly = kind === 'T&E' ? y - (current ? 12 : 8) : y + (current ? 22 : 16);
    haloText(g, label, lx, ly, colour);
    g.font = font;
  }
}

// A pane's count of the picks the tool holds for it, or nothing.
export const picksText = (count) => (count ? `${count} ${count === 1 ? 'pick' : 'picks'} pending` : '');
