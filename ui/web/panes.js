// One viewer pane of the tool: its image drawn from the server's tiles in
// Leaflet's pixel space, the markers the tool placed, and the picks waiting
// to be accepted. Image file position (x, y), with (0, 0) the top-left corner
// of the first pixel, is Leaflet's lat/lng (-y, x) in CRS.Simple, so that one
// image pixel is one screen pixel at zoom 0 and 2^z at zoom z.

/* global L */

import { drawMarker, picksText, rgb, zoomText } from './marker_shapes.js';
import { clickedFile, fileToScreen, paneView } from './pick_geometry.js';
import { ExactTiles } from './exact_tiles.js';

const PANE_NAMES = [['left main', 'left zoom'], ['right main', 'right zoom']];
const MAX_ZOOM = 7; // 128 screen pixels per image pixel
const PICK_COLOUR = '#ffd866';

const toLatLng = (x, y) => L.latLng(-y, x);

export class Pane {
  // callbacks: pick(pane, x, y), moved(pane), focus(pane)
  constructor(parent, id, callbacks) {
    this.id = id;
    this.name = PANE_NAMES[id.image][id.view];
    this.callbacks = callbacks;
    this.markers = [];
    this.picks = [];
    this.measuring = false;
    this.appliedKey = null;
    this.imageKey = null;

    this.element = document.createElement('div');
    this.element.className = 'pane';
    this.element.dataset.pane = this.name;
    this.head = document.createElement('div');
    this.head.className = 'pane-head';
    this.head.innerHTML =
      '<span class="name"></span><span class="current"></span><span class="file"></span><span class="picks"></span><span class="zoom"></span>';
    this.head.querySelector('.name').textContent =
      (id.image === 0 ? 'Left' : 'Right') + (id.view === 0 ? ' · main' : ' · zoomed');
    this.mapElement = document.createElement('div');
    this.mapElement.className = 'pane-map';
    this.note = document.createElement('div');
    this.note.className = 'pane-note';
    this.note.hidden = true;
    this.warning = document.createElement('div');
    this.warning.className = 'pick-warning';
    this.warning.hidden = true;
    this.element.append(this.head, this.mapElement, this.note);
    parent.append(this.element);

    this.map = L.map(this.mapElement, {
      crs: L.CRS.Simple,
      minZoom: -8,
      maxZoom: MAX_ZOOM,
      zoomSnap: 0,
      zoomDelta: 0.5,
      wheelPxPerZoomLevel: 90,
      zoomAnimation: false,
      fadeAnimation: false,
      doubleClickZoom: false,
      keyboard: false,
      attributionControl: false,
      boxZoom: false,
    });
    this.map.setView([0, 0], 0);
    this.canvas = document.createElement('canvas');
    this.canvas.className = 'overlay';
    this.map.getContainer().append(this.canvas, this.warning);
    this.map.on('move zoom resize viewreset', () => this.draw()).on('zoom', () => this.showZoom());
    this.map.on('moveend', () => this.callbacks.moved(this));
    this.map.on('click', (event) => {
      if (!this.measuring || !this.image) return;
      const { clientX, clientY } = event.originalEvent;
      const box = this.mapElement.getBoundingClientRect();
      const at = clickedFile(this.view(), clientX, clientY, box.left + this.mapElement.clientLeft,
        box.top + this.mapElement.clientTop, window.devicePixelRatio || 1);
      this.callbacks.pick(this, at.x, at.y);
    });
    this.mapElement.addEventListener('mouseenter', () => this.callbacks.focus(this));
    new ResizeObserver(() => {
      this.map.invalidateSize({ pan: false });
      this.draw();
    }).observe(this.mapElement);
  }

  // The image the pane shows: {image, file, width, height, minZoom, revision, ...} or null.
  setImage(image) {
    const key = image ? `${image.file}|${image.revision}|${image.width}` : null;
    if (key === this.imageKey) return;
    this.imageKey = key;
    this.appliedKey = null;
    this.image = image && image.width ? image : null;
    if (this.tiles) this.map.removeLayer(this.tiles);
    this.tiles = null;
    this.head.querySelector('.file').textContent = image ? image.file : '';
    if (!this.image) return;
    const bounds = L.latLngBounds(toLatLng(0, this.image.height), toLatLng(this.image.width, 0));
    const url = (z, x, y) => `/api/tile/${image.image}/${z}/${x}/${y}.png?v=${image.revision}${this.contrast || ''}`;
    this.tiles = new ExactTiles(url, {
      tileSize: 256,
      minZoom: -8,
      maxZoom: MAX_ZOOM,
      minNativeZoom: image.minZoom,
      maxNativeZoom: 0,
      bounds,
      noWrap: true,
      keepBuffer: 1,
    });
    this.tiles.addTo(this.map);
    this.map.setMinZoom(Math.min(image.minZoom - 1, 0));
    this.draw();
  }

