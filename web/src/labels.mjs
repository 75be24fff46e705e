// The Labels panel: every label the source wrote, with its address and the
// value its word holds, live while the machine runs. The labels come from the
// core; this only shows them and their values.
import { printableCharacter, signedValue, wordNotation } from './views.mjs';

function cell(tag, className) {
  const made = document.createElement(tag);
  made.className = className;
  return made;
}

// The cells of a value: signed decimal, unsigned decimal, word notation, and
// a character only where the value is a printable one.
export function valueTexts(value) {
  if (value < 0) return ['', '', 'no value', ''];
  return [String(signedValue(value)), String(value), wordNotation(value), printableCharacter(value)];
}

export class LabelsPanel {
  // table: the Labels table; empty: what shows when there are none;
  // pick(address) when a row is chosen.
  constructor({ table, empty }, pick) {
    this.body = table.tBodies[0];
    this.table = table;
    this.empty = empty;
    this.pick = pick;
    this.rows = [];
    this.focus = 0;
    this.body.addEventListener('click', (event) => {
      const row = event.target.closest('tr');
      if (row) this.choose(this.rows.indexOf(row), false);
    });
    this.body.addEventListener('keydown', (event) => this.key(event));
  }

  // A new assembly: labels [{name, address}] and the words' assembled values.
  setLabels(labels, words) {
    this.words = words;
    this.rows = labels.map((label, index) => this.row(label, index));
    this.body.replaceChildren(...this.rows);
    this.focus = Math.min(this.focus, Math.max(this.rows.length - 1, 0));
    if (this.rows.length > 0) this.rows[this.focus].tabIndex = 0;
    this.table.hidden = this.rows.length === 0;
    this.empty.hidden = this.rows.length > 0;
    this.shown = labels.map(() => null);
    this.setMemory(this.memory ?? null);
  }

  row(label, index) {
    const row = document.createElement('tr');
    row.tabIndex = -1;
    row.dataset.address = label.address;
    const name = cell('th', 'label-name');
    name.scope = 'row';
    name.textContent = label.name;
    const address = cell('td', 'label-address');
    address.textContent = wordNotation(label.address);
    row.append(name, address, cell('td', 'label-signed'), cell('td', 'label-unsigned'),
      cell('td', 'label-word'), cell('td', 'label-character'));
    row.dataset.index = index;
    return row;
  }

  // The machine's memory (a Uint8Array), or null: then the values the program
  // is loaded with. Only the cells whose value changed are written.
  setMemory(memory) {
    this.memory = memory;
    this.rows.forEach((row, index) => {
      const address = Number(row.dataset.address);
      const value = memory ? memory[address] : this.words[address].value;
      if (this.shown[index] === value) return;
      this.shown[index] = value;
      const texts = valueTexts(value);
      for (let column = 0; column < texts.length; column++) {
        row.cells[column + 2].textContent = texts[column];
      }
    });
  }

  // The rows whose word is chosen in the other views.
  setSelected(addresses) {
    for (const row of this.rows) {
      const on = addresses.has(Number(row.dataset.address));
      row.classList.toggle('is-selected', on);
      if (on) row.setAttribute('aria-current', 'true');
      else row.removeAttribute('aria-current');
    }
  }

  choose(index, focus) {
    if (index < 0 || index >= this.rows.length) return;
    this.rows[this.focus].tabIndex = -1;
    this.focus = index;
    const row = this.rows[index];
    row.tabIndex = 0;
    if (focus) row.focus();
    this.pick(Number(row.dataset.address));
  }

  // Up and down move from row to row, Home and End to the first and the last;
  // Enter or Space chooses the focused row's word.
  key(event) {
    if (this.rows.length === 0) return;
    let index = this.focus;
    switch (event.key) {
      case 'ArrowDown': index = Math.min(this.rows.length - 1, index + 1); break;
      case 'ArrowUp': index = Math.max(0, index - 1); break;
      case 'Home': index = 0; break;
      case 'End': index = this.rows.length - 1; break;
      case 'Enter':
      case ' ':
        event.preventDefault();
        this.choose(this.focus, true);
        return;
      default:
        return;
    }
    event.preventDefault();
    this.rows[this.focus].tabIndex = -1;
    this.focus = index;
    this.rows[index].tabIndex = 0;
    this.rows[index].focus();
  }
}
