// An exercise in the playground: its title and task beside the source, its
// starter in the editor, and its checks run by the core after every assembly
// that show pass or fail as the student types. The checks run in slices of
// steps between two events, so that a check that loops to its step limit
// never holds up the editor. The exercise comes from the bundled ones, from a
// .toml file, or from a link that can carry the student's source as well.
import MarkdownIt from 'markdown-it';
import { readFragment, shareFragment } from './keep.mjs';

const OPEN_KEY = 'ovrik.exercise.v1.open';
const SOURCE_KEY = 'ovrik.exercise.v1.source:';
// A link: #exercise=NAME:DATA, the exercise as a share link carries a source,
// and after it, optionally, &source=NAME:DATA with the student's source.
const LINKED = /^#exercise(-raw)?=([^:&]*):([A-Za-z0-9_-]*)(?:&((?:source|raw)=[^:&]*:[A-Za-z0-9_-]*))?$/;
// An exercise is a page of text; a file this large is no exercise.
const LARGEST_FILE = 1 << 20;
// Each slice runs the checks for about this long before the page gets its
// turn again; each call into the core does at most SLICE_STEPS steps.
const SLICE_MS = 4;
const SLICE_STEPS = 20000;
const STORE_PAUSE_MS = 300;

const markdown = new MarkdownIt({ html: false, linkify: false, typographer: false });

// The elements Markdown may make, and the attributes they keep: a task is
// data, so it is built as DOM nodes, never given to innerHTML.
const ALLOWED_TAGS = new Set([
  'p', 'h1', 'h2', 'h3', 'h4', 'h5', 'h6', 'ul', 'ol', 'li', 'blockquote', 'em', 'strong', 's',
  'code', 'pre', 'a', 'hr', 'br', 'table', 'thead', 'tbody', 'tr', 'th', 'td',
]);

function safeHref(href) {
  return /^(https?:|mailto:)/i.test(href) ? href : null;
}

function elementFor(token) {
  // Headings of a task sit under the exercise's own title.
  const tag = /^h[1-6]$/.test(token.tag) ? `h${Math.min(6, Number(token.tag[1]) + 3)}` : token.tag;
  const element = document.createElement(ALLOWED_TAGS.has(token.tag) ? tag : 'span');
  if (token.tag === 'a') {
    const href = safeHref(token.attrGet('href') || '');
    if (href) {
      element.href = href;
      element.rel = 'noopener noreferrer';
      element.target = '_blank';
    }
  }
  if (token.tag === 'ol' && token.attrGet('start')) element.start = Number(token.attrGet('start'));
  return element;
}

// Appends the nodes of markdown-it's tokens to `parent`.
function appendTokens(parent, tokens) {
  const stack = [parent];
  const top = () => stack[stack.length - 1];
  for (const token of tokens) {
    if (token.nesting === 1) {
      const element = elementFor(token);
      top().append(element);
      stack.push(element);
    } else if (token.nesting === -1) {
      if (stack.length > 1) stack.pop();
    } else if (token.type === 'inline') {
      appendTokens(top(), token.children || []);
    } else if (token.type === 'fence' || token.type === 'code_block') {
      const pre = document.createElement('pre');
      const code = document.createElement('code');
      code.textContent = token.content;
      pre.append(code);
      top().append(pre);
    } else if (token.type === 'code_inline') {
      const code = document.createElement('code');
      code.textContent = token.content;
      top().append(code);
    } else if (token.type === 'softbreak') {
      top().append('\n');
    } else if (token.type === 'hardbreak') {
      top().append(document.createElement('br'));
    } else if (token.type === 'hr') {
      top().append(document.createElement('hr'));
    } else if (token.type === 'image') {
      top().append(token.content);
    } else {
      top().append(token.content);
    }
  }
}

export function renderTask(text) {
  const box = document.createDocumentFragment();
  appendTokens(box, markdown.parse(text, {}));
  return box;
}

// The same text gives the same id, however the exercise was opened.
function exerciseId(toml) {
  let hash = 0x811c9dc5;
  for (let i = 0; i < toml.length; i++) {
    hash ^= toml.charCodeAt(i);
    hash = Math.imul(hash, 0x01000193) >>> 0;
  }
  return `${hash.toString(16).padStart(8, '0')}-${toml.length}`;
}

function readStored(storage, key) {
  try {
    return JSON.parse(storage.getItem(key));
  } catch {
    return null;
  }
}

function writeStored(storage, key, value) {
  try {
    if (value === null) storage.removeItem(key);
    else storage.setItem(key, JSON.stringify(value));
    return true;
  } catch {
    return false;
  }
}

