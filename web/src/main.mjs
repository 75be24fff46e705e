// The playground page: the source in an editor, reassembled on every change
// by the core compiled to WebAssembly; its listing and memory map beside it,
// and the machine that runs it.
import assemblerApi from '../assembler.js';
import { createEditor } from './editor.mjs';
import { sourceSyntax } from './syntax.mjs';
import { KINDS, Views } from './views.mjs';
import { marksOf } from './reasons.mjs';
import { LabelsPanel } from './labels.mjs';
import { Runner } from './runner.mjs';
import { LARGEST_SOURCE, download, loadStored, readFragment, shareFragment, store } from './keep.mjs';
import { ExercisePanel } from './exercise.mjs';

const { loadCore, bytesToText, textToBytes } = assemblerApi;
const examples = window.OVRIK_EXAMPLES || [];
const guide = window.OVRIK_GUIDE || { html: '', instructions: {} };
const byId = (id) => document.getElementById(id);
const STORE_PAUSE_MS = 300;
const SHOW_VALUES_KEY = 'ovrik.showValues';
const NEW_SOURCE = '/0\nSTART,  CLA\n        HLT 0\n';
// When a change is assembled. A short source that assembled quickly: at once,
// at every keystroke. A longer or slower one: once the typing pauses, so that
// a keystroke never waits for the assembler. Over 1 MiB: only when asked.
const QUICK_SOURCE = 64 << 10;
const QUICK_MS = 12;
const TYPING_PAUSE_MS = 250;
const LIVE_LARGEST = 1 << 20;

const ui = {
  name: byId('name'),
  newButton: byId('new'),
  examples: byId('examples'),
  open: byId('open'),
  file: byId('file'),
  saveSource: byId('save-source'),
  download: byId('download'),
  share: byId('share'),
  guideOpen: byId('guide-open'),
  instructions: byId('instructions'),
  guide: byId('guide'),
  guideBody: byId('guide-body'),
  guideClose: byId('guide-close'),
  notice: byId('notice'),
  noticeText: byId('notice-text'),
  noticeAction: byId('notice-action'),
  noticeClose: byId('notice-close'),
  shareLink: byId('share-link'),
  assembleNow: byId('assemble-now'),
  error: byId('error'),
  warnings: byId('warnings'),
  status: byId('status'),
};

let core = null;
let result = null; // the last assembly
let kept = true; // the text is what was last loaded or downloaded
let storeTimer = 0;
let assembleTimer = 0;
// Milliseconds a byte took in the last few assemblies: the quickest of them
// says what the next will take, so that one slow moment does not count.
const recentMsPerByte = [];
let changes = 0;
let assembledChanges = -1; // the count of changes the last assembly saw
let toldNotLive = false; // the notice about a source over 1 MiB was shown for it
const selection = { line: 0, address: -1 };
// The editor's lines are the assembler's lines (a CR LF, a CR alone or a LF
// alone ends one), and it keeps none of the line ends. So the bytes of the
// last source loaded are kept as they were, and given to the assembler, the
// downloads and the share links while the text is unchanged; once it is
// edited, its lines are joined with the line end the loaded source used most.
let loaded = { text: null, bytesText: '', lineEnd: '\n' };
let breakpointLines = new Set();
const breakpointAddresses = new Set(); // words the assembler made, which have no source line

function mostUsedLineEnd(text) {
  const crlf = (text.match(/\r\n/g) || []).length;
  const cr = (text.match(/\r(?!\n)/g) || []).length;
  const lf = (text.match(/(?<!\r)\n/g) || []).length;
  if (crlf > lf && crlf >= cr) return '\r\n';
  if (cr > lf && cr > crlf) return '\r';
  return '\n';
}

// The source as bytes, one character per byte, exactly as a download saves it.
function sourceBytesText() {
  const text = editor.text();
  if (text === loaded.text) return loaded.bytesText;
  return loaded.lineEnd === '\n' ? text : text.split('\n').join(loaded.lineEnd);
}

function sourceBytes() {
  return textToBytes(sourceBytesText());
}

