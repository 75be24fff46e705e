// The source editor: CodeMirror with the language's colours, the assembler's
// messages on their lines, hover help for the mnemonics, breakpoints in a
// gutter and the machine's current line.
import { EditorState, StateEffect, StateField, RangeSet, Prec } from '@codemirror/state';
import {
  EditorView,
  Decoration,
  GutterMarker,
  MatchDecorator,
  ViewPlugin,
  drawSelection,
  gutter,
  highlightActiveLine,
  highlightActiveLineGutter,
  highlightSpecialChars,
  hoverTooltip,
  keymap,
  lineNumbers,
} from '@codemirror/view';
import {
  defaultKeymap,
  history,
  historyKeymap,
  insertNewline,
  isolateHistory,
} from '@codemirror/commands';
import { searchKeymap, highlightSelectionMatches } from '@codemirror/search';
import { HighlightStyle, StreamLanguage, syntaxHighlighting } from '@codemirror/language';
import { lintGutter, setDiagnostics } from '@codemirror/lint';
import { Tag } from '@lezer/highlight';
import { rewrittenMarks } from './rewritten.mjs';

// One tag per part of a line, each shown with a class of its own (tok-TYPE),
// which style.css colours for the light and the dark theme.
const TOKEN_TYPES = [
  'directive', 'comment', 'label', 'keyword', 'mnemonic', 'indirect',
  'operand', 'number', 'char', 'word', 'address', 'invalid',
];
const tags = Object.fromEntries(TOKEN_TYPES.map((type) => [type, Tag.define()]));

// Every line is coloured on its own: the tokens of the whole line are found at
// its start and handed out one by one.
const ovrikLanguage = (tokenizeLine) => StreamLanguage.define({
  name: 'ovrik',
  startState: () => ({ tokens: [], next: 0 }),
  copyState: (state) => ({ tokens: state.tokens, next: state.next }),
  token(stream, state) {
    if (stream.sol()) {
      state.tokens = tokenizeLine(stream.string);
      state.next = 0;
    }
    while (state.next < state.tokens.length && state.tokens[state.next].to <= stream.pos) state.next++;
    const token = state.tokens[state.next];
    if (!token) {
      stream.skipToEnd();
      return null;
    }
    if (token.from > stream.pos) {
      stream.pos = token.from;
      return null;
    }
    stream.pos = token.to;
    state.next++;
    return token.type;
  },
  tokenTable: tags,
});

const highlighting = HighlightStyle.define(
  TOKEN_TYPES.map((type) => ({ tag: tags[type], class: `tok-${type}` })),
);

// Tabs are shown, since a tab in a statement makes it invalid.
const tabMarks = new MatchDecorator({
  regexp: /\t+/g,
  decoration: Decoration.mark({ class: 'cm-tab', attributes: { title: 'tab (the assembler wants blanks)' } }),
});
const showTabs = ViewPlugin.fromClass(
  class {
    constructor(view) {
      this.decorations = tabMarks.createDeco(view);
    }
    update(update) {
      this.decorations = tabMarks.updateDeco(update, this.decorations);
    }
  },
  { decorations: (plugin) => plugin.decorations },
);

// Control characters but the tab, which is shown as above.
const SPECIAL_CHARS = /[\u0000-\u0008\u000b\u000c\u000e-\u001f\u007f-\u009f\u00ad\u200b\u200e\u200f\u2028\u2029\u202d\u202e\u2066\u2067\u2069\ufeff\ufff9-\ufffc]/g;

// Enter starts a new line at column 1, where a label belongs (a label with
// blanks before it is another label).
const newLineAtColumnOne = insertNewline;

