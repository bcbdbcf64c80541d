// The point table's arithmetic: column widths, colours between the tool's
// "r g b" texts and the colour input's #rrggbb, the rows to ask the server
// for, and the selection a click makes. Pure: no DOM.

export const ROW_HEIGHT = 24;
export const SPARE_ROWS = 30;

export function columnWidth(column) {
  if (column.kind === 'rowheader') return 52;
  if (column.kind === 'colour') return 92;
  if (column.title === 'ID') return 96;
  if (/Description/.test(column.title)) return 190;
  if (/Latitude|Longitude/.test(column.title) && !/Delta/.test(column.title)) return 140;
  return Math.max(100, column.title.length * 7 + 16);
}

// The compact layout keeps the row number, the ID, the elevations, the
// accuracies and every error column, narrow (a header's full title shows on
// hover); the positions and the description show in the full layout.
export function compactColumn(column) {
  if (/^(T&E|Measured) (Latitude|Longitude|X|Y)$/.test(column.title) || /Description/.test(column.title)) return null;
  if (column.kind === 'rowheader') return 44;
  if (column.kind === 'colour') return 44;
  if (column.title === 'ID') return 80;
  return 84;
}

// Each column's width in the layout, 0 for a column not shown; and how far
// from the left the frozen columns (row number and ID) stay.
export function tableLayout(columns, compact) {
  const widths = columns.map((c) => (compact ? compactColumn(c) || 0 : columnWidth(c)));
  const frozen = [];
  let left = 0;
  columns.forEach((c, i) => {
    if (i > 1 || !(c.kind === 'rowheader' || c.title === 'ID')) return;
    frozen[i] = left;
    left += widths[i];
  });
  return { widths, frozen };
}

// {red, green, blue} from 0 to 1 as #rrggbb.
export function hex(colour) {
  const part = (v) => Math.round(Math.max(0, Math.min(1, v)) * 255).toString(16).padStart(2, '0');
  return `#${part(colour.red)}${part(colour.green)}${part(colour.blue)}`;
}

// #rrggbb as the text the tool's colour cells take: "1.000 0.502 0.000".
export function colourText(value) {
  return [1, 3, 5].map((i) => (parseInt(value.substr(i, 2), 16) / 255).toFixed(3)).join(' ');
}

// The rows to ask the server for: those in sight and some around them.
export function rowWindow(scrollTop, height) {
  const first = Math.max(0, Math.floor(scrollTop / ROW_HEIGHT) - SPARE_ROWS);
  const count = Math.ceil(height / ROW_HEIGHT) + 2 * SPARE_ROWS;
  return { first, count };
}

// What a click on row does: {current: row} makes it current, {select: rows}
// replaces the selection (Ctrl toggles the row, Shift extends from anchor),
// null does nothing (a click on the current row).
export function clickEffect(table, anchor, row, { ctrl = false, shift = false } = {}) {
  if (!ctrl && !shift) return row === table.currentRow ? null : { current: row };
  const selected = new Set(table.selected);
  if (shift && anchor >= 0) {
    for (let r = Math.min(anchor, row); r <= Math.max(anchor, row); r++) selected.add(r);
  } else if (selected.has(row)) {
    selected.delete(row);
  } else {
    selected.add(row);
  }
  return { select: [...selected].sort((a, b) => a - b) };
}
