// What the assessment panel shows, worked out from the server's answer
// without the page: the figures and plots it lists, the sets of points they
// are given for, and the words of the bias test and of the flagged points.

// [key in the figures, label, vertical only, headline, what it is]
export const FIGURES = [
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

// [key in the plots, tab, what it shows]; a plot the server leaves empty
// (the VE histogram of a mono set) has no tab.
export const PLOTS = [
  ['vectorMap', 'Vectors', 'Residual vectors'],
  ['histogram', 'HE', 'HE histogram'],
  ['verticalHistogram', 'VE', 'VE histogram'],
  ['scatter', 'dE / dN', 'dE / dN scatter'],
  ['qq', 'Q-Q', 'Normal Q-Q plot'],
];

const AXES = ['east', 'north', 'up'];

export const fixed = (figure) => (figure && typeof figure.value === 'number' ? figure.value.toFixed(3) : '–');

// The axes the bias test flags in one set of figures, each with its mean,
// the mean's 95 % interval and the test's p-value.
export function biasWords(figures, unit) {
  return AXES.filter((axis) => figures[`bias_${axis}`]).map((axis) => {
    const p = figures[`bias_p_${axis}`];
    const pText = p && typeof p.value === 'number' ? (p.value < 0.001 ? 'p < 0.001' : `p = ${p.value.toFixed(3)}`) : 'p –';
    return `${axis} mean ${fixed(figures[`mean_${axis}`])} ${unit} ` +
      `(95 % ${fixed(figures[`mean_${axis}_low`])} to ${fixed(figures[`mean_${axis}_high`])}, ${pText})`;
  });
}

// The sets the figures are given for: all points, and those not flagged when
// any is; [key in the figures, column title].
export function figureSets(summary) {
  const sets = [['all', `All ${summary.points.count}`]];
  if (summary.points.flagged > 0) sets.push(['without_flagged', `Without flagged ${summary.figures.without_flagged.count}`]);
  return sets;
}

// A line per set whose bias test flags an axis.
export function biasLines(summary, sets, unit) {
  const shortUnit = unit === 'meters' ? 'm' : unit;
  return sets.map(([set, title]) => {
    const words = biasWords(summary.figures[set], shortUnit);
    return words.length ? `${title.replace(/ \d+$/, '')}: ${words.join('; ')}` : '';
  }).filter(Boolean);
}

// The rule by which points were flagged, as the list's title.
export function flaggedTitle(summary, vertical) {
  return `Flagged ${summary.points.flagged}: HE over ${summary.outlier_rule.threshold} × RMSEr` +
    (vertical ? ` or |VE| over ${summary.outlier_rule.threshold_vertical} × RMSEz` : '') + ' of the rest';
}

// A flagged point's button: its ID (or row), HE and how far over the rule.
export function flaggedLabel(point) {
  const ratio = Math.max(point.ratio_horizontal ?? 0, point.ratio_vertical ?? 0);
  return `${point.id || `row ${point.row + 1}`} · HE ${point.he_m.toFixed(3)} m · ${ratio.toFixed(1)}×`;
}
