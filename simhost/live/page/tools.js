// The tool box: a button for each tool the plug-in added, and the selection tool.

import { $, api } from './dom.js';
import { send } from './send.js';

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
    img.src = api('/api/icon.png');
    button.appendChild(img);
    button.addEventListener('click', () => send({ type: 'pick-tool' }));
    $('toolbox').appendChild(button);
  }
  return button;
}

export function renderTools(state) {
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
    view.style.cursor = `url("${api(`/api/cursor.png?id=${state.cursor.id}`)}") ${x} ${y}, crosshair`;
  } else {
    view.style.cursor = 'default';
  }
}

export function setUpTools() {
  $('selection-tool').addEventListener('click', () => send({ type: 'leave-tool' }));
}
