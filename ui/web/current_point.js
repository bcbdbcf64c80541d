// The current point as the page follows it: its ID, whether a reply moved
// it so that the panes should be driven there, and whether a pick landed
// nearer another point's reference marker than the current point's. Pure.

// The ID of the table's current row, from the rows the page holds; '' when
// there is none or the row is outside them.
export function currentPointId(table) {
  if (!table || !table.present || table.currentRow < 0) return '';
  const column = Math.max(0, table.columns.findIndex((c) => /^(point )?id$/i.test(c.title)));
  const row = table.rows.find((r) => r.row === table.currentRow);
  return row ? row.cells[column] || '' : '';
}

// The actions after which a changed current point is driven to by the page;
// accept and open drive there in the tool itself when auto-drive is on.
const DRIVEN_BY_PAGE = new Set(['row', 'insert', 'delete']);

// Whether the reply to action moved the current point so that the page
// should drive the panes there: auto-drive on and the row changed.
export function drivesAfter(action, before, after) {
  if (!DRIVEN_BY_PAGE.has(action) || !after.tool.open || !after.tool.autoDrive) return false;
  if (after.table.currentRow < 0) return false;
  return !before || before.table.currentRow !== after.table.currentRow || action !== 'row';
}

// The label of the reference marker nearest to the pick when it is not the
// current point's, else null. markers: a pane's markers in file positions.
export function otherNearest(markers, pick, currentId) {
  let best = null;
  let bestDistance = Infinity;
  for (const marker of markers) {
    if (marker.kind !== 'T&E' || !marker.label) continue;
    const distance = Math.hypot(marker.x - pick.x, marker.y - pick.y);
    if (distance < bestDistance) {
      best = marker;
      bestDistance = distance;
    }
  }
  return best && best.label !== currentId ? best.label : null;
}

export function wrongPointQuestion(currentId, other) {
  return {
    text: `Measure ${currentId || 'the current point'} here? The nearest reference marker is ${other}.`,
    buttons: ['Yes', 'No'],
  };
}

// The switches the workspace measures with, as actions still to send so that
// a freshly started tool has them: auto-drive on and the markers shown.
export function readyActions(tool) {
  if (!tool.open) return [];
  const actions = [];
  if (!tool.autoDrive) actions.push(['autodrive', { on: true }]);
  if (!tool.graphics) actions.push(['graphics', { on: true }]);
  return actions;
}
