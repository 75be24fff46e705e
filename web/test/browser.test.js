// The playground in a real browser: Debian's chromium, headless, driven by
// playwright-core, with the page served from 127.0.0.1 as any static server
// would serve it. What the page shows and downloads is checked against what
// the WebAssembly assembler gives under Node.js, which bytes.test.js checks
// against the console program.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const { after, before, describe, it } = require('node:test');
const { pathToFileURL } = require('node:url');
const { chromium } = require('playwright-core');

const { repo, playgroundDir, assemblerApi, loadBuiltAssembler } = require('./support');

const CHROMIUM = process.env.OVRIK_CHROMIUM || '/usr/bin/chromium';
const SCREENSHOT_DIR = process.env.OVRIK_SCREENSHOT_DIR
  ? path.resolve(process.env.OVRIK_SCREENSHOT_DIR)
  : path.join(repo, 'build', 'wasm', 'screenshots');
const LAPTOP = { width: 1366, height: 768 };
const PHONE = { width: 390, height: 844 };

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
};

// A plain static server over the built page, on a free port of 127.0.0.1.
function serve(folder) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    const file = path.join(folder, name === '/' ? 'index.html' : name);
    if (!file.startsWith(folder + path.sep) || !fs.existsSync(file)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, {
      'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
    });
    response.end(fs.readFileSync(file));
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve(server));
  });
}

// How the page shows a listing: the text itself, a line break for each CR LF.
function shown(listing) {
  return Buffer.from(listing).toString('latin1').replace(/\r\n$/, '').split('\r\n').join('\n');
}

function examplesOnDisk() {
  const folder = path.join(repo, 'examples');
  return fs
    .readdirSync(folder)
    .filter((name) => name.endsWith('.txt'))
    .sort()
    .map((name) => ({
      name: path.basename(name, '.txt'),
      source: fs.readFileSync(path.join(folder, name)),
      listing: fs.readFileSync(path.join(folder, name.replace(/\.txt$/, '.ovr'))),
    }));
}

let server;
let origin;
let profile;
let context;
let page;
let assembler;
const pageErrors = [];
const foreignRequests = [];

async function openPage(url) {
  const opened = await context.newPage();
  opened.on('pageerror', (error) => pageErrors.push(error.message));
  opened.on('request', (request) => {
    const url = request.url();
    const own = url.startsWith(origin + '/') || url.startsWith('file:') || url.startsWith('blob:');
    if (!own && !url.startsWith('data:')) foreignRequests.push(url);
  });
  await opened.goto(url);
  await opened.waitForSelector('body[data-ready="true"]');
  return opened;
}

async function listingText(target = page) {
  return target.locator('#listing').textContent();
}

async function waitForListing(expected) {
  await page.waitForFunction(
    (text) => document.getElementById('listing').textContent === text,
    shown(expected),
  );
}

async function replaceSource(text) {
  await page.locator('#source').fill('');
  await page.locator('#source').pressSequentially(text);
}

async function download() {
  const [started] = await Promise.all([
    page.waitForEvent('download'),
    page.locator('#download').click(),
  ]);
  return { name: started.suggestedFilename(), bytes: fs.readFileSync(await started.path()) };
}

before(async () => {
  ({ assembler } = await loadBuiltAssembler());
  server = await serve(playgroundDir);
  origin = `http://127.0.0.1:${server.address().port}`;
  profile = fs.mkdtempSync(path.join(os.tmpdir(), 'ovrik-chromium-'));
  context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    viewport: LAPTOP,
    acceptDownloads: true,
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
  page = await openPage(`${origin}/index.html`);
});

after(async () => {
  if (context) await context.close();
  if (server) server.close();
  if (profile) fs.rmSync(profile, { recursive: true, force: true });
});

