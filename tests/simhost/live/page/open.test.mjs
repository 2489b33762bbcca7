// sarvello-host open in a real browser (Debian's chromium, headless): what a person does with the
// tool on the page, and that what they did replays to the same drawing.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { hostProgram, launchBrowser, quitHost, startHost, tempDir } from './harness.mjs';

const dir = tempDir();
execFileSync(hostProgram, ['demo', '--out', dir, '--no-prefs'], { stdio: 'ignore' });
const sample = path.join(dir, 'sample.svg');
const wave = path.resolve(import.meta.dirname, '../../../data/svg/wave.svg');
// One long zig-zag: 16,000 artwork units, which at Sampling 0.5 is beyond the vertex limit.
const zigzag = path.join(dir, 'zigzag.svg');
writeFileSync(zigzag, `<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 400 400"><path fill="none" stroke="black" d="M0,0 ${
  Array.from({ length: 40 }, (_, k) => `L${k % 2 ? 0 : 400},${k * 10} L${k % 2 ? 0 : 400},${k * 10 + 10}`).join(' ')}"/></svg>`);

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser.close(); });

// A page on a host of its own.
async function openPage(args, viewport = { width: 1280, height: 900 }) {
  const host = await startHost(args);
  const context = await browser.newContext({ viewport, acceptDownloads: true });
  const page = await context.newPage();
  page.on('pageerror', (e) => { throw e; });
  await page.goto(host.url);
  await page.getByRole('img', { name: 'Document' }).locator('[data-shape]').first().waitFor({ state: 'attached' });
  return { host, context, page };
}

async function close({ host, context }) {
  await context.close();
  const end = await quitHost(host);
  assert.equal(end.code, 0, host.stderr());
}

// Runs a test on a page of its own host; the host is ended whatever happens.
async function withPage(args, body) {
  const s = await openPage(args);
  try {
    await body(s);
  } catch (err) {
    s.host.child.kill('SIGKILL');
    throw err;
  }
  await close(s);
}

const status = (page) => page.locator('#overlay text').first();
const stepOf = async (page) => Number(((await status(page).textContent()) || '').match(/Step = (\d+)/)?.[1] ?? -1);
const boxes = (page) => page.locator('#drawing [data-shape]').evaluateAll((els) => els.map((e) => {
  const b = e.getBBox();
  return [b.x, b.y, b.width, b.height];
}));
const shapeData = (page) => page.locator('#drawing [data-shape]').evaluateAll((els) => els.map((e) => e.getAttribute('d')));

async function pickTool(page) {
  const tool = page.getByRole('button', { name: 'Sarvello Tool' });
  await tool.click();
  await page.waitForFunction(() => document.querySelector('[data-tool="Sarvello Tool"]').getAttribute('aria-pressed') === 'true');
}

async function drag(page, from, to, steps = 30) {
  const box = await page.locator('#view').boundingBox();
  await page.mouse.move(box.x + from[0], box.y + from[1]);
  await page.mouse.down();
  for (let k = 1; k <= steps; ++k) {
    const t = k / steps;
    await page.mouse.move(box.x + from[0] + (to[0] - from[0]) * t, box.y + from[1] + (to[1] - from[1]) * t + 30 * Math.sin(t * 6));
    await page.waitForTimeout(12);
  }
  await page.mouse.up();
}

async function saved(page, item) {
  const download = page.waitForEvent('download');
  await page.getByRole('menuitem', { name: 'File' }).click();
  await page.getByRole('menuitem', { name: item }).click();
  const file = path.join(dir, `${Date.now()}-${(await download).suggestedFilename()}`);
  await (await download).saveAs(file);
  return file;
}

