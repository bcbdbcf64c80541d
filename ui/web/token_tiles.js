// A Leaflet tile layer whose tiles the page fetches itself, with the access
// token, and shows from the bytes received (the browser's own image loads
// would carry no token).

/* global L */

import { api } from './api.js';

export const TokenTiles = L.TileLayer.extend({
  createTile(coords, done) {
    const tile = document.createElement('img');
    tile.alt = '';
    tile.setAttribute('role', 'presentation');
    api.blob(this.getTileUrl(coords)).then(
      (bytes) => {
        const url = URL.createObjectURL(bytes);
        const finish = (error) => {
          URL.revokeObjectURL(url);
          done(error, tile);
        };
        tile.onload = () => finish(null);
        tile.onerror = () => finish(new Error('the tile could not be shown'));
        tile.src = url;
      },
      (error) => done(error, tile),
    );
    return tile;
  },
});
