// The contrast model: the tile parameters each stretch asks for, the factor
// sliders, typed limits, and the setting kept per image across a reload.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  defaultContrast, factorOf, limits, loadContrast, normalise, saveContrast, sliderOf, tileQuery, typedLimits, typedStart,
} from '../../../ui/web/contrast_model.js';

// A 12-bit band: values 100 to 4000, mean 1000, std. dev. 300, the server's stretch 300 to 2500.
const band = (extra = {}) => ({ min: 100, max: 4000, mean: 1000, stdDev: 300, stretch: [300, 2500], from: 100, to: 4000, counts: [1, 4, 0, 9], ...extra });
const grey = { bands: [band()] };
const colour = { bands: [band(), band({ min: 0, max: 255, mean: 100, stdDev: 80, stretch: [10, 200] }), band()] };
const setting = (fields) => ({ ...defaultContrast(), ...fields });

test('each stretch asks the tiles for its limits, per band; the plain stretch asks nothing', () => {
  const cases = [
    [grey, {}, ''],
    [grey, { stretch: 'minmax' }, '&stretch=100,4000'],
    [grey, { stretch: 'meanstd' }, '&stretch=400,1600'],
    [grey, { stretch: 'manual', low: 512, high: 1024.5 }, '&stretch=512,1024.5'],
    [colour, { stretch: 'meanstd' }, '&stretch=400,1600,0,255,400,1600'],
    [grey, { gamma: 2, contrast: 0.5, brightness: -0.25 }, '&gamma=2&contrast=0.5&brightness=-0.25'],
    [null, { stretch: 'minmax', gamma: 2 }, '&gamma=2'],
  ];
  for (const [stats, fields, query] of cases) assert.equal(tileQuery(stats, setting(fields)), query, JSON.stringify(fields));
});

test('a stretch leaving no range keeps the server\'s own for that band', () => {
  const even = { bands: [band({ min: 7, max: 7, mean: 7, stdDev: 0, stretch: [7, 7] })] };
  assert.deepEqual(limits(even, setting({ stretch: 'minmax' })), [[7, 7]]);
  assert.equal(tileQuery(even, setting({ stretch: 'minmax' })), '');
});

test('sliders span factors 1/4 to 4 and back; typed limits must be two ordered numbers', () => {
  for (const [slider, factor] of [[-100, 0.25], [0, 1], [50, 2], [100, 4]]) {
    assert.equal(factorOf(slider), factor);
    assert.equal(sliderOf(factor), slider);
  }
  assert.deepEqual(typedLimits(' 10', '20.5'), { low: 10, high: 20.5 });
  for (const [low, high] of [['20', '10'], ['', '5'], ['a', '5'], ['5', '5']]) assert.equal(typedLimits(low, high), null);
  assert.deepEqual(typedStart(grey, setting({ stretch: 'manual' })), setting({ stretch: 'manual', low: 300, high: 2500 }));
});

test('a setting is kept per image file, read back within its ranges, and the plain one is forgotten', () => {
  const items = new Map();
  const storage = { getItem: (k) => items.get(k) ?? null, setItem: (k, v) => items.set(k, v), removeItem: (k) => items.delete(k) };
  saveContrast(storage, 'a.tif', setting({ stretch: 'minmax', gamma: 2 }));
  assert.deepEqual(loadContrast(storage, 'a.tif'), setting({ stretch: 'minmax', gamma: 2 }));
  assert.deepEqual(loadContrast(storage, 'b.tif'), defaultContrast());
  items.set('zot-contrast:c.tif', '{not json');
  assert.deepEqual(loadContrast(storage, 'c.tif'), defaultContrast());
  assert.deepEqual(normalise({ stretch: 'odd', gamma: 99, brightness: -5, contrast: 'x' }), setting({ gamma: 4, brightness: -1 }));
  saveContrast(storage, 'a.tif', defaultContrast());
  assert.equal(items.has('zot-contrast:a.tif'), false);
});