describe('playground page', () => {
  const examples = examplesOnDisk();

  it('opens on the first example, assembled', async () => {
    assert.ok(examples.length > 0, 'no example in examples/');
    assert.equal(await page.locator('#name').inputValue(), examples[0].name);
    assert.equal(await listingText(), shown(examples[0].listing));
  });

  it('assembles a program as it is typed', async () => {
    const program = [
      '/0',
      'START, CLA       / clear',
      '       TAD ONE',
      '       DCA SUM',
      '       HLT 0',
      'SUM,   VAR',
      'ONE,   1',
    ].join('\n');
    await replaceSource(program);
    const expected = assembler.assemble(Buffer.from(program, 'latin1')).listing;
    await waitForListing(expected);
    // the columns as the console program writes them
    assert.match(await listingText(), /^000 START,      CLA              710 \/ clear$/m);
    assert.equal(await page.locator('#gutter').textContent(), '1\n2\n3\n4\n5\n6\n7\n');
    assert.equal(await page.locator('#error').isVisible(), false);
  });

  it('loads every example from the menu', async () => {
    for (const example of examples) {
      await page.locator('#examples').selectOption(example.name);
      await waitForListing(example.listing);
      const text = example.source.toString('latin1').replace(/\r\n?/g, '\n');
      assert.equal(await page.locator('#source').inputValue(), text, example.name);
      assert.equal(await page.locator('#name').inputValue(), example.name);
    }
  });

  it('shows the error line in place of the listing', async () => {
    await page.locator('#examples').selectOption('count');
    await page.locator('#source').press('Control+End');
    await page.locator('#source').pressSequentially('\n        JMP NOWHERE\n');
    const source = Buffer.from(await page.locator('#source').inputValue(), 'latin1');
    const expected = assemblerApi.messageOf(assembler.assemble(source).console);
    assert.match(expected, /^Error: /);
    await page.waitForSelector('#error:visible');
    assert.equal(await page.locator('#error').textContent(), expected);
    assert.equal(await page.locator('#listing').isVisible(), false);
    assert.equal(await page.locator('#download').isDisabled(), true);
    await page.screenshot({ path: path.join(SCREENSHOT_DIR, 'playground-error.png') });
  });

  it('assembles at once on the button and on Ctrl+Enter', async () => {
    // Both take effect before the typing pause would run out.
    await page.locator('#source').fill('/0\n HLT 0\n');
    await page.locator('#assemble').click();
    assert.equal(await listingText(), '/0\n000             HLT 0            721');
    await page.locator('#source').fill('/1\n HLT 0\n');
    await page.locator('#source').press('Control+Enter');
    assert.equal(await listingText(), '/1\n020             HLT 0            721');
  });

  it('downloads the listing as NAME.ovr, byte for byte', async () => {
    const count = examples.find((example) => example.name === 'count');
    await page.locator('#examples').selectOption('count');
    await waitForListing(count.listing);
    const saved = await download();
    assert.equal(saved.name, 'count.ovr');
    assert.deepEqual(saved.bytes, count.listing);
    assert.ok(saved.bytes.includes('\r\n'), 'the listing lost its CR LF line ends');
  });

  it('opens a .txt file from disk and keeps every byte of it', async () => {
    // NUL, a lone CR and bytes above 127: what a text area would not keep as it is.
    const source = Buffer.concat([
      Buffer.from('/0\r\nSTART, CLA / caf'),
      Buffer.from([0xe9, 0x00, 0xff]),
      Buffer.from('\r HLT 0 /\x80\x9f\r\n'),
    ]);
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'ovrik-open-'));
    try {
      const file = path.join(folder, 'bytes.txt');
      fs.writeFileSync(file, source);
      await page.locator('#file').setInputFiles(file);
      await page.waitForFunction(() => document.getElementById('name').value === 'bytes');
      const expected = assembler.assemble(source).listing;
      await waitForListing(expected);
      const saved = await download();
      assert.equal(saved.name, 'bytes.ovr');
      assert.deepEqual(saved.bytes, Buffer.from(expected));
    } finally {
      fs.rmSync(folder, { recursive: true, force: true });
    }
  });

  it('looks tidy on a laptop and on a phone', async () => {
    await page.locator('#examples').selectOption('count');
    await page.screenshot({ path: path.join(SCREENSHOT_DIR, 'playground-laptop.png') });
    // On a laptop both panes fit the window: nothing of the page scrolls.
    const laptop = await page.evaluate(() => ({
      width: document.documentElement.scrollWidth,
      height: document.documentElement.scrollHeight,
    }));
    const fits = laptop.width <= LAPTOP.width && laptop.height <= LAPTOP.height;
    assert.ok(fits, `the page is ${laptop.width} by ${laptop.height} pixels`);

    await page.setViewportSize(PHONE);
    await page.screenshot({
      path: path.join(SCREENSHOT_DIR, 'playground-phone.png'),
      fullPage: true,
    });
    // On a phone the panes stack and the page never scrolls sideways; the
    // listing's lines scroll inside their own pane.
    const phone = await page.evaluate(() => {
      const box = (id) => document.getElementById(id).getBoundingClientRect();
      return {
        width: document.documentElement.scrollWidth,
        editorBottom: box('source').bottom,
        listingTop: box('listing').top,
      };
    });
    assert.ok(phone.width <= PHONE.width, `the page is ${phone.width} pixels wide`);
    assert.ok(phone.listingTop >= phone.editorBottom, 'the panes overlap');
    await page.setViewportSize(LAPTOP);
  });

  it('works opened from disk, with no server', async () => {
    const fromDisk = await openPage(pathToFileURL(path.join(playgroundDir, 'index.html')).href);
    try {
      assert.equal(await listingText(fromDisk), shown(examples[0].listing));
    } finally {
      await fromDisk.close();
    }
  });

  it('asks for nothing beyond its own files, and raises no script error', () => {
    assert.deepEqual(foreignRequests, []);
    assert.deepEqual(pageErrors, []);
  });
});
