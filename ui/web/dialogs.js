// Dialogs: the file browser (confined by the server to the workspace folder),
// the start dialog and the tool's questions.

import { api } from './api.js';
import { answerOf, crumbs, endingsOf, joinPath, matchingEntries, sizeText, splitPath } from './dialog_model.js';

export const IMAGE_FILES = ['.tif', '.tiff', '.ntf', '.nitf', '.img', '.jp2', '.vrt', '.png', '.jpg'];
export const TEXT_FILES = ['.txt', '.csv'];

let lastFolder = '';

// Whether a file of that path (relative to the workspace folder) exists.
async function fileExists(path) {
  const [folder, name] = splitPath(path);
  try {
    return (await api.files(folder)).entries.some((e) => !e.folder && e.name === name);
  } catch {
    return false;
  }
}

// Resolves with a path relative to the workspace folder, or null when cancelled.
export function chooseFile({ title, save = false, endings = null, suggestion = '' }) {
  const dialog = document.getElementById('file-dialog');
  const list = document.getElementById('file-list');
  const name = document.getElementById('file-name');
  const error = document.getElementById('file-error');
  const pathLine = document.getElementById('file-path');
  const ok = document.getElementById('file-ok');
  document.getElementById('file-title').textContent = title;
  ok.textContent = save ? 'Save' : 'Open';
  name.value = suggestion;
  error.textContent = '';
  let folder = lastFolder;

  const show = async (next) => {
    let listing;
    try {
      listing = await api.files(next);
    } catch (e) {
      if (next !== '') return show('');
      error.textContent = e.message;
      return;
    }
    folder = listing.folder;
    pathLine.replaceChildren(
      ...crumbs(folder).flatMap(([label, target], i) => {
        const link = document.createElement('a');
        link.textContent = label;
        link.addEventListener('click', () => show(target));
        return i ? [' / ', link] : [link];
      }),
    );
    const entries = matchingEntries(listing.entries, endings);
    list.replaceChildren(
      ...entries.map((entry) => {
        const item = document.createElement('li');
        item.className = entry.folder ? 'folder' : 'file';
        item.innerHTML = '<span class="name"></span><span class="size"></span>';
        item.querySelector('.name').textContent = entry.name;
        item.querySelector('.size').textContent = entry.folder ? '' : sizeText(entry.size);
        item.addEventListener('click', () => {
          if (entry.folder) return show(joinPath(folder, entry.name));
          name.value = entry.name;
          list.querySelectorAll('.chosen').forEach((e) => e.classList.remove('chosen'));
          item.classList.add('chosen');
        });
        item.addEventListener('dblclick', () => !entry.folder && ok.click());
        return item;
      }),
    );
    if (!entries.length) list.innerHTML = '<li class="size">(no matching files here)</li>';
  };

  return new Promise((resolve) => {
    const done = (value) => {
      ok.onclick = null;
      document.getElementById('file-cancel').onclick = null;
      dialog.onclose = null;
      dialog.close();
      resolve(value);
    };
    ok.onclick = async (event) => {
      event.preventDefault();
      const chosen = name.value.trim();
      if (!chosen) {
        error.textContent = 'Choose a file, or type its name.';
        return;
      }
      const path = chosen.includes('/') ? chosen : joinPath(folder, chosen);
      // Nothing is written over without a question; No keeps the file and the dialog.
      if (save && (await fileExists(path))) {
        const answer = await askQuestion({ text: `Replace ${splitPath(path)[1]}?`, buttons: ['Yes', 'No'] });
        if (answer !== 'yes') return name.focus();
      }
      lastFolder = folder;
      done(path);
    };
    document.getElementById('file-cancel').onclick = () => done(null);
    dialog.onclose = () => resolve(null);
    dialog.showModal();
    show(folder);
    name.focus();
  });
}

// Resolves with {left, right} (right "" for mono), or null.
// The images chosen last, kept when the dialog is cancelled.
const startChoice = { left: '', right: '' };

export function askStart() {
  const dialog = document.getElementById('start-dialog');
  const chosen = startChoice;
  const label = (side) => {
    document.getElementById(`start-${side}`).textContent = chosen[side] || 'none';
  };
  label('left');
  label('right');
  const pick = (side) => async () => {
    const file = await chooseFile({ title: `${side === 'left' ? 'Left' : 'Right'} image`, endings: IMAGE_FILES });
    if (file) chosen[side] = file;
    label(side);
    dialog.showModal();
  };
  document.getElementById('start-pick-left').onclick = pick('left');
  document.getElementById('start-pick-right').onclick = pick('right');
  document.getElementById('start-no-right').onclick = () => {
    chosen.right = '';
    label('right');
  };
  return new Promise((resolve) => {
    document.getElementById('start-ok').onclick = (event) => {
      event.preventDefault();
      if (!chosen.left) return;
      dialog.close();
      resolve(chosen);
    };
    document.getElementById('start-cancel').onclick = () => {
      dialog.close();
      resolve(null);
    };
    dialog.showModal();
  });
}

// A yes/no question of the tool: resolves with "yes", "no" or "cancel".
export function askQuestion(question) {
  const dialog = document.getElementById('question-dialog');
  document.getElementById('question-text').textContent = question.text;
  const menu = document.getElementById('question-buttons');
  return new Promise((resolve) => {
    const buttons = question.buttons.map((text) => {
      const button = document.createElement('button');
      button.type = 'button';
      button.textContent = text;
      button.onclick = () => {
        dialog.onclose = null;
        dialog.close();
        resolve(answerOf(text));
      };
      return button;
    });
    menu.replaceChildren(...buttons);
    dialog.onclose = () => resolve('cancel');
    dialog.showModal();
    buttons[buttons.length - 1]?.focus();
  });
}

// The answer request to a question of the tool ({answer: ...}): a file query
// through the file chooser, a yes/no question through its dialog.
export async function answerQuestion(question) {
  if (!question.fileQuery) return { answer: await askQuestion(question) };
  const endings = endingsOf(question.pattern) || TEXT_FILES;
  const file = await chooseFile({ title: question.text, save: true, endings, suggestion: 'report.txt' });
  return file ? { answer: 'file', file } : { answer: 'cancel' };
}
