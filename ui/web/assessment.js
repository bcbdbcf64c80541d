// The accuracy assessment of the measured points, beside the tool's figures:
// RMSE per axis, CE90/LE90 as order statistics and the tool's k(r) values,
// the bias test, the NSSDA and ASPRS statements (with the verdict against
// the accuracy classes a producer states), the flagged points and the plots;
// and the deliverable PDF written into the workspace folder. The
// server works it out once per change of the points; the page asks again only
// when the view's count of changes moved, and gets the whole answer only when
// the points differ from those it shows.

import { api } from './api.js';
import { chooseFile } from './dialogs.js';
import { FIGURES, PLOTS, biasLines, figureSets, flaggedLabel, flaggedTitle } from './assessment_model.js';
import { element, svgOf, valueCell } from './assessment_parts.js';

export class AssessmentPanel {
  // chooseRow(row): makes a table row current (a flagged point's).
  // refresh(): fetches the view again (its files written).
  constructor(section, dialog, { chooseRow, refresh }) {
    this.section = section;
    this.dialog = dialog;
    this.chooseRow = chooseRow;
    this.refresh = refresh;
    this.classes = { h: '', v: '' };
    this.revision = -1;
    this.changes = null;
    this.answer = null;
    this.open = false;

    section.append(element('h2', '', 'Assessment'));
    this.empty = element('p', 'empty',
      'No measured points yet. Accept a measurement to see RMSE, CE90/LE90, the statements to the standards and the plots.');
    this.body = element('div', 'body');
    this.figures = element('table', 'figures');
    this.bias = element('div', 'bias');
    this.producer = element('div', 'producer');
    this.flagged = element('div', 'flagged');
    this.statements = element('details', 'statements');
    this.statements.open = true;
    // One plot at a time, chosen by its tab; each enlarges on a click.
    this.plots = element('div', 'plots');
    const tabs = element('div', 'tabs segmented');
    // A thumbnail's own labels would be too small to read: it shows the
    // drawing only (workspace.css), named by its caption; enlarged, in full.
    this.tabs = tabs;
    this.figuresOfPlots = PLOTS.map(([key, caption, what], i) => {
      const figure = element('figure');
      figure.dataset.plot = key;
      figure.title = `${what}: click to enlarge`;
      figure.hidden = i > 0;
      figure.append(element('div', 'svg'), element('figcaption', '', `${what} · click to enlarge and read`));
      figure.addEventListener('click', () => this.enlarge(figure));
      const tab = element('button', i === 0 ? 'on' : '', caption);
      tab.dataset.plot = key;
      tab.title = what;
      tab.addEventListener('click', () => this.choosePlot(key));
      tabs.append(tab);
      return figure;
    });
    this.plots.append(tabs, ...this.figuresOfPlots);

    // Producer mode: the classes the data were made to; empty for a tester's statement.
    const classes = element('div', 'classes');
    classes.append(element('span', '', 'ASPRS class (cm)'));
    for (const [key, label, what] of [['h', 'H', 'horizontal'], ['v', 'V', 'vertical']]) {
      const input = element('input');
      input.type = 'number';
      input.min = '0';
      input.step = 'any';
      input.placeholder = 'none';
      input.id = `asprs-class-${key}`;
      input.title = `The ${what} accuracy class (RMSE in cm) the data were produced to; empty: tested only`;
      input.addEventListener('change', () => {
        this.classes[key] = input.validity.valid ? input.value.trim() : '';
        this.revision = -1;
        this.load(this.changes).catch((e) => this.note(e.message, true));
      });
      const name = element('label', '', label);
      name.htmlFor = input.id;
      name.dataset.axis = input.dataset.axis = key;
      classes.append(name, input);
    }
    this.pdf = element('button', 'pdf', 'PDF');
    this.pdf.title = 'Write the accuracy deliverable of these points as a PDF into the workspace folder';
    this.pdf.addEventListener('click', () => this.writePdf());
    classes.append(this.pdf);
    this.classInputs = classes;
    this.message = element('p', 'message');
    this.message.hidden = true;
    this.body.append(this.figures, this.bias, this.flagged, this.plots, this.statements, classes, this.producer,
      this.message);
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
    const answer = await api.assessment(this.revision, this.classes);
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
    const sets = figureSets(summary);

    const head = element('tr');
    const unit = summary.units || 'meters';
    head.append(element('th', '', unit), ...sets.map(([, title]) => element('th', '', title)));
    const rows = FIGURES.filter(([, , v]) => vertical || !v).map(([key, label, , headline, what]) => {
      const row = element('tr', headline ? 'headline' : '');
      row.dataset.figure = key;
      row.title = what;
      row.append(element('td', '', label), ...sets.map(([set]) => valueCell(summary.figures[set][key])));
      return row;
    });
    this.figures.replaceChildren(head, ...rows);

    const biased = biasLines(summary, sets, unit);
    this.bias.replaceChildren(element('div', 'title', 'Bias (t-test per axis, flagged at p < 0.05)'),
      ...biased.map((line) => element('div', '', line)));
    this.bias.hidden = !biased.length;

    this.flagged.replaceChildren();
    if (flaggedCount > 0) {
      this.flagged.append(element('div', 'title', flaggedTitle(summary, vertical)));
      for (const point of answer.flagged) {
        const button = element('button', '', flaggedLabel(point));
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
    if (statements.asprs_3d) this.statements.append(element('p', '', `ASPRS: ${statements.asprs_3d}`));

    for (const part of this.classInputs.querySelectorAll('[data-axis="v"]')) part.hidden = !vertical;
    const producer = statements.producer;
    this.producer.hidden = !producer;
    if (producer) {
      const verdict = element('div', `verdict ${producer.passed ? 'passed' : 'failed'}`, producer.passed ? 'PASSED' : 'FAILED');
      const checks = element('ul');
      for (const check of producer.checks) {
        const item = element('li', check.passed ? 'passed' : 'failed',
          `${check.passed ? '✓' : '✗'} ${check.check}: ${check.found} (needs ${check.required})`);
        checks.append(item);
      }
      this.producer.replaceChildren(verdict, element('p', '', producer.verdict), checks);
    }

    if (this.enlarged) {
      this.dialog.close();
      this.shrink();
    }
    for (const figure of this.figuresOfPlots) {
      const text = answer.plots[figure.dataset.plot];
      this.tabs.querySelector(`[data-plot="${figure.dataset.plot}"]`).hidden = !text;
      figure.querySelector('.svg').replaceChildren(text ? svgOf(text) : element('p', 'empty', 'No plot for these points.'));
    }
    const shown = this.tabs.querySelector('button.on');
    if (!shown || shown.hidden) this.choosePlot(PLOTS[0][0]);
  }

  choosePlot(key) {
    for (const tab of this.tabs.children) tab.classList.toggle('on', tab.dataset.plot === key);
    for (const figure of this.figuresOfPlots) figure.hidden = figure.dataset.plot !== key;
  }

  note(text, error = false) {
    this.message.textContent = text;
    this.message.classList.toggle('error', error);
    this.message.hidden = !text;
  }

  // The deliverable PDF, to a file chosen in the file dialog (which asks
  // before replacing one); it then shows among the files written.
  async writePdf() {
    const path = await chooseFile({ title: 'Write the assessment PDF', save: true, endings: ['.pdf'], suggestion: 'assessment.pdf' });
    if (!path) return;
    this.pdf.disabled = true;
    try {
      const written = await api.assessmentPdf(path, this.classes);
      this.note(`Wrote ${written.path}; it is listed under Files written.`);
      this.refresh();
    } catch (e) {
      this.note(`The PDF was not written: ${e.message}`, true);
    } finally {
      this.pdf.disabled = false;
    }
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
