// The listing and the memory map, kept in step with the source: both are
// built from the words the core reports (kind, source line, listing line),
// never from reading the listing's text.
import { showReasons } from './reasons.mjs';

export const KINDS = {
  code: { letter: 'C', name: 'code' },
  jump: { letter: 'J', name: 'inserted jump' },
  data: { letter: 'D', name: 'data element' },
  variable: { letter: 'V', name: 'variable' },
  constant: { letter: 'K', name: 'constant' },
  address: { letter: 'A', name: 'address constant' },
  filler: { letter: 'F', name: 'filler' },
  outside: { letter: '\u00b7', name: 'outside the program' },
};

// Word notation: bits 7-5, 4-3 and 2-0 as three digits.
export function wordNotation(value) {
  return `${value >> 5}${(value >> 3) & 3}${value & 7}`;
}

const CONTROL_NAMES = ['NUL', 'SOH', 'STX', 'ETX', 'EOT', 'ENQ', 'ACK', 'BEL', 'BS', 'TAB', 'LF', 'VT', 'FF', 'CR'];

// A value as a character: the character itself when it can be shown, else
// its name or nothing.
export function characterOf(value) {
  if ((value >= 33 && value <= 126) || value >= 161) return `'${String.fromCharCode(value)}'`;
  if (value === 32) return 'blank';
  if (value < CONTROL_NAMES.length) return CONTROL_NAMES[value];
  return '';
}

// A byte as a signed number, -128 to 127.
export function signedValue(value) {
  return value >= 128 ? value - 256 : value;
}

// A value as a character only where it is a printable one; a count of -4
// (252) is no character anyone meant.
export function printableCharacter(value) {
  if (value > 32 && value < 127) return `'${String.fromCharCode(value)}'`;
  return value === 32 ? 'blank' : '';
}

// A value as the details and a cell's name say it: unsigned, signed when it
// differs, and the character when it is a printable one.
export function valueText(value) {
  const signed = signedValue(value);
  const character = printableCharacter(value);
  return `${value}${signed !== value ? ` (${signed})` : ''}${character ? ` ${character}` : ''}`;
}

// An address as the word notation, its page and its slot.
export function addressText(address) {
  return `${wordNotation(address)}, page ${address >> 4} slot ${address & 15}`;
}

function element(tag, className, text) {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (text !== undefined) made.textContent = text;
  return made;
}

// A listing and a map over the same words. handlers: pick(word) when a word is
// chosen, toggleBreakpoint(word), show(word or null) when one is pointed at
// or focused, explain(address) for why a word is there (the core's explain).
export class Views {
  constructor({ listing, map, details, reasons }, handlers) {
    this.listing = listing;
    this.map = map;
    this.details = details;
    this.reasons = reasons;
    this.handlers = handlers;
    this.words = null;
    this.memory = null;
    this.marks = {
      selected: new Set(),
      target: -1,
      current: -1,
      breakpoints: new Set(),
      halted: -1,
      reaches: new Set(), // what the chosen words reach
      reachedBy: new Set(), // the words that reach them
    };
    this.showValues = false;
    this.pointed = -1;
    this.buildListing();
    this.buildMap();
  }

  // ---- Listing ----

  buildListing() {
    this.listingLines = Array.from({ length: 256 }, (_, address) => {
      const line = element('div', 'word-line');
      line.dataset.address = address;
      line.tabIndex = -1;
      const toggle = element('span', 'bp-toggle');
      toggle.setAttribute('aria-hidden', 'true');
      toggle.title = 'Breakpoint (B)';
      line.append(toggle, element('span', 'line-text'));
      return line;
    });
    this.pageLines = Array.from({ length: 16 }, (_, page) => element('div', 'page-line', `/${page}`));
    this.listingNote = element('p', 'listing-note');
    this.listingFocus = -1;
    this.listing.addEventListener('click', (event) => {
      const line = event.target.closest('.word-line');
      if (!line) return;
      const word = this.words[Number(line.dataset.address)];
      this.focusListingLine(word.address, false);
      if (event.target.closest('.bp-toggle')) this.handlers.toggleBreakpoint(word);
      else this.handlers.pick(word);
    });
    this.listing.addEventListener('keydown', (event) => this.listingKey(event));
    this.listing.addEventListener('pointerover', (event) => {
      const line = event.target.closest('.word-line');
      if (line) this.point(Number(line.dataset.address));
    });
    this.listing.addEventListener('pointerleave', () => this.point(-1));
  }

