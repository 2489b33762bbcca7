// The page of sarvello-host open in a real browser: frames shown per second and how soon a
// pointer move is on the screen, while dragging across the demo drawing at each grid resolution.
//   make bench-page        (or: node bench/page.mjs [SECONDS])
// A benchmark, not a test: it prints figures and judges nothing.
import { execFileSync } from 'node:child_process';
import path from 'node:path';
import { hostProgram, launchBrowser, quitHost, startHost, tempDir } from '../tests/simhost/live/page/harness.mjs';

const seconds = Number(process.argv[2] || 5);
const dir = tempDir();
execFileSync(hostProgram, ['demo', '--out', dir, '--no-prefs'], { stdio: 'ignore' });
const sample = path.join(dir, 'sample.svg');
const browser = await launchBrowser();

function percentile(values, p) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted.length ? sorted[Math.min(sorted.length - 1, Math.floor(p * sorted.length))] : NaN;
}

async function measure(grid) {
  const host = await startHost([sample, '--no-prefs']);
  const page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
  await page.goto(host.url);
  await page.locator('[data-shape]').first().waitFor({ state: 'attached' });
  await page.keyboard.press('Control+A');
  await page.getByRole('button', { name: 'Sarvello Tool' }).click();
  await page.waitForFunction(() => document.querySelector('[data-tool="Sarvello Tool"]').getAttribute('aria-pressed') === 'true');
  if (grid !== '64') {
    await page.getByRole('button', { name: 'Grid Res presets' }).click();
    await page.getByRole('option', { name: grid, exact: true }).click();
  }
  await page.waitForTimeout(300);
  const box = await page.locator('#view').boundingBox();
  const cx = box.x + box.width / 2 + 100, cy = box.y + box.height / 2;
  await page.mouse.move(cx + 120, cy);
  await page.mouse.down();
  const before = await page.evaluate(() => ({ ...window.sarvelloStats, latencies: window.sarvelloStats.latencies.length, t: performance.now() }));
  const start = Date.now();
  let moves = 0;
  while (Date.now() - start < seconds * 1000) {
    const a = ((Date.now() - start) / 1000) * 2 * Math.PI * 0.7;
    await page.mouse.move(cx + 120 * Math.cos(a), cy + 120 * Math.sin(a));
    ++moves;
  }
  const after = await page.evaluate((from) => ({
    painted: window.sarvelloStats.framesPainted, received: window.sarvelloStats.framesReceived,
    latencies: window.sarvelloStats.latencies.slice(from), t: performance.now(),
  }), before.latencies);
  await page.mouse.up();
  const status = await page.locator('#overlay text').first().textContent();
  await page.close();
  await quitHost(host);
  const span = (after.t - before.t) / 1000;
  const lat = after.latencies;
  return {
    grid,
    fps: (after.painted - before.framesPainted) / span,
    framesPerSecondReceived: (after.received - before.framesReceived) / span,
    movesPerSecond: moves / span,
    p50: percentile(lat, 0.5), p95: percentile(lat, 0.95), max: Math.max(...lat),
    within33: lat.filter((l) => l <= 33.4).length / lat.length,
    status,
  };
}

console.log(`Dragging a circle across the demo drawing for ${seconds} s at each grid (pointer moves as fast as the browser takes them):`);
console.log('grid | frames shown/s | frames received/s | pointer moves/s | move→screen p50 | p95 | max | within 33 ms | end status');
for (const grid of ['64', '128', '256']) {
  const r = await measure(grid);
  console.log(`${r.grid} | ${r.fps.toFixed(1)} | ${r.framesPerSecondReceived.toFixed(1)} | ${r.movesPerSecond.toFixed(0)} | ` +
              `${r.p50.toFixed(1)} ms | ${r.p95.toFixed(1)} ms | ${r.max.toFixed(1)} ms | ${(r.within33 * 100).toFixed(1)} % | ${r.status}`);
}
await browser.close();
