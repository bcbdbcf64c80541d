// The accuracy assessment of the measured points, beside the tool's figures:
// RMSE per axis, CE90/LE90 as order statistics and the tool's k(r) values,
// the NSSDA and ASPRS statements, the flagged points and the three plots. The
// server works it out once per change of the points; the page asks again only
// when the view's count of changes moved, and gets the whole answer only when
// the points differ from those it shows.

import { api } from './api.js';

// [key in the figures, label, vertical only, headline, what it is]
const FIGURES = [
  ['rmse_x', 'RMSEx (east)', false, false, 'Root mean square of dE'],
  ['rmse_y', 'RMSEy (north)', false, false, 'Root mean square of dN'],
  ['rmse_r', 'RMSEr', false, true, 'sqrt(RMSEx² + RMSEy²)'],
  ['rmse_z', 'RMSEz', true, true, 'Root mean square of dU'],
  ['ce90_order_statistic', 'CE90 empirical', false, true, '90th percentile of HE (order statistic)'],
  ['ce90_tool', 'CE90 tool k(r)', false, false, "The tool's |mean| + k(r) sd against the T&E points"],
  ['le90_order_statistic', 'LE90 empirical', true, true, '90th percentile of |VE| (order statistic)'],
  ['le90_tool', 'LE90 tool k(r)', true, false, "The tool's |mean| + k(r) sd against the T&E points"],
  ['nssda_accuracy_r', 'NSSDA horiz. 95 %', false, false, 'NSSDA Accuracy_r at 95 % confidence'],
  ['nssda_accuracy_z', 'NSSDA vert. 95 %', true, false, 'NSSDA Accuracy_z = 1.9600 RMSEz'],
];

const PLOTS = [
  ['vectorMap', 'Vectors'],
  ['histogram', 'Histogram'],
  ['scatter', 'dE / dN'],
];

const AXES = [['bias_east', 'east'], ['bias_north', 'north'], ['bias_up', 'up']];

