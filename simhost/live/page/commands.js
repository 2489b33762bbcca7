// The commands of the menu bar and the view buttons, and drawings opened from a file or dropped
// on the page.

import { showMessage } from './alerts.js';
import { $, api } from './dom.js';
import { closeMenus } from './menu.js';
import { zoomBy } from './navigation.js';
import { page } from './state.js';

function download(what) {
  const a = document.createElement('a');
  a.href = api(`/api/save/${what}`);
  a.download = '';
  document.body.appendChild(a);
  a.click();
  a.remove();
}

// Whether the file chosen next keeps its clones as they are (Open keeping clones…).
let keepClones = false;

async function openFile(file, keep = false) {
  const body = await file.arrayBuffer();
  const res = await fetch(api(`/api/open?name=${encodeURIComponent(file.name)}${keep ? '&keep-clones=1' : ''}`), {
    method: 'POST', body, headers: { 'Content-Type': 'image/svg+xml' },
  });
  const answer = await res.json().catch(() => ({}));
  if (!res.ok) showMessage(`${file.name} cannot be opened: ${answer.error || res.status}`, true);
}

const commands = {
  'open': () => { keepClones = false; $('file-input').click(); },
  'open-keeping-clones': () => { keepClones = true; $('file-input').click(); },
  'save-drawing': () => download('drawing'),
  'save-picture': () => download('picture'),
  'save-session': () => download('session'),
  'quit': async () => {
    page.ended = true;
    $('ended').hidden = false;
    await fetch(api('/api/quit'), { method: 'POST' }).catch(() => {});
  },
  'zoom-in': () => zoomBy(1.25),
  'zoom-out': () => zoomBy(0.8),
  'zoom-reset': () => zoomBy(1 / page.state.view.zoom),
};

export function setUpCommands() {
  for (const el of document.querySelectorAll('[data-command]')) {
    el.addEventListener('click', () => { closeMenus(); commands[el.dataset.command](); });
  }

  $('file-input').addEventListener('change', (e) => {
    const file = e.target.files[0];
    e.target.value = '';
    if (file) openFile(file, keepClones);
  });

  window.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('drop-target'); });
  window.addEventListener('dragleave', () => document.body.classList.remove('drop-target'));
  window.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('drop-target');
    const file = e.dataTransfer.files[0];
    if (file) openFile(file);
  });
}
