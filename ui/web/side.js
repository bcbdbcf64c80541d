// The side panel and the table's caption: the tool's figures, the files
// written and the message log. The *Model functions are pure; the render
// functions paint what they give.

// The figures a mono tool has no use for: it measures no height and no right image.
const STEREO_ONLY = new Set(['avgle', 'le90', 'rightcount']);

export function figuresModel(tool, stereo = true) {
  const shown = tool.open ? tool.figures.filter((f) => stereo || !STEREO_ONLY.has(f.name)) : [];
  const statistics = stereo ? 'CE90 and LE90' : 'CE90';
  return {
    figures: shown,
    unitsNote: tool.units ? `Lengths in ${tool.units}; ${statistics} with T&E and mensuration error` : '',
  };
}

export function tableCaption(table) {
  if (!table.present) return 'Points';
  return `Points (${table.rowCount}${table.currentRow >= 0 ? `, current ${table.currentRow + 1}` : ''})`;
}

// The last eight files written, each once, oldest first.
export function filesModel(files) {
  return [...new Set(files)].slice(-8).map((file) => ({ path: file, name: file.split('/').pop() }));
}

function element(doc, tag, text, className) {
  const e = doc.createElement(tag);
  if (text !== undefined) e.textContent = text;
  if (className) e.className = className;
  return e;
}

export function renderFigures(section, model) {
  const doc = section.ownerDocument;
  const list = doc.createElement('dl');
  for (const figure of model.figures) {
    const value = element(doc, 'dd', figure.value, figure.headline ? 'headline' : '');
    value.dataset.label = figure.name;
    list.append(element(doc, 'dt', figure.title), value);
  }
  section.replaceChildren(element(doc, 'h2', 'Accuracy'), list);
  if (model.unitsNote) section.append(element(doc, 'div', model.unitsNote, 'units'));
}

export function renderFilesWritten(section, files, downloadUrl) {
  const doc = section.ownerDocument;
  section.replaceChildren();
  if (!files.length) return;
  section.append(element(doc, 'h2', 'Files written'));
  for (const file of files) {
    const link = element(doc, 'a', file.path);
    link.href = downloadUrl(file.path);
    link.download = file.name;
    const line = doc.createElement('div');
    line.append(link);
    section.append(line);
  }
}

// Adds log entries ({kind, text, detail}) newest on top, keeping 200.
export function renderLog(list, entries) {
  const doc = list.ownerDocument;
  for (const entry of entries) {
    const item = element(doc, 'li', entry.text, entry.kind);
    if (entry.detail) item.append(element(doc, 'pre', entry.detail));
    list.prepend(item);
  }
  while (list.children.length > 200) list.lastChild.remove();
}
