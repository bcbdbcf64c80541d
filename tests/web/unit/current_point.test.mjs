// The current point followed by the page: its ID, when the page drives to it,
// the pick nearer another point, and the switches a new tool is given.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { currentPointId, drivesAfter, otherNearest, readyActions } from '../../../ui/web/current_point.js';

const table = (currentRow, rows = [0, 1, 2]) => ({
  present: true,
  currentRow,
  columns: [{ title: 'Row' }, { title: 'ID' }],
  rows: rows.map((row) => ({ row, cells: [String(row + 1), `P${row + 1}`] })),
});
const viewOf = (currentRow, tool = {}) => ({ tool: { open: true, autoDrive: true, ...tool }, table: table(currentRow) });

test('the current point is named by its ID column, or not at all when its row is not held', () => {
  assert.equal(currentPointId(table(1)), 'P2');
  assert.equal(currentPointId(table(5)), '');
  assert.equal(currentPointId(table(-1)), '');
  assert.equal(currentPointId({ present: false }), '');
});

test('the page drives to a current point a row, insert or delete moved, with auto-drive on only', () => {
  const cases = [
    ['row', viewOf(0), viewOf(1), true],
    ['row', viewOf(1), viewOf(1), false],
    ['insert', viewOf(1), viewOf(1), true],
    ['delete', viewOf(2), viewOf(1), true],
    ['accept', viewOf(0), viewOf(1), false], // the tool drives after an accept itself
    ['drive', viewOf(0), viewOf(1), false],
    ['row', viewOf(0), viewOf(1, { autoDrive: false }), false],
    ['delete', viewOf(0), viewOf(-1), false],
  ];
  for (const [action, before, after, drives] of cases)
    assert.equal(drivesAfter(action, before, after), drives, `${action} ${before.table.currentRow}->${after.table.currentRow}`);
});

test('a pick nearest another point\'s reference marker names that point', () => {
  const markers = [
    { kind: 'T&E', label: 'P1', x: 100, y: 100 },
    { kind: 'T&E', label: 'P2', x: 200, y: 100 },
    { kind: 'measured', label: 'P2', x: 110, y: 100 },
  ];
  assert.equal(otherNearest(markers, { x: 190, y: 104 }, 'P1'), 'P2');
  assert.equal(otherNearest(markers, { x: 112, y: 100 }, 'P1'), null, 'measurement markers do not count');
  assert.equal(otherNearest([], { x: 0, y: 0 }, 'P1'), null);
});

test('a started tool is given auto-drive and the markers, once', () => {
  assert.deepEqual(readyActions({ open: true, autoDrive: false, graphics: false }), [
    ['autodrive', { on: true }],
    ['graphics', { on: true }],
  ]);
  assert.deepEqual(readyActions({ open: true, autoDrive: true, graphics: true }), []);
  assert.deepEqual(readyActions({ open: false, autoDrive: false, graphics: false }), []);
});