// Puts a source (one character per byte) into the editor, as one change.
function loadText(bytesText) {
  loaded = { text: null, bytesText, lineEnd: mostUsedLineEnd(bytesText) };
  editor.replaceText(bytesText);
  loaded.text = editor.text();
}

// ---- Starting text: a share link, else what the browser kept, else the first example ----

const stored = loadStored(localStorage);
let initial = stored
  ? { name: stored.name, text: stored.text, kept: stored.kept }
  : examples.length > 0
    ? { name: examples[0].name, text: examples[0].source, kept: true }
    : { name: 'program', text: NEW_SOURCE, kept: true };
ui.name.value = initial.name;
kept = initial.kept;

// ---- Editor ----

function describeMnemonic(name) {
  const entry = guide.instructions[name];
  if (!entry) return null;
  const box = document.createDocumentFragment();
  const title = document.createElement('strong');
  title.textContent = name;
  box.append(title, ` \u2013 ${entry.group.toLowerCase()}`);
  const list = document.createElement('dl');
  entry.columns.forEach((column, index) => {
    const term = document.createElement('dt');
    term.textContent = column;
    const value = document.createElement('dd');
    value.textContent = entry.values[index];
    list.append(term, value);
  });
  box.append(list);
  return box;
}

const editor = createEditor(byId('editor'), {
  doc: '',
  label: 'Source',
  // The core's instruction set, which the build puts into the page.
  syntax: sourceSyntax(OVRIK_MNEMONICS),
  describeMnemonic,
  onChange() {
    changes++;
    kept = false;
    storeSoon();
    assembleWhenDue();
  },
  largest: LARGEST_SOURCE,
  onTooLarge(length) {
    showNotice(`That change was not made: the source would be ${mebibytes(length)}, and the playground takes sources up to ${mebibytes(LARGEST_SOURCE)}.`);
  },
  onCursorLine(line) {
    selection.line = line;
    selection.address = -1;
    updateMarks();
  },
  onBreakpointLines(lines) {
    breakpointLines = lines;
    updateBreakpoints();
  },
});
loadText(initial.text);
kept = initial.kept;
initial = null;

// ---- Views ----

const legend = byId('legend');
for (const [kind, { letter, name }] of Object.entries(KINDS)) {
  const item = document.createElement('li');
  const swatch = document.createElement('span');
  swatch.className = 'cell legend-cell';
  swatch.dataset.kind = kind;
  swatch.textContent = letter;
  swatch.setAttribute('aria-hidden', 'true');
  item.append(swatch, ` ${name}`);
  legend.append(item);
}

const views = new Views(
  { listing: byId('listing'), map: byId('memory'), details: byId('word-details'), reasons: byId('word-why') },
  {
    pick: pickWord,
    explain: (address) => core.explain(address),
    toggleBreakpoint(word) {
      if (word.line > 0) {
        editor.toggleBreakpointLine(word.line);
      } else {
        if (breakpointAddresses.has(word.address)) breakpointAddresses.delete(word.address);
        else breakpointAddresses.add(word.address);
        updateBreakpoints();
      }
    },
  },
);

function pickWord(word) {
  if (word.line > 0) editor.goToLine(word.line);
  selection.line = word.line;
  selection.address = word.address;
  updateMarks();
}

// The Labels panel, and the map's switch between kinds and values, which the
// browser keeps.
const labelsPanel = new LabelsPanel({ table: byId('labels'), empty: byId('labels-empty') }, (address) =>
  pickWord(result.words[address]),
);
const showValues = byId('show-values');
try {
  showValues.checked = localStorage.getItem(SHOW_VALUES_KEY) === 'true';
} catch {
  // No storage here: the switch starts off.
}
views.setShowValues(showValues.checked);
showValues.addEventListener('change', () => {
  views.setShowValues(showValues.checked);
  try {
    localStorage.setItem(SHOW_VALUES_KEY, String(showValues.checked));
  } catch {
    // Not kept: the switch still works for this visit.
  }
});

