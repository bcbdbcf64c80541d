// The contrast of an image as the analyst sets it: a stretch (which values are
// shown black and white) and brightness, contrast and gamma on top, turned
// into the tile request's parameters from the image's band statistics (GET
// /api/statistics/IMAGE), and kept per image file in the browser's storage.
// Pure: no page, no requests.

export const STRETCHES = [
  { id: 'percent', label: '2–98 % percentiles' },
  { id: 'minmax', label: 'Min–max' },
  { id: 'meanstd', label: 'Mean ± 2 std. dev.' },
  { id: 'manual', label: 'Limits typed' },
];

// The factors a slider step spans: contrast and gamma from 1/4 to 4.
const FACTOR_RANGE = 4;

export function defaultContrast() {
  return { stretch: 'percent', low: null, high: null, brightness: 0, contrast: 1, gamma: 1 };
}

export function isDefault(setting) {
  const d = defaultContrast();
  return ['stretch', 'brightness', 'contrast', 'gamma'].every((key) => setting[key] === d[key]);
}

const clamp = (v, lo, hi) => Math.min(hi, Math.max(lo, v));
const finite = (v, otherwise) => (typeof v === 'number' && Number.isFinite(v) ? v : otherwise);

// A setting read from storage or typed, with every value in its range.
export function normalise(setting) {
  const d = defaultContrast();
  const s = setting && typeof setting === 'object' ? setting : {};
  const low = finite(s.low, null);
  const high = finite(s.high, null);
  return {
    stretch: STRETCHES.some((x) => x.id === s.stretch) ? s.stretch : d.stretch,
    low,
    high,
    brightness: clamp(finite(s.brightness, 0), -1, 1),
    contrast: clamp(finite(s.contrast, 1), 1 / FACTOR_RANGE, FACTOR_RANGE),
    gamma: clamp(finite(s.gamma, 1), 1 / FACTOR_RANGE, FACTOR_RANGE),
  };
}

// A factor (contrast, gamma) as a slider position from -100 to 100, and back.
export const sliderOf = (factor) => Math.round((100 * Math.log(factor)) / Math.log(FACTOR_RANGE));
export const factorOf = (slider) => +Math.pow(FACTOR_RANGE, slider / 100).toFixed(3);

// The values shown black and white, per band: [[lo, hi], ...]; a band whose
// stretch leaves no range keeps the server's own.
export function limits(stats, setting) {
  return stats.bands.map((band) => {
    let range = band.stretch;
    if (setting.stretch === 'minmax') range = [band.min, band.max];
    if (setting.stretch === 'meanstd')
      range = [Math.max(band.min, band.mean - 2 * band.stdDev), Math.min(band.max, band.mean + 2 * band.stdDev)];
    if (setting.stretch === 'manual' && setting.low !== null && setting.high !== null) range = [setting.low, setting.high];
    return range[0] < range[1] ? range : band.stretch;
  });
}

const short = (v) => String(+v.toPrecision(9));

// The tile request's contrast parameters ('&stretch=...&gamma=...'), '' for
// the tiles as the server draws them; null stats: only the factors.
export function tileQuery(stats, setting) {
  const parts = [];
  if (stats && setting.stretch !== 'percent') {
    const ranges = limits(stats, setting);
    const own = ranges.every((r, i) => r === stats.bands[i].stretch);
    if (!own) parts.push(`stretch=${ranges.map((r) => r.map(short).join(',')).join(',')}`);
  }
  if (setting.gamma !== 1) parts.push(`gamma=${setting.gamma}`);
  if (setting.contrast !== 1) parts.push(`contrast=${setting.contrast}`);
  if (setting.brightness !== 0) parts.push(`brightness=${setting.brightness}`);
  return parts.map((p) => `&${p}`).join('');
}

// The limits a typed stretch starts from: the ones shown now (first band).
export function typedStart(stats, setting) {
  if (setting.low !== null && setting.high !== null) return setting;
  const [low, high] = stats ? limits(stats, setting)[0] : [0, 255];
  return { ...setting, low: +low.toPrecision(6), high: +high.toPrecision(6) };
}

// Reads a typed limit; null when it is no number or the pair is not ordered.
export function typedLimits(lowText, highText) {
  const low = Number(lowText);
  const high = Number(highText);
  if (lowText.trim() === '' || highText.trim() === '' || !Number.isFinite(low) || !Number.isFinite(high)) return null;
  return low < high ? { low, high } : null;
}

const KEY = 'zot-contrast:';

export function loadContrast(storage, file) {
  try {
    return normalise(JSON.parse(storage.getItem(KEY + file) || 'null'));
  } catch {
    return defaultContrast();
  }
}

export function saveContrast(storage, file, setting) {
  try {
    if (isDefault(setting)) storage.removeItem(KEY + file);
    else storage.setItem(KEY + file, JSON.stringify(setting));
  } catch {
    // storage full or refused: the setting lasts until the page is left
  }
}

// A band's histogram as bar heights from 0 to 1 (square root, so that small
// counts still show), and where value v lies across it, 0 to 1.
export function histogramBars(band) {
  const top = Math.max(1, ...band.counts);
  return band.counts.map((c) => Math.sqrt(c / top));
}
export function across(band, v) {
  return band.to > band.from ? clamp((v - band.from) / (band.to - band.from), 0, 1) : 0.5;
}
