// The contrast controls, one block per image shown: the stretch, brightness,
// contrast and gamma, and a small histogram of the image with the values
// shown black and white marked. Each change is kept per image file (the
// browser's local storage, so it outlasts a reload) and redraws that image's
// tiles; Reset (or the 0 key over a pane) goes back to the plain stretch.

import {
  across, defaultContrast, factorOf, histogramBars, limits, loadContrast, saveContrast, sliderOf, STRETCHES,
  tileQuery, typedLimits, typedStart,
} from './contrast_model.js';
import { keyIntent } from './keys.js';

const NAMES = ['Left', 'Right'];
const BAND_COLOURS = [['#c8ccd2'], ['#ff6b6b', '#5fd35f', '#6ea8ff']];
const SLIDERS = [
  ['brightness', 'Brightness', (s) => Math.round(s.brightness * 100), (v) => v / 100, (s) => `${Math.round(s.brightness * 100)}`],
  ['contrast', 'Contrast', (s) => sliderOf(s.contrast), factorOf, (s) => `×${s.contrast.toFixed(2)}`],
  ['gamma', 'Gamma', (s) => sliderOf(s.gamma), factorOf, (s) => s.gamma.toFixed(2)],
];

export class ContrastPanel {
  // callbacks: statistics(image) -> Promise of the image's band statistics,
  // changed() when a tile query changed.
  constructor(root, storage, callbacks) {
    this.root = root;
    this.storage = storage;
    this.callbacks = callbacks;
    this.blocks = new Map(); // image -> {key, file, stats, setting, element}
  }

  // The images shown (the view's images): a block for each.
  show(images) {
    const shown = (images || []).filter((i) => i.width);
    const before = [...this.blocks.values()].map((b) => b.element);
    for (const image of [...this.blocks.keys()])
      if (!shown.some((i) => i.image === image)) {
        this.blocks.get(image).element.remove();
        this.blocks.delete(image);
      }
    for (const image of shown) {
      const key = `${image.file}|${image.revision}`;
      const block = this.blocks.get(image.image);
      if (block && block.key === key) continue;
      if (block) block.element.remove();
      this.add(image, key);
    }
    this.root.hidden = this.blocks.size === 0;
    const order = [...this.blocks.entries()].sort((a, b) => a[0] - b[0]).map(([, b]) => b.element);
    // Moved only when the blocks changed: a slider in the hand or a field
    // being typed in stays where it is.
    if (order.length !== before.length || order.some((e) => !before.includes(e)))
      this.root.replaceChildren(...(order.length ? [heading()] : []), ...order);
  }

  // The tile parameters of an image ('' for the server's own stretch).
  query(image) {
    const block = this.blocks.get(image);
    return block ? tileQuery(block.stats, block.setting) : '';
  }

  reset(image) {
    const block = this.blocks.get(image);
    if (block) this.set(block, defaultContrast());
  }

  add(image, key) {
    const element = document.createElement('details');
    element.open = true;
    element.className = 'contrast-block';
    element.dataset.image = String(image.image);
    const block = { key, file: image.file, stats: null, setting: loadContrast(this.storage, image.file), element };
    this.blocks.set(image.image, block);
    this.callbacks.statistics(image.image).then(
      (stats) => {
        if (this.blocks.get(image.image) !== block) return;
        block.stats = stats;
        this.render(block, image.image);
        this.callbacks.changed();
      },
      (error) => {
        if (this.blocks.get(image.image) !== block) return;
        block.failed = `The image's statistics did not load (${error.message}); its stretch is the plain one.`;
        this.render(block, image.image);
      },
    );
    this.render(block, image.image);
  }

  // A new setting: kept, shown (the controls rebuilt unless a slider moved:
  // one being dragged stays in the hand) and sent to the tiles.
  set(block, setting, rebuild = true) {
    block.setting = setting;
    saveContrast(this.storage, block.file, setting);
    if (rebuild) this.render(block, Number(block.element.dataset.image));
    else drawHistogram(block.element.querySelector('canvas'), block.stats, setting);
    this.callbacks.changed();
  }

