// The measuring workspace: the toolbar, the panes, the point table, the
// figures and the messages, kept in step with what the tool shows. Every
// change goes to the server as an action; the reply carries the view after it.

import { api } from './api.js';
import { AssessmentPanel } from './assessment.js';
import { Pane } from './panes.js';
import { PointTable } from './table.js';
import { chooseFile, askStart, askQuestion, TEXT_FILES } from './dialogs.js';

const TOOL_FRAME = 'af_zotframe';
const COUNT_LABELS = ['leftcount', 'rightcount'];

const state = {
  reply: null,
  panes: new Map(),
  picks: [[], []],
  focused: null,
  autoDrive: null,
  graphics: null,
  queue: Promise.resolve(),
  markersTimer: 0,
};

const $ = (id) => document.getElementById(id);

const table = new PointTable($('table-scroll'), $('table-head'), $('table-body'), {
  chooseRow: (row) => act({ action: 'row', row }),
  select: (rows) => act({ action: 'select', rows }),
  edit: (row, column, text) => act({ action: 'edit', row, column, text }),
  needRows: () => refresh(),
});

const assessment = new AssessmentPanel($('assessment'), $('plot-dialog'), {
  chooseRow: (row) => act({ action: 'row', row }),
});

// ---- Talking to the server ----

function log(kind, text, detail) {
  const item = document.createElement('li');
  item.className = kind;
  item.textContent = text;
  if (detail) {
    const pre = document.createElement('pre');
    pre.textContent = detail;
    item.append(pre);
  }
  const list = $('log-list');
  list.prepend(item);
  while (list.children.length > 200) list.lastChild.remove();
}

function logResult(action, result) {
  for (const message of result.messages) log('message', message);
  for (const note of result.notes) log('note', note);
  const printed = new Set(result.printed);
  for (const error of [...result.errors, ...result.printed.filter((p) => !result.errors.includes(p))]) {
    const lines = error.split('\n');
    log('error', `${action} failed${printed.has(error) ? ' (the tool printed)' : ''}: ${lines[0]}`,
      lines.slice(1).join('\n'));
  }
}

// Runs one request after the ones before it, so replies apply in order.
function queued(work) {
  state.queue = state.queue.then(work).catch((error) => log('error', error.message));
  return state.queue;
}

function act(action) {
  return queued(async () => {
    const reply = await api.act({ ...action, window: table.window() });
    if (reply.result) logResult(action.action, reply.result);
    await handle(reply, action.action);
  });
}

function refresh() {
  return queued(async () => {
    const window = table.window();
    await handle(await api.view(window.first, window.count));
  });
}

async function handle(reply, action) {
  apply(reply, action);
  if (!reply.question) return;
  const question = reply.question;
  let answer;
  if (question.fileQuery) {
    const file = await chooseFile({ title: question.text, save: true, endings: TEXT_FILES, suggestion: 'report.txt' });
    answer = file ? { answer: 'file', file } : { answer: 'cancel' };
  } else {
    answer = { answer: await askQuestion(question) };
  }
  const next = await api.answer(answer);
  if (next.result) logResult(action || 'answer', next.result);
  await handle(next, action);
}

// ---- Showing the view ----

function toolFrame(view) {
  for (let s = view.scripts.length - 1; s >= 0; s--)
    for (const part of view.scripts[s].parts) if (part.name === TOOL_FRAME && part.shown) return part;
  return null;
}

function partOf(frame, name) {
  return frame ? frame.parts.find((p) => p.name === name) : undefined;
}

