// Why a word is there, as the core says it (the very sentences of ovrik
// --explain): the "Word details" region, and the words a choice marks in the
// map and the listing, those it reaches and those that reach it.

// The words the chosen ones reach, and the words that reach them; a chosen
// word is marked as chosen, not again as reached. explain(address) gives a
// word's reasons (the core's explain).
export function marksOf(chosen, explain) {
  const reaches = new Set();
  const reachedBy = new Set();
  for (const address of chosen) {
    const reasons = explain(address);
    for (const other of reasons.reaches) if (!chosen.has(other)) reaches.add(other);
    for (const other of reasons.reachedBy) if (!chosen.has(other)) reachedBy.add(other);
  }
  return { reaches, reachedBy };
}

function element(tag, className, text) {
  const made = document.createElement(tag);
  made.className = className;
  if (text !== undefined) made.textContent = text;
  return made;
}

// "011 ADDA": the address in the word notation, then the label if any.
function wordName(word) {
  const address = `${word.address >> 5}${(word.address >> 3) & 3}${word.address & 7}`;
  return word.label ? `${address} ${word.label}` : address;
}

// A button for each word of a list, which chooses that word.
function wordButtons(title, addresses, words, pick) {
  const line = element('p', `word-links ${title === 'Reaches' ? 'reaches' : 'reached-by'}`);
  line.append(element('span', 'links-title', `${title}:`));
  for (const address of addresses) {
    const button = element('button', 'word-link', wordName(words[address]));
    button.type = 'button';
    button.addEventListener('click', () => pick(words[address]));
    line.append(' ', button);
  }
  return line;
}

// What each region shows now, so that pointing at the same word again
// changes nothing.
const shown = new WeakMap();

// Shows why `word` is there in `region`, or a hint when there is none to
// show; pick(word) chooses a word named in it.
export function showReasons(region, word, explain, words, pick) {
  const listed = word !== null && word.listed;
  const reasons = listed ? explain(word.address) : null;
  const key = listed
    ? [word.address, reasons.why, ...reasons.reaches, '|', ...reasons.reachedBy].join(' ')
    : `${word === null}`;
  const before = shown.get(region);
  if (before && before.key === key && before.words === words) return;
  shown.set(region, { key, words });
  if (!listed) {
    const hint = word ? 'The program puts no word here.' : 'Choose a word to see why it is there.';
    region.replaceChildren(element('p', 'why-hint', hint));
    return;
  }
  const parts = [element('p', 'why', reasons.why)];
  if (reasons.does) parts.push(element('p', 'does', `Does: ${reasons.does}`));
  if (reasons.reaches.length > 0) parts.push(wordButtons('Reaches', reasons.reaches, words, pick));
  if (reasons.reachedBy.length > 0) parts.push(wordButtons('Reached by', reasons.reachedBy, words, pick));
  region.replaceChildren(...parts);
}