  listedAddresses() {
    return this.words ? this.words.filter((word) => word.listed).map((word) => word.address) : [];
  }

  // Enter or Space picks the focused word, B or F9 sets or clears its
  // breakpoint: the same keys in the listing and in the map.
  wordKey(event, word) {
    const pick = event.key === 'Enter' || event.key === ' ';
    const breakpoint = event.key === 'b' || event.key === 'B' || event.key === 'F9';
    if (!pick && !breakpoint) return false;
    if (word && pick) this.handlers.pick(word);
    if (word && breakpoint) this.handlers.toggleBreakpoint(word);
    event.preventDefault();
    return true;
  }

  listingKey(event) {
    const listed = this.listedAddresses();
    if (listed.length === 0) return;
    let index = listed.indexOf(this.listingFocus);
    if (this.wordKey(event, this.words[this.listingFocus])) return;
    switch (event.key) {
      case 'ArrowDown': index = Math.min(listed.length - 1, index + 1); break;
      case 'ArrowUp': index = Math.max(0, index - 1); break;
      case 'PageDown': index = Math.min(listed.length - 1, index + 16); break;
      case 'PageUp': index = Math.max(0, index - 16); break;
      case 'Home': index = 0; break;
      case 'End': index = listed.length - 1; break;
      default:
        return;
    }
    event.preventDefault();
    this.focusListingLine(listed[Math.max(0, index)], true);
  }

  focusListingLine(address, focus) {
    const listed = this.listedAddresses();
    if (!listed.includes(address)) address = listed[0] ?? -1;
    if (this.listingFocus >= 0) this.listingLines[this.listingFocus].tabIndex = -1;
    this.listingFocus = address;
    if (address < 0) {
      this.listing.tabIndex = 0;
      return;
    }
    this.listing.tabIndex = -1;
    const line = this.listingLines[address];
    line.tabIndex = 0;
    if (focus) {
      line.focus();
      this.point(address);
    }
  }

  renderListing(result) {
    const shown = [];
    if (result.listing === null) {
      this.listingNote.textContent = 'No listing: the source has an error.';
      shown.push(this.listingNote);
    } else if (result.firstPage < 0 || result.listing.length === 0) {
      this.listingNote.textContent = 'The listing is empty: the source has no page.';
      shown.push(this.listingNote);
    } else {
      for (let page = result.firstPage; page <= result.lastPage; page++) {
        shown.push(this.pageLines[page]);
        for (let slot = 0; slot < 16; slot++) {
          const word = result.words[page * 16 + slot];
          if (!word.listed) continue;
          const line = this.listingLines[word.address];
          const text = line.lastChild;
          if (text.textContent !== word.text) text.textContent = word.text;
          line.dataset.kind = word.kind;
          shown.push(line);
        }
      }
    }
    // Re-inserting 270 lines costs a layout of the whole listing: only when
    // the lines shown are others than before.
    const before = this.listingShown ?? [];
    if (before.length !== shown.length || before.some((node, index) => node !== shown[index])) {
      this.listing.replaceChildren(...shown);
      this.listingShown = shown;
    }
    this.focusListingLine(this.listingFocus, false);
  }

  // ---- Map ----

