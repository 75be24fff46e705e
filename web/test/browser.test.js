// The playground in a real browser: Debian's chromium, headless, driven by
// playwright-core, with the page served from 127.0.0.1 as any static server
// would serve it. What the page shows and downloads is checked against what
// the WebAssembly core gives under Node.js, which bytes.test.js checks
// against the console program. The page is found by the accessible names it
// promises (the Source textbox, the Memory grid, the Run button...).
'use strict';

const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const { after, before, describe, it } = require('node:test');
const { pathToFileURL } = require('node:url');
const { chromium } = require('playwright-core');

const { repo, playgroundDir, loadBuiltAssembler } = require('./support');

const CHROMIUM = process.env.OVRIK_CHROMIUM || '/usr/bin/chromium';
const SCREENSHOT_DIR = process.env.OVRIK_SCREENSHOT_DIR
  ? path.resolve(process.env.OVRIK_SCREENSHOT_DIR)
  : path.join(repo, 'build', 'wasm', 'screenshots');
const LAPTOP = { width: 1366, height: 768 };
const NARROW = { width: 420, height: 860 };
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
const figures = [];

async function openPage(url, { wait = true } = {}) {
  const opened = await context.newPage();
  opened.on('pageerror', (error) => pageErrors.push(error.message));
  opened.on('request', (request) => {
    const url = request.url();
    const own = url.startsWith(origin + '/') || url.startsWith('file:') || url.startsWith('blob:');
    if (!own && !url.startsWith('data:')) foreignRequests.push(url);
  });
  // New and the examples menu ask before they replace unsaved work.
  opened.on('dialog', (dialog) => (opened.answerDialogs ?? true ? dialog.accept() : dialog.dismiss()));
  await opened.goto(url);
  if (wait) await opened.waitForSelector('body[data-ready="true"]');
  return opened;
}

const byName = {
  source: (target = page) => target.getByRole('textbox', { name: 'Source' }),
  listing: (target = page) => target.getByRole('region', { name: 'Listing' }),
  memory: (target = page) => target.getByRole('grid', { name: 'Memory' }),
  cell: (address, target = page) =>
    target.getByRole('gridcell', { name: new RegExp(`^${address} `) }),
  button: (name, target = page) => target.getByRole('button', { name, exact: true }),
  machine: (target = page) => target.getByRole('status', { name: 'Machine' }),
  accumulator: (target = page) => target.getByRole('status', { name: 'Accumulator' }),
  counter: (target = page) => target.getByRole('status', { name: 'Program counter' }),
  display: (port, target = page) => target.getByRole('log', { name: `Display ${port}` }),
  keyboard: (port, target = page) => target.getByRole('textbox', { name: `Keyboard ${port}` }),
  alert: (target = page) => target.getByRole('alert'),
};

async function listingText(target = page) {
  return target.evaluate(() =>
    [...document.getElementById('listing').children].map((line) => line.textContent).join('\n'),
  );
}

async function waitForListing(expected, target = page) {
  await target.waitForFunction(
    (text) =>
      [...document.getElementById('listing').children].map((line) => line.textContent).join('\n') === text,
    shown(expected),
  );
}

const sourceText = (target = page) => target.evaluate(() => window.ovrikPlayground.text());
const setSource = (text, target = page) => target.evaluate((t) => window.ovrikPlayground.setText(t), text);
const cursorLine = (target = page) => target.evaluate(() => window.ovrikPlayground.cursorLine());

async function chooseExample(name, target = page) {
  await target.getByLabel('Examples').selectOption(name);
}

async function download(buttonName, target = page) {
  const [started] = await Promise.all([target.waitForEvent('download'), byName.button(buttonName, target).click()]);
  return { name: started.suggestedFilename(), bytes: fs.readFileSync(await started.path()) };
}

async function shareLink() {
  await page.evaluate(() => (document.getElementById('share-link').value = ''));
  await byName.button('Share').click();
  await page.waitForFunction(() => document.getElementById('share-link').value !== '');
  return page.getByLabel('Share link').inputValue();
}

async function machineState(target = page) {
  return byName.machine(target).textContent();
}

async function waitForState(state, target = page) {
  await target.waitForFunction(
    (wanted) => document.getElementById('machine-state').textContent === wanted,
    state,
  );
}

// One picture of the page as it is now, in each theme and at each width.
async function shoot(name, target = page) {
  for (const scheme of ['light', 'dark']) {
    await target.emulateMedia({ colorScheme: scheme });
    for (const [size, viewport] of [['wide', LAPTOP], ['narrow', NARROW]]) {
      await target.setViewportSize(viewport);
      // a word still flashing can be caught half painted
      await target.evaluate(() => {
        const finite = document
          .getAnimations()
          .filter((a) => a.effect?.getComputedTiming().iterations !== Infinity);
        const settled = Promise.all(finite.map((a) => a.finished.catch(() => {})));
        return Promise.race([settled, new Promise((done) => setTimeout(done, 1000))]);
      });
      await target.screenshot({
        path: path.join(SCREENSHOT_DIR, `${name}-${scheme}-${size}.png`),
        fullPage: size === 'narrow',
      });
    }
  }
  await target.emulateMedia({ colorScheme: 'light' });
  await target.setViewportSize(LAPTOP);
}

before(async () => {
  ({ assembler } = await loadBuiltAssembler());
  server = await serve(playgroundDir);
  origin = `http://127.0.0.1:${server.address().port}`;
  profile = fs.mkdtempSync(path.join(os.tmpdir(), 'ovrik-chromium-'));
  fs.mkdirSync(SCREENSHOT_DIR, { recursive: true });
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
  if (figures.length > 0) {
    console.log('\nPlayground figures (chromium, headless, this machine):');
    for (const figure of figures) console.log(`  ${figure}`);
  }
});