function updateMarks() {
  if (!result) return;
  // The word chosen in the listing or the map comes first: the details show it.
  const selected = new Set(selection.address >= 0 ? [selection.address] : []);
  for (const word of result.words) {
    if (word.listed && selection.line > 0 && word.line === selection.line) selected.add(word.address);
  }
  const pointer = [...selected].map((address) => result.words[address]).find((word) => word.kind === 'address');
  views.setMarks({
    selected,
    target: pointer && pointer.points !== undefined ? pointer.points : -1,
    ...marksOf(selected, core.explain),
  });
  labelsPanel.setSelected(selected);
}

function updateBreakpoints() {
  if (!result) return;
  const addresses = new Set(breakpointAddresses);
  for (const word of result.words) {
    if (word.listed && word.line > 0 && breakpointLines.has(word.line)) addresses.add(word.address);
  }
  if (core) {
    core.machine.clearBreakpoints();
    for (const address of addresses) core.machine.breakpoint(address, true);
  }
  views.setMarks({ breakpoints: addresses });
}

// ---- Assembling ----

function plural(count, word) {
  return `${count.toLocaleString('en')} ${word}${count === 1 ? '' : 's'}`;
}

function lineButton(line) {
  const button = document.createElement('button');
  button.type = 'button';
  button.className = 'line-link';
  button.textContent = `source line ${line}`;
  button.addEventListener('click', () => editor.goToLine(line, true));
  return button;
}

// A note after the error, as the command line gives it: what the error's
// numbers mean, and where to look.
function noteItem(note) {
  const item = document.createElement('li');
  item.append(`Note: ${note.text}`);
  if (note.line > 0) item.append(' \u2013 ', lineButton(note.line));
  return item;
}

function showProblems() {
  const { error, warnings } = result;
  if (error) {
    const parts = [error.shown];
    if (error.line > 0) parts.push(' \u2013 ', lineButton(error.line));
    if (error.notes.length > 0) {
      const notes = document.createElement('ul');
      notes.className = 'notes';
      notes.append(...error.notes.map(noteItem));
      parts.push(notes);
    }
    ui.error.replaceChildren(...parts);
    ui.error.hidden = false;
  } else {
    ui.error.replaceChildren();
    ui.error.hidden = true;
  }
  ui.warnings.replaceChildren(
    ...warnings.map((warning) => {
      const item = document.createElement('li');
      item.append(`Warning: ${warning.text}`);
      if (warning.line > 0) item.append(' \u2013 ', lineButton(warning.line));
      return item;
    }),
  );
  ui.warnings.hidden = warnings.length === 0;
  const diagnostics = warnings.map((warning) => ({ line: warning.line, severity: 'warning', message: warning.text }));
  if (error) {
    diagnostics.push({ line: error.line, severity: 'error', message: error.shown });
    for (const note of error.notes) diagnostics.push({ line: note.line, severity: 'info', message: `Note: ${note.text}` });
  }
  editor.setDiagnostics(diagnostics);
}

function assembleNow() {
  clearTimeout(assembleTimer);
  assembleTimer = 0;
  if (!core) return;
  const started = performance.now();
  const bytes = sourceBytes();
  assembledChanges = changes;
  result = core.assemble(bytes);
  showProblems();
  views.batch(() => assembled());
  const done = performance.now();
  // A short source costs what the views cost whatever its length: counted as 4 KiB.
  recentMsPerByte.push((done - started) / Math.max(4096, bytes.length));
  if (recentMsPerByte.length > 3) recentMsPerByte.shift();
  window.ovrikPlayground.assembledAt = done;
}

function mebibytes(length) {
  const count = length / (1 << 20);
  return `${Number.isInteger(count) ? count : count.toFixed(1)} MiB`;
}