function apply(reply, action) {
  state.reply = reply;
  const view = reply.view;
  const frame = toolFrame(view);
  const panes = view.panes.filter((p) => p.hasImage);
  const open = Boolean(frame) && panes.length > 0;
  if (action === 'start' || !open) {
    state.autoDrive = null;
    state.graphics = null;
  }

  document.querySelectorAll('[data-needs-tool] button, [data-needs-tool]').forEach((e) => {
    if (e.tagName === 'BUTTON') e.disabled = !open;
  });
  document.querySelectorAll('#table-tools button').forEach((b) => (b.disabled = !view.table.present));
  $('start').hidden = open;
  $('empty').hidden = open;
  $('panes').hidden = !open;

  layoutPanes(panes, reply.images, frame);
  showLabels(frame);
  showToggles(view, frame);
  table.update(view.table);
  $('table-caption').textContent = view.table.present
    ? `Points (${view.table.rowCount}${view.table.currentRow >= 0 ? `, current ${view.table.currentRow + 1}` : ''})`
    : 'Points';
  assessment.show(open);
  if (assessment.stale(reply)) queued(() => assessment.load(reply.changes));
  showFilesWritten(view.filesWritten);
  $('download-session').title = `The ${reply.session.lines} actions taken so far, as a session that zot-host run replays`;
  reconcilePicks(frame);
  // After an action the markers follow in the same queue, so that what the
  // tool placed shows before the next action's reply.
  clearTimeout(state.markersTimer);
  queued(loadMarkers);
}

function layoutPanes(panes, images, frame) {
  const wanted = new Set(panes.map((p) => p.name));
  for (const [name, pane] of state.panes)
    if (!wanted.has(name)) {
      pane.destroy();
      state.panes.delete(name);
    }
  const container = $('panes');
  const stereo = panes.some((p) => p.id.image === 1);
  container.className = stereo ? 'stereo' : 'mono';
  for (const view of panes) {
    let pane = state.panes.get(view.name);
    if (!pane) {
      pane = new Pane(container, view.id, { pick, moved: scheduleMarkers, focus: (p) => (state.focused = p) });
      state.panes.set(view.name, pane);
    }
    const image = images.find((i) => i.image === view.id.image);
    pane.setImage(image || null);
    pane.applyToolView(view);
    pane.setMeasuring(measuring());
    pane.setPicks(state.picks[view.id.image], pendingCount(frame, view.id.image));
    if (view.id.view === 0) pane.setNote(overviewNote(image));
  }
  // Panes in the grid's order: per image, main then zoomed.
  [...state.panes.values()]
    .sort((a, b) => a.id.image - b.id.image || a.id.view - b.id.view)
    .forEach((p) => container.append(p.element));
}

function overviewNote(image) {
  if (!image) return null;
  const note = document.createElement('div');
  if (image.error) {
    note.textContent = `This image cannot be shown: ${image.error}`;
    return note;
  }
  const build = image.overviewBuild;
  if (build && build.running) {
    note.append('Building overviews… ');
    const bar = document.createElement('progress');
    bar.max = 1;
    bar.value = build.done;
    note.append(bar);
    setTimeout(refresh, 500);
    return note;
  }
  if (build && build.error) {
    note.textContent = `Overviews could not be built: ${build.error}`;
    return note;
  }
  if (!image.wantsOverviews) return null;
  note.append(`${image.width} × ${image.height} pixels and no overviews: zoomed-out views are slow. `);
  const button = document.createElement('button');
  button.textContent = 'Build overviews';
  button.onclick = () =>
    queued(async () => {
      await api.buildOverviews(image.image);
      setTimeout(refresh, 300);
    });
  note.append(button);
  return note;
}

function showLabels(frame) {
  const labels = frame ? frame.parts.filter((p) => p.kind === 'label') : [];
  const list = document.createElement('dl');
  for (const label of labels) {
    const term = document.createElement('dt');
    term.textContent = label.title;
    const value = document.createElement('dd');
    value.textContent = label.value;
    value.dataset.label = label.name;
    if (label.name === 'ce90' || label.name === 'le90') value.className = 'headline';
    list.append(term, value);
  }
  const section = $('labels');
  section.replaceChildren();
  const heading = document.createElement('h2');
  heading.textContent = 'Accuracy';
  section.append(heading, list);
  const units = partOf(frame, 'unitstoggle');
  if (units) {
    const note = document.createElement('div');
    note.className = 'units';
    note.textContent = `Lengths in ${units.value.toLowerCase()}; CE90 and LE90 with T&E and mensuration error`;
    section.append(note);
  }
}

