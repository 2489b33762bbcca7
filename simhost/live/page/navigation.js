// Changes of the view the user asks for (zoom, scroll, the window's size) and the size of the
// screen the palettes live on, sent to the host; the host's frame then shows them.

import { $ } from './dom.js';
import { send } from './send.js';
import { page } from './state.js';

function viewToArtwork(px) {
  const v = page.state.view;
  return [v.center[0] + (px[0] - v.width / 2) / v.zoom, v.center[1] - (px[1] - v.height / 2) / v.zoom];
}

// View changes are sent at most once a display frame, the last one winning.
let viewChange = null;
export function sendView(change) {
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

export function zoomBy(factor, px) {
  const v = page.state.view;
  const zoom = Math.min(1000, Math.max(0.001, v.zoom * factor));
  const at = px || [v.width / 2, v.height / 2];
  const a = viewToArtwork(at);
  // The artwork point under the pointer stays under it.
  const center = [a[0] - (at[0] - v.width / 2) / zoom, a[1] + (at[1] - v.height / 2) / zoom];
  sendView({ zoom, center });
}

// The page is the screen the palettes live on.
function sendScreen() {
  send({ type: 'screen', width: Math.max(100, window.innerWidth), height: Math.max(100, window.innerHeight) });
}

// Sends the screen's size now and whenever it changes, the document window's size whenever it
// changes, and the scroll bars' moves.
export function setUpNavigation() {
  window.addEventListener('resize', sendScreen);
  sendScreen();

  const view = $('view');
  new ResizeObserver(() => {
    const width = Math.max(1, Math.round(view.clientWidth));
    const height = Math.max(1, Math.round(view.clientHeight));
    if (page.state && page.state.view.width === width && page.state.view.height === height) return;
    sendView({ width, height });
  }).observe(view);

  $('scroll-x').addEventListener('input', (e) => sendView({ center: [Number(e.target.value), page.state.view.center[1]] }));
  $('scroll-y').addEventListener('input', (e) => sendView({ center: [page.state.view.center[0], -Number(e.target.value)] }));
}
