#!/usr/bin/env node
// Opens an unpacked playground and guide from disk in headless chromium
// (Debian's, driven by web/'s playwright-core), with no host name resolving,
// and writes what they show for .ci/package-tests:
//   OUT/NAME.page    the listing shown for the source NAME.txt, opened through a
//                    share link: each line and a CR LF (empty if none is shown)
//   OUT/guide.title  the guide's first heading
//   OUT/requests     every request for something outside the folder
// Usage: package-pages.mjs PLAYGROUND_DIR GUIDE_HTML OUT SOURCE.txt...
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { pathToFileURL } from 'node:url';

const { chromium } = createRequire(new URL('../web/package.json', import.meta.url))('playwright-core');
const [playground, guide, out, ...sources] = process.argv.slice(2);

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'ovrik-package-pages-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--host-resolver-rules=MAP * ~NOTFOUND'],
});
const outside = [];
context.on('request', (request) => {
  if (!/^(file|data|blob):/.test(request.url())) outside.push(request.url());
});

// The listing's lines once the page has assembled what it opened with.
async function shownListing(url) {
  const page = await context.newPage();
  try {
    await page.goto(url);
    await page.waitForFunction(
      () => document.body.dataset.ready === 'true' && document.getElementById('listing').children.length > 0,
      null,
      { timeout: 60_000 },
    );
    return await page.evaluate(() =>
      [...document.getElementById('listing').children].map((line) => line.textContent),
    );
  } catch (failure) {
    console.error(`${url.slice(0, 100)}: ${failure.message}`);
    return [];
  } finally {
    await page.close();
  }
}

try {
  for (const source of sources) {
    const name = path.basename(source, '.txt');
    const url = `${pathToFileURL(path.join(playground, 'index.html'))}#raw=${name}:${fs.readFileSync(source).toString('base64url')}`;
    const lines = await shownListing(url);
    fs.writeFileSync(path.join(out, `${name}.page`), Buffer.from(lines.map((line) => `${line}\r\n`).join(''), 'latin1'));
  }
  const page = await context.newPage();
  await page.goto(pathToFileURL(guide).href);
  fs.writeFileSync(path.join(out, 'guide.title'), `${await page.textContent('h1')}\n`);
} finally {
  await context.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
fs.writeFileSync(path.join(out, 'requests'), outside.map((url) => `${url}\n`).join(''));