describe('the tool on the page', () => {
  test('a drag stirs the paths, the panel changes take effect, Retry puts them back, and the session replays to the same drawing', async () => {
    await withPage([sample, '--no-prefs'], async (s) => {
      const { page, host } = s;
      const original = await shapeData(page);
      const originalBoxes = await boxes(page);
      await page.keyboard.press('Control+A');
      await pickTool(page);
      await status(page).waitFor();
      // The plug-in sets its cursor as the pointer moves over the window.
      const box = await page.locator('#view').boundingBox();
      await page.mouse.move(box.x + 600, box.y + 450);
      await page.mouse.move(box.x + 610, box.y + 455);
      await page.waitForFunction(() => /cursor\.png.* 15 15/.test(document.querySelector('#view').style.cursor));

      await drag(page, [400, 350], [700, 450]);
      await page.waitForTimeout(300);
      const first = await stepOf(page);
      assert.ok(first > 0);
      await page.waitForTimeout(300);
      assert.ok((await stepOf(page)) > first, 'the fluid keeps moving with the timer');
      assert.notDeepEqual(await shapeData(page), original);

      // Grid Res from its presets, Size typed.
      await page.getByRole('button', { name: 'Grid Res presets' }).click();
      await page.getByRole('option', { name: '128', exact: true }).click();
      await assert.doesNotReject(async () => {
        for (let k = 0; k < 50 && !host.stdout().includes('changin grid resolution to 128'); ++k) await page.waitForTimeout(50);
        assert.ok(host.stdout().includes('changin grid resolution to 128'));
      });
      const size = page.getByRole('combobox', { name: 'Size' });
      await size.fill('250');
      await size.press('Enter');
      await page.waitForFunction(() => {
        const r = document.querySelector('#overlay rect');
        return r && Math.abs(Number(r.getAttribute('width')) - 249) < 1.5;
      });
      assert.equal(await page.getByRole('combobox', { name: 'Grid Res' }).inputValue(), '128');

      // With the fluid cleared, Retry puts the paths back where they were; the ticks then only
      // resample them along the same outlines.
      await page.getByRole('button', { name: 'Clear' }).click();
      await page.getByRole('button', { name: 'Retry' }).click();
      await page.waitForTimeout(300);
      const now = await boxes(page);
      for (let k = 0; k < originalBoxes.length; ++k) {
        for (let c = 0; c < 4; ++c) assert.ok(Math.abs(now[k][c] - originalBoxes[k][c]) < 0.5, `shape ${k} is back`);
      }

      // Everything done since the drawing was opened replays to the same bytes. The tool is left
      // first: while it runs, the drawing moves on between the two saves.
      await drag(page, [500, 300], [600, 500], 20);
      await page.waitForTimeout(200);
      await page.getByRole('button', { name: 'Selection Tool' }).click();
      await page.waitForFunction(() => document.querySelector('#selection-tool').getAttribute('aria-pressed') === 'true');
      const drawing = readFileSync(await saved(page, 'Save drawing'));
      const session = await saved(page, 'Save session');
      assert.ok(!drawing.equals(readFileSync(sample)));
      const replayed = path.join(dir, 'replayed.svg');
      execFileSync(hostProgram, ['run', sample, '--session', session, '-o', replayed, '--no-prefs'], { stdio: 'ignore' });
      assert.ok(readFileSync(replayed).equals(drawing), 'the replay gives the saved drawing byte for byte');
    });
  });

  test('the vertex-limit alert blocks the host until OK', async () => {
    await withPage([zigzag, '--no-prefs'], async (s) => {
      const { page } = s;
      await page.keyboard.press('Control+A');
      await pickTool(page);
      await page.getByRole('button', { name: 'Sampling presets' }).click();
      await page.getByRole('option', { name: '0.5', exact: true }).click();
      const alert = page.getByRole('alertdialog');
      await alert.waitFor();
      assert.match(await alert.textContent(), /Auto Limitter\s+Due to an application limitations, number of each path's vertices is limitted up to 30,000\. Stopping\./);
      const step = await stepOf(page);
      await page.waitForTimeout(400);
      assert.equal(await stepOf(page), step, 'nothing runs while the alert is open');
      await alert.getByRole('button', { name: 'OK' }).click();
      await alert.waitFor({ state: 'hidden' });
    });
  });

  test('Visit website opens a tab at the address the plug-in asks for', async () => {
    await withPage([sample, '--no-prefs'], async (s) => {
      await s.context.route('https://sarvello.dev/**', (route) => route.fulfill({ body: 'website', contentType: 'text/html' }));
      const tab = s.context.waitForEvent('page');
      await s.page.getByRole('button', { name: 'Visit website' }).click();
      const opened = await tab;
      await opened.waitForURL('https://sarvello.dev/**');
    });
  });
});

describe('panels and preferences', () => {
  test('a closed panel comes back from the menu, and a moved one is found there after a restart', async () => {
    const prefs = path.join(dir, 'prefs.ini');
    let moved;
    await withPage([sample, '--prefs', prefs], async (s) => {
      let panel = s.page.getByRole('dialog', { name: 'Sarvello' });
      await panel.waitFor();
      await s.page.getByRole('button', { name: 'Close Sarvello' }).click();
      await panel.waitFor({ state: 'hidden' });
      await s.page.getByRole('menuitem', { name: 'Window' }).click();
      await s.page.getByRole('menuitem', { name: 'Tool Palettes' }).click();
      await s.page.getByRole('menuitem', { name: 'Sarvello', exact: true }).click();
      await panel.waitFor();

      const bar = panel.locator('.titlebar');
      const box = await bar.boundingBox();
      await s.page.mouse.move(box.x + 40, box.y + 8);
      await s.page.mouse.down();
      await s.page.mouse.move(box.x - 300, box.y - 200, { steps: 8 });
      await s.page.mouse.up();
      await s.page.waitForTimeout(300);
      moved = await panel.boundingBox();
    });

    await withPage([sample, '--prefs', prefs], async (s) => {
      const panel = s.page.getByRole('dialog', { name: 'Sarvello' });
      await panel.waitFor();
      const again = await panel.boundingBox();
      assert.deepEqual([Math.round(again.x), Math.round(again.y)], [Math.round(moved.x), Math.round(moved.y)]);
    });
  });
});

describe('files and the server', () => {
  test('another drawing opens by the file picker; a file that is not SVG is refused and the document kept', async () => {
    await withPage([sample, '--no-prefs'], async (s) => {
      const { page } = s;
      const chooser = page.waitForEvent('filechooser');
      await page.getByRole('menuitem', { name: 'File' }).click();
      await page.getByRole('menuitem', { name: 'Open…' }).click();
      await (await chooser).setFiles(wave);
      // The name comes with the first frame, the document's shapes once it has loaded.
      await page.waitForFunction(() => document.querySelector('#document-name').textContent === 'wave.svg');
      await page.waitForFunction(() => document.querySelector('#drawing').dataset.document === String(window.sarvelloDocument()));
      const shown = await shapeData(page);
      // Another page (or a reload) at the run's address shows the same document.
      const second = await s.context.newPage();
      await second.goto(s.host.url);
      await second.waitForFunction(() => document.querySelector('#drawing').dataset.document === String(window.sarvelloDocument()));
      assert.deepEqual(await shapeData(second), shown);
      await second.close();

      const notSvg = path.join(dir, 'notes.svg');
      writeFileSync(notSvg, 'these are notes, not a drawing\n');
      const again = page.waitForEvent('filechooser');
      await page.getByRole('menuitem', { name: 'File' }).click();
      await page.getByRole('menuitem', { name: 'Open…' }).click();
      await (await again).setFiles(notSvg);
      await page.getByRole('status').getByText(/notes\.svg cannot be opened/).waitFor();
      assert.deepEqual(await shapeData(page), shown);
      assert.equal(await page.locator('#document-name').textContent(), 'wave.svg');
    });
  });

  test('clones open as shapes of their own, or kept as clones', async () => {
    const cloned = path.join(dir, 'cloned.svg');
    writeFileSync(cloned, '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100"><path id="p" d="M10,10 L90,10" stroke="black"/><use href="#p" y="40"/></svg>');
    await withPage([sample, '--no-prefs'], async (s) => {
      const { page } = s;
      for (const [item, shapes] of [['Open…', 2], ['Open keeping clones…', 1]]) {
        const chooser = page.waitForEvent('filechooser');
        await page.getByRole('menuitem', { name: 'File' }).click();
        await page.getByRole('menuitem', { name: item, exact: true }).click();
        await (await chooser).setFiles(cloned);
        await page.waitForFunction((n) => document.querySelectorAll('#drawing [data-shape]').length === n, shapes);
      }
    });
  });

  test("a drawing's scripts, event attributes and javascript: links do not run in the page", async () => {
    const hostile = path.join(dir, 'hostile.svg');
    writeFileSync(hostile, `<svg xmlns="http://www.w3.org/2000/svg" onload="window.hacked = 'onload'" viewBox="0 0 100 100">
      <script>window.hacked = 'script'</script>
      <a href="javascript:window.hacked = 'link'"><path id="p" d="M10,10 L90,90" stroke="black" stroke-width="20"/></a>
      <image href="missing.png" width="10" height="10" onerror="window.hacked = 'onerror'"/>
      <path d="M10,90 L90,10" stroke="red" onmouseover="window.hacked = 'mouseover'"/></svg>`);
    await withPage([hostile, '--no-prefs'], async ({ page }) => {
      const box = await page.locator('#view').boundingBox();
      for (const [x, y] of [[0.5, 0.5], [0.45, 0.45], [0.55, 0.45]]) await page.mouse.click(box.x + box.width * x, box.y + box.height * y);
      await page.waitForTimeout(200);
      assert.equal(await page.evaluate(() => window.hacked), undefined);
    });
  });
});
