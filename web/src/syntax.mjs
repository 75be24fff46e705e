// The parts of a source line, for colouring it: the editor and the guide's
// examples both use this. It only colours; what a line means is the
// assembler's to say, and its messages mark the lines it finds wrong.

// The colouring for the instruction set the core gives: mnemonics as
// [{ name, group }], group one of memory reference, input output, operate.
// Gives the mnemonics' names and tokenizeLine(line).
export function sourceSyntax(mnemonics) {
  const groups = new Map(mnemonics.map(({ name, group }) => [name, group]));
  return {
    mnemonics: [...groups.keys()],
    tokenizeLine: (line) => tokenizeLine(line, groups),
  };
}

// A page directive's number, read as the assembler reads it: leading blanks
// and tabs, a sign, then decimal, $ hexadecimal or % binary digits and
// nothing else, kept to 16 bits. Null when the text names no page.
export function pageNamedBy(afterSlash) {
  const text = afterSlash.slice(0, 47);
  const match = /^[ \t]*([+-]?)(?:([0-9]+)|\$([0-9A-Fa-f]+)|%([01]+))$/.exec(text);
  if (!match) return null;
  const [, sign, decimal, hex, binary] = match;
  const digits = decimal ?? hex ?? binary;
  const base = decimal ? 10 : hex ? 16 : 2;
  const limit = base === 10 ? (sign === '-' ? 2147483648n : 2147483647n) : 4294967295n;
  let number = 0n;
  for (const digit of digits) {
    number = number * BigInt(base) + BigInt(parseInt(digit, 16));
    if (number > limit) return null;
  }
  if (sign === '-') number = -number;
  const page = Number(BigInt.asIntN(16, number));
  return page >= 0 && page < 16 ? page : null;
}

// The statement's literal forms, as the guide lists them.
function literalType(text) {
  if (text.startsWith("'")) return 'char';
  if (text.startsWith('#')) return 'word';
  if (text.startsWith('A(')) return 'address';
  return 'number';
}

export function isConstantLiteral(text) {
  return /^[0-9+\-#%']/.test(text) || text.startsWith('A(');
}

// Splits text (starting at offset `at` of the line) into words separated by
// blanks; only the blank character separates, as in the assembler.
function words(text, at) {
  const found = [];
  const pattern = /[^ ]+/g;
  let match;
  while ((match = pattern.exec(text)) !== null) {
    found.push({ from: at + match.index, to: at + match.index + match[0].length, text: match[0] });
  }
  return found;
}

function statementTokens(text, at, groups) {
  const parts = words(text, at);
  if (parts.length === 0) return [];
  const whole = { from: parts[0].from, to: parts[parts.length - 1].to };
  const first = parts[0];
  const token = (part, type) => ({ from: part.from, to: part.to, type });

  if (first.text === 'RTNADR' && parts.length === 1) return [token(first, 'keyword')];
  if (first.text === 'VAR' && parts.length === 1) return [token(first, 'keyword')];
  if (first.text.startsWith('VAR=')) {
    const value = text.slice(first.from - at + 4).trim();
    const tokens = [{ from: first.from, to: first.from + 4, type: 'keyword' }];
    if (whole.to > first.from + 4) {
      tokens.push({ from: first.from + 4, to: whole.to, type: isConstantLiteral(value) ? literalType(value) : 'operand' });
    }
    return tokens;
  }
  const block = /^(ARRAY|TABLE)\[/.exec(first.text);
  if (block) {
    const open = first.from + block[0].length;
    const close = text.lastIndexOf(']') + at;
    const tokens = [{ from: first.from, to: open, type: 'keyword' }];
    if (close >= open) {
      if (close > open) tokens.push({ from: open, to: close, type: 'number' });
      tokens.push({ from: close, to: close + 1, type: 'keyword' });
    } else if (whole.to > open) {
      tokens.push({ from: open, to: whole.to, type: 'number' });
    }
    return tokens;
  }
  if (isConstantLiteral(first.text)) return [{ ...whole, type: literalType(first.text) }];

  const group = groups.get(first.text);
  const tokens = [token(first, group ? 'mnemonic' : 'invalid')];
  let rest = parts.slice(1);
  if (group === 'memory reference' && rest.length > 1 && rest[0].text === 'I') {
    tokens.push(token(rest[0], 'indirect'));
    rest = rest.slice(1);
  }
  if (rest.length > 0) {
    const type = group === 'input output' ? 'number' : 'operand';
    tokens.push({ from: rest[0].from, to: rest[rest.length - 1].to, type });
  }
  return tokens;
}

// The tokens of one line: {from, to, type} in order, with type one of
// directive, comment, label, keyword, mnemonic, indirect, operand, number,
// char, word, address, invalid.
function tokenizeLine(line, groups) {
  const tokens = [];
  let code = line;
  const slash = line.indexOf('/');
  if (slash === 0 && pageNamedBy(line.slice(1)) !== null) {
    return [{ from: 0, to: line.length, type: 'directive' }];
  }
  if (slash >= 0) code = line.slice(0, slash);
  let at = 0;
  const comma = code.indexOf(',');
  if (comma >= 0) {
    tokens.push({ from: 0, to: comma + 1, type: 'label' });
    at = comma + 1;
  }
  tokens.push(...statementTokens(code.slice(at), at, groups));
  if (slash >= 0) tokens.push({ from: slash, to: line.length, type: 'comment' });
  return tokens;
}
