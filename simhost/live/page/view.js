// The document window as the last frame has it: its size, zoom and scroll, the shapes' path data
// and the outlines of the selected ones, and the overlay the plug-in drew.

import { $, SVG_NS } from './dom.js';
import { page } from './state.js';

export function renderView(state) {
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

export function renderShapes(state) {
  const applied = page.appliedVersion;
  for (let k = 0; k < page.shapeElements.length; ++k) {
    const el = page.shapeElements[k];
    if (!el || page.shapeVersion[k] === undefined || applied[k] === page.shapeVersion[k]) continue;
    el.setAttribute('d', page.shapeData[k]);
    applied[k] = page.shapeVersion[k];
  }
  // Selected shapes are outlined on top, in window pixels, unless the plug-in has turned the
  // view's edges off (as it does while it stirs). Each outline's transform changes only with the
  // view or the document.
  const marks = $('marks');
  const selected = new Set(state.showEdges === false ? [] : page.selection.selected);
  const placement = `${page.documentNumber} ${state.userToView} ${state.view.width} ${state.view.height}`;
  const kept = new Map();
  for (const m of [...marks.children]) kept.set(Number(m.dataset.shape), m);
  for (const [k, m] of kept) if (!selected.has(k)) { m.remove(); kept.delete(k); delete page.markVersion[k]; }
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
    if (page.shapeVersion[k] !== undefined && page.markVersion[k] !== page.shapeVersion[k]) {
      m.setAttribute('d', page.shapeData[k]);
      page.markVersion[k] = page.shapeVersion[k];
    }
  }
}

export function renderOverlay(state) {
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
