// The page of sarvello-host open: shows the frames the host publishes (the document, the
// overlay, the tools, the panels and the alerts) and sends what the user does as session events.
// The host is the only judge of state: the page draws what the last frame says and never
// changes it on its own, so that a reload or a second page shows the same.
'use strict';

const SVG_NS = 'http://www.w3.org/2000/svg';
const $ = (id) => document.getElementById(id);

const page = {
  state: null,        // the last frame's state
  documentNumber: 0,  // the document the page shows
  documentLoading: 0,
  shapeData: [],      // path data by shape, as the frames gave it
  shapeElements: [],  // the <path data-shape> elements of the document shown
  urlsSeen: -1,       // web addresses the plug-in asked for, opened so far
  pendingTab: null,   // a tab opened by "Visit website", waiting for its address
  messagesSeen: -1,
  panelDrag: null,
  spaceHeld: false,
  viewDrag: null,
  pointerDown: false,
  ended: false,
  frameArrived: false,
  markData: [],
};

// What the page has shown: frames painted, and for each event sent, how long until a frame that
// took it in was painted (milliseconds). Read by the page's benchmark.
const stats = { framesPainted: 0, framesReceived: 0, sent: 0, sentAt: [], latencies: [], takenIn: 0 };
window.sarvelloStats = stats;
// The document the frames are of, for tests: the page shows it once #drawing carries its number.
window.sarvelloDocument = () => page.documentNumber;

// ---- Sending --------------------------------------------------------------------------------

const outgoing = [];
let sending = false;

// Queues session events for the host; they are sent in order, in batches, one request at a time.
function send(...events) {
  for (const e of events) {
    const last = outgoing[outgoing.length - 1];
    // Pointer moves with the button up may be coalesced; drags never are.
    if (last && e.type === 'pointer' && e.action === 'move' && last.type === 'pointer' && last.action === 'move') {
      outgoing[outgoing.length - 1] = e;
    } else {
      outgoing.push(e);
      stats.sentAt[++stats.sent] = performance.now();
    }
  }
  flush();
}

async function flush() {
  if (sending || outgoing.length === 0) return;
  sending = true;
  try {
    while (outgoing.length > 0) {
      const batch = outgoing.splice(0, outgoing.length);
      const res = await fetch('/api/input', {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ events: batch }),
      });
      if (!res.ok) {
        const body = await res.json().catch(() => ({}));
        showMessage(body.error || `the host refused the input (${res.status})`, true);
      }
    }
  } catch (err) {
    if (!page.ended) showMessage('the host cannot be reached: ' + err.message, true);
  } finally {
    sending = false;
  }
}

function showMessage(text, isError = false) {
  const box = document.createElement('div');
  box.textContent = text;
  if (isError) box.className = 'error';
  $('message').appendChild(box);
  setTimeout(() => box.remove(), isError ? 8000 : 4000);
}

// ---- Frames ---------------------------------------------------------------------------------

function connect() {
  const source = new EventSource('/api/events');
  source.onmessage = (event) => onFrame(JSON.parse(event.data));
  source.onerror = () => {
    if (page.ended) source.close();
  };
}

// Frames are painted at the display's pace: each display frame shows the newest frame the host
// sent, however many arrived since the last.
function paintLoop() {
  if (page.frameArrived && page.state) {
    page.frameArrived = false;
    render(page.state);
    ++stats.framesPainted;
    const now = performance.now();
    const taken = page.state ? page.state.inputs : 0;
    for (let k = stats.takenIn + 1; k <= Math.min(taken, stats.sent); ++k) {
      if (stats.sentAt[k] !== undefined) stats.latencies.push(now - stats.sentAt[k]);
      delete stats.sentAt[k];
    }
    stats.takenIn = Math.max(stats.takenIn, Math.min(taken, stats.sent));
  }
  requestAnimationFrame(paintLoop);
}
requestAnimationFrame(paintLoop);

function onFrame(frame) {
  ++stats.framesReceived;
  page.frameArrived = true;
  if (frame.full) page.shapeData = [];
  page.shapeData.length = frame.count;
  for (const [k, d] of Object.entries(frame.shapes)) page.shapeData[Number(k)] = d;
  page.state = frame.state;
  if (frame.document !== page.documentNumber) {
    page.documentNumber = frame.document;
    loadDocument(frame.document);
  }
}

