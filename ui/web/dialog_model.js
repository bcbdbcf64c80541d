// What the dialogs show and answer, as data: a file's size, the folder's
// breadcrumbs, the entries a file chooser lists and the answer a question's
// button gives. Pure: no DOM.

export function sizeText(bytes) {
  if (bytes < 1024) return `${bytes} B`;
  if (bytes < 1024 * 1024) return `${(bytes / 1024).toFixed(1)} KB`;
  return `${(bytes / 1024 / 1024).toFixed(1)} MB`;
}

export function joinPath(folder, name) {
  return folder ? `${folder}/${name}` : name;
}

// [folder, name] of a path relative to the workspace folder.
export function splitPath(path) {
  const cut = path.lastIndexOf('/');
  return cut < 0 ? ['', path] : [path.slice(0, cut), path.slice(cut + 1)];
}

// The endings a file query's pattern ("*.txt;*.csv", "*.txt *.csv") names,
// lower case; null when it names none (any file).
export function endingsOf(pattern) {
  const endings = (pattern || '')
    .split(/[;,\s]+/)
    .map((part) => /^\*(\.[^.*?]+)$/.exec(part.trim()))
    .filter(Boolean)
    .map((match) => match[1].toLowerCase());
  return endings.length ? endings : null;
}

// [label, folder] from the workspace folder down to folder.
export function crumbs(folder) {
  const parts = folder.split('/').filter(Boolean);
  return [['workspace', ''], ...parts.map((part, i) => [part, parts.slice(0, i + 1).join('/')])];
}

// Folders, and the files with one of the endings (any file without endings).
export function matchingEntries(entries, endings) {
  return entries.filter((e) => e.folder || !endings || endings.some((end) => e.name.toLowerCase().endsWith(end)));
}

// "yes", "no" or "cancel" for a question's button.
export function answerOf(buttonText) {
  return /^yes$/i.test(buttonText) ? 'yes' : /^no$/i.test(buttonText) ? 'no' : 'cancel';
}
