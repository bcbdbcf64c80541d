import { test } from 'node:test';
import assert from 'node:assert/strict';

import { biasLines, figureSets, flaggedLabel, flaggedTitle } from '../../../ui/web/assessment_model.js';

const figure = (value) => ({ value });
const summary = {
  points: { count: 10, flagged: 1 },
  figures: {
    all: { count: 10, bias_east: true, bias_p_east: figure(0.0004), mean_east: figure(0.5), mean_east_low: figure(0.1), mean_east_high: figure(0.9) },
    without_flagged: { count: 9 },
  },
  outlier_rule: { threshold: 5.02, threshold_vertical: 4.4 },
};

test('the figures are given for all points and, when any is flagged, for the rest', () => {
  assert.deepEqual(figureSets(summary), [['all', 'All 10'], ['without_flagged', 'Without flagged 9']]);
  assert.deepEqual(figureSets({ ...summary, points: { count: 3, flagged: 0 } }), [['all', 'All 3']]);
});

test('the bias and flagged points are said in words', () => {
  assert.deepEqual(biasLines(summary, figureSets(summary), 'meters'),
    ['All: east mean 0.500 m (95 % 0.100 to 0.900, p < 0.001)']);
  assert.equal(flaggedTitle(summary, true), 'Flagged 1: HE over 5.02 × RMSEr or |VE| over 4.4 × RMSEz of the rest');
  assert.equal(flaggedLabel({ id: '', row: 6, he_m: 26.7684, ratio_horizontal: 27.71 }), 'row 7 · HE 26.768 m · 27.7×');
});