function mark(groupId, attribute, value) {
  document.querySelectorAll(`#${groupId} button`).forEach((b) => b.classList.toggle('on', b.dataset[attribute] === value));
}

function measuring() {
  const sets = state.reply ? state.reply.view.toolSets : [];
  return sets.length > 0 && sets[sets.length - 1].chosen === 'pointcreate';
}

function showToggles(view, frame) {
  const units = partOf(frame, 'unitstoggle');
  mark('units', 'units', units ? units.value.toLowerCase() : '');
  const format = partOf(frame, 'reportformat');
  mark('format', 'format', format ? format.value.toLowerCase() : '');
  const sets = view.toolSets;
  mark('tool-choice', 'tool', sets.length ? sets[sets.length - 1].chosen : '');
  mark('autodrive', 'on', state.autoDrive === null ? '' : String(state.autoDrive));
  mark('graphics', 'on', state.graphics === null ? '' : String(state.graphics));
}

function showFilesWritten(files) {
  const section = $('files-written');
  section.replaceChildren();
  if (!files.length) return;
  const heading = document.createElement('h2');
  heading.textContent = 'Files written';
  section.append(heading);
  for (const file of [...new Set(files)].slice(-8)) {
    const link = document.createElement('a');
    link.href = api.downloadUrl(file);
    link.download = file.split('/').pop();
    link.addEventListener('click', (event) => {
      event.preventDefault();
      api.download(api.downloadUrl(file), link.download).catch((error) => log('error', error.message));
    });
    link.textContent = file;
    const line = document.createElement('div');
    line.append(link);
    section.append(line);
  }
}

// Picks shown at once when clicked; once the tool's pick counts drop (an
// accept, a clear, another row), the ones it no longer holds go.
function pendingCount(frame, image) {
  const label = partOf(frame, COUNT_LABELS[image]);
  return label ? parseInt(label.value, 10) || 0 : 0;
}

function reconcilePicks(frame) {
  for (let image = 0; image < 2; image++) {
    const count = pendingCount(frame, image);
    if (state.picks[image].length > count) {
      state.picks[image] = state.picks[image].slice(state.picks[image].length - count);
      for (const pane of state.panes.values()) if (pane.id.image === image) pane.setPicks(state.picks[image], count);
    }
  }
}

function scheduleMarkers() {
  clearTimeout(state.markersTimer);
  state.markersTimer = setTimeout(loadMarkers, 80);
}

async function loadMarkers() {
  const panes = [...state.panes.values()].filter((p) => p.image);
  if (!panes.length) return;
  try {
    const answer = await api.markers(panes.map((p) => p.bounds()));
    let shown = 0;
    let hidden = 0;
    for (const entry of answer.panes) {
      const pane = panes.find((p) => p.id.image === entry.image && p.id.view === entry.view);
      if (pane) pane.setMarkers(entry.markers);
      shown += entry.total;
      hidden += entry.hidden;
    }
    if (shown || hidden) {
      state.graphics = shown > 0;
      mark('graphics', 'on', String(state.graphics));
    }
  } catch (error) {
    if (error.status !== 409) log('error', `markers: ${error.message}`);
  }
  return undefined;
}

// ---- What the analyst does ----

function pick(pane, x, y) {
  const round = (v) => Math.round(v * 1000) / 1000;
  x = round(x);
  y = round(y);
  const image = pane.id.image;
  state.picks[image] = [...state.picks[image], { x, y }];
  for (const other of state.panes.values()) {
    if (other.id.image !== image) continue;
    other.setPicks(state.picks[image], state.picks[image].length);
    if (pane.id.view === 0 && other.id.view === 1) other.centreOn(x, y);
  }
  act({ action: 'click', image, view: pane.id.view, x, y });
}

