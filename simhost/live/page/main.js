// The page of sarvello-host open: shows the frames the host publishes (the document, the
// overlay, the tools, the panels and the alerts) and sends what the user does as session events.
// The host is the only judge of state: the page draws what the last frame says and never
// changes it on its own, so that a reload or a second page shows the same.

import { setUpAlert } from './alerts.js';
import { setUpCommands } from './commands.js';
import { api } from './dom.js';
import { connect, startPainting } from './frames.js';
import { setUpKeyboard } from './keyboard.js';
import { setUpMenus } from './menu.js';
import { setUpNavigation } from './navigation.js';
import { setUpPointer } from './pointer.js';
import { page, stats } from './state.js';
import { setUpTools } from './tools.js';

// Read by the page's benchmark.
window.sarvelloStats = stats;
// The document the frames are of, for tests: the page shows it once #drawing carries its number.
window.sarvelloDocument = () => page.documentNumber;

// The tool's icon stands for the page (the request carries the token, as every request does).
const icon = document.createElement('link');
icon.rel = 'icon';
icon.href = api('/api/icon.png');
document.head.appendChild(icon);

startPainting();
setUpAlert();
setUpPointer();
setUpNavigation();
setUpKeyboard();
setUpMenus();
setUpCommands();
setUpTools();
connect();
