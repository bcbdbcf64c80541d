// The store: picks shown at once, then kept only while the tool counts them.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createStore, reconciledPicks, withPick } from '../../../ui/web/store.js';

const p = (x, y) => ({ x, y });

test('picks the tool no longer counts go, oldest first, newest first after an undo', () => {
  const cases = [
    [[[p(1, 1), p(2, 2)], []], [2, 0], [[p(1, 1), p(2, 2)], []]],
    [[[p(1, 1), p(2, 2)], [p(3, 3)]], [1, 0], [[p(2, 2)], []]],
    [[[p(1, 1)], []], [5, 0], [[p(1, 1)], []]],
  ];
  for (const [picks, pending, expected] of cases) assert.deepEqual(reconciledPicks(picks, pending), expected);
  assert.deepEqual(reconciledPicks([[p(1, 1), p(2, 2)], []], [1, 0], true), [[p(1, 1)], []]);
  assert.deepEqual(withPick([[], []], 1, 10.12345, 2.0004), [[], [p(10.123, 2)]]);
});

test('a reply keeps the counted picks, a start or a closed tool drops them all', () => {
  const store = createStore();
  const seen = [];
  store.subscribe((state, why) => seen.push(why));
  const reply = (open, pending) => ({ view: { tool: { open, pendingPicks: pending } } });
  store.addPick(0, 5, 6);
  store.addPick(0, 7, 8);
  store.setReply(reply(true, [1, 0]), 'click');
  assert.deepEqual(store.state.picks, [[p(7, 8)], []]);
  store.setReply(reply(true, [1, 0]), 'start');
  assert.deepEqual(store.state.picks, [[], []]);
  store.addPick(1, 1, 1);
  store.setReply(reply(false, []), 'view');
  assert.deepEqual(store.state.picks, [[], []]);
  assert.deepEqual(seen, ['picks', 'picks', 'reply', 'reply', 'picks', 'reply']);
});
