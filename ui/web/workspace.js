// The measuring workspace, wired together: the store holding the view, the
// connection that sends actions and applies replies, the renderers that paint
// the store (toolbar, panes, table, figures, assessment) and the input
// handlers that send actions. Nothing here decides anything.

import { api } from './api.js';
import { AssessmentPanel } from './assessment.js';
import { createConnection } from './connection.js';
import { bindContrastKey, ContrastPanel } from './contrast.js';
import { currentPointId } from './current_point.js';
import { answerQuestion } from './dialogs.js';
import { bindInput } from './input.js';
import { panesModel, renderPanes } from './pane_layout.js';
import { Pane } from './panes.js';
import { bindStereoAids } from './stereo_aids.js';
import { figuresModel, filesModel, renderFigures, renderFilesWritten, renderLog, tableCaption } from './side.js';
import { dismissed, emptyStatus, renderStatus, statusAfter } from './status.js';
import { createStore } from './store.js';
import { PointTable } from './table.js';
import { renderToolbar, toolbarModel } from './toolbar.js';

const $ = (id) => document.getElementById(id);
const store = createStore();
let status = emptyStatus();
function paintStatus() {
  const written = store.state.reply ? store.state.reply.view.filesWritten : [];
  renderStatus($('status'), status, {
    written,
    downloadUrl: api.downloadUrl,
    dismiss: (id) => {
      status = dismissed(status, id);
      paintStatus();
    },
  });
}
// Messages go to the log and the status line; a new tool starts without the old ones.
function log(entries, action) {
  if (action === 'start') $('log-list').replaceChildren();
  renderLog($('log-list'), entries);
  status = statusAfter(status, entries, action);
  paintStatus();
}
const act = (name, args) => connection.act(name, args);

const table = new PointTable($('table-scroll'), $('table-head'), $('table-body'), {
  chooseRow: (row) => act('row', { row }),
  select: (rows) => act('select', { rows }),
  edit: (row, column, text) => act('edit', { row, column, text }),
  needRows: () => connection.refresh(),
});
$('table-compact').onclick = (event) => {
  const on = !table.compact;
  event.currentTarget.classList.toggle('on', on);
  event.currentTarget.setAttribute('aria-pressed', String(on));
  table.setCompact(on);
};
const connection = createConnection({ api, store, table, log, answer: answerQuestion });
const assessment = new AssessmentPanel($('assessment'), $('plot-dialog'), {
  chooseRow: (row) => act('row', { row }),
  refresh: () => connection.refresh(),
});
const download = (path, name) =>
  api.download(path, name).catch((error) => log([{ kind: 'error', text: `Download failed: ${error.message}` }]));
const input = bindInput(document, { store, act, table, download });

const contrast = new ContrastPanel($('contrast'), localStorage, {
  statistics: api.statistics,
  changed: () => store.state.reply && paintPanes(),
});
bindContrastKey(document, contrast, () => (store.state.focused ? store.state.focused.id.image : null));

function paintPanes() {
  const { reply, picks, panes } = store.state;
  const model = panesModel(reply.view, reply.images, picks);
  renderPanes($('panes'), $('empty'), model, panes, {
    make: (container, id) =>
      new Pane(container, id, { pick: input.pick, moved: connection.scheduleMarkers, focus: store.focus }),
    buildOverviews: connection.buildOverviews,
  });
  const current = currentPointId(reply.view.table);
  for (const pane of panes.values()) {
    pane.setContrast(contrast.query(pane.id.image));
    pane.setCurrent(current);
    pane.setWarning(store.state.warnings[pane.id.image]);
  }
  if (model.panes.some((p) => p.note && p.note.kind === 'building')) setTimeout(connection.refresh, 500);
}

store.subscribe((state, why) => {
  if (why === 'picks') return paintPanes();
  const { view } = state.reply;
  const toolbar = toolbarModel(view);
  renderToolbar(document, toolbar);
  contrast.show(state.reply.images);
  paintPanes();
  const stereo = view.panes.some((p) => p.id.image === 1 && p.hasImage);
  renderFigures($('labels'), figuresModel(view.tool, stereo));
  table.update(view.table);
  $('table-caption').textContent = tableCaption(view.table);
  assessment.show(toolbar.open);
  if (assessment.stale(state.reply)) connection.queued(() => assessment.load(state.reply.changes));
  renderFilesWritten($('files-written'), filesModel(view.filesWritten), api.downloadUrl);
  $('download-session').title = `The ${state.reply.session.lines} actions taken so far, as a session that zot-host run replays`;
  connection.markersAfterReply();
});

const stereo = bindStereoAids(document, { api, store, connection, act, pick: input.pick });

window.zotWorkspace = { state: store.state, refresh: connection.refresh, act, assessment, stereo };
connection.loadCatalogue();
connection.refresh();
