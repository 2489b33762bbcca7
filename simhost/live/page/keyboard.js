// The page's keys: space held to drag the view, select all, select none (Escape), open a file.

import { $ } from './dom.js';
import { closeMenus } from './menu.js';
import { send } from './send.js';
import { page } from './state.js';

const typing = () => document.activeElement && /^(INPUT|TEXTAREA)$/.test(document.activeElement.tagName) && document.activeElement.type !== 'range';

export function setUpKeyboard() {
  window.addEventListener('keydown', (e) => {
    if (typing() || !page.state) return;
    if (e.key === ' ') { page.spaceHeld = true; e.preventDefault(); }
    if ((e.ctrlKey || e.metaKey) && e.key.toLowerCase() === 'a') { e.preventDefault(); send({ type: 'select', paths: 'all' }); }
    if (e.key === 'Escape' && $('alert-layer').hidden) { closeMenus(); send({ type: 'select', paths: 'none' }); }
    if ((e.ctrlKey || e.metaKey) && e.key.toLowerCase() === 'o') { e.preventDefault(); $('file-input').click(); }
  });
  window.addEventListener('keyup', (e) => { if (e.key === ' ') page.spaceHeld = false; });
}