  render(block, image) {
    const { setting, stats, element } = block;
    const name = block.file.split('/').pop();
    element.innerHTML = `<summary><span class="image-name"></span><button type="button" class="reset" title="Back to the 2–98 % stretch (0 over a pane)">Reset</button></summary>
      <label class="stretch">Stretch <select></select></label>
      <div class="typed" hidden><label>Low <input class="low" inputmode="decimal"></label><label>High <input class="high" inputmode="decimal"></label></div>
      <p class="contrast-error" hidden></p>
      <div class="sliders"></div>
      <canvas class="histogram" width="260" height="44" aria-label="Histogram of ${NAMES[image]} image"></canvas>`;
    element.querySelector('.image-name').textContent = `${NAMES[image]} · ${name}`;
    element.querySelector('.reset').onclick = (event) => {
      event.preventDefault();
      this.set(block, defaultContrast());
    };
    const select = element.querySelector('select');
    for (const s of STRETCHES) select.append(new Option(s.label, s.id, false, s.id === setting.stretch));
    select.onchange = () => {
      select.blur(); // the arrow keys go back to the table's rows
      const next = { ...block.setting, stretch: select.value };
      this.set(block, select.value === 'manual' ? typedStart(block.stats, next) : next);
    };
    const typed = element.querySelector('.typed');
    typed.hidden = setting.stretch !== 'manual';
    const [low, high] = [element.querySelector('.low'), element.querySelector('.high')];
    low.value = setting.low ?? '';
    high.value = setting.high ?? '';
    const error = element.querySelector('.contrast-error');
    error.hidden = !block.failed;
    error.textContent = block.failed || '';
    const typedChanged = () => {
      const read = typedLimits(low.value, high.value);
      error.hidden = !!read;
      error.textContent = read ? '' : 'Type two numbers, the low one first.';
      if (read) this.set(block, { ...block.setting, ...read });
    };
    low.onchange = typedChanged;
    high.onchange = typedChanged;
    const sliders = element.querySelector('.sliders');
    for (const [field, label, position, value, text] of SLIDERS) {
      const row = document.createElement('label');
      row.className = 'slider';
      row.innerHTML = `<span></span><input type="range" min="-100" max="100" step="1" data-field="${field}"><output></output>`;
      row.querySelector('span').textContent = label;
      const input = row.querySelector('input');
      input.value = String(position(setting));
      row.querySelector('output').textContent = text(setting);
      let timer = null;
      input.oninput = () => {
        const next = { ...block.setting, [field]: value(Number(input.value)) };
        row.querySelector('output').textContent = text(next);
        clearTimeout(timer);
        timer = setTimeout(() => this.set(block, next, false), 120);
      };
      // Released, the slider lets the keys go back to the workspace (Up and
      // Down move through the rows, not the slider).
      input.onpointerup = () => input.blur();
      input.ondblclick = () => this.set(block, { ...block.setting, [field]: field === 'brightness' ? 0 : 1 });
      input.title = 'Double-click: back to neutral';
      sliders.append(row);
    }
    drawHistogram(element.querySelector('canvas'), stats, setting);
  }
}

function heading() {
  const h = document.createElement('h2');
  h.textContent = 'Contrast';
  return h;
}

function drawHistogram(canvas, stats, setting) {
  const g = canvas.getContext('2d');
  const { width, height } = canvas;
  g.clearRect(0, 0, width, height);
  g.fillStyle = '#101112';
  g.fillRect(0, 0, width, height);
  if (!stats) return;
  const colours = BAND_COLOURS[stats.bands.length === 1 ? 0 : 1];
  const ranges = limits(stats, setting);
  stats.bands.forEach((band, b) => {
    const bars = histogramBars(band);
    g.globalAlpha = stats.bands.length === 1 ? 0.9 : 0.55;
    g.fillStyle = colours[b];
    const step = width / bars.length;
    bars.forEach((h, i) => g.fillRect(i * step, height - h * (height - 2), Math.max(1, step), h * (height - 2)));
    g.globalAlpha = 1;
    // The values drawn black and white: yellow over a grey histogram.
    g.strokeStyle = stats.bands.length === 1 ? '#ffd866' : colours[b];
    g.lineWidth = stats.bands.length === 1 ? 2 : 1;
    for (const v of ranges[b]) {
      const x = Math.min(width - 1, Math.max(1, Math.round(across(band, v) * (width - 1))));
      g.beginPath();
      g.moveTo(x, 0);
      g.lineTo(x, height);
      g.stroke();
    }
  });
}

// The key that resets the contrast (keys.js): of the image under the mouse,
// else of every image shown.
export function bindContrastKey(doc, panel, focusedImage) {
  doc.addEventListener('keydown', (event) => {
    const target = event.target;
    const typing = target && /^(INPUT|TEXTAREA|SELECT)$/.test(target.tagName) && target.type !== 'range';
    if (doc.querySelector('dialog[open]') || typing) return;
    const intent = keyIntent(event.key, { ctrl: event.ctrlKey, alt: event.altKey, meta: event.metaKey, shift: event.shiftKey });
    if (!intent || !intent.resetContrast) return;
    const image = focusedImage();
    for (const shown of [...panel.blocks.keys()]) if (image === null || image === shown) panel.reset(shown);
  });
}