function assembleWhenDue() {
  clearTimeout(assembleTimer);
  assembleTimer = 0;
  const length = editor.length();
  // Written only when it changes: a keystroke should touch nothing else on the page.
  if (ui.assembleNow.hidden !== length <= LIVE_LARGEST) ui.assembleNow.hidden = length <= LIVE_LARGEST;
  if (length > LIVE_LARGEST) {
    showStatus(`not assembled: over ${mebibytes(LIVE_LARGEST)}`);
    if (!toldNotLive) {
      toldNotLive = true;
      showNotice(
        `The source is ${mebibytes(length)}. Over ${mebibytes(LIVE_LARGEST)}, it is not assembled as you type, ` +
          'so that typing stays quick: press Assemble, above the listing, when you want it assembled.',
      );
    }
    return;
  }
  toldNotLive = false;
  // Most of the time an assembly takes grows with the length.
  const expectedMs = recentMsPerByte.length === 0 ? 0 : Math.min(...recentMsPerByte) * length;
  if (length <= QUICK_SOURCE && expectedMs < QUICK_MS) {
    assembleNow();
    return;
  }
  showStatus('assembled when the typing pauses');
  assembleTimer = setTimeout(assembleNow, TYPING_PAUSE_MS);
}

function showStatus(text) {
  if (ui.status.textContent !== text) ui.status.textContent = text;
}

function assembled() {
  views.render(result);
  labelsPanel.setLabels(result.labels, result.words);
  // The lines whose instruction the assembler rewrote, each with why.
  const rewritten = result.words.filter((word) => word.rewritten);
  editor.setRewrittenLines(new Map(rewritten.map((word) => [word.line, core.explain(word.address).why])));
  if (result.listing) {
    const words = result.words.filter((word) => word.listed).length;
    const pages = result.firstPage < 0 ? 0 : result.lastPage - result.firstPage + 1;
    ui.status.textContent = `${plural(pages, 'page')}, ${plural(words, 'word')}`;
  } else {
    ui.status.textContent = 'no listing';
  }
  ui.download.disabled = result.listing === null;
  updateMarks();
  updateBreakpoints();
  runner.programChanged();
  exercise.assembled();
}

// ---- Machine ----

const runner = new Runner(
  {
    run: byId('run'),
    step: byId('step'),
    back: byId('step-back'),
    stop: byId('stop'),
    reset: byId('reset'),
    speed: byId('speed'),
    speedText: byId('speed-text'),
    limit: byId('limit'),
    state: byId('machine-state'),
    note: byId('state-note'),
    steps: byId('steps'),
    ac: { word: byId('ac'), decimal: byId('ac-decimal'), character: byId('ac-character') },
    pc: { word: byId('pc'), place: byId('pc-place') },
    keyboards: [byId('keyboard-0'), byId('keyboard-1')],
    keyboardNotes: [byId('keyboard-0-note'), byId('keyboard-1-note')],
    displays: [byId('display-0'), byId('display-1')],
    displayNotes: [byId('display-0-note'), byId('display-1-note')],
  },
  {
    machine: () => core.machine,
    program: () => (result && result.listing !== null && result.firstPage >= 0 ? result : null),
    // Run, Step and Reset work on the text as it is: an assembly still waiting
    // for the typing to pause, or for Assemble, is done first.
    settle() {
      if (assembledChanges !== changes) assembleNow();
    },
    textToBytes,
    bytesToText,
    show({ memory, current, halted }) {
      views.setMemory(memory);
      views.setMarks({ current, halted });
      labelsPanel.setMemory(memory);
      const at = halted >= 0 ? halted : current;
      const word = at >= 0 && result ? result.words[at] : null;
      editor.markCurrentLine(word && word.listed ? word.line : 0);
      if (current >= 0 && runner.speed !== Infinity) views.reveal(current);
    },
  },
);

// ---- Exercises ----

const exercise = new ExercisePanel(
  {
    region: byId('exercise'),
    title: byId('exercise-title'),
    task: byId('exercise-task'),
    summary: byId('exercise-summary'),
    checks: byId('checks'),
    error: byId('exercise-error'),
    close: byId('exercise-close'),
    menu: byId('exercises'),
  },
  {
    sourceText: sourceBytesText,
    sourceName: () => baseName(),
    replaceSource: (name, text) => replaceSource(name, text),
    mayReplace: () => mayReplace(),
    showNotice: (text) => showNotice(text),
    bytesToText,
    textToBytes,
    storage: localStorage,
  },
);
exercise.offer(window.OVRIK_EXERCISES || []);

// ---- Keeping the work ----