async function loadDocument(number) {
  page.documentLoading = number;
  const res = await fetch('/api/document.svg');
  if (!res.ok || page.documentLoading !== number) return;
  const text = await res.text();
  const parsed = new DOMParser().parseFromString(text, 'image/svg+xml');
  const root = parsed.documentElement;
  const group = $('drawing');
  group.replaceChildren();
  if (root.localName !== 'svg' || parsed.getElementsByTagName('parsererror').length > 0) {
    showMessage('the document cannot be shown', true);
    return;
  }
  const shown = document.importNode(root, true);
  // Scripts and event attributes of a drawing are not run.
  for (const s of shown.querySelectorAll('script, foreignObject')) s.remove();
  for (const el of [shown, ...shown.querySelectorAll('*')]) {
    for (const attr of [...el.attributes]) {
      if (/^on/i.test(attr.name)) el.removeAttribute(attr.name);
    }
  }
  group.appendChild(shown);
  group.dataset.document = String(number);
  page.shapeElements = [];
  for (const el of shown.querySelectorAll('[data-shape]')) page.shapeElements[Number(el.getAttribute('data-shape'))] = el;
  page.appliedData = [];
  page.markData = [];
  $('marks').replaceChildren();
  if (page.state) render(page.state);
}

function render(state) {
  $('document-name').textContent = state.name;
  document.title = `${state.name} – Sarvello`;
  renderView(state);
  renderShapes(state);
  renderOverlay(state);
  renderTools(state);
  renderMenu(state);
  renderPanels(state);
  renderAlert(state);
  openUrls(state);
  showMessages(state);
}

function renderView(state) {
  const v = state.view;
  const canvas = $('canvas');
  canvas.setAttribute('width', v.width);
  canvas.setAttribute('height', v.height);
  if (state.userToView) $('drawing').setAttribute('transform', `matrix(${state.userToView.join(' ')})`);
  $('zoom-level').textContent = `${Math.round(v.zoom * 1000) / 10}%`;
  const sx = $('scroll-x'), sy = $('scroll-y');
  const extent = Math.max(10000, Math.abs(v.center[0]) * 2, Math.abs(v.center[1]) * 2);
  for (const bar of [sx, sy]) { bar.min = -extent; bar.max = extent; }
  if (document.activeElement !== sx) sx.value = v.center[0];
  if (document.activeElement !== sy) sy.value = -v.center[1];
}

function renderShapes(state) {
  const applied = page.appliedData || (page.appliedData = []);
  for (let k = 0; k < page.shapeElements.length; ++k) {
    const el = page.shapeElements[k];
    const d = page.shapeData[k];
    if (el && d !== undefined && applied[k] !== d) {
      el.setAttribute('d', d);
      applied[k] = d;
    }
  }
  // Selected shapes are outlined on top, in window pixels. Each outline's transform changes only
  // with the view or the document.
  const marks = $('marks');
  const selected = new Set(state.selected);
  const placement = `${page.documentNumber} ${state.userToView} ${state.view.width} ${state.view.height}`;
  const kept = new Map();
  for (const m of [...marks.children]) kept.set(Number(m.dataset.shape), m);
  for (const [k, m] of kept) if (!selected.has(k)) { m.remove(); kept.delete(k); delete page.markData[k]; }
  let canvasCTM = null;
  for (const k of selected) {
    const el = page.shapeElements[k];
    if (!el) continue;
    let m = kept.get(k);
    if (!m) {
      m = document.createElementNS(SVG_NS, 'path');
      m.dataset.shape = String(k);
      marks.appendChild(m);
    }
    if (m.dataset.placement !== placement) {
      canvasCTM = canvasCTM || $('canvas').getScreenCTM();
      const ctm = el.getScreenCTM();
      if (!ctm || !canvasCTM) continue;
      const t = canvasCTM.inverse().multiply(ctm);
      m.setAttribute('transform', `matrix(${t.a} ${t.b} ${t.c} ${t.d} ${t.e} ${t.f})`);
      m.dataset.placement = placement;
    }
    const d = page.shapeData[k];
    if (d !== undefined && page.markData[k] !== d) {
      m.setAttribute('d', d);
      page.markData[k] = d;
    }
  }
}

