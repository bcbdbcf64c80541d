// The assessment panel's elements: a figure's cell and a plot from the server's SVG text.

import { fixed } from './assessment_model.js';

export function element(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

export function valueCell(figure) {
  const cell = element('td', '', fixed(figure));
  if (cell.textContent === '–') cell.title = 'Not defined for these points; the statements say why';
  return cell;
}

// An <svg> from the server's text. Its <style> is dropped before parsing
// (the page's policy refuses inline styles, and reports each one a parsed
// document meets); workspace.css holds the same rules.
export function svgOf(text) {
  const plain = text.replace(/<style[\s\S]*?<\/style>/g, '');
  const parsed = new DOMParser().parseFromString(plain, 'image/svg+xml').documentElement;
  if (parsed.nodeName !== 'svg') return element('p', 'empty', 'This plot could not be drawn.');
  return document.importNode(parsed, true);
}