function record() {
  return { name: ui.name.value, text: sourceBytesText(), kept };
}

function storeNow() {
  clearTimeout(storeTimer);
  storeTimer = 0;
  if (!store(localStorage, record())) showNotice('The browser did not keep the source: download it to keep it.');
}

function storeSoon() {
  clearTimeout(storeTimer);
  storeTimer = setTimeout(storeNow, STORE_PAUSE_MS);
}

function mayReplace() {
  if (kept || sourceBytesText() === '') return true;
  return window.confirm('Replace the source in the editor? Its changes have not been downloaded.');
}

function replaceSource(name, text) {
  ui.name.value = name;
  loadText(text);
  kept = true;
  storeNow();
}

function showNotice(text, { link = null, action = null } = {}) {
  ui.noticeText.textContent = text;
  ui.shareLink.hidden = link === null;
  if (link !== null) ui.shareLink.value = link;
  ui.noticeAction.hidden = action === null;
  if (action) {
    ui.noticeAction.textContent = action.label;
    ui.noticeAction.onclick = () => {
      action.run();
      hideNotice();
    };
  }
  ui.notice.hidden = false;
}

function hideNotice() {
  ui.notice.hidden = true;
}

function baseName() {
  return ui.name.value.trim() || 'program';
}

// A file's base name as it would be typed at the prompt: the console program
// adds ".txt" itself.
function nameOfFile(fileName) {
  return fileName.replace(/\.txt$/i, '') || 'program';
}