  buildMap() {
    const head = element('div', 'map-row map-head');
    head.setAttribute('role', 'row');
    const corner = element('span', 'map-corner', 'page');
    corner.setAttribute('role', 'columnheader');
    head.append(corner);
    for (let slot = 0; slot < 16; slot++) {
      const label = element('span', 'map-slot', String(slot));
      label.setAttribute('role', 'columnheader');
      label.setAttribute('aria-label', `slot ${slot}`);
      head.append(label);
    }
    this.map.append(head);
    this.cells = [];
    for (let page = 0; page < 16; page++) {
      const row = element('div', 'map-row');
      row.setAttribute('role', 'row');
      const header = element('span', 'map-page', String(page));
      header.setAttribute('role', 'rowheader');
      header.setAttribute('aria-label', `page ${page}`);
      header.title = `page ${page}: ${wordNotation(page * 16)} to ${wordNotation(page * 16 + 15)}`;
      row.append(header);
      for (let slot = 0; slot < 16; slot++) {
        const cell = element('span', 'cell');
        cell.setAttribute('role', 'gridcell');
        cell.tabIndex = page === 0 && slot === 0 ? 0 : -1;
        cell.dataset.address = page * 16 + slot;
        row.append(cell);
        this.cells.push(cell);
      }
      this.map.append(row);
    }
    this.mapFocus = 0;
    this.map.addEventListener('click', (event) => {
      const cell = event.target.closest('.cell');
      if (!cell || !this.words) return;
      const word = this.words[Number(cell.dataset.address)];
      this.focusCell(word.address, false);
      if (event.altKey || event.shiftKey) this.handlers.toggleBreakpoint(word);
      else this.handlers.pick(word);
    });
    this.map.addEventListener('dblclick', (event) => {
      const cell = event.target.closest('.cell');
      if (cell && this.words) this.handlers.toggleBreakpoint(this.words[Number(cell.dataset.address)]);
    });
    this.map.addEventListener('keydown', (event) => this.mapKey(event));
    this.map.addEventListener('pointerover', (event) => {
      const cell = event.target.closest('.cell');
      if (cell) this.point(Number(cell.dataset.address));
    });
    this.map.addEventListener('pointerleave', () => this.point(-1));
    this.map.addEventListener('focusin', (event) => {
      const cell = event.target.closest('.cell');
      if (cell) this.point(Number(cell.dataset.address));
    });
  }

  mapKey(event) {
    let address = this.mapFocus;
    if (this.wordKey(event, this.words?.[address])) return;
    switch (event.key) {
      case 'ArrowRight': address = Math.min(255, address + 1); break;
      case 'ArrowLeft': address = Math.max(0, address - 1); break;
      case 'ArrowDown': address = Math.min(255, address + 16); break;
      case 'ArrowUp': address = Math.max(0, address - 16); break;
      case 'Home': address -= address % 16; break;
      case 'End': address += 15 - (address % 16); break;
      case 'PageUp': address %= 16; break;
      case 'PageDown': address = 240 + (address % 16); break;
      default:
        return;
    }
    event.preventDefault();
    this.focusCell(address, true);
  }

  focusCell(address, focus) {
    this.cells[this.mapFocus].tabIndex = -1;
    this.mapFocus = address;
    this.cells[address].tabIndex = 0;
    if (focus) this.cells[address].focus();
  }

  renderMap() {
    const shown = (this.cellShown ??= Array.from({ length: 256 }, () => ({ kind: '', label: '' })));
    for (const word of this.words) {
      const cell = this.cells[word.address];
      const was = shown[word.address];
      if (was.kind !== word.kind) {
        was.kind = word.kind;
        cell.dataset.kind = word.kind;
        if (!this.showValues) cell.textContent = KINDS[word.kind].letter;
      }
      const label = this.describe(word);
      if (was.label !== label) {
        was.label = label;
        cell.setAttribute('aria-label', label);
      }
    }
  }