function element(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

function metres(figure) {
  const cell = element('td', '', figure && typeof figure.value === 'number' ? figure.value.toFixed(3) : '–');
  if (cell.textContent === '–') cell.title = 'Not defined for these points; the statements say why';
  return cell;
}

// An <svg> from the server's text. Its <style> is dropped before parsing
// (the page's policy refuses inline styles, and reports each one a parsed
// document meets); workspace.css holds the same rules.
function svgOf(text) {
  const plain = text.replace(/<style[\s\S]*?<\/style>/g, '');
  const parsed = new DOMParser().parseFromString(plain, 'image/svg+xml').documentElement;
  if (parsed.nodeName !== 'svg') return element('p', 'empty', 'This plot could not be drawn.');
  return document.importNode(parsed, true);
}

export class AssessmentPanel {
  // chooseRow(row): makes a table row current (a flagged point's).
  constructor(section, dialog, { chooseRow }) {
    this.section = section;
    this.dialog = dialog;
    this.chooseRow = chooseRow;
    this.revision = -1;
    this.changes = null;
    this.answer = null;
    this.open = false;

    section.append(element('h2', '', 'Assessment'));
    this.empty = element('p', 'empty',
      'No measured points yet. Accept a measurement to see RMSE, CE90/LE90, the statements to the standards and the plots.');
    this.body = element('div', 'body');
    this.figures = element('table', 'figures');
    this.bias = element('p', 'bias');
    this.flagged = element('div', 'flagged');
    this.statements = element('details', 'statements');
    this.statements.open = true;
    // One plot at a time, chosen by its tab; each enlarges on a click.
    this.plots = element('div', 'plots');
    const tabs = element('div', 'tabs segmented');
    this.figuresOfPlots = PLOTS.map(([key, caption], i) => {
      const figure = element('figure');
      figure.dataset.plot = key;
      figure.title = `${caption}: click to enlarge`;
      figure.hidden = i > 0;
      figure.append(element('div', 'svg'), element('figcaption', '', `${caption} · click to enlarge`));
      figure.addEventListener('click', () => this.enlarge(figure));
      const tab = element('button', i === 0 ? 'on' : '', caption);
      tab.dataset.plot = key;
      tab.addEventListener('click', () => {
        for (const other of tabs.children) other.classList.toggle('on', other === tab);
        for (const other of this.figuresOfPlots) other.hidden = other !== figure;
      });
      tabs.append(tab);
      return figure;
    });
    this.plots.append(tabs, ...this.figuresOfPlots);
    this.body.append(this.figures, this.bias, this.flagged, this.plots, this.statements);
    section.append(this.empty, this.body);
    dialog.addEventListener('close', () => this.shrink());
    dialog.addEventListener('click', () => dialog.close());
    this.render();
  }

  // Shown while a tool is open.
  show(open) {
    this.open = open;
    this.section.hidden = !open;
  }

  // Whether the view says the points may have changed since the last look.
  stale(reply) {
    return reply.changes !== this.changes;
  }

  async load(changes) {
    const answer = await api.assessment(this.revision);
    this.changes = changes;
    if (answer.unchanged) return;
    this.revision = answer.revision;
    this.answer = answer;
    this.render();
  }

  render() {
    const answer = this.answer;
    const measured = answer ? answer.measured : 0;
    this.empty.hidden = measured > 0;
    this.body.hidden = measured === 0;
    this.section.dataset.measured = String(measured);
    if (!measured) return;
    const summary = answer.summary;
    const vertical = summary.source.vertical_measured;
    const flaggedCount = summary.points.flagged;
    const sets = [['all', `All ${summary.points.count}`]];
    if (flaggedCount > 0) sets.push(['without_flagged', `Without flagged ${summary.figures.without_flagged.count}`]);

    const head = element('tr');
    head.append(element('th', '', 'metres'), ...sets.map(([, title]) => element('th', '', title)));
    const rows = FIGURES.filter(([, , v]) => vertical || !v).map(([key, label, , headline, what]) => {
      const row = element('tr', headline ? 'headline' : '');
      row.dataset.figure = key;
      row.title = what;
      row.append(element('td', '', label), ...sets.map(([set]) => metres(summary.figures[set][key])));
      return row;
    });
    this.figures.replaceChildren(head, ...rows);

    const biased = sets.map(([set, title]) => {
      const axes = AXES.filter(([key]) => summary.figures[set][key]).map(([, axis]) => axis);
      return axes.length ? `${title.replace(/ \d+$/, '').toLowerCase()}: ${axes.join(', ')}` : '';
    }).filter(Boolean);
    this.bias.textContent = biased.length ? `Bias (mean error over 25 % of the RMSE): ${biased.join('; ')}` : '';
    this.bias.hidden = !biased.length;

    this.flagged.replaceChildren();
    if (flaggedCount > 0) {
      this.flagged.append(element('div', 'title',
        `Flagged ${flaggedCount}: residual over ${summary.outlier_rule.threshold} × the RMSE of the rest`));
      for (const point of answer.flagged) {
        const ratio = Math.max(point.ratio_horizontal ?? 0, point.ratio_vertical ?? 0);
        const button = element('button', '', `${point.id || `row ${point.row + 1}`} · HE ${point.he_m.toFixed(3)} m · ${ratio.toFixed(1)}×`);
        button.title = `Row ${point.row + 1}: make it the current point`;
        button.dataset.row = String(point.row);
        button.addEventListener('click', () => this.chooseRow(point.row));
        this.flagged.append(button);
      }
      if (answer.flagged.length < flaggedCount)
        this.flagged.append(element('div', 'more', `and ${flaggedCount - answer.flagged.length} more`));
    } else {
      this.flagged.append(element('div', 'title none', 'No point flagged as an outlier.'));
    }

    const statements = summary.statements.all;
    this.statements.replaceChildren(element('summary', '', 'Statements'),
      element('p', '', `NSSDA: ${statements.nssda}`), element('p', '', `ASPRS: ${statements.asprs_horizontal}`));
    if (vertical) this.statements.append(element('p', '', `ASPRS: ${statements.asprs_vertical}`));

    if (this.enlarged) {
      this.dialog.close();
      this.shrink();
    }
    for (const figure of this.figuresOfPlots) figure.querySelector('.svg').replaceChildren(svgOf(answer.plots[figure.dataset.plot]));
  }

  enlarge(figure) {
    const svg = figure.querySelector('.svg > *');
    if (!svg) return;
    this.enlarged = figure;
    this.dialog.replaceChildren(svg, element('p', 'hint', 'Click or Esc to close.'));
    this.dialog.showModal();
  }

  shrink() {
    if (!this.enlarged) return;
    const svg = this.dialog.querySelector('svg, p.empty');
    if (svg) this.enlarged.querySelector('.svg').replaceChildren(svg);
    this.enlarged = null;
  }
}
