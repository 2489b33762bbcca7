// The frames the host publishes: received from its stream, painted at the display's pace, and
// the document they are of, loaded when it changes.

import { openUrls, renderAlert, showMessage, showMessages } from './alerts.js';
import { $, api } from './dom.js';
import { renderMenu } from './menu.js';
import { renderPanels } from './panels.js';
import { page, stats } from './state.js';
import { renderTools } from './tools.js';
import { renderOverlay, renderShapes, renderView } from './view.js';

export function connect() {
  const source = new EventSource(api('/api/events'));
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

export function startPainting() {
  requestAnimationFrame(paintLoop);
}

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
