// The page's connection to zot-host serve: requests run one after another,
// so replies apply in the order they were asked for; an action's reply goes
// to the store, and a question it carries is answered through the dialogs
// before the next request. Also the panes' markers and the overview builds.

import { drivesAfter } from './current_point.js';
import { actionRequest, resultEntries } from './requests.js';

// api: the transport (api.js); table: the point table (its window of rows);
// log(entries): the message log; answer(question): resolves with the answer
// request ({answer: ...}) the analyst chose.
export function createConnection({ api, store, table, log, answer }) {
  const state = store.state;
  let markersTimer = 0;

  function queued(work) {
    state.queue = state.queue.then(work).catch((error) => log([{ kind: 'error', text: error.message, detail: '' }]));
    return state.queue;
  }

  async function handle(reply, action) {
    store.setReply(reply, action);
    if (!reply.question) return;
    const next = await api.answer(await answer(reply.question));
    if (next.result) log(resultEntries(action || 'answer', next.result));
    await handle(next, action);
  }

  // An action's request and reply; when it moved the current point and
  // auto-drive is on, the panes are driven there as the tool's Drive does.
  async function send(name, args) {
    const before = state.reply && state.reply.view;
    const reply = await api.act({ ...actionRequest(state.catalogue, name, args), window: table.window() });
    if (reply.result) log(resultEntries(name, reply.result), name);
    await handle(reply, name);
    if (drivesAfter(name, before, state.reply.view)) await send('drive', {});
  }

  // Sends an action of the catalogue; the reply carries the view after it.
  function act(name, args = {}) {
    return queued(() => send(name, args));
  }

  function refresh() {
    return queued(async () => {
      const window = table.window();
      await handle(await api.view(window.first, window.count));
    });
  }

  function loadCatalogue() {
    return queued(async () => store.setCatalogue(await api.actions()));
  }

  async function loadMarkers() {
    const panes = [...state.panes.values()].filter((p) => p.image);
    if (!panes.length) return;
    try {
      const answer = await api.markers(panes.map((p) => p.bounds()));
      for (const entry of answer.panes) {
        const pane = panes.find((p) => p.id.image === entry.image && p.id.view === entry.view);
        if (pane) pane.setMarkers(entry.markers);
      }
    } catch (error) {
      if (error.status !== 409) log([{ kind: 'error', text: `markers: ${error.message}`, detail: '' }]);
    }
  }

  // After a reply the markers follow in the same queue, so that what the
  // tool placed shows before the next action's reply.
  function markersAfterReply() {
    clearTimeout(markersTimer);
    queued(loadMarkers);
  }

  // After the analyst moved a pane, once the moving stops.
  function scheduleMarkers() {
    clearTimeout(markersTimer);
    markersTimer = setTimeout(loadMarkers, 80);
  }

  function buildOverviews(image) {
    return queued(async () => {
      await api.buildOverviews(image);
      setTimeout(refresh, 300);
    });
  }

  return { queued, act, refresh, loadCatalogue, markersAfterReply, scheduleMarkers, buildOverviews };
}
