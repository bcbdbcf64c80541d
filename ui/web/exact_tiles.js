// The image tiles of a pane, drawn where the map's own conversion puts their
// pixels. The stock tile layer rounds its offset to a whole screen pixel,
// which at a fractional scale (3.39x) moves the image against the clicks and
// the markers; and tiles scaled by a fraction leave a hairline seam between
// them. Here each tile is a canvas one pixel larger than the tile, its last
// column and row repeated, laid under its right and lower neighbours: the
// overlap fills the seam and every pixel stays where it belongs.

/* global L */

import { api } from './api.js';

const SIZE = 256;

export const ExactTiles = L.GridLayer.extend({
  // url(z, x, y): the address of a tile.
  initialize(url, options) {
    this.url = url;
    L.GridLayer.prototype.initialize.call(this, options);
  },

  createTile(coords, done) {
    const canvas = document.createElement('canvas');
    canvas.width = SIZE + 1;
    canvas.height = SIZE + 1;
    canvas.dataset.tile = `${coords.z} ${coords.x} ${coords.y}`;
    const image = new Image();
    image.onload = () => {
      const g = canvas.getContext('2d');
      g.imageSmoothingEnabled = false;
      g.drawImage(image, 0, 0);
      g.drawImage(image, SIZE - 1, 0, 1, SIZE, SIZE, 0, 1, SIZE);
      g.drawImage(image, 0, SIZE - 1, SIZE, 1, 0, SIZE, SIZE, 1);
      g.drawImage(image, SIZE - 1, SIZE - 1, 1, 1, SIZE, SIZE, 1, 1);
      done(null, canvas);
    };
    const failed = () => done(new Error(`tile ${coords.z}/${coords.x}/${coords.y} did not load`), canvas);
    image.onerror = failed;
    // The page fetches the tile itself, with the access token (the browser's
    // own image load would carry none), and shows it from the bytes received.
    api.blob(this.url(this._getZoomForUrl(), coords.x, coords.y)).then((bytes) => {
      const address = URL.createObjectURL(bytes);
      image.addEventListener('load', () => URL.revokeObjectURL(address), { once: true });
      image.addEventListener('error', () => URL.revokeObjectURL(address), { once: true });
      image.src = address;
    }, failed);
    return canvas;
  },

  _initTile(tile) {
    L.GridLayer.prototype._initTile.call(this, tile);
    tile.style.width = `${SIZE + 1}px`;
    tile.style.height = `${SIZE + 1}px`;
  },

  _addTile(coords, container) {
    L.GridLayer.prototype._addTile.call(this, coords, container);
    const tile = this._tiles[this._tileCoordsToKey(coords)];
    if (tile) tile.el.style.zIndex = String(coords.x + coords.y);
  },

  _getZoomForUrl() {
    return this._tileZoom;
  },

  _setZoomTransform(level, center, zoom) {
    const scale = this._map.getZoomScale(zoom, level.zoom);
    const translate = level.origin.multiplyBy(scale).subtract(this._map._getNewPixelOrigin(center, zoom));
    L.DomUtil.setTransform(level.el, translate, scale);
  },
});
