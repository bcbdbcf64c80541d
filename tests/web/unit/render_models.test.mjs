// What the toolbar, the panes and the side panel show, from the view.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { toolbarModel } from '../../../ui/web/toolbar.js';
import { overviewNoteModel, panesModel } from '../../../ui/web/pane_layout.js';
import { figuresModel, filesModel, tableCaption } from '../../../ui/web/side.js';

function view({ open = true, stereo = false, pending = [0, 0] } = {}) {
  const pane = (image, v) => ({ name: `${image ? 'right' : 'left'} ${v ? 'zoom' : 'main'}`, id: { image, view: v }, hasImage: true });
  const panes = [pane(0, 0), pane(0, 1), ...(stereo ? [pane(1, 0), pane(1, 1)] : [])];
  return {
    tool: {
      open,
      pendingPicks: pending,
      units: 'feet',
      format: 'condensed',
      pointers: [{ name: 'pointcreate', title: 'Measure', measures: true }],
      pointer: 'pointcreate',
      measuring: true,
      autoDrive: true,
      graphics: false,
      figures: [{ name: 'ce90', title: 'CE90:', value: '1.5', headline: true }],
    },
    panes: open ? panes.reverse() : [],
    table: { present: open, rowCount: 12, currentRow: 3 },
  };
}

test('the toolbar marks each switch the view reports, and nothing without a tool', () => {
  assert.deepEqual(toolbarModel(view()).marks, {
    'tool-choice': 'pointcreate', units: 'feet', format: 'condensed', autodrive: 'true', graphics: 'false',
  });
  const closed = toolbarModel(view({ open: false }));
  assert.equal(closed.open, false);
  assert.equal(closed.marks.autodrive, '');
});

test('panes: per image main then zoomed, a pick counted at once, notes under the main pane only', () => {
  const images = [{ image: 0, file: 'l.tif', wantsOverviews: true, width: 9000, height: 8000 }, { image: 1, file: 'r.tif' }];
  const model = panesModel(view({ stereo: true, pending: [0, 2] }), images, [[{ x: 1, y: 1 }], []]);
  assert.equal(model.stereo, true);
  assert.deepEqual(model.panes.map((p) => [p.name, p.pending, p.note && p.note.kind]), [
    ['left main', 1, 'offer'], ['left zoom', 1, null], ['right main', 2, null], ['right zoom', 2, null],
  ]);
  assert.equal(panesModel(view({ open: false }), [], [[], []]).panes.length, 0);
});

test('a main pane says why its image cannot be shown, how its overviews go, or offers them', () => {
  const cases = [
    [null, null],
    [{ error: 'no such file' }, 'error'],
    [{ overviewBuild: { running: true, done: 0.4 } }, 'building'],
    [{ overviewBuild: { running: false, error: 'disk full' } }, 'failed'],
    [{ wantsOverviews: false }, null],
    [{ image: 1, wantsOverviews: true, width: 5000, height: 4000 }, 'offer'],
  ];
  for (const [image, kind] of cases) assert.equal(overviewNoteModel(image)?.kind ?? null, kind, JSON.stringify(image));
  assert.match(overviewNoteModel({ error: 'no such file' }).text, /cannot be shown: no such file/);
});

test('the side panel shows the figures by name, the units, the caption and the files written', () => {
  const figures = figuresModel(view().tool);
  assert.deepEqual(figures.figures.map((f) => [f.name, f.headline]), [['ce90', true]]);
  assert.match(figures.unitsNote, /^Lengths in feet;/);
  assert.deepEqual(figuresModel(view({ open: false }).tool).figures, []);
  const both = { ...view().tool, figures: ['ce90', 'le90', 'leftcount', 'rightcount'].map((name) => ({ name })) };
  assert.deepEqual(figuresModel(both, false).figures.map((f) => f.name), ['ce90', 'leftcount'], 'mono: no heights, no right image');
  assert.doesNotMatch(figuresModel(both, false).unitsNote, /LE90/);
  assert.equal(tableCaption(view().table), 'Points (12, current 4)');
  assert.equal(tableCaption({ present: false }), 'Points');
  const files = filesModel(['a.txt', 'r/b.txt', 'a.txt', ...Array.from({ length: 8 }, (_, i) => `f${i}`)]);
  assert.equal(files.length, 8);
  assert.deepEqual(filesModel(['r/b.txt']), [{ path: 'r/b.txt', name: 'b.txt' }]);
});