  // A cell's accessible name: its address first, then what it is.
  describe(word) {
    const parts = [wordNotation(word.address), KINDS[word.kind].name];
    if (word.listed) {
      if (word.label) parts.push(`${word.label},`);
      parts.push(word.statement);
    }
    if (this.showValues) {
      const value = this.valueAt(word.address);
      parts.push(value >= 0 ? `value ${valueText(value)}` : 'no value');
    }
    if (this.marks.breakpoints.has(word.address)) parts.push('(breakpoint)');
    if (this.marks.halted === word.address) parts.push('(halted here)');
    if (this.marks.reaches.has(word.address)) parts.push('(reached by the chosen word)');
    if (this.marks.reachedBy.has(word.address)) parts.push('(reaches the chosen word)');
    return parts.join(' ');
  }

  // The value a word holds: in the machine when one runs, else as assembled
  // (-1 for a code that is no word).
  valueAt(address) {
    if (this.memory) return this.memory[address];
    const word = this.words[address];
    return word.listed ? word.value : 0;
  }

  // The map shows each word's value in the word notation instead of its
  // kind's letter; the colour still tells the kind.
  setShowValues(on) {
    this.showValues = on;
    this.map.classList.toggle('shows-values', on);
    if (!this.words) return;
    for (const word of this.words) {
      this.cells[word.address].textContent = on ? '' : KINDS[word.kind].letter;
    }
    this.cellValues = null;
    this.renderValues();
    this.relabelCells();
  }

  // Writes only the cells whose value changed since they were last shown.
  renderValues() {
    if (!this.showValues || !this.words) return;
    const shown = (this.cellValues ??= Array.from({ length: 256 }, () => null));
    const changed = [];
    for (let address = 0; address < 256; address++) {
      const value = this.valueAt(address);
      if (shown[address] === value) continue;
      shown[address] = value;
      this.cells[address].textContent = value >= 0 ? wordNotation(value) : '?';
      changed.push(address);
    }
    return changed;
  }

  relabelCells(addresses = null) {
    if (!this.words || !this.cellShown) return;
    for (const address of addresses ?? this.words.map((word) => word.address)) {
      const label = this.describe(this.words[address]);
      this.cellShown[address].label = label;
      this.cells[address].setAttribute('aria-label', label);
    }
  }

  // ---- Both ----

  // A new assembly: the marks are set afresh by the caller, within the same
  // batch (see batch()).
  render(result) {
    this.batch(() => {
      this.words = result.words;
      this.memory = null;
      this.cellValues = null;
      this.renderListing(result);
      this.renderMap();
      this.renderValues();
      this.dirty = true;
    });
  }

  // Runs `change` and shows its marks once at the end, however many it set.
  batch(change) {
    this.batching = (this.batching ?? 0) + 1;
    try {
      change();
    } finally {
      if (--this.batching === 0 && this.dirty) this.applyMarks();
    }
  }

  // Marks: selected (Set of addresses), target (address or -1), current (the
  // machine's next word or -1), breakpoints (Set of addresses), halted (the
  // HLT word the machine halted at, or -1).
  setMarks(marks) {
    Object.assign(this.marks, marks);
    this.dirty = true;
    if (!this.batching) this.applyMarks();
  }

