// The keys of the workspace: what each means, as an intent the input
// handlers turn into an action or a zoom. keyIntent is pure.
//
//   {action: NAME, args}   send the action
//   {row: STEP}            move the current row by STEP
//   {zoom: STEP}           zoom the pane under the mouse
//   {toggleGraphics: true} show or hide the markers
//   {resetContrast: true}  the image under the mouse back to its plain stretch
export function keyIntent(key, { ctrl = false, alt = false, meta = false, shift = false } = {}) {
  if ((ctrl || meta) && !alt) {
    const letter = key.toLowerCase();
    if (letter === 'z') return { action: shift ? 'redo' : 'undo' };
    if (letter === 'y') return { action: 'redo' };
    return null;
  }
  if (ctrl || alt || meta) return null;
  const intents = {
    Enter: { action: 'accept' },
    Backspace: { action: 'clear' },
    Escape: { action: 'unpick' },
    ArrowUp: { row: -1 },
    ArrowDown: { row: 1 },
    d: { action: 'drive' },
    g: { toggleGraphics: true },
    '+': { zoom: 1 },
    '=': { zoom: 1 },
    '-': { zoom: -1 },
    0: { resetContrast: true },
  };
  return intents[key.length === 1 ? key.toLowerCase() : key] || null;
}

// The row a move by step leads to, within the table; null when it stays.
export function rowAfterMove(table, step) {
  if (!table || !table.present || !table.rowCount) return null;
  const row = Math.max(0, Math.min(table.rowCount - 1, (table.currentRow < 0 ? 0 : table.currentRow) + step));
  return row === table.currentRow ? null : row;
}