function renderOverlay(state) {
  const group = $('overlay');
  const parts = [];
  let color = 'rgb(0,0,0)';
  let width = 1;
  let font = { size: 11, height: 13, family: 'sans-serif' };
  for (const call of state.overlay) {
    if (call.call === 'color') {
      color = `rgb(${call.rgb.map((c) => Math.round(c / 257)).join(',')})`;
    } else if (call.call === 'lineWidth') {
      width = call.width;
    } else if (call.call === 'font') {
      font = call;
    } else if (call.call === 'rect') {
      const [l, t, r, b] = call.rect;
      const el = document.createElementNS(SVG_NS, 'rect');
      if (call.fill) {
        el.setAttribute('x', l); el.setAttribute('y', t);
        el.setAttribute('width', Math.max(0, r - l)); el.setAttribute('height', Math.max(0, b - t));
        el.setAttribute('fill', color);
      } else {
        el.setAttribute('x', l + 0.5); el.setAttribute('y', t + 0.5);
        el.setAttribute('width', Math.max(0, r - l - 1)); el.setAttribute('height', Math.max(0, b - t - 1));
        el.setAttribute('fill', 'none'); el.setAttribute('stroke', color); el.setAttribute('stroke-width', width);
      }
      parts.push(el);
    } else if (call.call === 'text') {
      const el = document.createElementNS(SVG_NS, 'text');
      el.setAttribute('x', call.at[0]);
      el.setAttribute('y', call.at[1] + font.height * 0.8);
      el.setAttribute('font-size', font.size);
      el.setAttribute('font-family', font.family);
      el.setAttribute('fill', color);
      el.textContent = call.text;
      parts.push(el);
    }
  }
  group.replaceChildren(...parts);
}

function toolButton(tool) {
  let button = document.querySelector(`#toolbox [data-tool="${CSS.escape(tool.name)}"]`);
  if (!button) {
    button = document.createElement('button');
    button.type = 'button';
    button.className = 'tool';
    button.dataset.tool = tool.name;
    button.setAttribute('aria-label', tool.name);
    button.title = tool.tooltip || tool.title || tool.name;
    const img = document.createElement('img');
    img.alt = '';
    img.src = '/api/icon.png';
    button.appendChild(img);
    button.addEventListener('click', () => send({ type: 'pick-tool' }));
    $('toolbox').appendChild(button);
  }
  return button;
}

function renderTools(state) {
  let any = false;
  for (const tool of state.tools) {
    const button = toolButton(tool);
    button.setAttribute('aria-pressed', tool.selected ? 'true' : 'false');
    any = any || tool.selected;
  }
  $('selection-tool').setAttribute('aria-pressed', any ? 'false' : 'true');
  const view = $('view');
  if (any && state.cursor) {
    const [x, y] = state.cursor.hot;
    view.style.cursor = `url("/api/cursor.png?id=${state.cursor.id}") ${x} ${y}, crosshair`;
  } else {
    view.style.cursor = 'default';
  }
}

function renderMenu(state) {
  const menu = $('window-menu');
  const key = JSON.stringify(state.menu);
  if (menu.dataset.key === key) return;
  menu.dataset.key = key;
  menu.replaceChildren();
  const groups = new Map();
  for (const item of state.menu) {
    if (!groups.has(item.group)) groups.set(item.group, []);
    groups.get(item.group).push(item);
  }
  for (const [group, items] of groups) {
    const sub = document.createElement('div');
    sub.className = 'submenu';
    const head = document.createElement('button');
    head.type = 'button';
    head.setAttribute('role', 'menuitem');
    head.setAttribute('aria-haspopup', 'menu');
    head.setAttribute('aria-expanded', 'false');
    head.textContent = `${group} ▸`;
    head.setAttribute('aria-label', group);
    const list = document.createElement('div');
    list.className = 'dropdown';
    list.setAttribute('role', 'menu');
    list.setAttribute('aria-label', group);
    list.hidden = true;
    const open = (yes) => { list.hidden = !yes; head.setAttribute('aria-expanded', String(yes)); };
    head.addEventListener('click', (e) => { e.stopPropagation(); open(true); });
    sub.addEventListener('mouseenter', () => open(true));
    sub.addEventListener('mouseleave', () => open(false));
    for (const item of items) {
      const b = document.createElement('button');
      b.type = 'button';
      b.setAttribute('role', 'menuitem');
      b.textContent = item.text;
      b.addEventListener('click', () => { closeMenus(); send({ type: 'menu', item: item.text }); });
      list.appendChild(b);
    }
    sub.append(head, list);
    menu.appendChild(sub);
  }
}

