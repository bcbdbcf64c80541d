// The point table: the tool's columns, the rows the server sent for the part
// scrolled into sight (a long table is never loaded whole), the current row
// and the selection, and cells edited in place.

import { clickEffect, colourText, hex, rowWindow, ROW_HEIGHT, SPARE_ROWS, tableLayout } from './table_model.js';

export class PointTable {
  // callbacks: chooseRow(row), select(rows), edit(row, column, text), needRows(first, count)
  constructor(scroll, head, body, callbacks) {
    this.scroll = scroll;
    this.head = head;
    this.body = body;
    this.callbacks = callbacks;
    this.table = { present: false, columns: [], rowCount: 0, currentRow: -1, selected: [], rows: [] };
    this.rows = new Map();
    this.anchor = -1;
    this.editing = null;
    this.columnsKey = '';
    this.compact = true;
    this.scroll.addEventListener('scroll', () => {
      this.render();
      this.requestVisible();
    });
    new ResizeObserver(() => this.render()).observe(this.scroll);
  }

  // The rows to ask the server for: those in sight and some around them.
  window() {
    return rowWindow(this.scroll.scrollTop, this.scroll.clientHeight);
  }

  update(table) {
    const currentMoved = table.currentRow !== this.table.currentRow;
    this.table = table;
    this.rows = new Map(table.rows.map((r) => [r.row, r]));
    const key = table.columns.map((c) => c.title + c.kind).join('|') + this.compact;
    if (key !== this.columnsKey) {
      this.columnsKey = key;
      this.layout = tableLayout(table.columns, this.compact);
      this.head.replaceChildren(
        ...table.columns.map((c, i) => {
          const cell = this.cell(i, c);
          cell.textContent = c.title;
          cell.title = c.title;
          return cell;
        }),
      );
    }
    this.body.style.height = `${table.rowCount * ROW_HEIGHT}px`;
    if (currentMoved && table.currentRow >= 0) this.scrollToRow(table.currentRow);
    this.render();
  }

  // Shows the compact layout (errors in sight) or every column at full width.
  setCompact(on) {
    this.compact = on;
    this.update(this.table);
  }

  // A cell of column c, sized, hidden or frozen as the layout says.
  cell(c, column) {
    const cell = document.createElement('div');
    cell.className = `cell ${column.kind}`;
    const width = this.layout.widths[c];
    cell.style.width = `${width}px`;
    if (!width) cell.hidden = true;
    if (this.layout.frozen[c] !== undefined) {
      cell.classList.add('frozen');
      cell.style.left = `${this.layout.frozen[c]}px`;
    }
    return cell;
  }

  scrollToRow(row) {
    const top = row * ROW_HEIGHT;
    const headHeight = this.head.offsetHeight;
    const visible = this.scroll.clientHeight - headHeight;
    if (top < this.scroll.scrollTop) this.scroll.scrollTop = top;
    else if (top + ROW_HEIGHT > this.scroll.scrollTop + visible) this.scroll.scrollTop = top + ROW_HEIGHT - visible;
  }

  requestVisible() {
    const { first, count } = this.window();
    const last = Math.min(this.table.rowCount, first + count) - 1;
    for (let row = Math.max(first + SPARE_ROWS - 5, 0); row <= Math.min(last, first + count - SPARE_ROWS); row++) {
      if (!this.rows.has(row)) {
        clearTimeout(this.pending);
        this.pending = setTimeout(() => this.callbacks.needRows(first, count), 60);
        return;
      }
    }
  }

  render() {
    if (this.editing) return;
    const first = Math.max(0, Math.floor(this.scroll.scrollTop / ROW_HEIGHT) - 5);
    const last = Math.min(this.table.rowCount, first + Math.ceil(this.scroll.clientHeight / ROW_HEIGHT) + 10);
    const selected = new Set(this.table.selected);
    const elements = [];
    for (let row = first; row < last; row++) {
      const data = this.rows.get(row);
      const element = document.createElement('div');
      element.className = 'row';
      element.dataset.row = row;
      element.style.top = `${row * ROW_HEIGHT}px`;
      if (row === this.table.currentRow) element.classList.add('current');
      if (selected.has(row)) element.classList.add('selected');
      this.table.columns.forEach((column, c) => {
        const cell = this.cell(c, column);
        cell.dataset.column = c;
        const text = data ? data.cells[c] : c === 0 ? String(row + 1) : '';
        if (column.kind === 'colour' && data && text) {
          const swatch = document.createElement('span');
          swatch.className = 'swatch';
          swatch.style.background = hex(data.colours[c]);
          cell.append(swatch);
          cell.title = text;
        } else {
          cell.textContent = text;
          if (text.length > 12) cell.title = text;
        }
        element.append(cell);
      });
      element.addEventListener('click', (event) => this.clicked(event, row));
      element.addEventListener('dblclick', (event) => {
        const cell = event.target.closest('.cell');
        if (cell) this.startEditing(element, cell, row, Number(cell.dataset.column));
      });
      elements.push(element);
    }
    this.body.replaceChildren(...elements);
  }

  clicked(event, row) {
    const effect = clickEffect(this.table, this.anchor, row, {
      ctrl: event.ctrlKey || event.metaKey,
      shift: event.shiftKey,
    });
    this.anchor = row;
    if (effect && effect.select) this.callbacks.select(effect.select);
    if (effect && effect.current !== undefined) this.callbacks.chooseRow(effect.current);
  }

  startEditing(rowElement, cell, row, column) {
    const kind = this.table.columns[column].kind;
    if (kind === 'rowheader' || this.editing) return;
    const data = this.rows.get(row);
    const input = document.createElement('input');
    if (kind === 'colour') {
      input.type = 'color';
      input.value = data ? hex(data.colours[column]) : '#ffffff';
    } else {
      input.value = data ? data.cells[column] : '';
    }
    this.editing = { row, column };
    cell.replaceChildren(input);
    input.focus();
    if (input.select) input.select();
    const finish = (commit) => {
      if (!this.editing) return;
      this.editing = null;
      if (commit) {
        let text = input.value;
        if (kind === 'colour') text = colourText(text);
        this.callbacks.edit(row, column, text);
      }
      this.render();
    };
    input.addEventListener('keydown', (event) => {
      event.stopPropagation();
      if (event.key === 'Enter') finish(true);
      if (event.key === 'Escape') finish(false);
    });
    input.addEventListener('change', () => kind === 'colour' && finish(true));
    input.addEventListener('blur', () => finish(false));
  }

  isEditing() {
    return this.editing !== null;
  }
}