async function share() {
  const fragment = await exercise.withExercise(await shareFragment(baseName(), sourceBytes()));
  const link = location.href.replace(/#.*$/, '') + fragment;
  let copied = false;
  try {
    await navigator.clipboard.writeText(link);
    copied = true;
  } catch {
    // No clipboard here (a page opened from disk, say): the link is shown to copy.
  }
  showNotice(copied ? 'Link copied. It holds the whole source:' : 'Copy this link; it holds the whole source:', { link });
  ui.shareLink.focus();
  ui.shareLink.select();
}

// Opens a share link's source. The work the browser kept before is not lost:
// the notice offers it back.
async function openShared() {
  const shared = await readFragment(location.hash);
  if (shared === null) return;
  history.replaceState(null, '', location.href.replace(/#.*$/, ''));
  if (shared instanceof Error) {
    showNotice(shared.message);
    return;
  }
  const before = record();
  const text = bytesToText(shared.bytes);
  ui.name.value = shared.name;
  loadText(text);
  kept = true;
  storeNow();
  if (!before.kept && before.text !== text) {
    showNotice('Opened the shared source.', {
      action: { label: 'Back to my source', run: () => replaceSource(before.name, before.text) },
    });
    kept = true;
  }
}

// ---- Guide ----

function openGuide(sectionId) {
  if (!ui.guideBody.firstChild) ui.guideBody.innerHTML = guide.html;
  ui.guide.hidden = false;
  ui.guideOpen.setAttribute('aria-expanded', 'true');
  const target = sectionId ? byId(sectionId) : null;
  if (target) target.scrollIntoView({ block: 'start' });
  else ui.guideBody.scrollTop = 0;
  (target ?? ui.guideBody).setAttribute('tabindex', '-1');
  (target ?? ui.guideBody).focus({ preventScroll: true });
}

function closeGuide() {
  ui.guide.hidden = true;
  ui.guideOpen.setAttribute('aria-expanded', 'false');
  (ui.guideReturn ?? ui.guideOpen).focus();
  ui.guideReturn = null;
}

// ---- Wiring ----

for (const example of examples) {
  const option = document.createElement('option');
  option.value = example.name;
  option.textContent = `${example.name}.txt`;
  ui.examples.append(option);
}

ui.examples.addEventListener('change', () => {
  const example = examples.find((candidate) => candidate.name === ui.examples.value);
  // Back to the menu's title, so that picking the same example again reloads it.
  ui.examples.value = '';
  if (example && mayReplace()) replaceSource(example.name, example.source);
});
ui.newButton.addEventListener('click', () => {
  if (mayReplace()) replaceSource('program', NEW_SOURCE);
});
ui.open.addEventListener('click', () => ui.file.click());
// A file over 8 MiB is not read at all: the notice says why.
function refusesFile(file) {
  if (file.size <= LARGEST_SOURCE) return false;
  showNotice(`${file.name} is ${mebibytes(file.size)}: the playground takes sources up to ${mebibytes(LARGEST_SOURCE)}.`);
  return true;
}

ui.file.addEventListener('change', async () => {
  const file = ui.file.files[0];
  ui.file.value = '';
  if (file && /\.toml$/i.test(file.name)) {
    exercise.openFile(file);
    return;
  }
  if (!file || refusesFile(file) || !mayReplace()) return;
  replaceSource(nameOfFile(file.name), bytesToText(new Uint8Array(await file.arrayBuffer())));
});
ui.assembleNow.addEventListener('click', assembleNow);
ui.saveSource.addEventListener('click', () => {
  download(`${baseName()}.txt`, sourceBytes());
  kept = true;
  storeNow();
});
ui.download.addEventListener('click', () => {
  if (result && result.listing) download(`${baseName()}.ovr`, result.listing);
});
ui.share.addEventListener('click', share);
ui.name.addEventListener('input', storeSoon);
ui.noticeClose.addEventListener('click', hideNotice);
ui.guideOpen.addEventListener('click', () => {
  ui.guideReturn = ui.guideOpen;
  if (ui.guide.hidden) openGuide(null);
  else closeGuide();
});
ui.instructions.addEventListener('click', () => {
  ui.guideReturn = ui.instructions;
  openGuide('guide-9-the-instruction-set');
});
ui.guideClose.addEventListener('click', closeGuide);
ui.guide.addEventListener('keydown', (event) => {
  if (event.key === 'Escape') closeGuide();
});
// Links inside the guide scroll the panel and leave the page's address alone.
ui.guideBody.addEventListener('click', (event) => {
  const link = event.target.closest('a[href^="#"]');
  if (!link) return;
  event.preventDefault();
  const target = byId(link.getAttribute('href').slice(1));
  if (target) target.scrollIntoView({ block: 'start' });
});
window.addEventListener('pagehide', () => {
  if (storeTimer) storeNow();
});
window.addEventListener('hashchange', () => {
  exercise.takeFromLink();
  openShared();
});

// Drop a .txt file on the editor to open it.
const editorBox = byId('editor');
editorBox.addEventListener('dragover', (event) => {
  if (![...event.dataTransfer.types].includes('Files')) return;
  event.preventDefault();
  editorBox.classList.add('dropping');
});
editorBox.addEventListener('dragleave', () => editorBox.classList.remove('dropping'));
editorBox.addEventListener(
  'drop',
  async (event) => {
    const file = event.dataTransfer.files[0];
    editorBox.classList.remove('dropping');
    if (!file) return;
    event.preventDefault();
    event.stopPropagation();
    if (/\.toml$/i.test(file.name)) {
      exercise.openFile(file);
      return;
    }
    if (refusesFile(file) || !mayReplace()) return;
    replaceSource(nameOfFile(file.name), bytesToText(new Uint8Array(await file.arrayBuffer())));
  },
  true,
);

// For tests and the browser's console: the source, one character per byte.
window.ovrikPlayground = {
  text: sourceBytesText,
  length: () => editor.length(),
  // How many changes the text has had: the tests see a keystroke reach the editor.
  get changes() {
    return changes;
  },
  setText: loadText,
  cursorLine: () => editor.cursorLine(),
  goToLine: (line) => editor.goToLine(line, true),
  runner,
};

exercise.takeFromLink();
openShared().finally(() =>
  loadCore(window.createOvrikModule).then(
    (ready) => {
      core = ready;
      assembleWhenDue();
      exercise.coreReady(core);
      document.body.dataset.ready = 'true';
      window.ovrikPlayground.readyMs = performance.now();
    },
    (failure) => {
      ui.status.textContent = 'not available';
      ui.error.hidden = false;
      ui.error.textContent = `The assembler could not start in this browser: ${failure.message}`;
    },
  ),
);