// ---- Panels ---------------------------------------------------------------------------------

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

function buildCombo(item, label) {
  const box = document.createElement('div');
  box.className = 'item combo';
  const input = document.createElement('input');
  const listId = `list-${Math.random().toString(36).slice(2)}`;
  input.type = 'text';
  input.setAttribute('role', 'combobox');
  input.setAttribute('aria-label', label);
  input.setAttribute('aria-expanded', 'false');
  input.setAttribute('aria-controls', listId);
  input.setAttribute('aria-autocomplete', 'none');
  input.autocomplete = 'off';
  const toggle = document.createElement('button');
  toggle.type = 'button';
  toggle.textContent = '▼';
  toggle.tabIndex = -1;
  toggle.setAttribute('aria-label', `${label} presets`);
  const list = document.createElement('ul');
  list.id = listId;
  list.setAttribute('role', 'listbox');
  list.setAttribute('aria-label', label);
  list.hidden = true;
  const open = (yes) => {
    list.hidden = !yes;
    box.classList.toggle('open', yes);
    input.setAttribute('aria-expanded', String(yes));
  };
  const choose = (k) => { open(false); send({ type: 'choose', control: label, preset: k + 1 }); };
  const commit = () => {
    const text = input.value.trim();
    if (text === '' || text === input.dataset.shown) return;
    const preset = box.entries.indexOf(text);
    if (preset >= 0) choose(preset);
    else send({ type: 'type-value', control: label, value: text });
    input.dataset.shown = text;
  };
  toggle.addEventListener('click', () => open(list.hidden));
  input.addEventListener('keydown', (e) => {
    if (e.key === 'Enter') { e.preventDefault(); commit(); input.blur(); }
    else if (e.key === 'ArrowDown' || (e.altKey && e.key === 'ArrowDown')) { e.preventDefault(); open(true); }
    else if (e.key === 'Escape') { open(false); input.value = input.dataset.shown || ''; }
  });
  input.addEventListener('change', commit);
  list.addEventListener('mousedown', (e) => e.preventDefault());
  box.append(input, toggle, list);
  box.entries = [];
  box.update = (it) => {
    const key = JSON.stringify(it.entries);
    if (box.entriesKey !== key) {
      box.entriesKey = key;
      box.entries = it.entries;
      list.replaceChildren(...it.entries.map((text, k) => {
        const li = document.createElement('li');
        li.setAttribute('role', 'option');
        li.textContent = text;
        li.addEventListener('click', () => choose(k));
        return li;
      }));
    }
    [...list.children].forEach((li, k) => li.setAttribute('aria-selected', String(k === it.selected)));
    if (document.activeElement !== input) input.value = it.text;
    input.dataset.shown = it.text;
  };
  box.update(item);
  return box;
}

function renderPanels(state) {
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

// ---- Alerts, web addresses, messages --------------------------------------------------------

function renderAlert(state) {
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

$('alert-ok').addEventListener('click', async () => {
  const id = Number($('alert-layer').dataset.id);
  $('alert-layer').hidden = true;
  await fetch('/api/alert', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ id }) });
});

