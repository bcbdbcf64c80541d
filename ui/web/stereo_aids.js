// The stereo aids of a stereo pair: after a pick in one image, the other
// image's panes draw the epipolar curve with a tick every 10 m of height and
// the predicted point at the current point's T&E elevation (with auto-drive
// on, its zoomed pane centres there); M proposes the conjugate by correlation
// (the match action) and Enter takes the proposal as the pick, so the Enter
// after that accepts; S opens the stereo view with its floating mark.

import { haloText } from './marker_shapes.js';
import { fileToScreen } from './pick_geometry.js';
import { curveOnScreen, frameToFile, proposalLabel } from './stereo_model.js';
import { StereoView } from './stereo_view.js';

const CURVE = '#5fd7ff';
const CANDIDATE = '#7dff7a';
const DOUBTFUL = '#ff9d3b';
const MARK = '#ff60ff';

// pick(pane, x, y): the workspace's own pick, as a click in that pane makes it.
export function bindStereoAids(doc, { api, store, connection, act, pick }) {
  const state = { prediction: null, proposal: null, driven: null };
  const view = () => store.state.reply && store.state.reply.view;
  const isStereo = () => {
    const v = view();
    return !!v && v.tool.open && v.panes.some((p) => p.id.image === 1 && p.hasImage);
  };
  const paneOf = (image, kind) => [...store.state.panes.values()].find((p) => p.id.image === image && p.id.view === kind);

  const group = doc.createElement('section');
  group.id = 'stereo-aids';
  group.hidden = true;
  group.setAttribute('aria-label', 'Stereo aids');
  group.innerHTML =
    '<h2>Stereo aids</h2><div class="aid-row">' +
    '<button id="match" title="Propose the conjugate of the last pick by correlation (M); Enter takes it">Match (M)</button>' +
    '<label title="The side of the correlation window, pixels (odd, 5 to 101)">win ' +
    '<input id="match-window" type="number" min="5" max="101" step="2" value="21"></label>' +
    '<label title="Metres either side of the T&amp;E elevation searched; empty: the model\'s height scale">± ' +
    '<input id="match-range" type="number" min="1" step="10" placeholder="auto"> m</label></div>' +
    '<div class="aid-row"><button id="stereo-toggle" title="The stereo view of the current point with a floating mark (S)">' +
    'Stereo view (S)</button><span class="hint">Enter takes a proposal</span></div>';
  doc.getElementById('labels').after(group);
  const windowInput = doc.getElementById('match-window');
  const rangeInput = doc.getElementById('match-range');

  const stereo = new StereoView(doc, doc.getElementById('workspace'), {
    load: (query) => api.stereo('frame', query),
    mark: (query) => api.stereo('mark', query),
    queued: connection.queued,
    picks: (files) => files.forEach(([x, y], image) => pick(paneOf(image, 0), x, y)),
    changed: () => paint(),
  });

  function drawAids(g, screen, pane) {
    const p = state.prediction;
    if (p && pane.id.image === p.to) {
      const curve = curveOnScreen(screen, p);
      g.strokeStyle = CURVE;
      g.lineWidth = 1.5;
      g.beginPath();
      curve.line.forEach((q, i) => (i ? g.lineTo(q.x, q.y) : g.moveTo(q.x, q.y)));
      for (const t of curve.ticks) {
        g.moveTo(t.from.x, t.from.y);
        g.lineTo(t.to.x, t.to.y);
      }
      g.stroke();
      if (curve.predicted) {
        const { x, y, height } = curve.predicted;
        g.beginPath();
        g.arc(x, y, 7, 0, 2 * Math.PI);
        g.stroke();
        haloText(g, `predicted · ${height.toFixed(1)} m`, x + 10, y + 18, CURVE);
      }
    }
    const c = state.proposal;
    if (c && pane.id.image === c.to) {
      const colour = c.doubtful ? DOUBTFUL : CANDIDATE;
      const q = fileToScreen(screen, c.x, c.y);
      g.strokeStyle = colour;
      g.lineWidth = 2;
      g.beginPath();
      g.moveTo(q.x, q.y - 9);
      g.lineTo(q.x + 9, q.y);
      g.lineTo(q.x, q.y + 9);
      g.lineTo(q.x - 9, q.y);
      g.closePath();
      g.stroke();
      haloText(g, `${proposalLabel(c)} · Enter takes it`, q.x + 12, q.y + 32, colour);
    }
    const mark = stereo.shown();
    if (mark) {
      const at = frameToFile(stereo.frame, pane.id.image, mark.at[pane.id.image].u, mark.at[pane.id.image].v);
      const q = fileToScreen(screen, at.x, at.y);
      g.strokeStyle = MARK;
      g.lineWidth = 1.5;
      g.strokeRect(q.x - 4, q.y - 4, 8, 8);
      haloText(g, `mark ${mark.height.toFixed(2)} m`, q.x + 10, q.y + 4, MARK);
    }
  }

  function paint() {
    const on = isStereo();
    for (const pane of store.state.panes.values()) pane.setOverlay(on ? (g, screen) => drawAids(g, screen, pane) : null);
  }

  async function loadPrediction() {
    if (!isStereo()) return;
    let p;
    try {
      p = await api.stereo('prediction');
    } catch {
      return; // the tool asks a question: nothing to predict meanwhile
    }
    state.prediction = p.ok ? p : null;
    const key = p.ok && p.predicted ? JSON.stringify([p.from, p.points[0]]) : null;
    if (key && key !== state.driven && view().tool.autoDrive) paneOf(p.to, 1)?.centreOn(p.predicted.x, p.predicted.y);
    state.driven = key;
    paint();
  }

  store.subscribe((s, why) => {
    if (why !== 'reply') return;
    state.proposal = s.reply.proposal || null;
    group.hidden = !isStereo();
    if (!isStereo()) {
      state.prediction = null;
      if (stereo.open) stereo.close();
    } else connection.queued(loadPrediction);
    paint();
  });

  function match() {
    const options = ['window', String(windowInput.value || 21)];
    if (rangeInput.value) options.push('range', String(rangeInput.value));
    return act('match', { options });
  }
  function takeProposal() {
    const c = state.proposal;
    state.proposal = null;
    pick(paneOf(c.to, 0), c.x, c.y);
  }
  doc.getElementById('match').onclick = match;
  doc.getElementById('stereo-toggle').onclick = () => stereo.toggle();

  // Ahead of the workspace's own keys: M, S, PgUp/PgDn in the stereo view,
  // and Enter while a proposal shows.
  doc.addEventListener(
    'keydown',
    (event) => {
      const target = event.target;
      if (!isStereo() || event.ctrlKey || event.altKey || event.metaKey || doc.querySelector('dialog[open]')) return;
      if (target && (target.tagName === 'INPUT' || target.tagName === 'TEXTAREA')) return;
      const key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
      if (key === 'Enter' && state.proposal) takeProposal();
      else if (key === 'm') match();
      else if (key === 's') stereo.toggle();
      else if ((key === 'PageUp' || key === 'PageDown') && stereo.open) stereo.step(key === 'PageUp');
      else return;
      event.preventDefault();
      event.stopImmediatePropagation();
    },
    true,
  );

  return { state, stereo };
}
