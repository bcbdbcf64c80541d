// The actions the page sends, built against the catalogue the server serves
// (GET /api/actions): a request names a declared action and gives its
// arguments under their declared names, so a page that drifts from the
// server's actions fails here, before anything is sent. Pure: no DOM, no I/O.

export function actionOf(catalogue, name) {
  return catalogue.find((a) => a.name === name) || null;
}

// {action: name, ...args}, or throws saying what does not fit the declaration.
export function actionRequest(catalogue, name, args = {}) {
  const decl = actionOf(catalogue, name);
  if (!decl) throw new Error(`the server offers no action "${name}"`);
  const declared = new Map(decl.args.map((a) => [a.name, a]));
  for (const key of Object.keys(args)) {
    if (!declared.has(key)) throw new Error(`action "${name}" takes no "${key}"`);
  }
  for (const arg of decl.args) {
    const value = args[arg.name];
    if (value === undefined) {
      if (!arg.optional) throw new Error(`action "${name}" needs "${arg.name}"`);
    } else if (arg.type === 'choice' && !arg.choices.includes(value)) {
      throw new Error(`"${arg.name}" of action "${name}" must be ${arg.choices.join(' or ')}`);
    }
  }
  return { action: name, ...args };
}

// What an action's result puts in the message log, newest last:
// [{kind: 'message'|'note'|'error', text, detail}].
export function resultEntries(action, result) {
  const entries = [];
  for (const message of result.messages) entries.push({ kind: 'message', text: message, detail: '' });
  for (const note of result.notes) entries.push({ kind: 'note', text: note, detail: '' });
  const printed = new Set(result.printed);
  for (const error of [...result.errors, ...result.printed.filter((p) => !result.errors.includes(p))]) {
    const lines = error.split('\n');
    entries.push({
      kind: 'error',
      text: `${action} failed${printed.has(error) ? ' (the tool printed)' : ''}: ${lines[0]}`,
      detail: lines.slice(1).join('\n'),
      chain: error,
    });
  }
  for (const file of result.filesWritten || []) entries.push({ kind: 'file', text: `Wrote ${file}`, detail: '', path: file });
  return entries;
}