// Breakpoints set in the gutter, kept on their lines as the text changes.
const toggleBreakpointEffect = StateEffect.define({ map: (value, mapping) => ({ ...value, pos: mapping.mapPos(value.pos) }) });
const setBreakpointLinesEffect = StateEffect.define();
class BreakpointMarker extends GutterMarker {
  toDOM() {
    const dot = document.createElement('span');
    dot.className = 'bp-dot';
    dot.textContent = '\u25cf';
    return dot;
  }
}
const breakpointMarker = new BreakpointMarker();
const breakpointField = StateField.define({
  create: () => RangeSet.empty,
  update(set, transaction) {
    set = set.map(transaction.changes);
    for (const effect of transaction.effects) {
      if (effect.is(toggleBreakpointEffect)) {
        const { pos, on } = effect.value;
        let has = false;
        set.between(pos, pos, () => {
          has = true;
        });
        if (on && !has) set = set.update({ add: [breakpointMarker.range(pos)] });
        if (!on && has) set = set.update({ filter: (from) => from !== pos });
      } else if (effect.is(setBreakpointLinesEffect)) {
        const doc = transaction.state.doc;
        const ranges = [...effect.value]
          .filter((line) => line >= 1 && line <= doc.lines)
          .sort((a, b) => a - b)
          .map((line) => breakpointMarker.range(doc.line(line).from));
        set = RangeSet.of(ranges);
      }
    }
    return set;
  },
});

// The line of the machine's current word, 0 for none.
const setCurrentLineEffect = StateEffect.define();
const currentLine = StateField.define({
  create: () => 0,
  update(value, transaction) {
    for (const effect of transaction.effects) if (effect.is(setCurrentLineEffect)) value = effect.value;
    return value;
  },
  provide: (field) =>
    EditorView.decorations.from(field, (line) => (view) => {
      const marks = [];
      const doc = view.state.doc;
      if (line >= 1 && line <= doc.lines) {
        marks.push(Decoration.line({ class: 'cm-current-word' }).range(doc.line(line).from));
      }
      return Decoration.set(marks, true);
    }),
});

// The mnemonic under the pointer, with what the guide's tables say of it.
function mnemonicHelp(tokenizeLine, describe) {
  return hoverTooltip((view, position) => {
    const line = view.state.doc.lineAt(position);
    const offset = position - line.from;
    const token = tokenizeLine(line.text).find(
      (candidate) => candidate.type === 'mnemonic' && candidate.from <= offset && offset <= candidate.to,
    );
    if (!token) return null;
    const name = line.text.slice(token.from, token.to);
    const help = describe(name);
    if (!help) return null;
    return {
      pos: line.from + token.from,
      end: line.from + token.to,
      above: true,
      create() {
        const dom = document.createElement('div');
        dom.className = 'mnemonic-help';
        dom.append(help);
        return { dom };
      },
    };
  });
}

