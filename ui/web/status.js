// The status line under the panes: the last message, each error until it is
// dismissed (its sentence first, the chain of causes behind "details"), and a
// file written with links to it. statusAfter and userSentence are pure;
// renderStatus paints the status.

// An error line without the function and place it was raised in:
// "Loader::processLine (line 1): Incorrect format." -> "Incorrect format."
export function userSentence(line) {
  let text = line.trim();
  for (;;) {
    const found = text.match(/^([A-Za-z_][\w]*(?:::\w+)*)(\s*\([^)]*\))?:\s+(.*)$/s);
    if (!found || !/::|_|[a-z][A-Z]|^[A-Z]{2,}[a-z]/.test(found[1])) return text;
    text = found[3];
  }
}

export const emptyStatus = () => ({ errors: [], last: null, next: 1 });

// The status after a reply's entries ({kind, text, detail, chain, path});
// a new tool starts with none of the old ones.
export function statusAfter(status, entries, action) {
  const next = action === 'start' ? emptyStatus() : { ...status, errors: [...status.errors] };
  for (const entry of entries) {
    if (entry.kind === 'error') {
      const chain = entry.chain || [entry.text, entry.detail].filter(Boolean).join('\n');
      next.errors.push({ id: next.next++, sentence: userSentence(chain.split('\n')[0]), chain });
    } else {
      next.last = entry;
    }
  }
  return next;
}

export function dismissed(status, id) {
  return { ...status, errors: status.errors.filter((e) => e.id !== id) };
}

// The links of a file written: download, and its HTML assessment when one of
// the same name was written too.
export function fileLinks(path, written, downloadUrl) {
  const links = [{ text: 'Download', href: downloadUrl(path), download: path.split('/').pop() }];
  const html = path.replace(/\.[^./]*$/, '') + '.html';
  if (html !== path && written.includes(html)) links.push({ text: 'Open the HTML assessment', href: downloadUrl(html) });
  return links;
}

function element(doc, tag, text, className) {
  const e = doc.createElement(tag);
  if (text) e.textContent = text;
  if (className) e.className = className;
  return e;
}

// written: the files written so far (the view's); dismiss(id) drops an error.
export function renderStatus(section, status, { written, downloadUrl, dismiss }) {
  const doc = section.ownerDocument;
  section.replaceChildren();
  for (const error of status.errors) {
    const line = element(doc, 'div', '', 'status-error');
    line.dataset.error = error.id;
    const chain = element(doc, 'pre', error.chain, 'chain');
    chain.hidden = true;
    const details = element(doc, 'button', 'details', 'details');
    details.onclick = () => (chain.hidden = !chain.hidden);
    const close = element(doc, 'button', '×', 'dismiss');
    close.title = 'Dismiss';
    close.onclick = () => dismiss(error.id);
    line.append(element(doc, 'span', error.sentence, 'sentence'), details, close, chain);
    section.append(line);
  }
  const last = status.last;
  if (last) {
    const line = element(doc, 'div', last.path ? `Written: ${last.path}` : last.text, `status-last ${last.kind}`);
    if (last.path)
      for (const link of fileLinks(last.path, written, downloadUrl)) {
        const a = element(doc, 'a', link.text);
        a.href = link.href;
        if (link.download) a.download = link.download;
        else a.target = '_blank';
        line.append(' ', a);
      }
    section.append(line);
  }
  section.hidden = !section.children.length;
}
