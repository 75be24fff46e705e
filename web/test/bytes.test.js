// The WebAssembly build against the console program's committed results: for
// every golden case and every example, the same console bytes and the same
// listing bytes; and what the core tells the page beside them: the words, the
// error's line, and the machine.
'use strict';

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { describe, it, before } = require('node:test');

const { repo, assemblerApi, loadBuiltAssembler, BANNER, messageOf } = require('./support');

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

describe('the words the page shows', () => {
  // The listing as the page lays it out from the words alone: a line "/p"
  // for every page, then each listed word's own listing line.
  function listingFromWords(result) {
    let text = '';
    for (let page = result.firstPage; page <= result.lastPage; page++) {
      text += `/${page}\r\n`;
      for (const word of result.words.slice(page * 16, page * 16 + 16)) {
        if (word.listed) text += `${word.text}\r\n`;
      }
    }
    return text;
  }

  for (const expected of cases) {
    it(`${expected.name}: the words make up the listing, the error its console line`, () => {
      const result = assembler.assemble(expected.source);
      assert.equal(result.words.length, 256);
      result.words.forEach((word, address) => assert.equal(word.address, address));
      if (result.listing === null) {
        assert.equal(result.error.message, messageOf(result.console));
        assert.ok(Number.isInteger(result.error.line) && result.error.line >= 0);
        assert.ok(result.words.every((word) => word.kind === 'outside' && !word.listed));
        return;
      }
      assert.equal(result.error, null);
      if (result.listing.length > 0) assert.equal(listingFromWords(result), latin1(result.listing));
      const lines = expected.source.toString('latin1').split(/\r\n|\r|\n/).length;
      for (const word of result.words) {
        if (!word.listed) {
          assert.equal(word.kind, 'outside');
          continue;
        }
        assert.ok(word.line >= 0 && word.line <= lines, `line ${word.line} of ${lines}`);
        assert.ok(['code', 'jump', 'data', 'variable', 'constant', 'address', 'filler'].includes(word.kind));
        if (word.kind === 'address') assert.equal(word.points, word.value);
      }
    });
  }

  it('keeps every byte of a comment, and a code that is no word has no value', () => {
    // Comments keep 47 bytes: every byte value but the line ends and Ctrl-Z,
    // 40 to a line.
    const bytes = Array.from({ length: 256 }, (_, i) => i).filter((b) => ![10, 13, 26].includes(b));
    const chunks = [];
    for (let i = 0; i < bytes.length; i += 40) chunks.push(Buffer.from(bytes.slice(i, i + 40)));
    const source = Buffer.concat([
      Buffer.from('/0\n'),
      ...chunks.flatMap((chunk) => [Buffer.from(' CLA /'), chunk, Buffer.from('\n')]),
      Buffer.from(' HLT 0\nT, TABLE[1]\n #12\n'),
    ]);
    const result = assembler.assemble(source);
    assert.equal(result.error, null);
    chunks.forEach((chunk, index) => assert.equal(result.words[index].comment, latin1(chunk)));
    const table = result.words.find((word) => word.statement === '#12');
    assert.equal(table.value, -1);
    assert.equal(table.code, '12');
  });

  // The page shows the core's own sentences: word for word what ovrik
  // --explain printed into NAME.explain, and the same ties between words.
  for (const expected of cases) {
    const explained = expected.name.replace(/$/, '.explain');
    if (!fs.existsSync(path.join(repo, explained))) continue;
    it(`${expected.name}: every word says why it is there, as ovrik --explain does`, () => {
      const result = assembler.assemble(expected.source);
      const reasons = result.words.map((word) => assembler.explain(word.address));
      const lines = latin1(fs.readFileSync(path.join(repo, explained))).split('\n');
      for (const word of result.words.filter((w) => w.listed)) {
        const line = lines.find((l) => l.startsWith(`${word.text.slice(0, 3)} `));
        assert.equal(reasons[word.address].why, line.slice(line.indexOf(' -- ') + 4), word.text);
        for (const other of reasons[word.address].reaches) {
          assert.ok(reasons[other].reachedBy.includes(word.address));
        }
      }
      for (const word of result.words.filter((w) => !w.listed)) assert.equal(reasons[word.address].why, '');
      for (const word of result.words.filter((w) => w.rewritten)) {
        assert.ok(reasons[word.address].why.startsWith(`line ${word.line} wrote `));
      }
    });
  }

  it('explains nothing of a source that does not assemble', () => {
    assembler.assemble(Buffer.from('/0\nTAD NOWHERE\n'));
    const reasons = assembler.explain(0);
    assert.equal(reasons.why, '');
    assert.equal(reasons.reaches.length + reasons.reachedBy.length, 0);
  });

  it('says which source line an error is about', () => {
    const result = assembler.assemble(Buffer.from('/0\nSTART,  CLA\n        tad X\n        HLT 0\nX,      VAR\n'));
    assert.match(result.error.message, /^Error: Instruction tad is not valid/);
    assert.equal(result.error.line, 3);
  });
});

