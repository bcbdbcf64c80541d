// The one store of the page: the last reply of the server (the view, the
// images, the session count), the catalogue of actions, and what the page
// holds on its own: the picks it showed at once, before the tool counted
// them. Renderers read it; only the connection and the pick handler change it.

// Picks the tool still holds: once its count of pending picks in an image
// drops (an accept, a clear, another row), the oldest ones go.
// After an undo the newest ones go instead.
export function reconciledPicks(picks, pending, newestGo = false) {
  return picks.map((list, image) => {
    const count = pending[image] || 0;
    if (list.length <= count) return list;
    return newestGo ? list.slice(0, count) : list.slice(list.length - count);
  });
}

// A pick shown at once, rounded to a thousandth of a pixel as it is sent.
export function withPick(picks, image, x, y) {
  const round = (v) => Math.round(v * 1000) / 1000;
  return picks.map((list, i) => (i === image ? [...list, { x: round(x), y: round(y) }] : list));
}

export function createStore() {
  const listeners = [];
  const state = {
    reply: null,
    catalogue: [],
    picks: [[], []],
    warnings: [null, null], // per image: the other point a pick landed nearest, or null
    panes: new Map(), // the pane components by name, kept by the pane renderer
    focused: null,
    queue: Promise.resolve(),
  };
  const changed = (why) => listeners.forEach((listener) => listener(state, why));
  return {
    state,
    subscribe: (listener) => listeners.push(listener),
    setCatalogue(catalogue) {
      state.catalogue = catalogue;
    },
    setReply(reply, action) {
      state.reply = reply;
      const tool = reply.view.tool;
      if (action === 'start' || action === 'close' || !tool.open) state.picks = [[], []];
      else state.picks = reconciledPicks(state.picks, tool.pendingPicks, action === 'undo' || action === 'unpick');
      state.warnings = state.warnings.map((w, image) => (state.picks[image].length ? w : null));
      changed('reply');
    },
    addPick(image, x, y, warning = null) {
      state.picks = withPick(state.picks, image, x, y);
      state.warnings = state.warnings.map((w, i) => (i === image ? warning : w));
      changed('picks');
      const last = state.picks[image][state.picks[image].length - 1];
      return last;
    },
    focus(pane) {
      state.focused = pane;
    },
  };
}