  // Applies the scale and scroll position the tool gave the pane, when they
  // changed: the pane's centre then shows what the tool's pane centres.
  applyToolView(view) {
    if (!view || !view.hasImage || !this.image) return;
    const key = [view.scale, view.scrollX, view.scrollY, view.canvasWidth, view.canvasHeight].join('|');
    if (key === this.appliedKey) return;
    // Once shown, a pane keeps the magnification the analyst chose; the tool moves its centre.
    const keepZoom = this.appliedKey !== null;
    this.appliedKey = key;
    const scale = view.scale > 0 ? view.scale : 1;
    const x = (view.scrollX + view.canvasWidth / 2) / scale;
    const y = (view.scrollY + view.canvasHeight / 2) / scale;
    const zoom = keepZoom ? this.map.getZoom() : Math.max(Math.min(Math.log2(scale), MAX_ZOOM), this.map.getMinZoom());
    this.map.setView(toLatLng(x, y), zoom, { animate: false });
    this.showZoom();
  }

  // The tiles' contrast parameters (contrast_model.js); a change redraws them.
  setContrast(query) {
    if (query === (this.contrast || '')) return;
    this.contrast = query;
    if (this.tiles) this.tiles.redraw();
  }

  centreOn(x, y) {
    this.map.setView(toLatLng(x, y), this.map.getZoom(), { animate: false });
  }

  zoomBy(steps) {
    this.map.setZoom(this.map.getZoom() + steps, { animate: false });
  }

  setMeasuring(on) {
    this.measuring = on;
    this.mapElement.classList.toggle('measuring', on);
  }

  setMarkers(markers) {
    this.markers = markers;
    this.draw();
  }

  // The picks this page made that the tool still holds, and how many it holds.
  setPicks(picks, count) {
    this.picks = picks;
    this.head.querySelector('.picks').textContent = picksText(count);
    this.draw();
  }

  // The current point's ID, named in the head; its markers stand out.
  setCurrent(id) {
    if (id === this.currentId) return;
    this.currentId = id;
    this.head.querySelector('.current').textContent = id ? `Current point ${id}` : '';
    this.draw();
  }

  // The other point the last pick lies nearest, said beside that pick; or null.
  setWarning(other) {
    this.warningText = other ? `Nearest marker: ${other}, not ${this.currentId || 'the current point'}` : '';
    this.draw();
  }

  setNote(element) {
    this.note.replaceChildren(...(element ? [element] : []));
    this.note.hidden = !element;
  }

  // [image, view, x0, y0, x1, y1]: the part of the image in view, with a margin.
  bounds() {
    const b = this.map.getBounds().pad(0.1);
    return [this.id.image, this.id.view, b.getWest(), -b.getNorth(), b.getEast(), -b.getSouth()].map((v) =>
      Number.isInteger(v) ? v : +v.toFixed(3),
    );
  }

  // The file position at the drawing area's top-left corner and the scale.
  view() {
    const origin = this.map.containerPointToLatLng([0, 0]);
    return paneView(origin.lng, -origin.lat, this.map.getZoomScale(this.map.getZoom(), 0));
  }

  showZoom() {
    this.head.querySelector('.zoom').textContent = zoomText(this.map.getZoom());
  }

  draw() {
    if (this.removed) return; // a resize may still be reported after the map is gone
    const size = this.map.getSize();
    const ratio = window.devicePixelRatio || 1;
    if (this.canvas.width !== size.x * ratio || this.canvas.height !== size.y * ratio) {
      this.canvas.width = size.x * ratio;
      this.canvas.height = size.y * ratio;
      this.canvas.style.width = `${size.x}px`;
      this.canvas.style.height = `${size.y}px`;
    }
    const g = this.canvas.getContext('2d');
    g.setTransform(ratio, 0, 0, ratio, 0, 0);
    g.clearRect(0, 0, size.x, size.y);
    g.font = '12px "DejaVu Sans Mono", monospace';
    g.lineJoin = 'round';
    const view = this.view();
    for (const marker of this.markers) {
      const p = fileToScreen(view, marker.x, marker.y);
      if (p.x < -50 || p.y < -50 || p.x > size.x + 50 || p.y > size.y + 50) continue;
      drawMarker(g, p, marker.kind, rgb(marker.colour), marker.label, marker.label === this.currentId);
    }
    this.placeWarning();
    for (const pick of this.picks) {
      const p = fileToScreen(view, pick.x, pick.y);
      drawMarker(g, p, 'pick', PICK_COLOUR, '');
    }
    if (this.overlay) this.overlay(g, view);
  }

  // More to draw over the markers: overlay(context, view), or null.
  setOverlay(overlay) {
    this.overlay = overlay;
    this.draw();
  }

  placeWarning() {
    const last = this.picks[this.picks.length - 1];
    this.warning.hidden = !this.warningText || !last;
    if (this.warning.hidden) return;
    const p = fileToScreen(this.view(), last.x, last.y);
    this.warning.textContent = this.warningText;
    Object.assign(this.warning.style, { left: `${Math.round(p.x + 12)}px`, top: `${Math.round(p.y + 10)}px` });
  }

  destroy() {
    this.removed = true;
    this.map.remove();
    this.element.remove();
  }
}
