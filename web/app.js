// The playground page: an editor on the left, the listing or the error line
// on the right, reassembled a moment after every change.
(function () {
  'use strict';

  const { loadAssembler, bytesToText, textToBytes, messageOf } = window.OvrikAssembler;
  const examples = window.OVRIK_EXAMPLES || [];
  const TYPING_PAUSE_MS = 250;

  const ui = {
    examples: document.getElementById('examples'),
    open: document.getElementById('open'),
    file: document.getElementById('file'),
    assemble: document.getElementById('assemble'),
    download: document.getElementById('download'),
    name: document.getElementById('name'),
    editor: document.getElementById('editor'),
    gutter: document.getElementById('gutter'),
    source: document.getElementById('source'),
    status: document.getElementById('status'),
    error: document.getElementById('error'),
    listing: document.getElementById('listing'),
  };

  let assembler = null;
  let pending = 0;
  let lineCount = 0;
  let listing = null;
  // The bytes of the last example or file loaded, and the editor's text for
  // them: while the text is unchanged these very bytes are assembled, so that
  // a NUL or a lone CR, which a text area does not keep, still reaches the
  // assembler as the console program would read it.
  let loaded = { bytes: null, text: null };

  function sourceBytes() {
    const text = ui.source.value;
    return loaded.bytes && text === loaded.text ? loaded.bytes : textToBytes(text);
  }

  function baseName() {
    return ui.name.value || 'program';
  }

  // Source

  function showLineNumbers() {
    const count = ui.source.value.split('\n').length;
    if (count !== lineCount) {
      lineCount = count;
      const numbers = [];
      for (let i = 1; i <= count; i++) numbers.push(i);
      ui.gutter.textContent = numbers.join('\n') + '\n';
    }
    ui.gutter.scrollTop = ui.source.scrollTop;
  }

  function load(name, bytes) {
    ui.name.value = name;
    ui.source.value = bytesToText(bytes);
    loaded = { bytes, text: ui.source.value };
    ui.source.scrollTop = 0;
    ui.source.scrollLeft = 0;
    showLineNumbers();
    assembleNow();
  }

  // A file's base name as it would be typed at the prompt: the console program
  // adds ".txt" itself.
  function nameOfFile(fileName) {
    return fileName.replace(/\.txt$/i, '') || 'program';
  }

  async function openFile(file) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    load(nameOfFile(file.name), bytes);
  }

  // Listing

  function renderListing(bytes) {
    ui.listing.replaceChildren();
    if (bytes.length === 0) {
      const note = document.createElement('span');
      note.className = 'empty';
      note.textContent = 'The listing is empty: the source has no page.';
      ui.listing.append(note);
      return;
    }
    // The listing's own text, CR LF shown as plain line breaks, with the page
    // lines and the addresses picked out.
    const lines = bytesToText(bytes).replace(/\r\n$/, '').split('\r\n');
    const fragment = document.createDocumentFragment();
    lines.forEach((line, index) => {
      if (index > 0) fragment.append('\n');
      if (line.startsWith('/')) {
        const page = document.createElement('span');
        page.className = 'page';
        page.textContent = line;
        fragment.append(page);
      } else {
        const address = document.createElement('span');
        address.className = 'address';
        address.textContent = line.slice(0, 3);
        fragment.append(address, line.slice(3));
      }
    });
    ui.listing.append(fragment);
  }

  function describe(bytes) {
    const lines = bytesToText(bytes).split('\r\n');
    const pages = lines.filter((line) => line.startsWith('/')).length;
    const words = lines.length - 1 - pages;
    const plural = (count, word) => `${count} ${word}${count === 1 ? '' : 's'}`;
    return `${plural(pages, 'page')}, ${plural(words, 'word')}, ${plural(bytes.length, 'byte')}`;
  }

  function show(result) {
    const message = messageOf(result.console);
    listing = result.listing;
    ui.error.hidden = message === '';
    ui.error.textContent = message;
    ui.listing.hidden = listing === null;
    if (listing !== null) {
      renderListing(listing);
      ui.status.textContent = describe(listing);
    } else {
      ui.listing.replaceChildren();
      ui.status.textContent = 'no listing';
    }
    ui.download.disabled = listing === null;
    ui.download.textContent = `Download ${baseName()}.ovr`;
  }

  function assembleNow() {
    clearTimeout(pending);
    pending = 0;
    if (!assembler) return;
    show(assembler.assemble(sourceBytes()));
  }

  function assembleSoon() {
    clearTimeout(pending);
    pending = setTimeout(assembleNow, TYPING_PAUSE_MS);
  }

  // The listing's exact bytes, CR LF and all, whatever the page shows.
  function downloadListing() {
    if (listing === null) return;
    const url = URL.createObjectURL(new Blob([listing], { type: 'application/octet-stream' }));
    const link = document.createElement('a');
    link.href = url;
    link.download = `${baseName()}.ovr`;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }

  // Wiring

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
    if (example) load(example.name, textToBytes(example.source));
  });
  ui.open.addEventListener('click', () => ui.file.click());
  ui.file.addEventListener('change', () => {
    const file = ui.file.files[0];
    ui.file.value = '';
    if (file) openFile(file);
  });
  ui.assemble.addEventListener('click', assembleNow);
  ui.download.addEventListener('click', downloadListing);
  ui.name.addEventListener('input', () => {
    ui.download.textContent = `Download ${baseName()}.ovr`;
  });

  ui.source.addEventListener('input', () => {
    showLineNumbers();
    assembleSoon();
  });
  ui.source.addEventListener('scroll', showLineNumbers);
  document.addEventListener('keydown', (event) => {
    if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) {
      event.preventDefault();
      assembleNow();
    }
  });

  ui.editor.addEventListener('dragover', (event) => {
    event.preventDefault();
    ui.editor.classList.add('dropping');
  });
  ui.editor.addEventListener('dragleave', () => ui.editor.classList.remove('dropping'));
  ui.editor.addEventListener('drop', (event) => {
    event.preventDefault();
    ui.editor.classList.remove('dropping');
    const file = event.dataTransfer.files[0];
    if (file) openFile(file);
  });

  if (examples.length > 0) {
    load(examples[0].name, textToBytes(examples[0].source));
  } else {
    showLineNumbers();
  }

  loadAssembler(window.createOvrikModule).then(
    (ready) => {
      assembler = ready;
      assembleNow();
      document.body.dataset.ready = 'true';
    },
    (failure) => {
      ui.status.textContent = 'not available';
      ui.error.hidden = false;
      ui.error.textContent = `The assembler could not start in this browser: ${failure.message}`;
    },
  );
})();
