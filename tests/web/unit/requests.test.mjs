// Requests built against the served catalogue, and the log a result makes.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { actionRequest, resultEntries } from '../../../ui/web/requests.js';

// A part of the catalogue as GET /api/actions serves it.
const catalogue = [
  { name: 'accept', args: [], help: [] },
  {
    name: 'start',
    args: [
      { name: 'left', type: 'readFile', optional: false, choices: [] },
      { name: 'right', type: 'readFile', optional: true, choices: [] },
    ],
    help: [],
  },
  {
    name: 'insert',
    args: [
      { name: 'where', type: 'choice', optional: false, choices: ['above', 'below'] },
      { name: 'row', type: 'row', optional: false, choices: [] },
    ],
    help: [],
  },
];

test('a request names a declared action with its declared arguments, or says what does not fit', () => {
  const cases = [
    ['accept', {}, { action: 'accept' }],
    ['start', { left: 'a.tif' }, { action: 'start', left: 'a.tif' }],
    ['start', { left: 'a.tif', right: 'b.tif' }, { action: 'start', left: 'a.tif', right: 'b.tif' }],
    ['insert', { where: 'below', row: 2 }, { action: 'insert', where: 'below', row: 2 }],
    ['fly', {}, /offers no action "fly"/],
    ['start', {}, /needs "left"/],
    ['accept', { row: 1 }, /takes no "row"/],
    ['insert', { where: 'beside', row: 2 }, /must be above or below/],
  ];
  for (const [name, args, expected] of cases) {
    if (expected instanceof RegExp) assert.throws(() => actionRequest(catalogue, name, args), expected, name);
    else assert.deepEqual(actionRequest(catalogue, name, args), expected, name);
  }
});

test('a result logs its messages, notes and errors, a printed report marked once', () => {
  const entries = resultEntries('open', {
    messages: ['Opened.'],
    notes: ['(no pick)'],
    errors: ['OpenTEFile (line 3): bad\n  cause'],
    printed: ['OpenTEFile (line 3): bad\n  cause', 'Save (line 9): disk full'],
    filesWritten: ['points.txt'],
  });
  assert.deepEqual(entries, [
    { kind: 'message', text: 'Opened.', detail: '' },
    { kind: 'note', text: '(no pick)', detail: '' },
    { kind: 'error', text: 'open failed (the tool printed): OpenTEFile (line 3): bad', detail: '  cause',
      chain: 'OpenTEFile (line 3): bad\n  cause' },
    { kind: 'error', text: 'open failed (the tool printed): Save (line 9): disk full', detail: '',
      chain: 'Save (line 9): disk full' },
    { kind: 'file', text: 'Wrote points.txt', detail: '', path: 'points.txt' },
  ]);
});
