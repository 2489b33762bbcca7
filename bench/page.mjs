// The page of sarvello-host open in a real browser while a person stirs: a circular stroke held
// inside the overlay square, and each second how many fluid steps the page showed ("Step = N"
// values seen in the status line), how many frames it painted, and how soon a pointer move was on
// the screen, against the drawing's vertex count. Two drawings: the demo sample, and a generated
// sheet of a few thousand small paths.
//   make bench-page                (or: node bench/page.mjs [SECONDS] [--only sample|sheet])
// A benchmark, not a test: it prints figures and judges nothing but that the stroke stirred.
import { execFileSync } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import path from 'node:path';
import { hostProgram, launchBrowser, quitHost, startHost, tempDir } from '../tests/simhost/live/page/harness.mjs';

const args = process.argv.slice(2);
const seconds = Number(args.find((a) => /^\d+$/.test(a)) || 20);
const only = args.includes('--only') ? args[args.indexOf('--only') + 1] : null;
const dir = tempDir();
execFileSync(hostProgram, ['demo', '--out', dir, '--no-prefs'], { stdio: 'ignore' });

// A sheet of 63 x 63 small closed curves (3,969 paths) in a 360-unit canvas, so that it is placed
// at about its own size: each a wobbly ring of four cubic segments.
function sheet() {
  const n = 63, cell = 360 / n;
  let body = '';
  for (let i = 0; i < n; ++i) {
    for (let j = 0; j < n; ++j) {
      const cx = (i + 0.5) * cell, cy = (j + 0.5) * cell, r = cell * (0.3 + 0.1 * ((i * 7 + j * 3) % 4) / 4);
      const k = r * 0.5523;
      body += `<path d="M${(cx + r).toFixed(2)} ${cy.toFixed(2)}c0 ${k.toFixed(2)} ${(k - r).toFixed(2)} ${r.toFixed(2)} ${(-r).toFixed(2)} ${r.toFixed(2)}` +
              `s${(-r).toFixed(2)} ${(-k).toFixed(2)} ${(-r).toFixed(2)} ${(-r).toFixed(2)}s${k.toFixed(2)} ${(-r).toFixed(2)} ${r.toFixed(2)} ${(-r).toFixed(2)}` +
              `s${r.toFixed(2)} ${k.toFixed(2)} ${r.toFixed(2)} ${r.toFixed(2)}z" fill="hsl(${(i * 5 + j * 3) % 360} 60% 60%)" stroke="#234" stroke-width="0.3"/>`;
    }
  }
  return `<svg xmlns="http://www.w3.org/2000/svg" width="360" height="360" viewBox="0 0 360 360">${body}</svg>`;
}
const drawings = {
  sample: path.join(dir, 'sample.svg'),
  sheet: path.join(dir, 'sheet.svg'),
};
writeFileSync(drawings.sheet, sheet());
const browser = await launchBrowser();

function percentile(values, p) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted.length ? sorted[Math.min(sorted.length - 1, Math.floor(p * sorted.length))] : NaN;
}

// The status line as the page shows it: "Step = N Vertices = M".
async function status(page) {
  const text = (await page.locator('#overlay text').first().textContent().catch(() => '')) || '';
  const m = /Step = (\d+) Vertices = (\d+)/.exec(text);
  return m ? { step: Number(m[1]), vertices: Number(m[2]) } : null;
}

