// The menu bar: the File menu of the page and the Window menu of the plug-in's items.

import { $ } from './dom.js';
import { send } from './send.js';

export function renderMenu(state) {
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

export function closeMenus() {
  for (const d of document.querySelectorAll('#menubar .menu > .dropdown')) d.hidden = true;
  for (const b of document.querySelectorAll('#menubar .menu > button')) b.setAttribute('aria-expanded', 'false');
}

export function setUpMenus() {
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
}
