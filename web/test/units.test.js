// The page's own pieces under Node.js, without a browser: the colouring of
// source lines, share links and the browser's storage, the display's text,
// and the guide's rendering.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { describe, it, before } = require('node:test');

const { repo, playgroundDir, loadBuiltAssembler } = require('./support');

let syntax;
let keep;
let runner;
let views;
let guide;
before(async () => {
  // The colouring of the core's own instruction set, as the page builds it.
  const syntaxModule = await import('../src/syntax.mjs');
  const { assembler } = await loadBuiltAssembler();
  syntax = { ...syntaxModule, ...syntaxModule.sourceSyntax(assembler.mnemonics) };
  keep = await import('../src/keep.mjs');
  runner = await import('../src/runner.mjs');
  views = await import('../src/views.mjs');
  guide = await import('../tools/render-guide.mjs');
});

// The line's tokens as [type, text] pairs.
const parts = (line) => syntax.tokenizeLine(line).map((token) => [token.type, line.slice(token.from, token.to)]);

describe('colouring a source line', () => {
  it('takes a page directive only where the assembler does', () => {
    // the guide's table of page directives, both ways
    for (const line of ['/3', '/ 3', '/03', '/+3', '/$3', '/%11', '/0', '/15', '/\t7']) {
      assert.deepEqual(parts(line), [['directive', line]], line);
    }
    for (const line of [' /3', '/3 ', '/3 start', '/16', '/-1', '/x', '/ 2 words', '/$10']) {
      assert.notEqual(parts(line)[0]?.[0], 'directive', line);
    }
    assert.equal(syntax.pageNamedBy('$F'), 15);
    assert.equal(syntax.pageNamedBy('$f'), 15);
    assert.equal(syntax.pageNamedBy('65536'), 0, 'kept to 16 bits, as the assembler reads it');
    assert.equal(syntax.pageNamedBy('99999999999'), null, 'too large to read');
  });

  it('agrees with the assembler on which comments name a page', async () => {
    const { assembler } = await loadBuiltAssembler();
    const candidates = ['3', ' 3', '\t3', '03', '+3', '-0', '$3', '$a', '%11', '%2', '3 ', '16', '-1', 'x',
      '65539', '4294967299', '$FFFFFFFF', '+', '', ' ', '1 2', '0x3', '00000000000000000000000000000000000000000000000003'];
    for (const candidate of candidates) {
      // HLT lands in the page the line names, else in page 0.
      const result = assembler.assemble(Buffer.from(`/0\n/${candidate}\n HLT 0\n`, 'latin1'));
      const page = result.words.findIndex((word) => word.statement === 'HLT 0') >> 4;
      const named = syntax.pageNamedBy(candidate);
      assert.equal(named ?? 0, page, JSON.stringify(candidate));
    }
  });

  it('splits label, statement and comment at the first comma and slash', () => {
    assert.deepEqual(parts('  LOOP, TAD I P / add, then / more'), [
      ['label', '  LOOP,'],
      ['mnemonic', 'TAD'],
      ['indirect', 'I'],
      ['operand', 'P'],
      ['comment', '/ add, then / more'],
    ]);
    assert.deepEqual(parts('X,'), [['label', 'X,']]);
    assert.deepEqual(parts('        / only a comment'), [['comment', '/ only a comment']]);
    // A slash inside a character literal starts the comment, as it does for the assembler.
    assert.deepEqual(parts("C,      '/"), [['label', 'C,'], ['char', "'"], ['comment', '/']]);
  });

  it('knows the keywords and every literal form', () => {
    assert.deepEqual(parts('P, VAR=BUFA'), [['label', 'P,'], ['keyword', 'VAR='], ['operand', 'BUFA']]);
    assert.deepEqual(parts('V, VAR=-5'), [['label', 'V,'], ['keyword', 'VAR='], ['number', '-5']]);
    assert.deepEqual(parts("V, VAR='A"), [['label', 'V,'], ['keyword', 'VAR='], ['char', "'A"]]);
    assert.deepEqual(parts(' ARRAY[$C]'), [['keyword', 'ARRAY['], ['number', '$C'], ['keyword', ']']]);
    assert.deepEqual(parts('T, TABLE[3] / three'), [
      ['label', 'T,'],
      ['keyword', 'TABLE['],
      ['number', '3'],
      ['keyword', ']'],
      ['comment', '/ three'],
    ]);
    assert.deepEqual(parts('S, RTNADR'), [['label', 'S,'], ['keyword', 'RTNADR']]);
    for (const [literal, type] of [
      ['5', 'number'],
      ['+$1F', 'number'],
      ['-%101', 'number'],
      ['%00000101', 'number'],
      ["'A", 'char'],
      ['#123', 'word'],
      ['A(LOOP)', 'address'],
    ]) {
      assert.deepEqual(parts(` ${literal}`), [[type, literal]], literal);
    }
    // Only the blank separates: a tab keeps the statement one (invalid) word.
    assert.deepEqual(parts(' TAD\tX'), [['invalid', 'TAD\tX']]);
    assert.deepEqual(parts(' tad X'), [['invalid', 'tad'], ['operand', 'X']]);
    assert.deepEqual(parts(' SKF 1'), [['mnemonic', 'SKF'], ['number', '1']]);
    // I is the indirect flag only after a memory-reference mnemonic, with an operand after it.
    assert.deepEqual(parts(' JMP I'), [['mnemonic', 'JMP'], ['operand', 'I']]);
    assert.deepEqual(parts(' CLA.IAC'), [['mnemonic', 'CLA.IAC']]);
  });

  it('knows the same mnemonics as the guide, with their codes', async () => {
    const markdown = fs.readFileSync(path.join(repo, 'docs', 'language.md'), 'utf8');
    const tables = guide.instructionTables(guide.renderGuide(markdown, { syntax }).tokens);
    assert.deepEqual(Object.keys(tables).sort(), [...syntax.mnemonics].sort());
    const { assembler } = await loadBuiltAssembler();
    for (const { name, code } of assembler.mnemonics) assert.equal(tables[name].values[0], code, name);
    assert.deepEqual(tables.TAD.values, ['1', 'add it to the accumulator']);
    assert.deepEqual(tables.KRB.values.slice(0, 2), ['606', '616']);
  });
});