function plural(count, word) {
  return `${count} ${word}${count === 1 ? '' : 's'}`;
}

export class ExercisePanel {
  // ui: region, title, task, summary, checks, error, close, menu, file name
  // hooks: sourceText(), sourceName(), replaceSource(name, text), mayReplace(),
  //        showNotice(text), bytesToText(bytes), textToBytes(text), storage
  constructor(ui, hooks) {
    this.ui = ui;
    this.hooks = hooks;
    this.core = null;
    this.open = null; // {id, name, toml}
    this.pending = null; // a link's exercise, until the core is ready
    this.generation = 0;
    this.sliceTimer = 0;
    this.storeTimer = 0;
    this.items = [];
    ui.close.addEventListener('click', () => this.close());
    ui.menu.addEventListener('change', () => {
      const chosen = this.bundled.find((exercise) => exercise.name === ui.menu.value);
      ui.menu.value = '';
      if (chosen) this.openText(chosen.toml, chosen.name, 'menu');
    });
    this.bundled = [];
  }

  // The exercises the page comes with: [{name, title, toml}].
  offer(bundled) {
    this.bundled = bundled;
    for (const exercise of bundled) {
      const option = document.createElement('option');
      option.value = exercise.name;
      option.textContent = exercise.title || exercise.name;
      this.ui.menu.append(option);
    }
  }