describe('playground page', () => {
  const examples = examplesOnDisk();
  const example = (name) => examples.find((candidate) => candidate.name === name);
  const wordsOf = (name) => assembler.assemble(example(name).source).words;

  it('opens on the first example, assembled', async () => {
    assert.ok(examples.length > 0, 'no example in examples/');
    assert.equal(await page.locator('#name').inputValue(), examples[0].name);
    assert.equal(await listingText(), shown(examples[0].listing));
    assert.equal(await byName.memory().getByRole('gridcell').count(), 256);
    assert.equal(await machineState(), 'ready');
    // the version is the project's, from the one place it is kept
    const version = fs
      .readFileSync(path.join(repo, 'CMakeLists.txt'), 'utf8')
      .match(/project\(ovrik VERSION ([0-9.]+)/)[1];
    assert.match(await page.locator('#version').innerText(), new RegExp(`^ovrik ${version.replace('.', '\\.')}\\b`));
    await shoot('start');
  });

  it('assembles a program as it is typed', async () => {
    const lines = ['/0', 'START, CLA       / clear', ' TAD ONE', ' DCA SUM', ' HLT 0', 'SUM,   VAR', 'ONE,   1'];
    const program = lines.join('\n');
    await byName.source().click();
    await page.keyboard.press('Control+A');
    await page.keyboard.press('Delete');
    for (const line of lines) {
      await page.keyboard.type(line);
      if (line !== lines[lines.length - 1]) await page.keyboard.press('Enter');
    }
    assert.equal(await sourceText(), program);
    const expected = assembler.assemble(Buffer.from(program, 'latin1')).listing;
    await waitForListing(expected);
    // the columns as the console program writes them
    assert.match(await listingText(), /^000 START,      CLA              710 \/ clear$/m);
    const numbers = await page.locator('.cm-lineNumbers .cm-gutterElement:visible').allTextContents();
    assert.deepEqual(numbers.filter((n) => /^\d+$/.test(n)), ['1', '2', '3', '4', '5', '6', '7']);
    assert.equal(await byName.alert().isVisible(), false);
  });

  it('colours every part of a line, and shows a tab', async () => {
    await setSource(
      [
        '/0',
        'START,  TAD I P         / a comment',
        '        SKF 0',
        'P,      VAR=XA',
        'X,      VAR',
        'B,      ARRAY[2]',
        'T,      TABLE[4]',
        "        'A",
        '        #123',
        '        +$1F',
        '        %00000101',
        'R,      RTNADR',
        'K,      A(START)',
        'N,      -5',
        '        TAD\tX',
      ].join('\n'),
    );
    const tokens = await page.evaluate(() =>
      [...document.querySelectorAll('.cm-content [class*="tok-"]')].map((span) => [
        span.className.match(/tok-(\w+)/)[1],
        span.textContent,
      ]),
    );
    const has = (type, text) =>
      assert.ok(
        tokens.some(([t, s]) => t === type && s === text),
        `no ${type} token "${text}" in ${JSON.stringify(tokens)}`,
      );
    has('directive', '/0');
    has('label', 'START,');
    has('mnemonic', 'TAD');
    has('indirect', 'I');
    has('operand', 'P');
    has('comment', '/ a comment');
    has('number', '0');
    has('keyword', 'VAR=');
    has('keyword', 'VAR');
    has('keyword', 'ARRAY[');
    has('keyword', 'TABLE[');
    has('keyword', 'RTNADR');
    has('char', "'A");
    has('word', '#123');
    has('number', '+$1F');
    has('number', '%00000101');
    has('address', 'A(START)');
    has('number', '-5');
    const invalid = tokens.filter(([type]) => type === 'invalid').map(([, text]) => text);
    assert.equal(invalid.join(''), 'TAD\tX', 'a statement with a tab is no instruction');
    assert.equal(await page.locator('.cm-content .cm-tab').count(), 1);
  });

  it('tells what a mnemonic does when the pointer rests on it', async () => {
    await setSource('/0\nSTART,  TAD X\n        HLT 0\nX,      VAR\n');
    await page.locator('.cm-content .tok-mnemonic', { hasText: 'TAD' }).hover();
    const help = page.locator('.mnemonic-help');
    await help.waitFor();
    const text = await help.textContent();
    assert.match(text, /TAD/);
    assert.match(text, /add it to the accumulator/);
    assert.match(text, /code\s*1/);
  });

  it('marks an error on its line and names the line in the alert', async () => {
    const source = '/0\nSTART,  CLA\n        tad X\n        HLT 0\nX,      VAR\n';
    await setSource(source);
    const expected = assembler.assemble(Buffer.from(source, 'latin1')).error;
    assert.equal(expected.line, 3);
    await page.waitForFunction(() => document.querySelector('[role="alert"]').textContent.includes('source line'));
    const alert = await byName.alert().textContent();
    assert.ok(alert.includes(expected.message), alert);
    assert.ok(alert.includes('source line 3'), alert);
    // the notes follow the error, as on the command line
    assert.equal(expected.notes.length, 2);
    for (const note of expected.notes) assert.ok(alert.includes(`Note: ${note.text}`), alert);
    // the underline on line 3, and the marker in the gutter
    const line3 = page.locator('.cm-line').nth(2);
    assert.equal(await line3.locator('.cm-lintRange-error').count(), 1);
    assert.equal(await page.locator('.cm-lint-marker-error').count(), 1);
    assert.equal(await byName.button('Download .ovr').isDisabled(), true);
    assert.match(await listingText(), /No listing/);
    await line3.locator('.cm-lintRange-error').hover();
    const tooltip = page.locator('.cm-tooltip-lint');
    await tooltip.waitFor();
    assert.ok((await tooltip.textContent()).includes(expected.message));
    await shoot('error');
    // the panel's line moves the cursor there
    await page.keyboard.press('Escape');
    await byName.source().click();
    await page.keyboard.press('Control+Home');
    assert.equal(await cursorLine(), 1);
    await byName.alert().getByRole('button', { name: 'source line 3' }).first().click();
    assert.equal(await cursorLine(), 3);
    assert.ok(await page.evaluate(() => document.activeElement.classList.contains('cm-content')));
  });

  it('shows a warning on its line, and will not run a word the machine has no value for', async () => {
    const source = '/0\nSTART,  CLA\n        HLT 0\nT,      TABLE[1]\n        #12\n';
    await setSource(source);
    const expected = assembler.assemble(Buffer.from(source, 'latin1'));
    assert.ok(expected.listing !== null && expected.warnings.length > 0);
    const warning = expected.warnings[0];
    const item = page.getByRole('list', { name: 'Warnings' }).getByRole('listitem').first();
    assert.ok((await item.textContent()).includes(warning.text));
    assert.ok((await item.textContent()).includes(`source line ${warning.line}`));
    assert.equal(await page.locator('.cm-lint-marker-warning').count(), 1);
    assert.equal(await byName.alert().isVisible(), false, 'a warning is no error');
    assert.equal(await machineState(), 'cannot run');
    assert.match(await page.locator('#state-note').textContent(), /no word of the machine/);
    assert.equal(await byName.button('Run').isDisabled(), true);
    assert.equal(await byName.button('Step').isDisabled(), true);
  });

  it('loads every example from the menu', async () => {
    for (const { name, listing, source } of examples) {
      await chooseExample(name);
      await waitForListing(listing);
      assert.equal(await sourceText(), source.toString('latin1'), name);
      assert.equal(await page.locator('#name').inputValue(), name);
    }
  });

  it('selects across source, listing and map, both ways', async () => {
    await chooseExample('count');
    await waitForListing(example('count').listing);
    const words = wordsOf('count');
    const loop = words.find((word) => word.label === 'LOOP');
    assert.ok(loop.line > 0);
    const address = loop.text.slice(0, 3);

    // a map cell selects its source line, and the listing marks the word
    await byName.source().click();
    await page.keyboard.press('Control+Home');
    await byName.cell(address).click();
    assert.equal(await cursorLine(), loop.line);
    assert.match(await page.locator(`.word-line[data-address="${loop.address}"]`).getAttribute('class'), /is-selected/);

    // a listing line does the same
    const other = words.find((word) => word.listed && word.line > 0 && word.line !== loop.line);
    await page.locator(`.word-line[data-address="${other.address}"] .line-text`).click();
    assert.equal(await cursorLine(), other.line);
    assert.match(await byName.cell(other.text.slice(0, 3)).getAttribute('class'), /is-selected/);

    // the source line marks its words in both
    await byName.source().click();
    await page.keyboard.press('Control+Home');
    for (let line = 1; line < loop.line; line++) await page.keyboard.press('ArrowDown');
    assert.equal(await cursorLine(), loop.line);
    assert.match(await byName.cell(address).getAttribute('class'), /is-selected/);
    assert.doesNotMatch(await byName.cell(other.text.slice(0, 3)).getAttribute('class'), /is-selected/);

    // pointing at a cell tells all about its word
    await byName.cell(address).hover();
    const details = await page.locator('#word-details').textContent();
    for (const part of [address, 'LOOP', loop.statement, loop.code, `value ${loop.value}`, `source line ${loop.line}`]) {
      assert.ok(details.includes(part), `"${part}" not in "${details}"`);
    }
  });

  it('marks the word an address constant points to', async () => {
    await chooseExample('subroutine');
    await waitForListing(example('subroutine').listing);
    const words = wordsOf('subroutine');
    const pointer = words.find((word) => word.kind === 'address');
    assert.ok(pointer, 'subroutine has an address constant');
    await byName.cell(pointer.text.slice(0, 3)).click();
    const target = words[pointer.points];
    assert.match(await byName.cell(target.text.slice(0, 3)).getAttribute('class'), /is-target/);
    assert.match(await page.locator(`.word-line[data-address="${target.address}"]`).getAttribute('class'), /is-target/);
    await shoot('selection');
  });

  // What ovrik --explain says of a word of an example: its line of NAME.explain after " -- ".
  const explained = (name, address) => {
    const lines = fs.readFileSync(path.join(repo, 'examples', `${name}.explain`), 'latin1').split('\n');
    const line = lines.find((l) => l.startsWith(`${address} `));
    return line.slice(line.indexOf(' -- ') + 4);
  };
  const wordDetails = () => page.getByRole('region', { name: 'Word details' });
  // Why each word of an example is there, as the core tells the page.
  const reasonsOf = (name) => {
    const words = wordsOf(name);
    return words.map((word) => ({ ...word, ...assembler.explain(word.address) }));
  };
  const notation = (address) => `${address >> 5}${(address >> 3) & 3}${address & 7}`;

  it('says why a word is there, and marks what it reaches and what reaches it', async () => {
    await chooseExample('layout');
    await waitForListing(example('layout').listing);
    const words = reasonsOf('layout');
    const call = words.find((word) => word.statement === 'JMS I ADDA');
    const add = words.find((word) => word.label === 'ADD');
    await byName.cell(notation(call.address)).click();
    // the sentence of the command line, and what the instruction does with its addresses
    const details = await wordDetails().innerText();
    assert.ok(details.includes(explained('layout', notation(call.address))), details);
    assert.ok(details.includes('indirect: stores the return address in the word whose address is in 011 (ADDA, which holds 101)'), details);
    // ADD, which the call reaches through ADDA, and the JMP that reaches the call
    const marked = async (address, mark, words) => {
      assert.match(await byName.cell(notation(address)).getAttribute('class'), new RegExp(mark));
      assert.match(await page.locator(`.word-line[data-address="${address}"]`).getAttribute('class'), new RegExp(mark));
      assert.ok((await byName.cell(notation(address)).getAttribute('aria-label')).endsWith(words));
    };
    await marked(add.address, 'is-reached', '(reached by the chosen word)');
    for (const address of call.reachedBy) await marked(address, 'is-reaching', '(reaches the chosen word)');
    // the pointer resting on no other word, whose details it would show
    await page.mouse.move(0, 0);
    await wordDetails().evaluate((region) => region.scrollIntoView({ block: 'end' }));
    await shoot('why');
    // a word named in the details is one click, or one key, away
    await wordDetails().getByRole('button', { name: `${notation(add.address)} ADD` }).click();
    assert.equal(await cursorLine(), add.line);
    assert.ok((await wordDetails().innerText()).includes(explained('layout', notation(add.address))));
    await marked(call.address, 'is-reaching', '(reaches the chosen word)');
  });

  it('shows three pages sharing one subroutine through their address constants', async () => {
    await chooseExample('calls');
    await waitForListing(example('calls').listing);
    const words = reasonsOf('calls');
    const show = words.find((word) => word.label === 'SHOW');
    await byName.cell(notation(show.address)).click();
    const constants = words.filter((word) => word.statement === 'A(SHOW)');
    assert.equal(constants.length, 2);
    for (const constant of constants) {
      assert.ok(show.reachedBy.includes(constant.address));
      assert.match(await byName.cell(notation(constant.address)).getAttribute('class'), /is-reaching/);
    }
    assert.ok((await wordDetails().innerText()).includes(explained('calls', notation(show.address))));
  });

  it('marks the source lines the assembler rewrote, the sentence on the mark', async () => {
    await chooseExample('layout');
    await waitForListing(example('layout').listing);
    const rewritten = reasonsOf('layout').filter((word) => word.rewritten);
    assert.deepEqual(rewritten.map((word) => word.line), [10, 23, 24]);
    const titles = await page.locator('.cm-rewritten-gutter .cm-rewritten-mark[title]:not([title=""])').evaluateAll(
      (marks) => marks.map((mark) => mark.title),
    );
    assert.deepEqual(titles, rewritten.map((word) => word.why));
    // from the keyboard: the cursor on such a line shows its sentence
    await byName.source().click();
    await page.keyboard.press('Control+Home');
    for (let line = 1; line < rewritten[1].line; line++) await page.keyboard.press('ArrowDown');
    assert.ok((await wordDetails().innerText()).includes(rewritten[1].why));
  });

  it('runs hello: HELLO in Display 0, and the machine halted', async () => {
    await chooseExample('hello');
    await waitForListing(example('hello').listing);
    await byName.button('Run').click();
    await waitForState('halted');
    assert.equal(await byName.display(0).textContent(), 'HELLO');
    assert.equal(await byName.display(1).textContent(), '');
    assert.equal(await byName.button('Stop').isDisabled(), true);
    await shoot('halted');
  });

  it('runs echo with the keys typed into Keyboard 0', async () => {
    await chooseExample('echo');
    await waitForListing(example('echo').listing);
    await byName.button('Run').click();
    await waitForState('waiting for input');
    await shoot('waiting');
    await byName.keyboard(0).click();
    await page.keyboard.type('Hi');
    await page.waitForFunction(() => document.getElementById('display-0').textContent === 'Hi');
    assert.equal(await machineState(), 'waiting for input');
    await page.keyboard.type('Q');
    await waitForState('halted');
    assert.equal(await byName.display(0).textContent(), 'HiQ');
    assert.equal(await byName.keyboard(0).inputValue(), '', 'every key was read');
  });

  it('steps, and steps back to the same registers', async () => {
    await chooseExample('count');
    await waitForListing(example('count').listing);
    const registers = async () => ({
      ac: await byName.accumulator().textContent(),
      pc: await byName.counter().textContent(),
      steps: await page.locator('#steps').textContent(),
    });
    const seen = [await registers()];
    assert.match(seen[0].pc, /^[0-7][0-3][0-7]$/, 'the program counter in the word notation');
    for (let i = 0; i < 12; i++) {
      await byName.button('Step').click();
      seen.push(await registers());
    }
    assert.notDeepEqual(seen[12], seen[0]);
    assert.equal(await machineState(), 'stopped');
    for (let i = 11; i >= 0; i--) {
      await byName.button('Step back').click();
      assert.deepEqual(await registers(), seen[i], `after stepping back to step ${i}`);
    }
    assert.equal(await byName.button('Step back').isDisabled(), true);
    // the current word is marked in all three views
    const pc = seen[0].pc;
    assert.match(await byName.cell(pc).getAttribute('class'), /is-current/);
    assert.equal(await page.locator('.word-line.is-current .line-text').textContent().then((t) => t.slice(0, 3)), pc);
    assert.equal(await page.locator('.cm-line.cm-current-word').count(), 1);
  });

  it('lists the labels with their values, live, and a row chooses the word', async () => {
    await chooseExample('count');
    await waitForListing(example('count').listing);
    const table = page.getByRole('table', { name: 'Labels' });
    const rows = table.getByRole('row');
    const row = (label) => rows.filter({ has: page.getByRole('rowheader', { name: label, exact: true }) });
    const cells = async (label) => row(label).getByRole('cell').allTextContents();
    assert.deepEqual(
      await table.getByRole('rowheader').allTextContents(),
      ['START', 'LOOP', 'COUNT', 'SUM', 'MINUS5', 'ONE'],
    );
    // address, signed, unsigned, word notation, a character only where printable
    assert.deepEqual(await cells('MINUS5'), ['012', '-5', '251', '733', '']);
    assert.deepEqual(await cells('COUNT'), ['010', '0', '0', '000', '']);
    for (let i = 0; i < 3; i++) await byName.button('Step').click();
    assert.deepEqual(await cells('COUNT'), ['010', '-5', '251', '733', '']);
    // the accumulator in signed decimal too, the program counter as an address only
    await byName.button('Step back').click();
    assert.equal(await byName.accumulator().textContent(), '733');
    assert.equal(await page.locator('#ac-decimal').textContent(), '251 or -5');
    assert.equal(await byName.counter().textContent(), '002');
    assert.equal(await page.locator('#pc-place').textContent(), 'page 0, slot 2');
    assert.equal(await page.locator('#pc-character').count(), 0);
    await byName.button('Run').click();
    await waitForState('halted');
    assert.deepEqual(await cells('SUM'), ['011', '5', '5', '005', '']);
    assert.deepEqual(await cells('COUNT'), ['010', '0', '0', '000', '']);
    // the HLT word is where the machine halted; the word after it is not current
    assert.match(await byName.cell('007').getAttribute('class'), /is-halted/);
    assert.match(await byName.cell('007').getAttribute('aria-label'), /halted here/);
    assert.equal(await page.locator('.cell.is-current').count(), 0);
    assert.equal(await page.locator('#state-note').textContent(), 'at 007');
    await row('SUM').click();
    assert.match(await byName.cell('011').getAttribute('class'), /is-selected/);
    assert.equal(await row('SUM').getAttribute('aria-current'), 'true');
    // and from the keyboard
    await row('SUM').press('ArrowUp');
    await page.keyboard.press('Enter');
    assert.match(await byName.cell('010').getAttribute('class'), /is-selected/);
    await shoot('labels');
  });

  it('updates the labels while a run goes on, at every screen refresh', async () => {
    await setSource('/0\nSTART,  ISZ N\n        JMP START\nN,      VAR\n');
    await page.waitForFunction(() => document.querySelectorAll('#labels tbody tr').length === 2);
    await byName.button('Run').click();
    const seen = new Set();
    for (let i = 0; i < 20 && seen.size < 3; i++) {
      seen.add(await page.locator('#labels tbody tr:nth-child(2) td:nth-child(4)').textContent());
      await page.waitForTimeout(30);
    }
    await byName.button('Stop').click();
    assert.ok(seen.size >= 3, `N seen as ${[...seen]}`);
  });

  it('shows values in the map with the Show values switch, and remembers it', async () => {
    await chooseExample('count');
    await waitForListing(example('count').listing);
    const toggle = page.getByRole('switch', { name: 'Show values' });
    assert.equal(await toggle.isChecked(), false);
    assert.equal(await byName.cell('012').textContent(), 'K');
    await toggle.click();
    assert.equal(await byName.cell('012').textContent(), '733');
    assert.match(await byName.cell('012').getAttribute('aria-label'), /value 251 \(-5\)/);
    assert.equal(await byName.cell('000').textContent(), '710');
    await shoot('values');
    await page.reload();
    await page.waitForSelector('body[data-ready="true"]');
    assert.equal(await page.getByRole('switch', { name: 'Show values' }).isChecked(), true);
    assert.equal(await byName.cell('012').textContent(), '733');
    await page.getByRole('switch', { name: 'Show values' }).press('Space');
    assert.equal(await byName.cell('012').textContent(), 'K');
  });

  it('stops at a breakpoint set in the listing, the map or the source gutter', async () => {
    await chooseExample('count');
    await waitForListing(example('count').listing);
    const loop = wordsOf('count').find((word) => word.label === 'LOOP');
    const address = loop.text.slice(0, 3);
    const line = page.locator(`.word-line[data-address="${loop.address}"]`);
    const ways = {
      listing: () => line.locator('.bp-toggle').click(),
      map: () => byName.cell(address).dblclick(),
      gutter: async () => {
        // the breakpoint gutter, level with the line
        const line = await page.locator('.cm-line').nth(loop.line - 1).boundingBox();
        const gutter = await page.locator('.cm-breakpoint-gutter').boundingBox();
        await page.mouse.click(gutter.x + gutter.width / 2, line.y + line.height / 2);
      },
    };
    for (const [way, toggle] of Object.entries(ways)) {
      await byName.button('Reset').click();
      await toggle();
      // shown in all three views
      assert.match(await line.getAttribute('class'), /has-breakpoint/, way);
      assert.match(await byName.cell(address).getAttribute('class'), /has-breakpoint/, way);
      assert.equal(await page.locator('.cm-breakpoint-gutter .bp-dot:visible').count(), 1, way);
      await byName.button('Run').click();
      await waitForState('stopped');
      assert.equal(await byName.counter().textContent(), address, way);
      assert.match(await page.locator('#state-note').textContent(), /breakpoint/);
      // Run again goes on from the breakpoint, round the loop to it again
      const steps = Number(await page.locator('#steps').textContent());
      await byName.button('Run').click();
      await waitForState('stopped');
      assert.ok(Number(await page.locator('#steps').textContent()) > steps, way);
      await toggle();
      assert.doesNotMatch(await line.getAttribute('class'), /has-breakpoint/, way);
    }
    await byName.button('Run').click();
    await waitForState('halted');
  });

  it('runs a JMP to itself until Stop, which answers at once', async () => {
    await byName.button('Reset').click();
    await setSource('/0\nLOOP,   JMP LOOP\n');
    await page.waitForFunction(() => document.getElementById('machine-state').textContent === 'ready');
    await byName.button('Run').click();
    await waitForState('running');
    const stepsAt = () => page.evaluate(() => window.ovrikPlayground.runner.hooks.machine().status().steps);
    const started = { steps: await stepsAt(), time: Date.now() };
    await page.waitForTimeout(1500);
    // the page answers while the program runs
    const asked = Date.now();
    await page.evaluate(() => 1);
    const answer = Date.now() - asked;
    const ran = { steps: await stepsAt(), time: Date.now() };
    assert.ok(ran.steps > started.steps, 'no steps were run');
    assert.equal(await machineState(), 'running');
    const stopTime = await page.evaluate(
      () =>
        new Promise((resolve) => {
          const state = document.getElementById('machine-state');
          const clicked = performance.now();
          new MutationObserver(() => resolve(performance.now() - clicked)).observe(state, {
            childList: true,
            characterData: true,
            subtree: true,
          });
          document.getElementById('stop').click();
        }),
    );
    // Stop is the page's Ctrl-C: the run ends interrupted, where it was
    assert.equal(await machineState(), 'interrupted');
    assert.match(await page.locator('#state-note').textContent(), /^at [0-7][0-3][0-7] after [\d,]+ steps$/);
    const stoppedAt = await stepsAt();
    await page.waitForTimeout(200);
    assert.equal(await stepsAt(), stoppedAt, 'steps went on after Stop');
    assert.ok(stopTime < 100, `Stop took ${stopTime} ms`);
    assert.ok(answer < 500, `the page took ${answer} ms to answer while running`);
    const rate = ((ran.steps - started.steps) / (ran.time - started.time)) * 1000;
    figures.push(`steps a second at full speed: ${(rate / 1e6).toFixed(1)} million (wall clock, JMP to itself)`);
    figures.push(`Stop: the state changed ${stopTime.toFixed(1)} ms after the click`);
  });

  it('stops at the step limit it is given', async () => {
    await page.locator('#limit').fill('1000');
    await byName.button('Reset').click();
    await byName.button('Run').click();
    await waitForState('step limit');
    assert.equal(await page.locator('#steps').textContent(), '1,000');
    await page.locator('#limit').fill('');
  });

  it('keeps the source over a reload', async () => {
    await setSource('/0\nKEPT,   HLT 0   / still here after a reload\n');
    await page.reload();
    await page.waitForSelector('body[data-ready="true"]');
    assert.equal(await sourceText(), '/0\nKEPT,   HLT 0   / still here after a reload\n');
  });

  it('shares a link that opens the same bytes in a new page', async () => {
    // NUL, a lone CR, CR LF, a tab and bytes above 127.
    const bytes = Buffer.concat([
      Buffer.from('/0\r\nSTART, CLA / caf'),
      Buffer.from([0xe9, 0x00, 0xff, 0x09]),
      Buffer.from('\r HLT 0 /\x80\x9f\r\n'),
    ]);
    await setSource(bytes.toString('latin1'));
    await page.locator('#name').fill('shared');
    const link = await shareLink();
    assert.ok(link.startsWith(`${origin}/index.html#`), link);
    assert.ok(!link.includes('HLT'), 'the source is compressed, not written out');
    await shoot('share');
    const other = await openPage(link);
    try {
      assert.equal(await other.locator('#name').inputValue(), 'shared');
      const saved = await download('Download .txt', other);
      assert.equal(saved.name, 'shared.txt');
      assert.deepEqual(saved.bytes, bytes);
      assert.equal(new URL(other.url()).hash, '', 'the link leaves the address, so a reload keeps later work');
    } finally {
      await other.close();
    }
  });

  it('gives back the work a share link replaced, and says when a link is damaged', async () => {
    const fragment = await page.evaluate(() => location.href);
    await setSource('/0\nMINE,   HLT 0\n');
    await page.waitForTimeout(400);
    const link = await shareLink();
    await setSource('/0\nLATER,  HLT 0\n');
    await page.waitForTimeout(400);
    const other = await openPage(link);
    try {
      assert.equal(await sourceText(other), '/0\nMINE,   HLT 0\n');
      await byName.button('Back to my source', other).click();
      assert.equal(await sourceText(other), '/0\nLATER,  HLT 0\n');
      await other.goto(`${fragment.replace(/#.*$/, '')}#source=broken:AAAA`);
      await other.waitForSelector('body[data-ready="true"]');
      assert.match(await other.locator('#notice').textContent(), /could not be read/);
      assert.equal(await sourceText(other), '/0\nLATER,  HLT 0\n');
    } finally {
      await other.close();
    }
  });

  it('asks before New or an example replaces unsaved work', async () => {
    await setSource('/0\nWORK,   HLT 0\n');
    page.answerDialogs = false;
    try {
      await chooseExample('count');
      await byName.button('New').click();
      assert.equal(await sourceText(), '/0\nWORK,   HLT 0\n');
    } finally {
      page.answerDialogs = true;
    }
    await byName.button('New').click();
    assert.notEqual(await sourceText(), '/0\nWORK,   HLT 0\n');
    // Undo brings the work back even after saying yes.
    await byName.source().click();
    await page.keyboard.press('Control+z');
    assert.equal(await sourceText(), '/0\nWORK,   HLT 0\n');
  });

  it('runs from the keyboard alone', async () => {
    await chooseExample('hello');
    await waitForListing(example('hello').listing);
    await page.locator('#name').focus();
    let presses = 0;
    while ((await page.evaluate(() => document.activeElement.id)) !== 'run') {
      await page.keyboard.press('Tab');
      assert.ok(++presses < 40, 'Run is not reachable with Tab');
    }
    const outline = await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle);
    assert.notEqual(outline, 'none', 'focus is visible');
    await page.keyboard.press('Enter');
    await waitForState('halted');
    assert.equal(await byName.display(0).textContent(), 'HELLO');
    // a breakpoint from the map by keyboard
    await page.keyboard.press('Shift+Tab');
    await byName.cell('000').focus();
    await page.keyboard.press('ArrowRight');
    await page.keyboard.press('b');
    assert.match(await byName.cell('001').getAttribute('class'), /has-breakpoint/);
    await page.keyboard.press('b');
    assert.doesNotMatch(await byName.cell('001').getAttribute('class'), /has-breakpoint/);
  });

  it('has the guide inside, the instruction tables one click from the editor', async () => {
    await byName.button('Instructions').click();
    const heading = page.locator('#guide-9-the-instruction-set');
    await heading.waitFor();
    const box = await heading.boundingBox();
    assert.ok(box && box.y >= 0 && box.y < LAPTOP.height, 'the instruction set is in view');
    assert.ok(await page.locator('#guide').getByRole('cell', { name: 'TAD', exact: true }).isVisible());
    await shoot('guide');
    await page.keyboard.press('Escape');
    assert.equal(await page.locator('#guide').isVisible(), false);
    assert.equal(await page.evaluate(() => document.activeElement.id), 'instructions');
  });

  it('downloads the listing as NAME.ovr, byte for byte', async () => {
    const count = example('count');
    await chooseExample('count');
    await waitForListing(count.listing);
    const saved = await download('Download .ovr');
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
      const saved = await download('Download .ovr');
      assert.equal(saved.name, 'bytes.ovr');
      assert.deepEqual(saved.bytes, Buffer.from(expected));
      const kept = await download('Download .txt');
      assert.deepEqual(kept.bytes, source);
    } finally {
      fs.rmSync(folder, { recursive: true, force: true });
    }
  });

  // ---- Exercises: the panel beside the source, its checks run by the core ----

  const exerciseFile = (name) => path.join(repo, 'exercises', `${name}.toml`);
  const solution = (name, file) =>
    fs.readFileSync(path.join(repo, 'tests', 'exercises', 'solutions', name, file), 'latin1');
  const region = (target = page) => target.getByRole('region', { name: 'Exercise' });
  const checksList = (target = page) => target.getByRole('list', { name: 'Checks' });
  const exerciseTitle = (target = page) => region(target).getByRole('heading', { level: 3 }).textContent();
  // Waits until the checks are named so: "NAME: passed" (or failed, running), in order.
  async function waitForChecks(names, target = page) {
    await target.waitForFunction(
      (wanted) =>
        JSON.stringify([...document.querySelectorAll('#checks > li')].map((li) => li.getAttribute('aria-label'))) ===
        JSON.stringify(wanted),
      names,
    );
    const named = await checksList(target).getByRole('listitem', { name: names[0], exact: true }).count();
    assert.equal(named, 1, `no check named "${names[0]}"`);
  }
  // What the page shows for the failed checks, as ovrik --check's report lines.
  const failedLines = (target = page) =>
    target.evaluate(() =>
      [...document.querySelectorAll('#checks > li[data-state="failed"]')].map(
        (li) =>
          `${li.querySelector('.check-name').textContent}: ${[...li.querySelectorAll('.check-differences li')]
            .map((line) => line.textContent)
            .join('; ')}`,
      ),
    );
  const reportLines = (name, file) =>
    fs
      .readFileSync(path.join(repo, 'tests', 'exercises', 'solutions', name, file), 'utf8')
      .split('\n')
      .filter((line) => line.startsWith('  '))
      .map((line) => line.slice(2));
  async function chooseExercise(title, target = page) {
    await target.getByLabel('Exercises').selectOption({ label: title });
    await target.waitForFunction((wanted) => document.getElementById('exercise-title').textContent === wanted, title);
  }

  it('opens a bundled exercise: its title, its task as Markdown, its starter, and checks as you type', async () => {
    await chooseExercise('Store a sum');
    assert.equal(await exerciseTitle(), 'Store a sum');
    // The task's Markdown: `A` in code, two paragraphs.
    const task = region().locator('.task');
    assert.equal(await task.locator('code').first().textContent(), 'A');
    assert.equal(await task.locator('p').count(), 2);
    const toml = fs.readFileSync(exerciseFile('01-store-a-sum'), 'latin1');
    const starter = toml.match(/starter = """([^]*?)"""/)[1];
    assert.equal(await sourceText(), starter);
    await waitForChecks(['2 + 3: failed', '-1 + 1: failed', '200 + 100 wraps around: failed']);
    await setSource(solution('01-store-a-sum', 'solution.txt'));
    await waitForChecks(['2 + 3: passed', '-1 + 1: passed', '200 + 100 wraps around: passed']);
    assert.equal(await region().locator('#exercise-summary').textContent(), '3 of 3 checks passed, 3 of 3 points');
    await shoot('exercise-passed');
    // A wrong solution: each failed check says what differed, as the command line does.
    await setSource(solution('01-store-a-sum', 'wrong-stores-twice.txt'));
    await waitForChecks(['2 + 3: failed', '-1 + 1: failed', '200 + 100 wraps around: failed']);
    assert.deepEqual(await failedLines(), reportLines('01-store-a-sum', 'wrong-stores-twice.report'));
    await shoot('exercise-failed');
  });

  it('keeps the source of each exercise, over a reload too', async () => {
    await setSource(solution('01-store-a-sum', 'solution.txt'));
    await waitForChecks(['2 + 3: passed', '-1 + 1: passed', '200 + 100 wraps around: passed']);
    await page.waitForTimeout(400);
    await chooseExercise('Multiply by repeated addition');
    assert.match(await sourceText(), /add A to PRODUCT, B times/);
    await setSource(solution('06-multiply-by-adding', 'wrong-adds-once-for-0.txt'));
    await page.waitForTimeout(400);
    await page.reload();
    await page.waitForSelector('body[data-ready="true"]');
    await page.waitForFunction(() => !document.getElementById('exercise').hidden);
    assert.equal(await exerciseTitle(), 'Multiply by repeated addition');
    assert.equal(await sourceText(), solution('06-multiply-by-adding', 'wrong-adds-once-for-0.txt'));
    await page.waitForFunction(() => document.querySelector('#checks > li[aria-label="7 x 0: failed"]') !== null);
    assert.deepEqual(await failedLines(), reportLines('06-multiply-by-adding', 'wrong-adds-once-for-0.report'));
    await chooseExercise('Store a sum');
    assert.equal(await sourceText(), solution('01-store-a-sum', 'solution.txt'));
    await waitForChecks(['2 + 3: passed', '-1 + 1: passed', '200 + 100 wraps around: passed']);
  });

  it('opens an exercise file, shows its task as text and no markup, and names the line of a fault', async () => {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'ovrik-exercise-'));
    try {
      const file = path.join(folder, 'own.toml');
      fs.writeFileSync(
        file,
        [
          'title = "<b>Mine</b>"',
          'task = "Press **Q**. <img src=x onerror=alert(1)><script>alert(2)</script> [x](javascript:alert(3))"',
          'starter = "/0\\nSTART,  HLT 0\\n"',
          '[[check]]',
          'name = "halts <at once>"',
          '',
        ].join('\n'),
      );
      await page.locator('#file').setInputFiles(file);
      await page.waitForFunction(() => document.getElementById('exercise-title').textContent === '<b>Mine</b>');
      const task = region().locator('.task');
      assert.equal(await task.locator('strong').textContent(), 'Q');
      assert.equal(await task.locator('img, script, b').count(), 0);
      assert.match(await task.textContent(), /<img src=x onerror=alert\(1\)><script>/);
      assert.equal(await task.locator('a[href]').count(), 0, 'a javascript: link is no link');
      assert.equal(await sourceText(), '/0\nSTART,  HLT 0\n');
      await waitForChecks(['halts <at once>: passed']);
      fs.writeFileSync(path.join(folder, 'broken.toml'), 'title = "x"\ntitel = "y"\n[[check]]\nname = "a"\n');
      await page.locator('#file').setInputFiles(path.join(folder, 'broken.toml'));
      await page.waitForFunction(() => !document.getElementById('exercise-error').hidden);
      assert.equal(
        await region().locator('#exercise-error').textContent(),
        "broken.toml:2: error: unknown key 'titel'; an exercise has title, task, starter, max_steps, max_words, max_pages and [[check]]",
      );
      assert.equal(await checksList().isVisible(), false);
    } finally {
      fs.rmSync(folder, { recursive: true, force: true });
    }
  });

  it('shares a link that carries the exercise and the source', async () => {
    await chooseExercise('Echo keys until Q');
    await setSource(solution('04-echo-keys-until-q', 'wrong-shows-the-q.txt'));
    await page.waitForFunction(() => document.querySelector('#checks > li[data-state="failed"]') !== null);
    const link = await shareLink();
    assert.match(new URL(link).hash, /^#exercise=[^&]+&source=/);
    const other = await openPage(link);
    try {
      await other.waitForFunction(() => document.getElementById('exercise-title').textContent === 'Echo keys until Q');
      assert.equal(await sourceText(other), solution('04-echo-keys-until-q', 'wrong-shows-the-q.txt'));
      await other.waitForFunction(() => document.querySelector('#checks > li[aria-label="HELLO then Q: failed"]') !== null);
      assert.deepEqual(await failedLines(other), reportLines('04-echo-keys-until-q', 'wrong-shows-the-q.report'));
      assert.equal(new URL(other.url()).hash, '');
      // A damaged link says so, and leaves the exercise and the source as they were.
      await other.goto(`${link.replace(/#.*$/, '')}#exercise=broken:AAAA`);
      await other.waitForSelector('body[data-ready="true"]');
      await other.waitForFunction(() => /exercise could not be read/.test(document.getElementById('notice').textContent));
      assert.equal(await other.locator('#exercise-title').textContent(), 'Echo keys until Q');
    } finally {
      await other.close();
    }
  });

  it('keeps the editor quick while a check loops to a step limit of a billion', async () => {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'ovrik-exercise-'));
    try {
      const file = path.join(folder, 'loops.toml');
      fs.writeFileSync(file, 'title = "Loops"\nmax_steps = 1000000000\n[[check]]\nname = "halts"\n');
      await page.locator('#file').setInputFiles(file);
      await page.waitForFunction(() => document.getElementById('exercise-title').textContent === 'Loops');
      await setSource('/0\nSTART,  JMP START\n');
      await page.waitForFunction(() => document.getElementById('exercise').dataset.checking === 'true');
      // Typing while the check runs: every key reaches the editor and the listing.
      await byName.source().click();
      await page.keyboard.press('Control+End');
      const typed = Date.now();
      await page.keyboard.type('NEXT,   HLT 0');
      await page.waitForFunction(() => document.getElementById('listing').textContent.includes('NEXT,'));
      const took = Date.now() - typed;
      figures.push(`typing 13 keys while a check loops: ${took} ms until the listing showed them all`);
      assert.ok(took < 5000, `${took} ms`);
      await waitForChecks(['halts: running']);
      await byName.button('Close exercise').click();
      assert.equal(await region().isVisible(), false);
      await page.reload();
      await page.waitForSelector('body[data-ready="true"]');
      assert.equal(await region().isVisible(), false, 'a closed exercise stays closed');
    } finally {
      fs.rmSync(folder, { recursive: true, force: true });
    }
  });

  it('fits a laptop, and a phone without scrolling sideways', async () => {
    await chooseExample('count');
    // On a laptop the three panes fit the window: nothing of the page scrolls.
    const laptop = await page.evaluate(() => ({
      width: document.documentElement.scrollWidth,
      height: document.documentElement.scrollHeight,
    }));
    const fits = laptop.width <= LAPTOP.width && laptop.height <= LAPTOP.height;
    assert.ok(fits, `the page is ${laptop.width} by ${laptop.height} pixels`);

    for (const viewport of [NARROW, PHONE]) {
      await page.setViewportSize(viewport);
      // The panes stack and the page never scrolls sideways; the listing's
      // lines scroll inside their own pane.
      const narrow = await page.evaluate(() => {
        const box = (selector) => document.querySelector(selector).getBoundingClientRect();
        return {
          width: document.documentElement.scrollWidth,
          editorBottom: box('.source-pane').bottom,
          listingTop: box('.listing-pane').top,
          mapRight: box('#memory').right,
        };
      });
      assert.ok(narrow.width <= viewport.width, `the page is ${narrow.width} pixels wide at ${viewport.width}`);
      assert.ok(narrow.listingTop >= narrow.editorBottom, 'the panes overlap');
      assert.ok(narrow.mapRight <= viewport.width, 'the map is cut off');
    }
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

  it('measures how fast it is', async () => {
    // The largest legal program, as the benchmarks make it.
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'ovrik-largest-'));
    let largest;
    try {
      execFileSync('python3', [path.join(repo, 'bench', 'sources.py'), folder]);
      largest = fs.readFileSync(path.join(folder, 'largest.txt'));
    } finally {
      fs.rmSync(folder, { recursive: true, force: true });
    }
    const expected = assembler.assemble(largest);
    assert.equal(expected.error, null);
    await setSource(largest.toString('latin1'));
    await waitForListing(expected.listing);
    // A keystroke at the end of a comment: from the key going down to the
    // listing and the map (updated after it, in the same task) having changed.
    await page.bringToFront();
    await page.evaluate(() => window.ovrikPlayground.goToLine(2));
    await page.keyboard.press('End');
    assert.equal(await cursorLine(), 2);
    // One key typed and taken back first: the page has seen how long this
    // source takes (the assembly that loaded it ran cold, and a slow one makes
    // the next wait for a pause in the typing).
    await page.keyboard.press('x');
    await page.keyboard.press('Backspace');
    await page.waitForFunction(() => !document.getElementById('status').textContent.includes('pauses'));
    // The time from the key going down (seen before the editor sees it) to
    // the end of the assembly and of the update of listing and map after it.
    await page.evaluate(() => {
      document.querySelector('.cm-content').addEventListener(
        'keydown',
        () => (window.ovrikPlayground.keyAt = performance.now()),
        { capture: true },
      );
    });
    const times = [];
    const first = expected.words.find((word) => word.label === 'S0');
    assert.equal(first.line, 2, 'the comment typed into is the one of page 0\'s first word');
    const lineOf = () =>
      page.evaluate(
        (address) => document.querySelector(`#listing .word-line[data-address="${address}"]`).textContent,
        first.address,
      );
    for (let i = 0; i < 15; i++) {
      await page.keyboard.press(i % 2 === 0 ? 'x' : 'Backspace');
      await page.waitForFunction(
        ([address, typed]) =>
          document.querySelector(`#listing .word-line[data-address="${address}"]`).textContent.endsWith('page 0x') ===
          typed,
        [first.address, i % 2 === 0],
      );
      assert.equal((await lineOf()).endsWith('page 0x'), i % 2 === 0, `key ${i}: ${await lineOf()}`);
      times.push(await page.evaluate(() => window.ovrikPlayground.assembledAt - window.ovrikPlayground.keyAt));
    }
    times.sort((a, b) => a - b);
    figures.push(
      `keystroke to listing and map updated, largest legal program: median ${times[7].toFixed(1)} ms, worst ${times[14].toFixed(1)} ms`,
    );

    // Time to ready, opened from disk.
    const ready = [];
    for (let i = 0; i < 3; i++) {
      const fromDisk = await openPage(pathToFileURL(path.join(playgroundDir, 'index.html')).href);
      ready.push(await fromDisk.evaluate(() => window.ovrikPlayground.readyMs));
      await fromDisk.close();
    }
    ready.sort((a, b) => a - b);
    figures.push(`time to ready, opened from disk: ${ready[1].toFixed(0)} ms (median of 3)`);

    const loaded = ['index.html', 'style.css', 'guide.css', 'examples.js', 'exercises.js', 'guide.js', 'ovrik-wasm.js', 'app.js'];
    const bytes = loaded.reduce((sum, name) => sum + fs.statSync(path.join(playgroundDir, name)).size, 0);
    figures.push(`page size: ${(bytes / 1024).toFixed(0)} KiB in ${loaded.length} files, nothing else loaded`);
  });

  it('keeps typing quick in a source of 20,000 lines, and assembles it when the typing pauses', async () => {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'ovrik-largest-'));
    let largest;
    try {
      execFileSync('python3', [path.join(repo, 'bench', 'sources.py'), folder]);
      largest = fs.readFileSync(path.join(folder, 'largest.txt'), 'latin1');
    } finally {
      fs.rmSync(folder, { recursive: true, force: true });
    }
    // The largest legal program and comments: 20,000 lines, just under 1 MiB,
    // the most that is still assembled as it is typed.
    const lines = largest.replace(/\n$/, '').split('\n');
    while (lines.length < 20_000) lines.push(`/ a comment as a student writes one, line ${lines.length}`);
    const source = `${lines.join('\n')}\n`;
    assert.ok(source.length > 900 << 10 && source.length < 1 << 20);
    await setSource(source);
    await waitForListing(assembler.assemble(Buffer.from(source, 'latin1')).listing);
    await page.evaluate(() => window.ovrikPlayground.goToLine(2));
    await page.keyboard.press('End');
    // From the key going down (seen before the editor sees it) to the start of
    // the frame that draws the changed text.
    await page.evaluate(() => {
      const playground = window.ovrikPlayground;
      playground.keyTimes = [];
      document.querySelector('.cm-content').addEventListener(
        'keydown',
        () => {
          const down = performance.now();
          const changes = playground.changes;
          const shown = () =>
            requestAnimationFrame(() => {
              if (playground.changes === changes) return shown();
              playground.keyTimes.push(performance.now() - down);
            });
          shown();
        },
        { capture: true },
      );
    });
    // Quick typing, 20 keys a second: each key on its own, and no pause long
    // enough for the assembler.
    for (let i = 0; i < 22; i++) {
      await page.keyboard.press(i % 2 === 0 ? 'y' : 'Backspace');
      await page.waitForTimeout(50);
    }
    await page.keyboard.press('z');
    await page.waitForFunction(() => window.ovrikPlayground.keyTimes.length === 23);
    const times = await page.evaluate(() => window.ovrikPlayground.keyTimes.slice().sort((a, b) => a - b));
    const median = times[Math.floor(times.length / 2)];
    figures.push(
      `keystroke to screen, 20,000-line source: median ${median.toFixed(1)} ms, worst ${times[times.length - 1].toFixed(1)} ms`,
    );
    assert.ok(median <= 16, `a keystroke took ${median.toFixed(1)} ms to show (median)`);
    // once the typing pauses, the listing follows
    const address = assembler.assemble(Buffer.from(source, 'latin1')).words.find((word) => word.label === 'S0').address;
    await page.waitForFunction(
      (at) => document.querySelector(`#listing .word-line[data-address="${at}"]`).textContent.endsWith('page 0z'),
      address,
    );
  });

  it('assembles a source over 1 MiB only when asked, and refuses one over 8 MiB', async () => {
    const big = `/0\nSTART,  HLT 0\n${'/ a long comment that makes the source large\n'.repeat(30_000)}`;
    assert.ok(big.length > 1 << 20 && big.length < 8 << 20);
    await setSource(big);
    await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('not assembled'));
    assert.match(await page.locator('#notice').textContent(), /Over 1 MiB, it is not assembled as you type/);
    assert.notEqual(await listingText(), '000 START,      HLT 0            721');
    await byName.button('Assemble').click();
    await page.waitForFunction(() => document.getElementById('status').textContent === '1 page, 1 word');
    assert.equal(await listingText(), '/0\n000 START,      HLT 0            721');
    await page.locator('#notice-close').click();

    // a file over 8 MiB is not read: the source stays as it was
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'ovrik-big-'));
    try {
      const file = path.join(folder, 'huge.txt');
      fs.writeFileSync(file, Buffer.alloc(9 << 20, 0x20));
      await page.locator('#file').setInputFiles(file);
      await page.waitForFunction(() => !document.getElementById('notice').hidden);
      assert.match(await page.locator('#notice').textContent(), /huge\.txt is 9 MiB: the playground takes sources up to 8 MiB/);
      assert.equal(await page.evaluate(() => window.ovrikPlayground.length()), big.length);
    } finally {
      fs.rmSync(folder, { recursive: true, force: true });
    }
    // nor is a paste that would make the source longer than 8 MiB
    await page.evaluate((length) => {
      const data = new DataTransfer();
      data.setData('text/plain', ' '.repeat(length));
      const paste = new ClipboardEvent('paste', { clipboardData: data, bubbles: true, cancelable: true });
      document.querySelector('.cm-content').dispatchEvent(paste);
    }, 7 << 20);
    await page.waitForFunction(() => document.getElementById('notice-text').textContent.startsWith('That change was not made'));
    assert.equal(await page.evaluate(() => window.ovrikPlayground.length()), big.length);

    // a link whose source would inflate past 8 MiB is refused, and the work kept
    const bomb = require('node:zlib').deflateRawSync(Buffer.alloc(64 << 20, 0x20)).toString('base64url');
    await setSource('/0\nMINE,   HLT 0\n');
    await page.waitForTimeout(400);
    const other = await openPage(`${origin}/index.html#source=bomb:${bomb}`);
    try {
      assert.match(await other.locator('#notice').textContent(), /over 8 MiB/);
      assert.equal(await sourceText(other), '/0\nMINE,   HLT 0\n');
    } finally {
      await other.close();
    }
  });

  it('gives 10 for Enter in both keyboards, keeps at most 64 KiB of keys, and says what it dropped', async () => {
    await setSource('/0\nSTART,  SKF 0\n        JMP START\n        KRB 0\nWAIT,   SKF 1\n        JMP WAIT\n        TAD KEY1\n        HLT 0\nKEY1,   VAR\n');
    await page.waitForFunction(() => document.getElementById('machine-state').textContent === 'ready');
    await byName.button('Run').click();
    await waitForState('waiting for input');
    await byName.keyboard(0).press('Enter');
    await page.waitForFunction(() => document.getElementById('pc').textContent === '003');
    assert.equal(await byName.accumulator().textContent(), '012', 'Enter is a line feed, 10');
    await byName.keyboard(1).press('Enter');
    await waitForState('halted');
    // AC: the line feed of port 0 plus... KRB 1 is not read; TAD KEY1 adds 0
    assert.equal(await byName.accumulator().textContent(), '012');

    // a keyboard the program does not read fills up to 64 KiB, then drops keys
    await chooseExample('hello');
    await waitForListing(example('hello').listing);
    await byName.keyboard(1).focus();
    await page.keyboard.insertText('k'.repeat(70_000));
    await page.waitForFunction(() => document.getElementById('keyboard-1').value.length === 65536);
    assert.match(await page.locator('#keyboard-1-note').textContent(), /^4,464 keys dropped: the keyboard holds at most 64 KiB/);
    await page.keyboard.press('Backspace');
    assert.equal(await page.locator('#keyboard-1-note').textContent(), '');
  });

  it('shows the last 64 KiB a display received, and counts the bytes before them', async () => {
    await setSource('/0\nSTART,  TAD ONE\n        LDS 0\n        JMP START\nONE,    1\n');
    await page.waitForFunction(() => document.getElementById('machine-state').textContent === 'ready');
    await page.locator('#limit').fill('300000');
    await byName.button('Run').click();
    await waitForState('step limit');
    await page.locator('#limit').fill('');
    assert.equal((await byName.display(0).textContent()).length, 65536);
    assert.equal(
      await page.locator('#display-0-note').textContent(),
      'the last 64 KiB shown; 34,464 bytes before them are not',
    );
  });

  it('asks for nothing beyond its own files, and raises no script error', () => {
    assert.deepEqual(foreignRequests, []);
    assert.deepEqual(pageErrors, []);
  });
});
