// The user's input on its way to the host, as session events.

import { showMessage } from './alerts.js';
import { api } from './dom.js';
import { page, stats } from './state.js';

const MAX_BATCH = 500;
const outgoing = [];
let sending = false;

// Queues session events for the host; they are sent in order, in batches, one request at a time.
export function send(...events) {
  for (const e of events) {
    const last = outgoing[outgoing.length - 1];
    // Moves of the pointer that wait for the host, with the button up or down, are coalesced into
    // the last, as a system does for a program that is busy: a host that falls behind gets where
    // the pointer is now instead of a backlog of where it was. Presses, releases and everything
    // else keep their order and are never dropped.
    const moving = (x) => x && x.type === 'pointer' && (x.action === 'move' || x.action === 'drag');
    if (moving(e) && moving(last) && last.action === e.action) {
      outgoing[outgoing.length - 1] = e;
    } else {
      outgoing.push(e);
      stats.sentAt[++stats.sent] = performance.now();
    }
  }
  flush();
}

async function flush() {
  if (sending || outgoing.length === 0) return;
  sending = true;
  try {
    while (outgoing.length > 0) {
      // The host takes at most 1000 events a request; smaller batches also keep its frames coming.
      const batch = outgoing.splice(0, Math.min(outgoing.length, MAX_BATCH));
      const res = await fetch(api('/api/input'), {
        method: 'POST',
        headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ events: batch }),
      });
      if (!res.ok) {
        const body = await res.json().catch(() => ({}));
        showMessage(body.error || `the host refused the input (${res.status})`, true);
      }
    }
  } catch (err) {
    if (!page.ended) showMessage('the host cannot be reached: ' + err.message, true);
  } finally {
    sending = false;
  }
}
