// The plug-in's panels, floating over the page: built from the items the frame lists, placed
// where the host has them, and dragged by their title bars.

import { expectTab } from './alerts.js';
import { buildCombo } from './combo.js';
import { $ } from './dom.js';
import { send } from './send.js';
import { page } from './state.js';

function labelOf(items, index) {
  // A field is labelled by the static text before it, as the user reads the panel.
  for (let k = index - 1; k >= 0; --k) {
    if (items[k].kind === 'ADM Text Static Type') return items[k].text;
    if (items[k].kind === 'ADM Spin Edit Popup Type') return '';
  }
  return '';
}

function place(el, bounds) {
  const [l, t, r, b] = bounds;
  el.style.left = `${l}px`;
  el.style.top = `${t}px`;
  el.style.width = `${r - l}px`;
  el.style.height = `${b - t}px`;
}

function buildPanel(panel) {
  const el = document.createElement('section');
  el.className = 'panel';
  el.dataset.panel = panel.name;
  el.setAttribute('role', 'dialog');
  el.setAttribute('aria-label', panel.title);
  const bar = document.createElement('div');
  bar.className = 'titlebar';
  const title = document.createElement('span');
  title.textContent = panel.title;
  const close = document.createElement('button');
  close.type = 'button';
  close.textContent = '×';
  close.setAttribute('aria-label', `Close ${panel.title}`);
  close.addEventListener('click', () => send({ type: 'close-panel', panel: panel.title }));
  bar.append(title, close);
  bar.addEventListener('pointerdown', (e) => startPanelDrag(e, el, panel.title));
  const body = document.createElement('div');
  body.className = 'body';
  el.append(bar, body);
  panel.items.forEach((item, k) => {
    const label = labelOf(panel.items, k);
    let node;
    if (item.kind === 'ADM Text Static Type') {
      node = document.createElement('div');
      node.className = 'item text';
      node.textContent = item.text;
    } else if (item.kind === 'ADM Text Push Button Type') {
      node = document.createElement('button');
      node.type = 'button';
      node.className = 'item pushbutton';
      node.textContent = item.text;
      node.addEventListener('click', () => {
        if (item.text === 'Visit website') expectTab();
        send({ type: 'press', button: item.text });
      });
    } else if (item.kind === 'ADM Spin Edit Popup Type') {
      node = buildCombo(item, label);
    } else if (item.kind === 'ADM Frame Type') {
      node = document.createElement('div');
      node.className = 'item frame';
      node.setAttribute('role', 'group');
      node.setAttribute('aria-label', item.text);
      const caption = document.createElement('span');
      caption.textContent = item.text;
      node.appendChild(caption);
    } else {
      node = document.createElement('div');
      node.className = 'item';
    }
    node.dataset.item = String(k);
    place(node, item.bounds);
    body.appendChild(node);
  });
  return el;
}

export function renderPanels(state) {
  const layer = $('panels');
  const seen = new Set();
  for (const panel of state.panels) {
    seen.add(String(panel.id));
    let el = layer.querySelector(`[data-id="${panel.id}"]`);
    const key = JSON.stringify(panel.items.map((i) => [i.kind, i.text === undefined ? '' : (i.kind === 'ADM Spin Edit Popup Type' ? '' : i.text), i.bounds]));
    if (!el || el.dataset.key !== key) {
      const fresh = buildPanel(panel);
      fresh.dataset.id = String(panel.id);
      fresh.dataset.key = key;
      if (el) el.replaceWith(fresh); else layer.appendChild(fresh);
      el = fresh;
    }
    el.hidden = !panel.visible;
    const [l, t, r, b] = panel.bounds;
    if (!page.panelDrag || page.panelDrag.el !== el) {
      el.style.left = `${l}px`;
      el.style.top = `${t}px`;
    }
    el.style.width = `${r - l}px`;
    el.querySelector('.body').style.height = `${b - t}px`;
    panel.items.forEach((item, k) => {
      const node = el.querySelector(`[data-item="${k}"]`);
      if (node && node.update) node.update(item);
    });
  }
  for (const el of [...layer.children]) if (!seen.has(el.dataset.id)) el.remove();
}

function startPanelDrag(e, el, title) {
  if (e.button !== 0 || e.target.closest('button')) return;
  e.preventDefault();
  const start = { x: e.clientX, y: e.clientY, left: el.offsetLeft, top: el.offsetTop };
  page.panelDrag = { el };
  const bar = e.currentTarget;
  bar.setPointerCapture(e.pointerId);
  const move = (m) => {
    el.style.left = `${start.left + m.clientX - start.x}px`;
    el.style.top = `${start.top + m.clientY - start.y}px`;
  };
  const up = (u) => {
    bar.removeEventListener('pointermove', move);
    bar.removeEventListener('pointerup', up);
    page.panelDrag = null;
    const to = [Math.round(start.left + u.clientX - start.x), Math.round(start.top + u.clientY - start.y)];
    if (to[0] !== start.left || to[1] !== start.top) send({ type: 'move-panel', panel: title, to });
  };
  bar.addEventListener('pointermove', move);
  bar.addEventListener('pointerup', up);
}
