// A panel's combo box (the host's spin edit popup): a field for a typed value and the list of
// its presets.

import { send } from './send.js';

export function buildCombo(item, label) {
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