describe('share links and the kept source', () => {
  it('carries every byte and the name through a link', async () => {
    const bytes = Uint8Array.from({ length: 2048 }, (_, i) => (i * 7) % 256);
    for (const name of ['count', 'a~b:c é/x', '']) {
      const fragment = await keep.shareFragment(name, bytes);
      assert.match(fragment, /^#source=[^:#]*:[A-Za-z0-9_-]+$/);
      const back = await keep.readFragment(fragment);
      assert.equal(back.name, name);
      assert.deepEqual(back.bytes, bytes);
    }
    const repeated = new TextEncoder().encode('        TAD ONE\n'.repeat(200));
    const fragment = await keep.shareFragment('p', repeated);
    assert.ok(fragment.length < repeated.length / 4, 'the source is compressed');
  });

  it('tells a damaged link from a fragment that is no link', async () => {
    assert.equal(await keep.readFragment(''), null);
    assert.equal(await keep.readFragment('#guide-9-the-instruction-set'), null);
    assert.ok((await keep.readFragment('#source=x:AAAA')) instanceof Error);
    assert.ok((await keep.readFragment('#source=%E0%A4%A:AAAA')) instanceof Error);
    const raw = await keep.readFragment('#raw=x:AAE');
    assert.deepEqual(raw.bytes, Uint8Array.from([0, 1]));
  });

  it('reads a link of up to 8 MiB, and inflates none past that', async () => {
    const zlib = require('node:zlib');
    const link = (bytes) => `#source=big:${Buffer.from(bytes).toString('base64url')}`;
    const most = await keep.readFragment(link(zlib.deflateRawSync(Buffer.alloc(keep.LARGEST_SOURCE, 0x20))));
    assert.equal(most.bytes.length, keep.LARGEST_SOURCE);
    // 64 MiB of blanks in a link of 64 KiB: the inflating stops at the bound.
    const Inflate = globalThis.DecompressionStream;
    let inflated = 0;
    globalThis.DecompressionStream = class {
      constructor(format) {
        const inner = new Inflate(format);
        const counting = new TransformStream({ transform(chunk, out) { inflated += chunk.length; out.enqueue(chunk); } });
        this.writable = inner.writable;
        this.readable = inner.readable.pipeThrough(counting);
      }
    };
    try {
      const refused = await keep.readFragment(link(zlib.deflateRawSync(Buffer.alloc(64 << 20, 0x20))));
      assert.ok(refused instanceof Error);
      assert.match(refused.message, /over 8 MiB/);
      assert.ok(inflated < keep.LARGEST_SOURCE + (1 << 20), `${inflated} bytes inflated`);
    } finally {
      globalThis.DecompressionStream = Inflate;
    }
    const raw = await keep.readFragment(`#raw=big:${'A'.repeat((keep.LARGEST_SOURCE / 3) * 4 + 8)}`);
    assert.match(raw.message, /over 8 MiB/);
  });

  it('survives storage that is full, turned off or holds something else', () => {
    const full = { setItem() { throw new Error('QuotaExceededError'); }, getItem: () => null };
    assert.equal(keep.store(full, { name: 'p', text: 'x', kept: true }), false);
    const memory = new Map();
    const storage = { setItem: (k, v) => memory.set(k, v), getItem: (k) => memory.get(k) ?? null };
    assert.equal(keep.loadStored(storage), null);
    assert.equal(keep.store(storage, { name: 'p', text: '/0\r\n\u00ff\u0000', kept: false }), true);
    assert.deepEqual(keep.loadStored(storage), { name: 'p', text: '/0\r\n\u00ff\u0000', kept: false });
    for (const junk of ['{', '"text"', '{"text": 5, "name": "p"}', 'null']) {
      memory.set([...memory.keys()][0], junk);
      assert.equal(keep.loadStored(storage), null, junk);
    }
    const off = { getItem() { throw new Error('SecurityError'); } };
    assert.equal(keep.loadStored(off), null);
  });
});

describe('showing words and displays', () => {
  it('writes values in the word notation and as characters', () => {
    assert.deepEqual([0, 8, 31, 32, 100, 255].map(views.wordNotation), ['000', '010', '037', '100', '304', '737']);
    assert.equal(views.characterOf(65), "'A'");
    assert.equal(views.characterOf(32), 'blank');
    assert.equal(views.characterOf(13), 'CR');
    assert.equal(views.characterOf(233), "'\u00e9'");
    assert.equal(views.characterOf(128), '');
  });

  it('gives a value signed, unsigned and in the word notation, a character only when printable', async () => {
    const { valueTexts } = await import('../src/labels.mjs');
    assert.deepEqual(valueTexts(252), ['-4', '252', '734', '']);
    assert.deepEqual(valueTexts(65), ['65', '65', '201', "'A'"]);
    assert.deepEqual(valueTexts(32), ['32', '32', '100', 'blank']);
    assert.deepEqual(valueTexts(10), ['10', '10', '012', '']);
    assert.deepEqual(valueTexts(-1), ['', '', 'no value', '']);
    assert.equal(views.valueText(252), '252 (-4)');
    assert.equal(views.valueText(72), "72 'H'");
  });

  it('shows display bytes as lines, control bytes as symbols', () => {
    const text = (bytes) => runner.displayText(Uint8Array.from(bytes));
    assert.equal(text([72, 13, 10, 73]), 'H\nI', 'CR LF is one line break');
    assert.equal(text([72, 13, 73]), 'H\nI', 'a CR alone breaks the line too');
    assert.equal(text([0, 7, 127, 233]), '\u2400\u2407\u2421\u00e9');
    assert.equal(text([]), '');
  });

  it('offers speeds from one step a second to full speed', () => {
    assert.equal(runner.SPEEDS[0], 1);
    assert.equal(runner.SPEEDS[runner.SPEEDS.length - 1], Infinity);
    assert.deepEqual([...runner.SPEEDS].sort((a, b) => a - b), runner.SPEEDS);
  });
});

describe('the guide, rendered at build time', () => {
  const standalone = () => fs.readFileSync(path.join(playgroundDir, 'guide.html'), 'utf8');

  it('is one page whose every link within it has its target', () => {
    const html = standalone();
    assert.match(html, /^<!doctype html>/);
    assert.doesNotMatch(html, /<(script|link)\b/, 'nothing loaded from elsewhere');
    const ids = new Set([...html.matchAll(/\sid="([^"]+)"/g)].map((match) => match[1]));
    const links = [...html.matchAll(/href="#([^"]+)"/g)].map((match) => match[1]);
    assert.ok(links.length >= 11, 'the contents links');
    for (const link of links) assert.ok(ids.has(link), `#${link} leads nowhere`);
  });

  it('gives the panel the same guide with ids of its own', () => {
    global.window = {};
    try {
      // eslint-disable-next-line no-eval
      new Function('window', fs.readFileSync(path.join(playgroundDir, 'guide.js'), 'utf8'))(global.window);
      const { html, instructions } = global.window.OVRIK_GUIDE;
      assert.match(html, /id="guide-9-the-instruction-set"/);
      assert.match(html, /href="#guide-1-the-machine-in-brief"/);
      assert.doesNotMatch(html, /\sid="(?!guide-)/, 'every id is the panel\'s own');
      assert.equal(Object.keys(instructions).length, syntax.mnemonics.length);
    } finally {
      delete global.window;
    }
  });

  it('colours source examples, keeps listings as they are, and escapes text', () => {
    const { html } = guide.renderGuide(
      '# A <b>\n\n```ovrik-source\nX,  TAD Y   / <c>\n```\n\n```ovrik-listing\n000 X,  TAD Y  100\n```\n',
      { syntax },
    );
    assert.match(html, /<span class="tok-label">X,<\/span>/);
    assert.match(html, /<span class="tok-comment">\/ &lt;c&gt;<\/span>/);
    assert.match(html, /<pre class="block ovrik-listing" data-label="listing"><code>000 X,  TAD Y  100<\/code><\/pre>/);
    assert.equal(guide.slugger()('Error: Array *NAME* can\'t continue into page *p*.'), 'error-array-name-cant-continue-into-page-p');
  });
});

describe('the stylesheet', () => {
  // A rule left open swallows every rule after it, and a browser says nothing.
  it('closes every rule it opens', () => {
    const css = fs.readFileSync(path.join(repo, 'web', 'style.css'), 'utf8').replace(/\/\*[\s\S]*?\*\//g, '');
    let depth = 0;
    css.split('\n').forEach((line, index) => {
      for (const c of line) {
        depth += c === '{' ? 1 : c === '}' ? -1 : 0;
        assert.ok(depth >= 0, `style.css:${index + 1} closes a rule that is not open`);
      }
    });
    assert.equal(depth, 0, 'style.css ends with a rule still open');
  });
});
