// Requests to zot-host serve. The access token travels in the cookie the
// server set when the page was first opened with ?token=...

async function request(method, path, body) {
  const options = { method, headers: {}, credentials: 'same-origin' };
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  const response = await fetch(path, options);
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

export const api = {
  actions: () => request('GET', '/api/actions'),
  view: (first, count) => request('GET', `/api/view?first=${first}&count=${count}`),
  act: (action) => request('POST', '/api/action', action),
  answer: (answer) => request('POST', '/api/answer', answer),
  files: (folder) => request('GET', `/api/files?dir=${encodeURIComponent(folder)}`),
  markers: (panes) =>
    request('GET', '/api/markers?' + panes.map((p) => 'pane=' + p.join(',')).join('&')),
  assessment: (known) => request('GET', `/api/assessment?known=${known}`),
  buildOverviews: (image) => request('POST', '/api/overviews', { image }),
  downloadUrl: (path) => `/api/download?path=${encodeURIComponent(path)}`,
};