async function start() {
  const chosen = await askStart();
  if (!chosen) return;
  state.picks = [[], []];
  await act({ action: 'start', left: chosen.left, right: chosen.right });
}

async function fileAction(action, title, save, suggestion) {
  const file = await chooseFile({ title, save, endings: TEXT_FILES, suggestion });
  if (file) await act({ action, file });
}

function moveRow(step) {
  const t = state.reply && state.reply.view.table;
  if (!t || !t.present || !t.rowCount) return;
  const row = Math.max(0, Math.min(t.rowCount - 1, (t.currentRow < 0 ? 0 : t.currentRow) + step));
  if (row !== t.currentRow) act({ action: 'row', row });
}

function currentRow() {
  const t = state.reply && state.reply.view.table;
  return t && t.currentRow >= 0 ? t.currentRow : 0;
}

$('start').onclick = start;
$('start-empty').onclick = start;
$('te-open').onclick = () => fileAction('open', 'Open a T&E file', false, '');
$('te-save').onclick = () => fileAction('save', 'Save the points to a T&E file', true, 'points.txt');
$('report').onclick = () => fileAction('report', 'Write the accuracy report', true, 'report.txt');
$('accept').onclick = () => act({ action: 'accept' });
$('clear').onclick = () => act({ action: 'clear' });
$('drive').onclick = () => act({ action: 'drive' });
$('close').onclick = () => {
  state.picks = [[], []];
  act({ action: 'close' });
};
$('addrow').onclick = () => act({ action: 'addrow' });
$('download-session').onclick = (event) => {
  event.preventDefault();
  api.download('/api/session', 'workspace.session').catch((error) => log('error', error.message));
};
$('insert-above').onclick = () => act({ action: 'insert', row: currentRow(), below: false });
$('insert-below').onclick = () => act({ action: 'insert', row: currentRow(), below: true });
$('delete-rows').onclick = () => act({ action: 'delete' });
document.querySelectorAll('#tool-choice button').forEach((b) => {
  b.onclick = () => act({ action: 'tool', tool: b.dataset.tool });
});
document.querySelectorAll('#autodrive button').forEach((b) => {
  b.onclick = () => {
    state.autoDrive = b.dataset.on === 'true';
    act({ action: 'autodrive', on: state.autoDrive });
  };
});
document.querySelectorAll('#graphics button').forEach((b) => {
  b.onclick = () => {
    state.graphics = b.dataset.on === 'true';
    act({ action: 'graphics', on: state.graphics });
  };
});
document.querySelectorAll('#units button').forEach((b) => {
  b.onclick = () => act({ action: 'units', units: b.dataset.units });
});
document.querySelectorAll('#format button').forEach((b) => {
  b.onclick = () => act({ action: 'format', format: b.dataset.format });
});

document.addEventListener('keydown', (event) => {
  const target = event.target;
  if (document.querySelector('dialog[open]') || table.isEditing()) return;
  if (target && (target.tagName === 'INPUT' || target.tagName === 'TEXTAREA')) return;
  if (event.ctrlKey || event.metaKey || event.altKey) return;
  if (!state.reply || !toolFrame(state.reply.view)) return;
  const pane = state.focused || [...state.panes.values()][0];
  const keys = {
    Enter: () => act({ action: 'accept' }),
    Backspace: () => act({ action: 'clear' }),
    ArrowUp: () => moveRow(-1),
    ArrowDown: () => moveRow(1),
    d: () => act({ action: 'drive' }),
    g: () => {
      state.graphics = !state.graphics;
      act({ action: 'graphics', on: state.graphics });
    },
    '+': () => pane && pane.zoomBy(1),
    '=': () => pane && pane.zoomBy(1),
    '-': () => pane && pane.zoomBy(-1),
  };
  const key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
  if (!keys[key]) return;
  event.preventDefault();
  keys[key]();
});

window.zotWorkspace = { state, refresh, act, assessment };
refresh();
