// The status line's content: error sentences without function names, errors
// kept until dismissed, the last message, a new tool without the old ones.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { dismissed, emptyStatus, fileLinks, statusAfter, userSentence } from '../../../ui/web/status.js';

test('an error line says its sentence without the functions it passed through', () => {
  const cases = [
    ['TEPointLoader::processLine (line 1): Incorrect format for T&E File.', 'Incorrect format for T&E File.'],
    ['ZOT_DriveTo: DriveTo: Error driving to point', 'Error driving to point'],
    ['line 1: 2 TABs, a point line needs 6', 'line 1: 2 TABs, a point line needs 6'],
    ['Note: nothing to measure', 'Note: nothing to measure'],
  ];
  for (const [line, sentence] of cases) assert.equal(userSentence(line), sentence, line);
});

test('errors stay until dismissed, the last other message replaces the one before, a start clears all', () => {
  const error = { kind: 'error', text: 'open failed: X::y: Bad file.', detail: '  X::z: line 2', chain: 'X::y: Bad file.\n  X::z: line 2' };
  let status = statusAfter(emptyStatus(), [error, { kind: 'message', text: 'one' }], 'open');
  status = statusAfter(status, [{ kind: 'file', text: 'Wrote r.txt', path: 'r.txt' }], 'report');
  assert.deepEqual(status.errors.map((e) => [e.sentence, e.chain]), [['Bad file.', error.chain]]);
  assert.equal(status.last.path, 'r.txt');
  assert.deepEqual(dismissed(status, status.errors[0].id).errors, []);
  const started = statusAfter(status, [{ kind: 'message', text: 'started' }], 'start');
  assert.deepEqual([started.errors, started.last.text], [[], 'started']);
});

test('a file written links to its download, and to its HTML assessment when one was written', () => {
  const url = (p) => `/d?${p}`;
  assert.deepEqual(fileLinks('a/r.txt', ['a/r.txt'], url).map((l) => l.href), ['/d?a/r.txt']);
  assert.deepEqual(fileLinks('a/r.txt', ['a/r.html', 'a/r.txt'], url).map((l) => l.href), ['/d?a/r.txt', '/d?a/r.html']);
});
