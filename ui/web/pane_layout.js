// The panes' grid: which panes show (mono: main and zoomed side by side;
// stereo: one column per image, main above zoomed), each with its image and
// the note under a main pane about overviews. The *Model functions are pure;
// renderPanes keeps the pane components in step with them.

export function panesModel(view, images, picks) {
  const shown = view.panes.filter((p) => p.hasImage);
  const open = view.tool.open && shown.length > 0;
  const panes = open ? shown : [];
  return {
    open,
    stereo: panes.some((p) => p.id.image === 1),
    measuring: view.tool.measuring,
    panes: panes
      .map((pane) => {
        const image = images.find((i) => i.image === pane.id.image) || null;
        return {
          name: pane.name,
          id: pane.id,
          view: pane,
          image,
          picks: picks[pane.id.image],
          // A pick shows at once, before the tool counts it.
          pending: Math.max(view.tool.pendingPicks[pane.id.image] || 0, picks[pane.id.image].length),
          note: pane.id.view === 0 ? overviewNoteModel(image) : null,
        };
      })
      .sort((a, b) => a.id.image - b.id.image || a.id.view - b.id.view),
  };
}

// What the main pane says of its image's overviews, or null.
export function overviewNoteModel(image) {
  if (!image) return null;
  if (image.error) return { kind: 'error', text: `This image cannot be shown: ${image.error}` };
  const build = image.overviewBuild;
  if (build && build.running) return { kind: 'building', text: 'Building overviews… ', done: build.done };
  if (build && build.error) return { kind: 'failed', text: `Overviews could not be built: ${build.error}` };
  if (!image.wantsOverviews) return null;
  return {
    kind: 'offer',
    text: `${image.width} × ${image.height} pixels and no overviews: zoomed-out views are slow. `,
    image: image.image,
  };
}

function noteElement(doc, note, buildOverviews) {
  if (!note) return null;
  const element = doc.createElement('div');
  element.append(note.text);
  if (note.kind === 'building') {
    const bar = doc.createElement('progress');
    bar.max = 1;
    bar.value = note.done;
    element.append(bar);
  }
  if (note.kind === 'offer') {
    const button = doc.createElement('button');
    button.textContent = 'Build overviews';
    button.onclick = () => buildOverviews(note.image);
    element.append(button);
  }
  return element;
}

// panes: the components by name (changed in place); make(id) makes one.
export function renderPanes(container, empty, model, panes, { make, buildOverviews }) {
  const doc = container.ownerDocument;
  empty.hidden = model.open;
  container.hidden = !model.open;
  const wanted = new Set(model.panes.map((p) => p.name));
  for (const [name, pane] of panes)
    if (!wanted.has(name)) {
      pane.destroy();
      panes.delete(name);
    }
  container.className = model.stereo ? 'stereo' : 'mono';
  for (const shown of model.panes) {
    let pane = panes.get(shown.name);
    if (!pane) {
      pane = make(container, shown.id);
      panes.set(shown.name, pane);
    }
    pane.setImage(shown.image);
    pane.applyToolView(shown.view);
    pane.setMeasuring(model.measuring);
    pane.setPicks(shown.picks, shown.pending);
    if (shown.id.view === 0) pane.setNote(noteElement(doc, shown.note, buildOverviews));
    container.append(pane.element);
  }
}