  // Before the page reads a share link's source: takes the exercise out of a
  // link, and leaves the source's part (if any) for the page, as a link to a
  // source alone. Opens it once the core is ready.
  takeFromLink() {
    const match = LINKED.exec(location.hash);
    if (!match) return;
    const [, raw, name, data, source] = match;
    this.pending = { fragment: `#${raw ? 'raw' : 'source'}=${name}:${data}`, withSource: Boolean(source) };
    history.replaceState(null, '', location.href.replace(/#.*$/, '') + (source ? `#${source}` : ''));
    if (this.core) this.openPending();
  }

  // The core is ready: the link's exercise, else the one open before the page was reloaded.
  coreReady(core) {
    this.core = core;
    if (this.pending) {
      this.openPending();
      return;
    }
    const stored = readStored(this.hooks.storage, OPEN_KEY);
    if (stored && typeof stored.toml === 'string' && typeof stored.name === 'string') {
      this.openText(stored.toml, stored.name, 'reload');
    }
  }

  async openPending() {
    const { fragment, withSource } = this.pending;
    this.pending = null;
    const shared = await readFragment(fragment);
    if (!(shared && shared.bytes)) {
      this.hooks.showNotice("The link's exercise could not be read.");
      return;
    }
    this.openText(this.hooks.bytesToText(shared.bytes), shared.name, withSource ? 'link with source' : 'link');
  }

  // A .toml file chosen with Open… or dropped on the page.
  async openFile(file) {
    if (file.size > LARGEST_FILE) {
      this.hooks.showNotice(`${file.name} is too large for an exercise file (more than 1 MiB).`);
      return;
    }
    const toml = this.hooks.bytesToText(new Uint8Array(await file.arrayBuffer()));
    this.openText(toml, file.name.replace(/\.toml$/i, '') || 'exercise', 'file');
  }

  // Opens an exercise's text (one character per byte). `how` says where it
  // came from, which decides what goes into the editor: after a reload, or
  // from a link with a source, the editor keeps what it has; otherwise the
  // student's source kept for this exercise, else its starter.
  openText(toml, name, how) {
    if (!this.core) return;
    const wasOpen = this.open !== null;
    this.storeNow();
    const view = this.core.checker.open(toml);
    const id = exerciseId(toml);
    this.open = { id, name, toml, readable: !view.error };
    writeStored(this.hooks.storage, OPEN_KEY, { name, toml });
    this.show(view, name);
    if (view.error) return;
    if (how === 'menu' || how === 'file' || how === 'link') {
      const kept = readStored(this.hooks.storage, SOURCE_KEY + id);
      const text = kept && typeof kept.text === 'string' ? kept : view.starter !== null ? { name, text: view.starter } : null;
      // Work outside an exercise may not have been saved; work in one is kept with it.
      if (text && text.text !== this.hooks.sourceText() && (wasOpen || this.hooks.mayReplace())) {
        this.hooks.replaceSource(text.name, text.text);
      }
    }
    this.runChecks();
    this.storeSoon();
  }

  close() {
    this.storeNow();
    this.stopChecks();
    if (this.core) this.core.checker.close();
    this.open = null;
    writeStored(this.hooks.storage, OPEN_KEY, null);
    this.ui.region.hidden = true;
  }

  // After each assembly: the student's source is kept with the exercise, and
  // the checks run afresh.
  assembled() {
    if (!this.open || !this.open.readable || !this.core) return;
    this.storeSoon();
    this.runChecks();
  }

  // The share link with the exercise in it too, when one is open.
  async withExercise(sourceFragment) {
    if (!this.open) return sourceFragment;
    const exercise = await shareFragment(this.open.name, this.hooks.textToBytes(this.open.toml));
    const part = exercise.replace(/^#source=/, 'exercise=').replace(/^#raw=/, 'exercise-raw=');
    return `#${part}&${sourceFragment.slice(1)}`;
  }

  // ---- Showing ----

  text(bytesText) {
    return new TextDecoder().decode(this.hooks.textToBytes(bytesText));
  }

  show(view, name) {
    const { ui } = this;
    ui.region.hidden = false;
    ui.title.textContent = view.error ? name : this.text(view.title) || name;
    ui.task.replaceChildren(view.error ? '' : renderTask(this.text(view.task)));
    ui.error.hidden = !view.error;
    ui.error.textContent = view.error
      ? `${name}.toml${view.error.line > 0 ? `:${view.error.line}` : ''}: error: ${this.text(view.error.message)}`
      : '';
    this.items = view.checks.map((check) => {
      const item = document.createElement('li');
      item.className = 'check';
      const mark = document.createElement('span');
      mark.className = 'check-mark';
      mark.setAttribute('aria-hidden', 'true');
      const title = document.createElement('span');
      title.className = 'check-name';
      title.textContent = this.text(check.name);
      const state = document.createElement('span');
      state.className = 'check-state';
      const differences = document.createElement('ul');
      differences.className = 'check-differences';
      item.append(mark, title, state, differences);
      return { item, state, differences, name: title.textContent, points: check.points, shown: null };
    });
    ui.checks.replaceChildren(...this.items.map((entry) => entry.item));
    ui.checks.hidden = this.items.length === 0;
    this.showResults(view.checks);
  }

  showResults(results) {
    let passed = 0;
    let points = 0;
    let maxPoints = 0;
    results.forEach((result, index) => {
      const entry = this.items[index];
      if (!entry) return;
      maxPoints += result.points;
      if (result.state === 'passed') {
        passed += 1;
        points += result.points;
      }
      const shown = `${result.state}\n${result.differences.join('\n')}`;
      if (entry.shown === shown) return;
      entry.shown = shown;
      entry.item.dataset.state = result.state;
      entry.item.setAttribute('aria-label', `${entry.name}: ${result.state}`);
      entry.state.textContent = result.state;
      entry.differences.replaceChildren(
        ...result.differences.map((line) => {
          const item = document.createElement('li');
          item.textContent = this.text(line);
          return item;
        }),
      );
    });
    const running = results.some((result) => result.state === 'running');
    this.ui.summary.textContent = results.length
      ? `${passed} of ${plural(results.length, 'check')} passed, ${points} of ${plural(maxPoints, 'point')}${running ? ' (checking…)' : ''}`
      : '';
    this.ui.region.dataset.checking = running ? 'true' : 'false';
  }

  // ---- Running the checks ----

  stopChecks() {
    this.generation += 1;
    clearTimeout(this.sliceTimer);
    this.sliceTimer = 0;
  }

  // The checks run in the core, a slice at a time, each slice after the page
  // has had its turn: never inside the keystroke that asked for them.
  runChecks() {
    this.stopChecks();
    const generation = this.generation;
    const { checker } = this.core;
    checker.start();
    this.showResults(checker.results());
    const slice = () => {
      if (generation !== this.generation) return;
      const until = performance.now() + SLICE_MS;
      let done = false;
      while (!done && performance.now() < until) done = checker.advance(SLICE_STEPS);
      this.showResults(checker.results());
      if (!done) this.sliceTimer = setTimeout(slice, 0);
      else this.sliceTimer = 0;
    };
    this.sliceTimer = setTimeout(slice, 0);
  }

  // ---- Keeping the student's source with the exercise ----

  storeSoon() {
    clearTimeout(this.storeTimer);
    this.storeTimer = setTimeout(() => this.storeNow(), STORE_PAUSE_MS);
  }

  storeNow() {
    clearTimeout(this.storeTimer);
    this.storeTimer = 0;
    if (!this.open) return;
    const record = { name: this.hooks.sourceName(), text: this.hooks.sourceText() };
    if (!writeStored(this.hooks.storage, SOURCE_KEY + this.open.id, record)) {
      this.hooks.showNotice('The browser did not keep the source: download it to keep it.');
    }
  }
}
