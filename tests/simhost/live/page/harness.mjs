// Starts `sarvello-host open` and Debian's chromium for the end-to-end tests.
import { spawn } from 'node:child_process';
import { mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

export const hostProgram = process.env.SARVELLO_HOST || path.resolve(import.meta.dirname, '../../../../build/bin/sarvello-host');
export const chromiumPath = process.env.SARVELLO_CHROMIUM || '/usr/bin/chromium';

export function tempDir() {
  return mkdtempSync(path.join(tmpdir(), 'sarvello-e2e-'));
}

// Starts the host; resolves once it prints the page's address.
export function startHost(args) {
  return new Promise((resolve, reject) => {
    const child = spawn(hostProgram, ['open', '--no-browser', ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    let err = '';
    const host = {
      child,
      url: null,
      stderr: () => err,
      stdout: () => out,
      exited: new Promise((done) => child.on('exit', (code, signal) => done({ code, signal }))),
    };
    child.stdout.on('data', (d) => {
      out += d;
      const line = out.split('\n').find((l) => l.startsWith('http://127.0.0.1:'));
      if (line && !host.url) {
        host.url = line.trim();
        host.origin = new URL(host.url).origin;
        host.token = new URL(host.url).searchParams.get('token');
        resolve(host);
      }
    });
    child.stderr.on('data', (d) => { err += d; });
    child.on('exit', (code) => { if (!host.url) reject(new Error(`sarvello-host open exited with ${code}: ${err}`)); });
  });
}

export async function launchBrowser() {
  return chromium.launch({ executablePath: chromiumPath, headless: true, args: ['--no-sandbox'] });
}

// Quits the host as the page's File > Quit does and waits for it to end.
export async function quitHost(host) {
  if (host.child.exitCode === null) {
    await fetch(`${host.origin}/api/quit?token=${host.token}`, { method: 'POST' }).catch(() => {});
  }
  return host.exited;
}
