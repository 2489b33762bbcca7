// The frames the host publishes: received from its stream, painted at the display's pace, and
// the document they are of, loaded when it changes.

import { openUrls, renderAlert, showMessage, showMessages } from './alerts.js';
import { $, api } from './dom.js';
import { renderMenu } from './menu.js';
import { renderPanels } from './panels.js';
import { page, stats } from './state.js';
import { renderTools } from './tools.js';
import { renderOverlay, renderShapes, renderView } from './view.js';

// The page asks the host for the frame after the one it shows, and asks again only once that one
// is painted: a page that is slow to paint is sent the newest frame when it is ready for it, with
// only what changed since the frame it shows, and nothing piles up on the way. Frames come in the
// binary form of the host's WebServer.cpp.
export function connect() {
  (async () => {
    while (!page.ended) {
      try {
        await painted();
        const res = await fetch(api(`/api/frame?after=${page.seq}&document=${page.frameDocument}`), { cache: 'no-store' });
        if (res.status === 204) continue;  // nothing new for a while: ask again
        if (!res.ok) throw new Error(`the frame could not be had (${res.status})`);
        const bytes = await res.arrayBuffer();
        onFrame(new DataView(bytes));
      } catch (err) {
        // The page shows that the host is gone when it is; until then it tries again.
        await new Promise((resolve) => setTimeout(resolve, 1000));
      }
    }
  })();
}

// Resolved once the last frame received has been painted.
let whenPainted = null;
function painted() {
  if (!page.frameArrived) return Promise.resolve();
  return new Promise((resolve) => { whenPainted = resolve; });
}

const align = (n) => (n + 3) & ~3;
const utf8 = new TextDecoder();

function onFrame(m) {
  const begun = performance.now();
  const full = m.getUint8(0) === 1;
  const seq = m.getFloat64(4, true);
  const document = m.getFloat64(12, true);
  const count = m.getUint32(20, true);
  const text = (at) => {
    const length = m.getUint32(at, true);
    return [utf8.decode(new Uint8Array(m.buffer, at + 4, length)), align(at + 4 + length)];
  };
  const [stateText, afterState] = text(24);
  const [selectionText, afterSelection] = text(afterState);
  const state = JSON.parse(stateText);
  if (selectionText.length > 0) page.selection = JSON.parse(selectionText);
  const sent = m.getUint32(afterSelection, true);
  let at = afterSelection + 4;
  if (full) {
    page.shapeData = [];
    page.shapeVersion = [];
  }
  page.shapeData.length = count;
  for (let i = 0; i < sent; ++i) {
    const k = m.getUint32(at, true);
    const length = m.getUint32(at + 4, true);
    page.shapeData[k] = utf8.decode(new Uint8Array(m.buffer, at + 8, length));
    // Versions count across documents, so that nothing made for another document is taken.
    page.shapeVersion[k] = ++page.versions;
    at = align(at + 8 + length);
  }
  page.seq = seq;
  page.frameDocument = document;
  ++stats.framesReceived;
  stats.bytesReceived += m.byteLength;
  stats.receiveMs += performance.now() - begun;
  page.frameArrived = true;
  page.state = state;
  if (document !== page.documentNumber) {
    page.documentNumber = document;
    loadDocument(document);
  }
}

// Frames are painted at the display's pace: each display frame shows the newest frame the host
// sent, however many arrived since the last.
function paintLoop() {
  if (page.frameArrived && page.state) {
    page.frameArrived = false;
    const begun = performance.now();
    render(page.state);
    stats.renderMs += performance.now() - begun;
    ++stats.framesPainted;
    const now = performance.now();
    const taken = page.state ? page.state.inputs : 0;
    for (let k = stats.takenIn + 1; k <= Math.min(taken, stats.sent); ++k) {
      if (stats.sentAt[k] !== undefined) stats.latencies.push(now - stats.sentAt[k]);
      delete stats.sentAt[k];
    }
    stats.takenIn = Math.max(stats.takenIn, Math.min(taken, stats.sent));
    if (whenPainted) {
      const resolve = whenPainted;
      whenPainted = null;
      resolve();
    }
  }
  requestAnimationFrame(paintLoop);
}

export function startPainting() {
  requestAnimationFrame(paintLoop);
}

async function loadDocument(number) {
  page.documentLoading = number;
  const res = await fetch(api('/api/document.svg'));
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
  page.appliedVersion = [];
  page.markVersion = [];
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
