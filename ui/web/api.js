// Requests to zot-host serve. The access token comes in the address's
// fragment (#token=...), which the browser never sends to any server; the
// page keeps it for its own origin only (sessionStorage, so that a reload
// still works), takes it out of the address bar, and sends it as the header
// X-Zot-Token with every request: JSON, tiles and downloads alike.

const TOKEN_KEY = 'zot-token';

function readToken() {
  const found = /(?:^#|&)token=([0-9a-f]+)/.exec(location.hash);
  if (found) {
    sessionStorage.setItem(TOKEN_KEY, found[1]);
    history.replaceState(null, '', location.pathname + location.search);
  }
  return sessionStorage.getItem(TOKEN_KEY) || '';
}

const token = readToken();

// The one way to the server.
function send(method, path, body) {
  const options = { method, headers: { 'X-Zot-Token': token }, credentials: 'omit' };
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  return fetch(path, options);
}

async function request(method, path, body) {
  const response = await send(method, path, body);
  let data = null;
  try {
    data = await response.json();
  } catch {
    data = { error: `the server answered ${response.status} without JSON` };
  }
  if (!response.ok) {
    const error = new Error(data && data.error ? data.error : `request failed (${response.status})`);
    error.status = response.status;
    throw error;
  }
  return data;
}

// A file the server sends (a tile, a download) as a blob.
async function blob(path) {
  const response = await send('GET', path);
  if (!response.ok) throw new Error(`request failed (${response.status})`);
  return response.blob();
}

export const api = {
  actions: () => request('GET', '/api/actions'),
  view: (first, count) => request('GET', `/api/view?first=${first}&count=${count}`),
  act: (action) => request('POST', '/api/action', action),
  answer: (answer) => request('POST', '/api/answer', answer),
  files: (folder) => request('GET', `/api/files?dir=${encodeURIComponent(folder)}`),
  markers: (panes) =>
    request('GET', '/api/markers?' + panes.map((p) => 'pane=' + p.join(',')).join('&')),
  // classes: the ASPRS classes stated for producer mode, cm as text ('' for none).
  assessment: (known, classes) =>
    request('GET', `/api/assessment?known=${known}&class_h=${encodeURIComponent(classes.h)}&class_v=${encodeURIComponent(classes.v)}`),
  assessmentPdf: (path, classes) => request('POST', '/api/assessment/pdf', { path, class_h: classes.h, class_v: classes.v }),
  // The stereo aids: 'prediction', 'frame' or 'mark' (query: {u, v, height}).
  stereo: (what, query = {}) => request('GET', `/api/stereo/${what}?${new URLSearchParams(query)}`),
  buildOverviews: (image) => request('POST', '/api/overviews', { image }),
  statistics: (image) => request('GET', `/api/statistics/${image}`),
  blob,
  downloadUrl: (path) => `/api/download?path=${encodeURIComponent(path)}`,
  // Fetches path and hands it to the browser's downloads as name.
  async download(path, name) {
    const url = URL.createObjectURL(await blob(path));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
  },
};
