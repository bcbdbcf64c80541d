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
// The marker's centre is p itself, to a fraction of a screen pixel.
export function drawMarker(g, p, kind, colour, label) {
  const { x, y } = p;
  const path = () => {
    g.beginPath();
    if (kind === 'T&E') {
      g.rect(x - 6, y - 6, 12, 12);
    } else if (kind === 'pick') {
      g.moveTo(x - 7, y);
      g.lineTo(x - 2, y);
      g.moveTo(x + 2, y);
      g.lineTo(x + 7, y);
      g.moveTo(x, y - 7);
      g.lineTo(x, y - 2);
      g.moveTo(x, y + 2);
      g.lineTo(x, y + 7);
    } else {
      g.moveTo(x - 6, y - 6);
      g.lineTo(x + 6, y + 6);
      g.moveTo(x + 6, y - 6);
      g.lineTo(x - 6, y + 6);
    }
  };
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
    const lx = x + 9;
    const ly = kind === 'T&E' ? y - 8 : y + 16;
    g.lineWidth = 3;
    g.strokeStyle = 'rgba(0, 0, 0, 0.85)';
    g.strokeText(label, lx, ly);
    g.fillStyle = colour;
    g.fillText(label, lx, ly);
  }
}
