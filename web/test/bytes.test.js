// The WebAssembly build against the console program's committed results: for
// every golden case and every example, the same console bytes and the same
// listing bytes.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { describe, it, before } = require('node:test');

const { repo, assemblerApi, loadBuiltAssembler } = require('./support');

const { BANNER } = assemblerApi;
const latin1 = (bytes) => Buffer.from(bytes).toString('latin1');

function casesIn(folder) {
  return fs
    .readdirSync(folder)
    .filter((name) => name.endsWith('.txt'))
    .sort()
    .map((name) => {
      const base = path.join(folder, path.basename(name, '.txt'));
      const read = (extension) =>
        fs.existsSync(base + extension) ? fs.readFileSync(base + extension) : null;
      return {
        name: path.relative(repo, base),
        source: fs.readFileSync(base + '.txt'),
        console: read('.console') ?? Buffer.from(BANNER, 'latin1'),
        listing: read('.ovr'),
      };
    });
}

const cases = [
  ...casesIn(path.join(repo, 'tests', 'golden', 'cases')),
  ...casesIn(path.join(repo, 'examples')),
];

let assembler;
let wasm;
before(async () => {
  ({ assembler, wasm } = await loadBuiltAssembler());
});

describe('same bytes as the console program', () => {
  it('has cases to compare', () => {
    assert.ok(cases.some((c) => c.name.startsWith('tests')), 'no golden case found');
    assert.ok(cases.some((c) => c.name.startsWith('examples')), 'no example found');
  });

  for (const expected of cases) {
    it(expected.name, () => {
      const result = assembler.assemble(expected.source);
      // Compared as Latin-1 text, which maps byte to character, so that a
      // difference shows as a readable diff.
      assert.equal(latin1(result.console), latin1(expected.console), 'console');
      if (expected.listing === null) {
        assert.equal(result.listing, null, 'a listing was written where none is expected');
      } else {
        assert.notEqual(result.listing, null, 'no listing was written');
        assert.equal(latin1(result.listing), latin1(expected.listing), 'listing');
      }
      assert.equal(result.status, 0);
    });
  }
});

describe('the binding', () => {
  const count = () => fs.readFileSync(path.join(repo, 'examples', 'count.txt'));
  const countListing = () => fs.readFileSync(path.join(repo, 'examples', 'count.ovr'));

  it('passes every byte value through, NUL and bytes above 127 included', () => {
    const comment = Buffer.from([0x20, 0x00, 0x7f, 0x80, 0x9f, 0xa0, 0xe9, 0xff]);
    const source = Buffer.concat([
      Buffer.from('/0\nSTART, CLA /'),
      comment,
      Buffer.from('\n HLT 0\n'),
    ]);
    const listing = Buffer.concat([
      Buffer.from('/0\r\n000 START,      CLA              710 /'),
      comment,
      Buffer.from('\r\n001             HLT 0            721\r\n'),
    ]);
    const result = assembler.assemble(source);
    assert.deepEqual(Buffer.from(result.listing), listing);
  });

  it('tells an empty listing from none', () => {
    const empty = assembler.assemble(new Uint8Array(0));
    assert.equal(latin1(empty.console), BANNER);
    assert.deepEqual(empty.listing, new Uint8Array(0));

    const failed = assembler.assemble(Buffer.from('/0\n JMP NOWHERE\n'));
    assert.equal(failed.listing, null);
    assert.match(assemblerApi.messageOf(failed.console), /^Error: \S/);
    const line = latin1(failed.console).slice(BANNER.length);
    assert.ok(latin1(failed.console).startsWith(BANNER));
    assert.match(line, /^Error: [^\r\n]*\r\n$/, 'one line, ended by CR LF');
  });

  it('starts every run afresh', () => {
    const first = assembler.assemble(count());
    assembler.assemble(Buffer.from('/0\n JMP NOWHERE\n'));
    const again = assembler.assemble(count());
    assert.deepEqual(again, first);
    assert.deepEqual(Buffer.from(again.listing), countListing());
  });

  it('gives the memory of a run back', () => {
    // Sixteen full pages with long comments: a listing of some 19 kB, so that
    // keeping the result or the source of every run would soon grow the memory.
    let source = '';
    for (let page = 0; page < 16; page++) {
      source += `/${page}\n`;
      const comment = 'a long comment '.repeat(3);
      for (let i = 0; i < 14; i++) source += `W${page}X${i}, CLA / ${comment}\n`;
      source += page < 15 ? ` JMP W${page + 1}X0\n` : ' HLT 0\n';
    }
    const bytes = Buffer.from(source);
    const first = assembler.assemble(bytes);
    assert.ok(first.listing.length > 15000, assemblerApi.messageOf(first.console));
    const memory = wasm.HEAPU8.length;
    for (let i = 0; i < 1200; i++) assembler.assemble(bytes);
    assert.equal(wasm.HEAPU8.length, memory);
  });

  it('reads the result after the heap has grown', () => {
    // Megabytes of comment lines make the run grow the WebAssembly memory,
    // which replaces the buffer under any view taken before the call.
    const filler = Buffer.from('/ a comment line that only takes room\n'.repeat(200000));
    const source = Buffer.concat([filler, count()]);
    const result = assembler.assemble(source);
    assert.deepEqual(Buffer.from(result.listing), countListing());
  });

  it('keeps one character per byte between text and bytes', () => {
    const every = Uint8Array.from({ length: 256 }, (_, i) => i);
    const text = assemblerApi.bytesToText(every);
    assert.equal(text.length, 256);
    assert.deepEqual(assemblerApi.textToBytes(text), every);
    assert.deepEqual(assemblerApi.textToBytes('é€'), Uint8Array.from([0xe9, 0xe2, 0x82, 0xac]));
  });
});
