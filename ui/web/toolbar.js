// The toolbar: which controls can be used and which switch of each group is
// on, from the view. toolbarModel is pure; renderToolbar paints the model.

export function toolbarModel(view) {
  const tool = view.tool;
  const open = tool.open && view.panes.some((p) => p.hasImage);
  return {
    open,
    tablePresent: view.table.present,
    pointers: tool.pointers,
    marks: {
      'tool-choice': tool.pointer,
      units: tool.units,
      format: tool.format,
      autodrive: open ? String(tool.autoDrive) : '',
      graphics: open ? String(tool.graphics) : '',
    },
  };
}

// The value each segmented group's buttons carry.
const GROUP_VALUES = { 'tool-choice': 'tool', units: 'units', format: 'format', autodrive: 'on', graphics: 'on' };

function renderPointers(doc, pointers) {
  const group = doc.getElementById('tool-choice');
  const key = pointers.map((p) => `${p.name}:${p.title}`).join('|');
  if (group.dataset.key === key) return;
  group.dataset.key = key;
  group.replaceChildren(
    ...pointers.map((pointer) => {
      const button = doc.createElement('button');
      button.dataset.tool = pointer.name;
      button.textContent = pointer.title;
      return button;
    }),
  );
}

export function renderToolbar(doc, model) {
  renderPointers(doc, model.pointers);
  doc.querySelectorAll('[data-needs-tool] button').forEach((b) => (b.disabled = !model.open));
  doc.querySelectorAll('#table-tools button').forEach((b) => (b.disabled = !model.tablePresent));
  doc.getElementById('start').hidden = model.open;
  for (const [group, value] of Object.entries(model.marks)) {
    const attribute = GROUP_VALUES[group];
    doc.querySelectorAll(`#${group} button`).forEach((b) => b.classList.toggle('on', b.dataset[attribute] === value));
  }
}