  applyMarks() {
    this.dirty = false;
    if (!this.words) return;
    const { selected, target, current, breakpoints, halted, reaches, reachedBy } = this.marks;
    const shown = (this.shownMarks ??= Array.from({ length: 256 }, () => ''));
    for (let address = 0; address < 256; address++) {
      // One string of the word's marks; the nodes change only when it does.
      const marks =
        (selected.has(address) ? 's' : '') +
        (target === address ? 't' : '') +
        (current === address ? 'c' : '') +
        (breakpoints.has(address) ? 'b' : '') +
        (halted === address ? 'h' : '') +
        (reaches.has(address) ? 'r' : '') +
        (reachedBy.has(address) ? 'f' : '');
      if (marks === shown[address]) continue;
      const had = shown[address];
      shown[address] = marks;
      const flags = [
        ['is-selected', marks.includes('s')],
        ['is-target', marks.includes('t')],
        ['is-current', marks.includes('c')],
        ['has-breakpoint', marks.includes('b')],
        ['is-halted', marks.includes('h')],
        ['is-reached', marks.includes('r')],
        ['is-reaching', marks.includes('f')],
      ];
      for (const node of [this.cells[address], this.listingLines[address]]) {
        for (const [name, on] of flags) node.classList.toggle(name, on);
      }
      if (marks.includes('c')) this.listingLines[address].setAttribute('aria-current', 'true');
      else this.listingLines[address].removeAttribute('aria-current');
      // The cell's name says its breakpoint, the halt and its ties to the chosen word.
      if (['b', 'h', 'r', 'f'].some((mark) => had.includes(mark) !== marks.includes(mark))) {
        const label = this.describe(this.words[address]);
        if (this.cellShown) this.cellShown[address].label = label;
        this.cells[address].setAttribute('aria-label', label);
        // The listing line keeps its text, and says the ties beside it.
        const ties = [
          marks.includes('r') ? 'reached by the chosen word' : '',
          marks.includes('f') ? 'reaches the chosen word' : '',
        ].filter(Boolean);
        if (ties.length > 0) this.listingLines[address].setAttribute('aria-description', ties.join(', '));
        else this.listingLines[address].removeAttribute('aria-description');
      }
    }
    this.showDetails();
  }

  // Scrolls the listing to a word, as little as needed.
  reveal(address) {
    const line = this.listingLines[address];
    if (line.isConnected) line.scrollIntoView({ block: 'nearest' });
  }

  // The machine's memory (a Uint8Array) or null when no program is loaded;
  // the words that changed since the last call flash.
  setMemory(memory) {
    const before = this.memory;
    this.memory = memory;
    if (before && memory) {
      const changed = [];
      for (let address = 0; address < 256; address++) {
        if (before[address] !== memory[address]) changed.push(this.cells[address]);
      }
      if (changed.length > 0) {
        for (const cell of changed) cell.classList.remove('flash');
        // Restarting the animation needs one style flush between the two.
        void this.map.offsetWidth;
        for (const cell of changed) cell.classList.add('flash');
      }
    }
    const shown = this.renderValues();
    if (shown && shown.length > 0) this.relabelCells(shown);
    this.showDetails();
  }

  // A word named in the Word details: chosen, and its cell focused, so that
  // the keyboard goes on from there.
  follow(word) {
    this.handlers.pick(word);
    this.focusCell(word.address, true);
  }

  point(address) {
    this.pointed = address;
    this.showDetails();
  }

  // What the details line says: the word pointed at, else the one chosen.
  showDetails() {
    if (!this.words) return;
    const selected = [...this.marks.selected];
    const address = this.pointed >= 0 ? this.pointed : selected.length > 0 ? selected[0] : -1;
    if (this.reasons) {
      const word = this.words[address] ?? null;
      showReasons(this.reasons, word, this.handlers.explain, this.words, (named) => this.follow(named));
    }
    if (address < 0) {
      this.details.textContent = 'Point at a word or choose a line to see it here.';
      return;
    }
    const word = this.words[address];
    const parts = [];
    const head = element('strong', '', wordNotation(address));
    parts.push(head, ` (${address}) \u2013 ${KINDS[word.kind].name}`);
    if (word.listed) {
      if (word.label) parts.push(`, label ${word.label}`);
      parts.push(`, statement `, element('code', '', word.statement || '(none)'));
      parts.push(`, code `, element('code', '', word.code || '(none)'));
    }
    const value = this.memory ? this.memory[address] : word.listed ? word.value : 0;
    if (value >= 0) {
      parts.push(`, value ${valueText(value)}`);
      if (this.memory && word.listed && word.value >= 0 && word.value !== value) {
        parts.push(` \u2013 assembled as ${word.value}`);
      }
    } else {
      parts.push(', no value');
    }
    if (word.kind === 'address' && word.points !== undefined) parts.push(`, points to ${wordNotation(word.points)}`);
    if (word.listed) parts.push(word.line > 0 ? `, source line ${word.line}` : ', made by the assembler');
    this.details.replaceChildren(...parts);
  }
}