async function measure(name) {
  const host = await startHost([drawings[name], '--no-prefs']);
  const page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
  await page.goto(host.url);
  await page.locator('[data-shape]').first().waitFor({ state: 'attached', timeout: 60000 });
  // Each frame the page paints, the step it shows: counted in the page, where no frame is missed.
  await page.evaluate(() => {
    window.benchSteps = new Set();
    const watch = () => {
      const t = document.querySelector('#overlay text');
      const m = t && /Step = (\d+)/.exec(t.textContent);
      if (m) window.benchSteps.add(Number(m[1]));
      requestAnimationFrame(watch);
    };
    requestAnimationFrame(watch);
  });
  await page.keyboard.press('Control+A');
  await page.getByRole('button', { name: 'Sarvello Tool' }).click();
  await page.waitForFunction(() => document.querySelector('[data-tool="Sarvello Tool"]').getAttribute('aria-pressed') === 'true');
  await page.waitForTimeout(500);
  // The overlay square lies in the middle of the view: the stroke circles its centre.
  const box = await page.locator('#view').boundingBox();
  const cx = box.x + box.width / 2, cy = box.y + box.height / 2, radius = 90;
  await page.mouse.move(cx + radius, cy);
  await page.mouse.down();
  const first = await status(page);
  const rows = [];
  const start = Date.now();
  let second = 0;
  const sample = (from) => page.evaluate((from) => {
    const s = window.sarvelloStats;
    return { painted: s.framesPainted, latencies: s.latencies.length, lat: s.latencies.slice(from), steps: window.benchSteps.size,
             t: performance.now(), bytes: s.bytesReceived, receiveMs: s.receiveMs, renderMs: s.renderMs };
  }, from);
  let previous = await sample(0);
  // The plug-in stops the run with an alert once a path reaches its vertex limit: the stroke ends
  // there, and the figures with it.
  let limit = null;
  const alert = page.getByRole('alertdialog');
  while (Date.now() - start < seconds * 1000) {
    if (await alert.isVisible()) {
      limit = { second: (Date.now() - start) / 1000, text: (await alert.textContent()).replace(/\s+/g, ' ').slice(0, 60) };
      await alert.getByRole('button', { name: 'OK' }).click();
      break;
    }
    const a = ((Date.now() - start) / 1000) * 2 * Math.PI * 0.5;
    await page.mouse.move(cx + radius * Math.cos(a), cy + radius * Math.sin(a));
    if (Date.now() - start >= (second + 1) * 1000) {
      ++second;
      const now = await sample(previous.latencies);
      const shown = await status(page);
      const span = (now.t - previous.t) / 1000;
      rows.push({
        second, vertices: shown ? shown.vertices : NaN, step: shown ? shown.step : NaN,
        steps: (now.steps - previous.steps) / span, fps: (now.painted - previous.painted) / span,
        p50: percentile(now.lat, 0.5), p95: percentile(now.lat, 0.95),
        kb: (now.bytes - previous.bytes) / 1024 / span, receive: (now.receiveMs - previous.receiveMs) / span / 10,
        render: (now.renderMs - previous.renderMs) / span / 10,
      });
      previous = now;
    }
  }
  await page.mouse.up();
  const last = await status(page);
  await page.close();
  await quitHost(host);
  if (!first || !last || !(last.vertices > first.vertices)) {
    throw new Error(`${name}: the stroke did not stir the drawing (vertices ${first && first.vertices} → ${last && last.vertices})`);
  }
  // Steps the host made against steps the page showed, over the whole stroke.
  // Steps made over the rows measured, read from the status line at their ends.
  const end = rows.length ? rows[rows.length - 1] : last;
  return { name, rows, made: end.step - first.step, first, last: end, limit };
}

for (const name of only ? [only] : ['sample', 'sheet']) {
  const r = await measure(name);
  const shown = r.rows.reduce((sum, row) => sum + row.steps, 0);
  console.log(`\n${name}: a circular stroke held in the square for ${seconds} s (vertices ${r.first.vertices} → ${r.last.vertices}; ` +
              `steps made ${r.made}, shown ${Math.round(shown)}, ${((shown / Math.max(1, r.made)) * 100).toFixed(0)} %)`);
  if (r.limit) console.log(`the vertex limit stopped the run after ${r.limit.second.toFixed(1)} s ("${r.limit.text}…")`);
  console.log('second | vertices | steps shown/s | frames shown/s | move→screen p50 | p95 | received KB/s | reading % | making elements %');
  for (const row of r.rows) {
    console.log(`${row.second} | ${row.vertices} | ${row.steps.toFixed(1)} | ${row.fps.toFixed(1)} | ${row.p50.toFixed(1)} ms | ${row.p95.toFixed(1)} ms | ` +
                `${row.kb.toFixed(0)} | ${row.receive.toFixed(0)} | ${row.render.toFixed(0)}`);
  }
}
await browser.close();
