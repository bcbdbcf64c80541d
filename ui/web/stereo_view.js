// The stereo view: the current point's neighbourhood in both images,
// resampled by the server into one frame in which parallax is horizontal and
// shown red (left) and cyan (right), with a floating mark that follows the
// pointer. The wheel or PgUp/PgDn move the mark's height a step, Shift+wheel
// changes the step, and a click makes the mark's picks in both images.

import { anaglyph, decodeGrey, markInWindows, markStart, markWheel } from './stereo_model.js';
import { crossPath } from './marker_shapes.js';

const SCALE = 4; // screen pixels a frame pixel
const HALF = 48; // frame pixels either side of the centre

// callbacks: load(query) resolves with the frame, mark(query) with a mark's
// picks; picks(files) makes them; queued(work) runs work in the page's
// request order; changed() after the mark moved.
export class StereoView {
  constructor(doc, parent, callbacks) {
    this.callbacks = callbacks;
    this.frame = null;
    this.element = doc.createElement('section');
    this.element.id = 'stereo-view';
    this.element.hidden = true;
    this.element.setAttribute('aria-label', 'Stereo view');
    this.element.innerHTML =
      '<header><span class="title">Stereo view</span><span class="mark-height"></span>' +
      '<button type="button" class="close" title="Close the stereo view (S)">×</button></header>' +
      '<canvas></canvas><p class="stereo-note"></p>' +
      '<p class="hint">Red/cyan glasses · wheel or PgUp/PgDn: mark height · Shift+wheel: step · click: pick both images</p>';
    parent.append(this.element);
    this.canvas = this.element.querySelector('canvas');
    this.source = doc.createElement('canvas');
    this.element.querySelector('.close').onclick = () => this.close();
    this.canvas.addEventListener('mousemove', (event) => {
      this.at = this.framePosition(event);
      this.draw();
    });
    this.canvas.addEventListener('wheel', (event) => {
      event.preventDefault();
      if (this.frame) this.step(event.deltaY < 0, event.shiftKey);
    });
    this.canvas.addEventListener('click', (event) => this.pick(this.framePosition(event)));
  }

  get open() {
    return !this.element.hidden;
  }

  toggle() {
    return this.open ? this.close() : this.show();
  }

  // Opens the view around the current point (or the last pick).
  show() {
    this.element.hidden = false;
    this.setNote('Resampling both images…');
    return this.callbacks.queued(async () => {
      const frame = await this.callbacks.load({ half: HALF });
      if (!frame.ok) {
        this.frame = null;
        this.setNote(`No stereo view: ${frame.why}`);
        this.draw();
        return;
      }
      this.frame = frame;
      this.mark = markStart(frame);
      this.at = { u: frame.size / 2, v: frame.size / 2 };
      this.source.width = this.source.height = frame.size;
      const [left, right] = frame.grey.map(decodeGrey);
      this.source.getContext('2d').putImageData(new ImageData(anaglyph(left, right), frame.size, frame.size), 0, 0);
      this.canvas.width = this.canvas.height = frame.size * SCALE;
      this.setNote(
        `${frame.groundPixel.toFixed(3)} m a pixel · parallax ${frame.parallaxPerMeter.toFixed(3)} px/m · ` +
          `affine residual ${frame.residual.toFixed(3)} px`,
      );
      this.draw();
    });
  }

  close() {
    this.element.hidden = true;
    this.frame = null;
    this.callbacks.changed();
  }

  setNote(text) {
    this.element.querySelector('.stereo-note').textContent = text;
  }

  // One step of height (up or down), or with shift a larger or smaller step.
  step(up, shift = false) {
    if (!this.frame) return;
    this.mark = markWheel(this.mark, this.frame, up, shift);
    this.draw();
  }

  // The mark as the image panes show it: {height, at: [{u, v}, {u, v}]}, or null.
  shown() {
    if (!this.frame || !this.open) return null;
    return { height: this.mark.height, at: markInWindows(this.frame, this.at.u, this.at.v, this.mark.height) };
  }

  framePosition(event) {
    const box = this.canvas.getBoundingClientRect();
    return { u: (event.clientX - box.left + 0.5) / SCALE, v: (event.clientY - box.top + 0.5) / SCALE };
  }

  pick(at) {
    if (!this.frame) return;
    const query = { u: at.u, v: at.v, height: this.mark.height };
    this.callbacks.queued(async () => {
      const mark = await this.callbacks.mark(query);
      if (!mark.ok) this.setNote(`No picks: ${mark.why}`);
      else this.callbacks.picks(mark.file);
    });
  }

  draw() {
    const g = this.canvas.getContext('2d');
    const label = this.element.querySelector('.mark-height');
    if (!this.frame) {
      g.clearRect(0, 0, this.canvas.width, this.canvas.height);
      label.textContent = '';
      return this.callbacks.changed();
    }
    g.imageSmoothingEnabled = false;
    g.drawImage(this.source, 0, 0, this.canvas.width, this.canvas.height);
    label.textContent = `mark ${this.mark.height.toFixed(2)} m · step ${this.mark.step.toFixed(3)} m`;
    const colours = ['#ff3030', '#30ffff'];
    markInWindows(this.frame, this.at.u, this.at.v, this.mark.height).forEach((p, i) => {
      const x = p.u * SCALE, y = p.v * SCALE;
      g.strokeStyle = colours[i];
      g.lineWidth = 1.5;
      g.beginPath();
      crossPath(g, x, y);
      g.stroke();
    });
    this.callbacks.changed();
  }
}