// A browser opens new tabs only in answer to the user; the tab is opened on the press and given
// its address when the plug-in asks for it.
function expectTab() {
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

function openUrls(state) {
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

function showMessages(state) {
  for (const m of newSince(state.messages, 'messagesSeen')) {
    if (/^(warning|error|input refused)/.test(m.text) || /alert|limit/i.test(m.text)) showMessage(m.text, /^error|refused/.test(m.text));
  }
}

// ---- The document window: pointer, view, selection ------------------------------------------

function windowPoint(e) {
  const r = $('canvas').getBoundingClientRect();
  return [e.clientX - r.left, e.clientY - r.top];
}

function toolPicked() {
  return page.state && page.state.tools.some((t) => t.selected);
}

function viewToArtwork(px) {
  const v = page.state.view;
  return [v.center[0] + (px[0] - v.width / 2) / v.zoom, v.center[1] - (px[1] - v.height / 2) / v.zoom];
}

const view = $('view');

view.addEventListener('pointerdown', (e) => {
  if (!page.state || page.ended) return;
  view.focus();
  if (page.spaceHeld || e.button === 1) {
    page.viewDrag = { x: e.clientX, y: e.clientY, center: page.state.view.center.slice(), zoom: page.state.view.zoom };
    view.classList.add('dragging-view');
    view.setPointerCapture(e.pointerId);
    e.preventDefault();
    return;
  }
  if (e.button !== 0) return;
  if (toolPicked()) {
    view.setPointerCapture(e.pointerId);
    page.pointerDown = true;
    send({ type: 'pointer', action: 'down', px: windowPoint(e) });
    e.preventDefault();
    return;
  }
  // The selection tool: a click selects the shape under the pointer, shift-click adds or removes.
  const target = e.target.closest && e.target.closest('[data-shape]');
  const shape = target ? Number(target.getAttribute('data-shape')) : -1;
  const paths = page.state.shapePaths || [];
  const selected = new Set(page.state.selected);
  if (e.shiftKey) {
    if (shape >= 0) { if (selected.has(shape)) selected.delete(shape); else selected.add(shape); }
  } else {
    selected.clear();
    if (shape >= 0) selected.add(shape);
  }
  const indices = [];
  for (const k of [...selected].sort((a, b) => a - b)) indices.push(...(paths[k] || []));
  send({ type: 'select', indices });
});

view.addEventListener('pointermove', (e) => {
  if (!page.state) return;
  if (page.viewDrag) {
    const d = page.viewDrag;
    const z = d.zoom;
    sendView({ center: [d.center[0] - (e.clientX - d.x) / z, d.center[1] + (e.clientY - d.y) / z] });
    return;
  }
  if (!toolPicked()) return;
  send({ type: 'pointer', action: page.pointerDown ? 'drag' : 'move', px: windowPoint(e) });
});

const endPointer = (e) => {
  if (page.viewDrag) {
    page.viewDrag = null;
    view.classList.remove('dragging-view');
    return;
  }
  if (!page.pointerDown) return;
  page.pointerDown = false;
  send({ type: 'pointer', action: 'up', px: windowPoint(e) });
};
view.addEventListener('pointerup', endPointer);
view.addEventListener('pointercancel', endPointer);

// View changes are sent at most once a display frame, the last one winning.
let viewChange = null;
function sendView(change) {
  viewChange = Object.assign(viewChange || {}, change);
  requestAnimationFrame(() => {
    if (!viewChange) return;
    const c = viewChange;
    viewChange = null;
    const e = { type: 'view' };
    if (c.width !== undefined) e.width = c.width;
    if (c.height !== undefined) e.height = c.height;
    if (c.zoom !== undefined) e.zoom = c.zoom;
    if (c.center !== undefined) e.center = c.center;
    send(e);
  });
}

function zoomBy(factor, px) {
  const v = page.state.view;
  const zoom = Math.min(1000, Math.max(0.001, v.zoom * factor));
  const at = px || [v.width / 2, v.height / 2];
  const a = viewToArtwork(at);
  // The artwork point under the pointer stays under it.
  const center = [a[0] - (at[0] - v.width / 2) / zoom, a[1] + (at[1] - v.height / 2) / zoom];
  sendView({ zoom, center });
}

view.addEventListener('wheel', (e) => {
  if (!page.state) return;
  e.preventDefault();
  const factor = Math.exp(-e.deltaY * (e.ctrlKey ? 0.01 : 0.0015));
  zoomBy(factor, windowPoint(e));
}, { passive: false });

// The page is the screen the palettes live on.
function sendScreen() {
  send({ type: 'screen', width: Math.max(100, window.innerWidth), height: Math.max(100, window.innerHeight) });
}
window.addEventListener('resize', sendScreen);
sendScreen();

new ResizeObserver(() => {
  const width = Math.max(1, Math.round(view.clientWidth));
  const height = Math.max(1, Math.round(view.clientHeight));
  if (page.state && page.state.view.width === width && page.state.view.height === height) return;
  sendView({ width, height });
}).observe(view);

$('scroll-x').addEventListener('input', (e) => sendView({ center: [Number(e.target.value), page.state.view.center[1]] }));
$('scroll-y').addEventListener('input', (e) => sendView({ center: [page.state.view.center[0], -Number(e.target.value)] }));

const typing = () => document.activeElement && /^(INPUT|TEXTAREA)$/.test(document.activeElement.tagName) && document.activeElement.type !== 'range';

window.addEventListener('keydown', (e) => {
  if (typing() || !page.state) return;
  if (e.key === ' ') { page.spaceHeld = true; e.preventDefault(); }
  if ((e.ctrlKey || e.metaKey) && e.key.toLowerCase() === 'a') { e.preventDefault(); send({ type: 'select', paths: 'all' }); }
  if (e.key === 'Escape' && $('alert-layer').hidden) { closeMenus(); send({ type: 'select', paths: 'none' }); }
  if ((e.ctrlKey || e.metaKey) && e.key.toLowerCase() === 'o') { e.preventDefault(); $('file-input').click(); }
});
window.addEventListener('keyup', (e) => { if (e.key === ' ') page.spaceHeld = false; });

// ---- Menus and commands ---------------------------------------------------------------------

function closeMenus() {
  for (const d of document.querySelectorAll('#menubar .menu > .dropdown')) d.hidden = true;
  for (const b of document.querySelectorAll('#menubar .menu > button')) b.setAttribute('aria-expanded', 'false');
}

for (const menu of document.querySelectorAll('#menubar .menu')) {
  const button = menu.querySelector(':scope > button');
  const list = menu.querySelector(':scope > .dropdown');
  button.addEventListener('click', (e) => {
    e.stopPropagation();
    const open = list.hidden;
    closeMenus();
    list.hidden = !open;
    button.setAttribute('aria-expanded', String(open));
  });
}
document.addEventListener('click', (e) => { if (!e.target.closest('.submenu')) closeMenus(); });

function download(what) {
  const a = document.createElement('a');
  a.href = `/api/save/${what}`;
  a.download = '';
  document.body.appendChild(a);
  a.click();
  a.remove();
}

async function openFile(file) {
  const body = await file.arrayBuffer();
  const res = await fetch(`/api/open?name=${encodeURIComponent(file.name)}`, {
    method: 'POST', body, headers: { 'Content-Type': 'image/svg+xml' },
  });
  const answer = await res.json().catch(() => ({}));
  if (!res.ok) showMessage(`${file.name} cannot be opened: ${answer.error || res.status}`, true);
}

const commands = {
  'open': () => $('file-input').click(),
  'save-drawing': () => download('drawing'),
  'save-picture': () => download('picture'),
  'save-session': () => download('session'),
  'quit': async () => {
    page.ended = true;
    $('ended').hidden = false;
    await fetch('/api/quit', { method: 'POST' }).catch(() => {});
  },
  'zoom-in': () => zoomBy(1.25),
  'zoom-out': () => zoomBy(0.8),
  'zoom-reset': () => zoomBy(1 / page.state.view.zoom),
};
for (const el of document.querySelectorAll('[data-command]')) {
  el.addEventListener('click', () => { closeMenus(); commands[el.dataset.command](); });
}

$('file-input').addEventListener('change', (e) => {
  const file = e.target.files[0];
  e.target.value = '';
  if (file) openFile(file);
});
$('selection-tool').addEventListener('click', () => send({ type: 'leave-tool' }));

window.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('drop-target'); });
window.addEventListener('dragleave', () => document.body.classList.remove('drop-target'));
window.addEventListener('drop', (e) => {
  e.preventDefault();
  document.body.classList.remove('drop-target');
  const file = e.dataTransfer.files[0];
  if (file) openFile(file);
});

connect();
