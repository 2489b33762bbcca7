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

// A shape's geometry (the host's PageExport.h form) as SVG path data.
function pathData(bytes) {
  const m = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const subpaths = m.getUint32(0, true);
  const decimals = m.getUint8(4);
  const n = (v) => +v.toFixed(decimals);
  const parts = [];
  let at = 8;
  for (let s = 0; s < subpaths; ++s) {
    const flags = m.getUint8(at);
    const anchors = m.getUint32(at + 4, true);
    at += 8;
    if (anchors === 0) continue;
    if ((flags & 2) === 0) {
      const x0 = n(m.getFloat32(at, true)), y0 = n(m.getFloat32(at + 4, true));
      parts.push(`M${x0} ${y0}`);
      if (anchors === 1) parts.push(`L${x0} ${y0}`);  // a dot keeps a segment for its caps
      else parts.push('L');
      for (let i = 1; i < anchors; ++i) {
        parts.push(`${n(m.getFloat32(at + 8 * i, true))} ${n(m.getFloat32(at + 8 * i + 4, true))}`);
      }
      at += 8 * anchors;
    } else {
      const anchor = (i) => {
        const o = at + 24 * i;
        return [0, 1, 2, 3, 4, 5].map((k) => n(m.getFloat32(o + 4 * k, true)));
      };
      const list = Array.from({ length: anchors }, (_, i) => anchor(i));
      const segment = (from, to) => (from[4] === from[0] && from[5] === from[1] && to[2] === to[0] && to[3] === to[1])
        ? `L${to[0]} ${to[1]}`
        : `C${from[4]} ${from[5]} ${to[2]} ${to[3]} ${to[0]} ${to[1]}`;
      parts.push(`M${list[0][0]} ${list[0][1]}`);
      if (anchors === 1) parts.push(`L${list[0][0]} ${list[0][1]}`);
      for (let i = 1; i < anchors; ++i) parts.push(segment(list[i - 1], list[i]));
      if ((flags & 1) !== 0 && anchors > 1) {
        const last = list[anchors - 1], first = list[0];
        if (!(last[4] === last[0] && last[5] === last[1] && first[2] === first[0] && first[3] === first[1])) {
          parts.push(segment(last, first));
        }
      }
      at += 24 * anchors;
    }
    if ((flags & 1) !== 0) parts.push('Z');
  }
  return parts.join(' ');
}

// The path data of shape k as the last frame has it, made once per change.
function shapeData(k) {
  const version = page.shapeVersion[k];
  if (version === undefined) return undefined;
  if (page.dataVersion[k] !== version) {
    page.shapeData[k] = pathData(page.shapeBytes[k]);
    page.dataVersion[k] = version;
  }
  return page.shapeData[k];
}

export function renderShapes(state) {
  const applied = page.appliedVersion;
  for (let k = 0; k < page.shapeElements.length; ++k) {
    const el = page.shapeElements[k];
    if (!el || page.shapeVersion[k] === undefined || applied[k] === page.shapeVersion[k]) continue;
    el.setAttribute('d', shapeData(k));
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
      m.setAttribute('d', shapeData(k));
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
