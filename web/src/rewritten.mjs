// A quiet mark in the editor's gutter on every source line whose instruction
// the assembler rewrote ("JMS SUB" into "JMS I SUBA"); pointing at it shows
// why, in the core's own sentence.
import { RangeSet, StateEffect, StateField } from '@codemirror/state';
import { GutterMarker, gutter } from '@codemirror/view';

class RewrittenMarker extends GutterMarker {
  constructor(why) {
    super();
    this.why = why;
  }

  eq(other) {
    return other.why === this.why;
  }

  toDOM() {
    const mark = document.createElement('span');
    mark.className = 'cm-rewritten-mark';
    mark.textContent = '\u21aa';
    mark.title = this.why;
    return mark;
  }
}

const setRewrittenLinesEffect = StateEffect.define();

// The marks stay on their lines as the text changes, until the next assembly
// sets them afresh.
const rewrittenField = StateField.define({
  create: () => RangeSet.empty,
  update(set, transaction) {
    set = set.map(transaction.changes);
    for (const effect of transaction.effects) {
      if (!effect.is(setRewrittenLinesEffect)) continue;
      const doc = transaction.state.doc;
      set = RangeSet.of(
        [...effect.value]
          .filter(([line]) => line >= 1 && line <= doc.lines)
          .sort(([a], [b]) => a - b)
          .map(([line, why]) => new RewrittenMarker(why).range(doc.line(line).from)),
      );
    }
    return set;
  },
});

// The extension for one editor, and how to set its marks: lines is a Map of
// a line number to the sentence that says why its statement changed.
export function rewrittenMarks() {
  let shown = '[]';
  return {
    extension: [
      rewrittenField,
      gutter({
        class: 'cm-rewritten-gutter',
        markers: (view) => view.state.field(rewrittenField),
        initialSpacer: () => new RewrittenMarker(''),
      }),
    ],
    set(view, lines) {
      const key = JSON.stringify([...lines]);
      if (key === shown) return;
      shown = key;
      view.dispatch({ effects: setRewrittenLinesEffect.of(lines) });
    },
  };
}