describe("the page's machine", () => {
  const example = (name) => fs.readFileSync(path.join(repo, 'examples', `${name}.txt`));
  const text = (bytes) => Buffer.from(bytes).toString('latin1');
  let machine;
  before(() => {
    machine = assembler.machine;
  });

  function load(source) {
    const result = assembler.assemble(Buffer.from(source));
    assert.equal(result.error, null, result.error && result.error.message);
    const loaded = machine.load();
    assert.ok(loaded.loaded, JSON.stringify(loaded));
    machine.clearBreakpoints();
    return { result, loaded };
  }

  // Everything step back must give back: registers, memory, displays, keys.
  function snapshot() {
    const status = machine.status();
    return {
      status,
      memory: Buffer.from(machine.memory()).toString('hex'),
      display: [text(machine.display(0)), text(machine.display(1))],
      keys: [text(machine.keys(0)), text(machine.keys(1))],
    };
  }

  it('runs hello to its halt, HELLO on display 0', () => {
    const { loaded } = load(example('hello'));
    assert.equal(machine.run(1e6, 1e9, false), 'halted');
    assert.equal(text(machine.display(0)), 'HELLO');
    assert.equal(text(machine.display(1)), '');
    assert.equal(machine.status().halted, true);
    assert.ok(loaded.start > 0, 'hello starts at START, which is not address 0');
  });

  it('waits for input, and goes on with the keys given', () => {
    load(example('echo'));
    assert.equal(machine.run(1e6, 1e9, false), 'waiting for input');
    const waitingAt = machine.status();
    for (const byte of Buffer.from('hi')) machine.key(0, byte);
    assert.equal(text(machine.keys(0)), 'hi');
    assert.equal(machine.run(1e6, 1e9, false), 'waiting for input');
    assert.equal(text(machine.display(0)), 'hi');
    assert.equal(text(machine.keys(0)), '');
    assert.ok(machine.status().steps > waitingAt.steps);
    machine.key(0, 'Q'.charCodeAt(0));
    assert.equal(machine.run(1e6, 1e9, false), 'halted');
    assert.equal(text(machine.display(0)), 'hiQ');
  });

  it('takes back only keys not read yet, and starts a load with no keys', () => {
    load(example('echo'));
    machine.key(0, 'x'.charCodeAt(0));
    machine.key(0, 'y'.charCodeAt(0));
    assert.equal(machine.unkey(0), true);
    assert.equal(text(machine.keys(0)), 'x');
    machine.run(1e6, 1e9, false);
    assert.equal(text(machine.display(0)), 'x');
    assert.equal(machine.unkey(0), false, 'x was read: nothing to take back');
    machine.key(1, 'z'.charCodeAt(0));
    machine.load();
    assert.deepEqual([text(machine.keys(0)), text(machine.keys(1))], ['', '']);
    assert.equal(text(machine.display(0)), '');
  });

  it('steps back over the last thousand steps to exactly where it was', () => {
    // echo with keys: memory, both flags, a display and a keyboard all change.
    load(example('echo'));
    for (const byte of Buffer.from('abcdefghijklmnopqrstuvwxyz'.repeat(4))) machine.key(0, byte);
    const seen = [snapshot()];
    for (let i = 0; i < 1300; i++) {
      machine.step();
      seen.push(snapshot());
    }
    const last = seen[seen.length - 1].status.steps;
    assert.ok(last >= 1200, `${last} steps`);
    for (let back = 1; back <= 1000; back++) {
      assert.equal(machine.stepBack(), true, `step back ${back}`);
      const now = snapshot();
      const then = seen.find((earlier) => earlier.status.steps === last - back);
      assert.deepEqual(
        { ...now, status: { ...now.status, stepsBack: 0 } },
        { ...then, status: { ...then.status, stepsBack: 0 } },
        `after ${back} steps back`,
      );
    }
  });

  it('steps back past a halt, and at step 0 has nothing to take back', () => {
    load(example('hello'));
    machine.run(1e6, 1e9, false);
    const halted = snapshot();
    assert.equal(machine.stepBack(), true);
    assert.equal(machine.status().halted, false);
    assert.equal(machine.step(), 'halted');
    assert.deepEqual(snapshot().memory, halted.memory);
    assert.deepEqual(snapshot().display, halted.display);
    load(example('hello'));
    assert.equal(machine.stepBack(), false);
  });

  it('can step back at least a thousand steps after a long run at full speed', () => {
    load('/0\nL, JMP L\n');
    assert.equal(machine.run(5_000_000, 1e12, false), 'step limit');
    assert.equal(machine.status().steps, 5_000_000);
    assert.ok(machine.status().stepsBack >= 1000, `${machine.status().stepsBack}`);
    for (let i = 0; i < 1000; i++) assert.equal(machine.stepBack(), true);
    assert.equal(machine.status().steps, 4_999_000);
  });

  it('stops before a word with a breakpoint, and goes on from it when asked', () => {
    const { result } = load(example('count'));
    const loop = result.words.find((word) => word.label === 'LOOP');
    machine.breakpoint(loop.address, true);
    assert.equal(machine.run(1e6, 1e9, false), 'breakpoint');
    assert.equal(machine.status().pc, loop.address);
    const steps = machine.status().steps;
    assert.equal(machine.run(1e6, 1e9, false), 'breakpoint', 'without leaving, it stays');
    assert.equal(machine.status().steps, steps);
    assert.equal(machine.run(1e6, 1e9, true), 'breakpoint', 'the loop comes round again');
    assert.ok(machine.status().steps > steps);
    machine.clearBreakpoints();
    assert.equal(machine.run(1e6, 1e9, false), 'halted');
  });

  it('says how a single step ended', () => {
    load('/0\nSTART, CLA\n HLT 0\n');
    assert.equal(machine.step(), 'stepped');
    assert.equal(machine.step(), 'halted');
  });

  it('stops at the step limit it is given', () => {
    load('/0\nL, JMP L\n');
    assert.equal(machine.run(1e9, 777, false), 'step limit');
    assert.equal(machine.status().steps, 777);
  });

  it('runs a count of "no limit" however many steps were done, never wrapping round', () => {
    load('/0\nSTART, CLA\n IAC\n HLT 0\n');
    assert.equal(machine.step(), 'stepped');
    assert.equal(machine.run(Infinity, Infinity, false), 'halted');
    assert.equal(machine.status().steps, 3);
    assert.equal(machine.status().haltedAt, 2);
  });

  it('steps back with exactly the keys each step had, whatever was typed since', () => {
    // KRS reads 0 from an empty keyboard: the key typed after it must not be
    // read when that step is taken again.
    load('/0\nSTART, KRS 0\n DCA V\n KRB 0\n DCA W\n CLA\n HLT 0\nV, VAR\nW, VAR\n');
    machine.step();
    machine.step();
    machine.key(0, 'A'.charCodeAt(0));
    machine.step();
    assert.equal(machine.status().ac, 'A'.charCodeAt(0), 'KRB reads the key typed before it');
    machine.step();
    machine.key(0, 'B'.charCodeAt(0));
    for (let back = 0; back < 3; back++) assert.equal(machine.stepBack(), true);
    assert.equal(machine.status().steps, 1);
    assert.equal(machine.status().ac, 0, 'the KRS of step 1 read no key, and reads none again');
    assert.equal(text(machine.keys(0)), 'AB', 'keys typed since stay typed, waiting from here on');
    assert.equal(machine.stepBack(), true);
    assert.equal(machine.step(), 'stepped');
    assert.equal(machine.status().ac, 'A'.charCodeAt(0), 'from step 0 on, both keys wait');
  });

  it('keeps at most 64 KiB of keys not read, and says when one is dropped', () => {
    load(example('echo'));
    let kept = 0;
    for (let i = 0; i < 70_000; i++) if (machine.key(1, 0x61)) kept++;
    assert.equal(kept, 65536);
    assert.equal(machine.status().keysWaiting[1], 65536);
    assert.equal(machine.key(1, 0x62), false);
    assert.equal(machine.unkey(1), true);
    assert.equal(machine.key(1, 0x62), true, 'room again once a key is taken back');
  });

  it('shows the last 64 KiB a display received, and counts all of it', () => {
    load('/0\nSTART, TAD ONE\n LDS 0\n JMP START\nONE, 1\n');
    assert.equal(machine.run(300_000, 1e9, false), 'step limit');
    const shown = machine.display(0);
    assert.equal(shown.length, 65536);
    assert.equal(machine.status().displayTotal[0], 100_000);
    // the newest bytes: the 100,000th write is 100,000 mod 256
    assert.equal(shown[shown.length - 1], 100_000 % 256);
  });

  it('refuses a program with a word that is no word of the machine, naming its line', () => {
    const { words } = assembler.assemble(Buffer.from('/0\nSTART, CLA\n HLT 0\nT, TABLE[1]\n #12\n'));
    const answer = machine.load();
    assert.equal(answer.loaded, false);
    const table = words.find((word) => word.statement === '#12');
    assert.equal(answer.refused.address, table.address);
    assert.equal(answer.refused.line, table.line);
    assert.ok(answer.refused.message.includes(` ${table.text.slice(0, 3)} `), answer.refused.message);
    assembler.assemble(Buffer.from('/0\n JMP NOWHERE\n'));
    assert.equal(machine.load().loaded, false);
  });
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
    assert.match(messageOf(failed.console), /^Error: \S/);
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
    assert.ok(first.listing.length > 15000, messageOf(first.console));
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

describe("the page's machine against the command-line runner", () => {
  // NAME.run beside each example: the runner's options and input, and what it
  // printed (see tests/machine/run_golden_test.cpp for the format).
  const unescaped = (text) =>
    Buffer.from(
      text.replace(/\\(n|r|\\|x[0-9A-Fa-f]{2})/g, (_, kind) =>
        kind === 'n' ? '\n' : kind === 'r' ? '\r' : kind === '\\' ? '\\' : String.fromCharCode(parseInt(kind.slice(1), 16)),
      ),
      'latin1',
    );
  const wordText = (value) => `${value >> 5}${(value >> 3) & 3}${value & 7}`;

  function expectationOf(file) {
    const text = fs.readFileSync(file, 'latin1');
    const at = text.indexOf('\nstderr:\n');
    const fields = Object.fromEntries(
      text
        .slice(0, at)
        .split('\n')
        .map((line) => [line.slice(0, line.indexOf(':')), line.slice(line.indexOf(':') + 2)]),
    );
    return {
      args: fields.args.split(' ').filter(Boolean),
      input: unescaped(fields.input ?? ''),
      status: Number(fields.status),
      output: unescaped(fields.stdout ?? ''),
      errors: text.slice(at + '\nstderr:\n'.length),
    };
  }

  const runs = fs
    .readdirSync(path.join(repo, 'examples'))
    .filter((name) => name.endsWith('.run'))
    .sort();

  it('has run cases to compare', () => assert.ok(runs.length > 0, 'no NAME.run in examples/'));

  for (const name of runs) {
    it(`examples/${name}`, () => {
      const expected = expectationOf(path.join(repo, 'examples', name));
      const option = (flag) => {
        const index = expected.args.indexOf(flag);
        return index < 0 ? null : expected.args[index + 1];
      };
      const source = fs.readFileSync(path.join(repo, 'examples', name.replace(/\.run$/, '.txt')));
      const result = assembler.assemble(source);
      assert.equal(result.error, null);
      const start = option('--start');
      const { machine } = assembler;
      machine.clearBreakpoints();
      const loaded = machine.load(start === null ? -1 : parseInt(start[0], 10) * 32 + parseInt(start[1], 10) * 8 + parseInt(start[2], 10));
      assert.ok(loaded.loaded);
      for (const byte of Buffer.concat([expected.input, Buffer.from(option('--input') ?? '', 'latin1')])) machine.key(0, byte);
      const limit = Number(option('--steps') ?? 1_000_000);
      const end = machine.run(limit, limit, false);
      const status = machine.status();
      const after = `${wordText(status.pc)} after ${status.steps} steps`;
      const ac = `; AC ${wordText(status.ac)}`;
      const line = {
        // a halt is named by the HLT word itself
        halted: `halted at ${wordText(status.haltedAt)} after ${status.steps} steps${ac}`,
        'waiting for input': `waiting for input at ${after}${ac}`,
        'step limit': `step limit ${status.steps} reached at ${wordText(status.pc)}${ac}`,
      }[end];
      const lines = expected.errors.split('\n');
      // The last report line (a trace, when asked for, comes before it).
      const report = lines.find((text) => /^(halted|waiting for input|step limit) /.test(text));
      assert.equal(line, report);
      assert.equal(latin1(machine.display(0)), latin1(expected.output));
      if (expected.args.includes('--dump')) {
        const memory = machine.memory();
        const dump = Array.from({ length: 16 }, (_, page) =>
          `${page}: ${Array.from(memory.subarray(page * 16, page * 16 + 16), wordText).join(' ')}`,
        );
        const from = lines.indexOf(report) + 1;
        assert.deepEqual(dump, lines.slice(from, from + 16));
      }
    });
  }
});

// The checks the page runs are the core's: for every bundled exercise and
// every solution the tests keep for it, each check says, line for line, what
// `ovrik --check` says in the solution's report. The page runs them in small
// slices; so does this.
describe('the checks of the bundled exercises, as ovrik --check reports them', () => {
  const exercises = path.join(repo, 'exercises');
  const solutions = path.join(repo, 'tests', 'exercises', 'solutions');
  const utf8 = (byteText) => Buffer.from(byteText, 'latin1').toString('utf8');
  for (const file of fs.readdirSync(exercises).filter((name) => name.endsWith('.toml')).sort()) {
    const name = path.basename(file, '.toml');
    const folder = path.join(solutions, name);
    for (const source of fs.readdirSync(folder).filter((entry) => entry.endsWith('.txt')).sort()) {
      it(`${name}: ${source}`, () => {
        const { checker } = assembler;
        const view = checker.open(latin1(fs.readFileSync(path.join(exercises, file))));
        assert.equal(view.error, null);
        assembler.assemble(fs.readFileSync(path.join(folder, source)));
        checker.start();
        let slices = 1;
        while (!checker.advance(5)) slices += 1;
        const results = checker.results();
        // "  NAME: what differed; what else differed", one line per failed check.
        const report = fs.readFileSync(path.join(folder, source.replace(/\.txt$/, '.report')), 'utf8');
        const failed = report
          .split('\n')
          .filter((line) => line.startsWith('  '))
          .map((line) => line.slice(2));
        const shown = results
          .filter((check) => check.state === 'failed')
          .map((check) => `${utf8(check.name)}: ${check.differences.map(utf8).join('; ')}`);
        assert.deepEqual(shown, failed);
        assert.equal(results.filter((check) => check.state === 'running').length, 0);
        assert.ok(slices > 1, 'the checks ran in slices');
        checker.close();
      });
    }
  }
});
