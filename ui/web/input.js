// What the analyst does: the toolbar, the table's tools, the keys and the
// clicks in the panes, each turned into an action sent through act(name,
// args). A pick also shows at once (the store) and centres the zoomed pane.

import { currentPointId, otherNearest, readyActions, wrongPointQuestion } from './current_point.js';
import { askQuestion, askStart, chooseFile, TEXT_FILES } from './dialogs.js';
import { keyIntent, rowAfterMove } from './keys.js';

// download(path, name): fetches a file with the token and hands it to the
// browser's downloads (a plain link would carry no token).
export function bindInput(doc, { store, act, table, download }) {
  const $ = (id) => doc.getElementById(id);
  const view = () => store.state.reply && store.state.reply.view;
  const currentRow = () => {
    const t = view() && view().table;
    return t && t.currentRow >= 0 ? t.currentRow : 0;
  };

  async function start() {
    const chosen = await askStart();
    if (!chosen) return;
    await act('start', chosen.right ? chosen : { left: chosen.left });
    // The workspace measures with auto-drive on and the markers shown.
    if (view()) for (const [name, args] of readyActions(view().tool)) await act(name, args);
  }
  // Accept, after a question when a pick lies nearest another point's marker.
  async function accept() {
    const other = store.state.warnings.find(Boolean);
    if (other && (await askQuestion(wrongPointQuestion(currentPointId(view().table), other))) !== 'yes') return;
    await act('accept');
  }
  async function onFile(name, title, save, suggestion) {
    const file = await chooseFile({ title, save, endings: TEXT_FILES, suggestion });
    if (file) await act(name, { file });
  }
  // A segmented group's buttons, each sending the action with its value.
  function group(id, name, argsOf) {
    $(id).addEventListener('click', (event) => {
      const button = event.target.closest('button');
      if (button && !button.disabled) act(name, argsOf(button.dataset));
    });
  }

  $('start').onclick = start;
  $('start-empty').onclick = start;
  $('te-open').onclick = () => onFile('open', 'Open a T&E file', false, '');
  $('te-save').onclick = () => onFile('save', 'Save the points to a T&E file', true, 'points.txt');
  $('report').onclick = () => onFile('report', 'Write the accuracy report', true, 'report.txt');
  $('accept').onclick = accept;
  for (const name of ['clear', 'drive', 'close', 'addrow']) $(name).onclick = () => act(name);
  $('insert-above').onclick = () => act('insert', { row: currentRow(), where: 'above' });
  $('insert-below').onclick = () => act('insert', { row: currentRow(), where: 'below' });
  $('delete-rows').onclick = () => act('delete');
  group('tool-choice', 'tool', (data) => ({ tool: data.tool }));
  group('autodrive', 'autodrive', (data) => ({ on: data.on === 'true' }));
  group('graphics', 'graphics', (data) => ({ on: data.on === 'true' }));
  group('units', 'units', (data) => ({ units: data.units }));
  group('format', 'format', (data) => ({ format: data.format }));
  $('files-written').addEventListener('click', (event) => {
    const link = event.target.closest('a');
    if (!link) return;
    event.preventDefault();
    download(link.getAttribute('href'), link.download);
  });
  $('download-session').addEventListener('click', (event) => {
    event.preventDefault();
    download('/api/session', 'workspace.session');
  });

  doc.addEventListener('keydown', (event) => {
    const target = event.target;
    if (doc.querySelector('dialog[open]') || table.isEditing()) return;
    if (target && (target.tagName === 'INPUT' || target.tagName === 'TEXTAREA')) return;
    if (!view() || !view().tool.open) return;
    const intent = keyIntent(event.key, { ctrl: event.ctrlKey, alt: event.altKey, meta: event.metaKey, shift: event.shiftKey });
    if (!intent) return;
    event.preventDefault();
    const anyPick = store.state.picks.some((list) => list.length) || view().tool.pendingPicks.some(Boolean);
    if (intent.action === 'unpick' && !anyPick) return;
    const pane = store.state.focused || [...store.state.panes.values()][0];
    if (intent.action === 'accept') accept();
    else if (intent.action) act(intent.action);
    if (intent.toggleGraphics) act('graphics', { on: !view().tool.graphics });
    if (intent.zoom && pane) pane.zoomBy(intent.zoom);
    if (intent.row) {
      const row = rowAfterMove(view().table, intent.row);
      if (row !== null) act('row', { row });
    }
  });

  // A click in a pane that measures.
  function pick(pane, x, y) {
    // Every pane of the image: a pane just moved may not have its new markers yet.
    const markers = [...store.state.panes.values()].filter((p) => p.id.image === pane.id.image).flatMap((p) => p.markers);
    const other = otherNearest(markers, { x, y }, currentPointId(view().table));
    const { x: px, y: py } = store.addPick(pane.id.image, x, y, other);
    if (pane.id.view === 0)
      for (const other of store.state.panes.values())
        if (other.id.image === pane.id.image && other.id.view === 1) other.centreOn(px, py);
    act('click', { image: pane.id.image, view: pane.id.view, x: px, y: py });
  }

  return { pick };
}
