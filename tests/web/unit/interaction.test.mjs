// Keys, table clicks, colours, file dialogs and zoom texts, as data.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { keyIntent, rowAfterMove } from '../../../ui/web/keys.js';
import { clickEffect, colourText, hex, rowWindow } from '../../../ui/web/table_model.js';
import { answerOf, crumbs, endingsOf, matchingEntries, sizeText, splitPath } from '../../../ui/web/dialog_model.js';
import { picksText, zoomText } from '../../../ui/web/marker_shapes.js';

test('keys mean actions, row moves and zooms; Ctrl+Z and Ctrl+Y undo and redo; other modified keys nothing', () => {
  const cases = [
    ['Enter', {}, { action: 'accept' }],
    ['Backspace', {}, { action: 'clear' }],
    ['D', {}, { action: 'drive' }],
    ['g', {}, { toggleGraphics: true }],
    ['ArrowDown', {}, { row: 1 }],
    ['-', {}, { zoom: -1 }],
    ['Escape', {}, { action: 'unpick' }],
    ['0', {}, { resetContrast: true }],
    ['z', { ctrl: true }, { action: 'undo' }],
    ['Z', { ctrl: true, shift: true }, { action: 'redo' }],
    ['y', { meta: true }, { action: 'redo' }],
    ['z', { ctrl: true, alt: true }, null],
    ['Enter', { ctrl: true }, null],
    ['x', {}, null],
  ];
  for (const [key, modifiers, intent] of cases) assert.deepEqual(keyIntent(key, modifiers), intent, key);
  const table = { present: true, rowCount: 3, currentRow: 2 };
  assert.equal(rowAfterMove(table, 1), null);
  assert.equal(rowAfterMove(table, -1), 1);
  assert.equal(rowAfterMove({ ...table, currentRow: -1 }, -1), 0);
  assert.equal(rowAfterMove({ present: false }, 1), null);
});

test('a click makes a row current; Ctrl toggles it in the selection, Shift extends from the anchor', () => {
  const table = { currentRow: 2, selected: [1, 4] };
  const cases = [
    [5, {}, { current: 5 }],
    [2, {}, null],
    [3, { ctrl: true }, { select: [1, 3, 4] }],
    [4, { ctrl: true }, { select: [1] }],
    [7, { shift: true }, { select: [1, 4, 5, 6, 7] }],
  ];
  for (const [row, modifiers, effect] of cases) assert.deepEqual(clickEffect(table, 5, row, modifiers), effect);
});

test('colours go between the tool\'s texts and the colour input; rows are asked for around the sight', () => {
  assert.equal(hex({ red: 1, green: 0.5, blue: 0 }), '#ff8000');
  assert.equal(colourText('#ff8000'), '1.000 0.502 0.000');
  assert.deepEqual(rowWindow(0, 240), { first: 0, count: 70 });
  assert.deepEqual(rowWindow(2400, 240), { first: 70, count: 70 });
});

test('file dialogs: breadcrumbs, matching entries, sizes; question buttons answer', () => {
  assert.deepEqual(crumbs('a/b'), [['workspace', ''], ['a', 'a'], ['b', 'a/b']]);
  const entries = [{ name: 'data', folder: true }, { name: 'P.TXT' }, { name: 'x.tif' }];
  assert.deepEqual(matchingEntries(entries, ['.txt']).map((e) => e.name), ['data', 'P.TXT']);
  assert.equal(matchingEntries(entries, null).length, 3);
  assert.deepEqual([512, 2048, 3 * 1024 * 1024].map(sizeText), ['512 B', '2.0 KB', '3.0 MB']);
  assert.deepEqual(['Yes', 'no', 'Cancel'].map(answerOf), ['yes', 'no', 'cancel']);
  assert.deepEqual([0, 3, -1].map(zoomText), ['1×', '8×', '1:2']);
});

test('a file query offers the file types its pattern names; a path splits into folder and name', () => {
  assert.deepEqual(endingsOf('*.txt;*.CSV'), ['.txt', '.csv']);
  assert.deepEqual(endingsOf('*.txt *.csv'), ['.txt', '.csv']);
  assert.equal(endingsOf('*'), null);
  assert.equal(endingsOf(''), null);
  assert.deepEqual(splitPath('a/b/report.txt'), ['a/b', 'report.txt']);
  assert.deepEqual(splitPath('report.txt'), ['', 'report.txt']);
});

test('a pane counts the picks the tool holds for it', () => {
  assert.deepEqual([0, 1, 2].map(picksText), ['', '1 pick pending', '2 picks pending']);
});