// Creates the editor in `parent`. Options: doc (the text), syntax (from
// sourceSyntax), describeMnemonic (name -> DOM node or null), onChange(text), onCursorLine(line),
// onBreakpointLines(Set of lines), label (the accessible name).
export function createEditor(parent, options) {
  let reportedLine = 0;
  let shownDiagnostics = '[]';
  const rewritten = rewrittenMarks();
  const breakpointGutter = gutter({
    class: 'cm-breakpoint-gutter',
    markers: (view) => view.state.field(breakpointField),
    initialSpacer: () => breakpointMarker,
    // Every line has its place, which shows a faint dot under the pointer.
    renderEmptyElements: true,
    domEventHandlers: {
      mousedown(view, line) {
        toggleBreakpointAt(view, line.from);
        return true;
      },
    },
  });

  function toggleBreakpointAt(view, pos) {
    let has = false;
    view.state.field(breakpointField).between(pos, pos, () => {
      has = true;
    });
    view.dispatch({ effects: toggleBreakpointEffect.of({ pos, on: !has }) });
  }

  // No text is made here: the page asks for it when it assembles, which for
  // a long source is not at every keystroke.
  const report = EditorView.updateListener.of((update) => {
    if (update.docChanged) options.onChange();
    const before = update.startState.field(breakpointField);
    const after = update.state.field(breakpointField);
    if (before !== after || update.docChanged) options.onBreakpointLines(breakpointLines(update.state));
    const line = update.state.doc.lineAt(update.state.selection.main.head).number;
    if (line !== reportedLine || update.docChanged) {
      reportedLine = line;
      options.onCursorLine(line);
    }
  });

  const view = new EditorView({
    parent,
    state: EditorState.create({
      doc: options.doc,
      extensions: [
        breakpointField,
        currentLine,
        breakpointGutter,
        lintGutter(),
        rewritten.extension,
        lineNumbers(),
        highlightActiveLineGutter(),
        highlightSpecialChars({ specialChars: SPECIAL_CHARS }),
        showTabs,
        history(),
        drawSelection(),
        highlightActiveLine(),
        highlightSelectionMatches(),
        ovrikLanguage(options.syntax.tokenizeLine),
        syntaxHighlighting(highlighting),
        mnemonicHelp(options.syntax.tokenizeLine, options.describeMnemonic),
        Prec.high(
          keymap.of([
            { key: 'Enter', run: newLineAtColumnOne },
            {
              key: 'F9',
              run: (target) => {
                toggleBreakpointAt(target, target.state.doc.lineAt(target.state.selection.main.head).from);
                return true;
              },
            },
          ]),
        ),
        keymap.of([...defaultKeymap, ...historyKeymap, ...searchKeymap]),
        EditorView.contentAttributes.of({
          'aria-label': options.label,
          spellcheck: 'false',
          autocorrect: 'off',
          autocapitalize: 'off',
        }),
        report,
        largestText(options),
      ],
    }),
  });

  function breakpointLines(state) {
    const lines = new Set();
    state.field(breakpointField).between(0, state.doc.length, (from) => {
      lines.add(state.doc.lineAt(from).number);
    });
    return lines;
  }

  return {
    view,
    text: () => view.state.doc.toString(),
    length: () => view.state.doc.length,
    // Replaces the whole text as one change, which Undo takes back.
    replaceText(text) {
      view.dispatch({
        changes: { from: 0, to: view.state.doc.length, insert: text },
        selection: { anchor: 0 },
        effects: setBreakpointLinesEffect.of(new Set()),
        annotations: isolateHistory.of('full'),
        scrollIntoView: true,
      });
    },
    // Diagnostics: [{line, severity: 'error'|'warning', message}].
    setDiagnostics(diagnostics) {
      // Unchanged messages stay where they are: the editor moves them with the text.
      const key = JSON.stringify(diagnostics);
      if (key === shownDiagnostics) return;
      shownDiagnostics = key;
      const doc = view.state.doc;
      const marks = diagnostics
        .filter((d) => d.line >= 1 && d.line <= doc.lines)
        .map((d) => {
          const line = doc.line(d.line);
          const start = line.text.length - line.text.trimStart().length;
          const end = line.text.replace(/[\s\r]+$/, '').length;
          return {
            from: line.from + Math.min(start, end),
            to: line.from + Math.max(start, end),
            severity: d.severity,
            message: d.message,
          };
        });
      view.dispatch(setDiagnostics(view.state, marks));
    },
    // Moves the cursor to the start of a line and shows it.
    goToLine(number, focus = false) {
      const doc = view.state.doc;
      if (number < 1 || number > doc.lines) return;
      const line = doc.line(number);
      view.dispatch({ selection: { anchor: line.from }, effects: EditorView.scrollIntoView(line.from, { y: 'center' }) });
      if (focus) view.focus();
    },
    cursorLine: () => view.state.doc.lineAt(view.state.selection.main.head).number,
    markCurrentLine(line) {
      if (view.state.field(currentLine) === line) return;
      view.dispatch({ effects: setCurrentLineEffect.of(line) });
    },
    toggleBreakpointLine(number) {
      const doc = view.state.doc;
      if (number < 1 || number > doc.lines) return;
      toggleBreakpointAt(view, doc.line(number).from);
    },
    breakpointLines: () => breakpointLines(view.state),
    // Map of a line number to why the assembler rewrote its statement.
    setRewrittenLines: (lines) => rewritten.set(view, lines),
    focus: () => view.focus(),
  };
}

// A change that would make the text longer than options.largest characters
// is not made (typing, a paste, a drop alike); options.onTooLarge(length)
// hears of it after the editor is done with the change.
function largestText(options) {
  return EditorState.changeFilter.of((transaction) => {
    const { largest, onTooLarge } = options;
    if (!largest || !transaction.docChanged) return true;
    const length = transaction.newDoc.length;
    if (length <= largest || length <= transaction.startState.doc.length) return true;
    if (onTooLarge) setTimeout(() => onTooLarge(length));
    return false;
  });
}
