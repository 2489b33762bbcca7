// What the host has to tell the user: the plug-in's alerts, the web addresses it asks to open,
// and passing messages.

import { $, api } from './dom.js';
import { page } from './state.js';

export function showMessage(text, isError = false) {
  const box = document.createElement('div');
  box.textContent = text;
  if (isError) box.className = 'error';
  $('message').appendChild(box);
  setTimeout(() => box.remove(), isError ? 8000 : 4000);
}

export function renderAlert(state) {
  const layer = $('alert-layer');
  const alert = state.alert;
  if (!alert) {
    layer.hidden = true;
    layer.dataset.id = '';
    return;
  }
  if (layer.dataset.id === String(alert.id)) return;
  layer.dataset.id = String(alert.id);
  $('alert-title').textContent = alert.kind === 'error' ? 'Sarvello error' : alert.kind === 'about' ? 'About Sarvello' : 'Sarvello';
  $('alert-text').textContent = alert.text;
  $('alert-text2').textContent = alert.text2 || '';
  layer.hidden = false;
  $('alert-ok').focus();
}

export function setUpAlert() {
  $('alert-ok').addEventListener('click', async () => {
    const id = Number($('alert-layer').dataset.id);
    $('alert-layer').hidden = true;
    await fetch(api('/api/alert'), { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ id }) });
  });
}

// A browser opens new tabs only in answer to the user; the tab is opened on the press and given
// its address when the plug-in asks for it.
export function expectTab() {
  const tab = window.open('about:blank', '_blank');
  if (!tab) return;
  page.pendingTab = tab;
  setTimeout(() => {
    if (page.pendingTab === tab) { tab.close(); page.pendingTab = null; }
  }, 5000);
}

// The items of a numbered list (web addresses, messages) that are new since the page last looked;
// none on the page's first frame, which starts from what is there.
function newSince(list, key) {
  const newest = list.length ? list[list.length - 1].id : 0;
  if (page[key] < 0) { page[key] = newest; return []; }
  const fresh = list.filter((item) => item.id > page[key]);
  page[key] = Math.max(page[key], newest);
  return fresh;
}

export function openUrls(state) {
  for (const u of newSince(state.urls, 'urlsSeen')) {
    if (!/^https?:\/\//i.test(u.url)) { showMessage(`the plug-in asked to open ${u.url}`); continue; }
    if (page.pendingTab) {
      page.pendingTab.opener = null;
      page.pendingTab.location.href = u.url;
      page.pendingTab = null;
    } else {
      showMessage(`the plug-in asks to open ${u.url}`);
    }
  }
}

export function showMessages(state) {
  for (const m of newSince(state.messages, 'messagesSeen')) {
    if (/^(warning|error|input refused)/.test(m.text) || /alert|limit/i.test(m.text)) showMessage(m.text, /^error|refused/.test(m.text));
  }
}
