// The pointer in the document window: the picked tool's presses and drags, the selection tool's
// clicks, dragging the view with the space bar or the middle button, and the wheel's zoom.

import { $ } from './dom.js';
import { sendView, zoomBy } from './navigation.js';
import { send } from './send.js';
import { page } from './state.js';

function windowPoint(e) {
  const r = $('canvas').getBoundingClientRect();
  return [e.clientX - r.left, e.clientY - r.top];
}

function toolPicked() {
  return page.state && page.state.tools.some((t) => t.selected);
}

export function setUpPointer() {
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
    const paths = page.selection.shapePaths;
    const selected = new Set(page.selection.selected);
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

  view.addEventListener('wheel', (e) => {
    if (!page.state) return;
    e.preventDefault();
    const factor = Math.exp(-e.deltaY * (e.ctrlKey ? 0.01 : 0.0015));
    zoomBy(factor, windowPoint(e));
  }, { passive: false });
}
