// Running the assembled program: Run, Step, Step back, Stop and Reset, at a
// chosen speed, in slices short enough that the page always answers. The
// machine itself is the core's; this only says when to run it and shows it.
import { characterOf, signedValue, wordNotation } from './views.mjs';

// The speed control's stops, in steps a second; the last one is full speed.
export const SPEEDS = [1, 2, 5, 10, 20, 50, 100, 1000, 10000, 100000, 1000000, Infinity];
// How long one slice of a run at full speed may take, in milliseconds: the
// rest of each frame is the page's.
const SLICE_MS = 10;

function speedName(speed) {
  if (speed === Infinity) return 'full speed';
  return `${speed.toLocaleString('en')} step${speed === 1 ? '' : 's'}/s`;
}

// Display bytes as text: line feeds break lines, a CR before a line feed is
// dropped, other control characters show as their symbols.
export function displayText(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i++) {
    const byte = bytes[i];
    if (byte === 10) text += '\n';
    else if (byte === 13) text += bytes[i + 1] === 10 ? '' : '\n';
    else if (byte === 9) text += '\t';
    else if (byte < 32) text += String.fromCharCode(0x2400 + byte);
    else if (byte === 127) text += '\u2421';
    else text += String.fromCharCode(byte);
  }
  return text;
}

export class Runner {
  // ui: the buttons, the speed control, the register outputs, the state,
  // the keyboards and displays. hooks: machine() -> the core's machine;
  // program() -> the current assembly or null; breakpoints() -> Set of
  // addresses; show({memory, current}) when the machine changed.
  constructor(ui, hooks) {
    this.ui = ui;
    this.hooks = hooks;
    this.state = 'no program';
    this.loaded = false;
    this.running = false;
    this.armed = false; // a run waits for a key and goes on when one comes
    this.leaveBreakpoint = false;
    this.frame = 0;
    this.owed = 0; // steps due at a slow speed, as a fraction
    this.lastTick = 0;
    this.shownDisplay = [-1, -1];
    this.rate = 2_000_000; // steps a millisecond-slice can take, learnt as it runs
    this.refusal = '';
    this.wire();
    this.setSpeed(SPEEDS.length - 1);
  }

  wire() {
    const { ui } = this;
    ui.run.addEventListener('click', () => this.run());
    ui.step.addEventListener('click', () => this.step());
    ui.back.addEventListener('click', () => this.stepBack());
    ui.stop.addEventListener('click', () => this.stop());
    ui.reset.addEventListener('click', () => this.reset());
    ui.speed.addEventListener('input', () => this.setSpeed(Number(ui.speed.value)));
    ui.limit.addEventListener('change', () => this.showState());
    ui.keyboards.forEach((box, port) => this.wireKeyboard(box, port));
  }

  // A keyboard: every character typed or pasted is queued as one byte (a
  // character beyond one byte as its UTF-8 bytes); Enter gives CR, Backspace
  // takes back the last key the program has not read yet.
  wireKeyboard(box, port) {
    const queue = (bytes) => {
      if (!this.ensureLoaded()) return;
      for (const byte of bytes) this.hooks.machine().key(port, byte);
      this.afterKey();
    };
    box.addEventListener('beforeinput', (event) => {
      event.preventDefault();
      if (event.inputType === 'insertText' && event.data) queue(this.hooks.textToBytes(event.data));
      else if (event.inputType === 'insertLineBreak' || event.inputType === 'insertParagraph') queue([13]);
      else if (event.inputType === 'insertFromPaste' && event.dataTransfer) {
        queue(this.hooks.textToBytes(event.dataTransfer.getData('text/plain')));
      } else if (event.inputType === 'deleteContentBackward' && this.loaded) {
        this.hooks.machine().unkey(port);
        this.refresh();
      }
    });
    box.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') {
        event.preventDefault();
        queue([13]);
      }
    });
    box.addEventListener('paste', (event) => {
      event.preventDefault();
      queue(this.hooks.textToBytes(event.clipboardData.getData('text/plain')));
    });
  }

  afterKey() {
    if (this.armed && !this.running) this.startLoop();
    else this.refresh();
  }

  setSpeed(index) {
    this.speed = SPEEDS[index];
    this.ui.speed.value = String(index);
    this.ui.speed.setAttribute('aria-valuetext', speedName(this.speed));
    this.ui.speedText.textContent = speedName(this.speed);
    this.owed = 0;
  }

  // A new assembly: whatever ran stops, and the new program is loaded when it
  // can run.
  programChanged() {
    this.halt('stopped');
    this.loaded = false;
    this.refusal = '';
    this.shownDisplay = [-1, -1];
    const program = this.hooks.program();
    if (program) this.ensureLoaded();
    this.state = program ? (this.loaded ? 'ready' : 'cannot run') : 'no program';
    this.refresh();
  }

  ensureLoaded() {
    if (this.loaded) return true;
    if (!this.hooks.program()) return false;
    const answer = this.hooks.machine().load();
    this.loaded = answer.loaded;
    this.refusal = answer.loaded ? '' : answer.refused.message;
    if (this.loaded) {
      this.state = 'ready';
      this.shownDisplay = [-1, -1];
    }
    return this.loaded;
  }

  limit() {
    const value = Number(this.ui.limit.value);
    // No limit is a limit no run reaches: 2^53 steps.
    return this.ui.limit.value !== '' && Number.isFinite(value) && value >= 0
      ? Math.floor(value)
      : Number.MAX_SAFE_INTEGER;
  }

  run() {
    if (this.running || !this.ensureLoaded()) return;
    // Run after a halt runs the program again from its start.
    if (this.hooks.machine().status().halted) {
      this.loaded = false;
      if (!this.ensureLoaded()) return;
    }
    this.leaveBreakpoint = true;
    this.armed = true;
    this.startLoop();
  }

  startLoop() {
    this.running = true;
    this.state = 'running';
    this.owed = 0;
    this.lastTick = performance.now();
    this.refresh();
    this.frame = requestAnimationFrame((time) => this.tick(time));
  }

  // One frame of a run: at full speed as many steps as fit in SLICE_MS, else
  // the steps the speed owes since the last frame.
  tick(time) {
    if (!this.running) return;
    const machine = this.hooks.machine();
    let end = 'step limit';
    const until = this.limit();
    if (this.speed === Infinity) {
      const started = performance.now();
      let chunk = Math.max(1000, Math.floor(this.rate * 2));
      for (;;) {
        const before = performance.now();
        const stepsBefore = machine.status().steps;
        end = machine.run(chunk, until, this.leaveBreakpoint);
        this.leaveBreakpoint = false;
        const after = performance.now();
        const done = machine.status().steps - stepsBefore;
        if (after - before > 0.2 && done > 0) this.rate = done / (after - before);
        chunk = Math.max(1000, Math.floor(this.rate * 2));
        if (end !== 'step limit' || machine.status().steps >= until || after - started >= SLICE_MS) break;
      }
    } else {
      this.owed += ((time - this.lastTick) / 1000) * this.speed;
      this.owed = Math.min(this.owed, this.speed); // after a pause, never more than a second's worth
      const due = Math.floor(this.owed);
      if (due > 0) {
        this.owed -= due;
        end = machine.run(due, until, this.leaveBreakpoint);
        this.leaveBreakpoint = false;
      }
    }
    this.lastTick = time;
    if (end === 'step limit' && machine.status().steps >= until) return this.halt('step limit');
    if (end === 'halted') return this.halt('halted');
    if (end === 'breakpoint') return this.halt('stopped', 'at a breakpoint');
    if (end === 'waiting for input') {
      // The run goes on by itself when a key comes.
      this.running = false;
      this.state = 'waiting for input';
      this.refresh();
      return;
    }
    this.refresh();
    this.frame = requestAnimationFrame((next) => this.tick(next));
  }

  // Ends a run (or the wait for a key) with the given state.
  halt(state, note = '') {
    cancelAnimationFrame(this.frame);
    this.running = false;
    this.armed = false;
    this.state = state;
    this.note = note;
    this.refresh();
  }

  step() {
    if (this.running) this.halt('stopped');
    if (!this.ensureLoaded()) return;
    this.armed = false;
    const end = this.hooks.machine().step();
    this.state = { halted: 'halted', 'waiting for input': 'waiting for input' }[end] ?? 'stopped';
    this.note = '';
    this.refresh();
  }

  stepBack() {
    if (this.running) this.halt('stopped');
    if (!this.loaded) return;
    this.armed = false;
    if (this.hooks.machine().stepBack()) {
      this.state = 'stopped';
      this.note = '';
    }
    this.refresh();
  }

  stop() {
    if (!this.running && !this.armed) return;
    this.halt('stopped');
  }

  reset() {
    this.halt('ready');
    this.loaded = false;
    this.ensureLoaded();
    if (!this.loaded) this.state = this.hooks.program() ? 'cannot run' : 'no program';
    this.refresh();
  }

  // Shows the machine as it is now in the registers, terminals and views.
  refresh() {
    const { ui } = this;
    const machine = this.loaded ? this.hooks.machine() : null;
    const status = machine ? machine.status() : null;
    this.haltedAt = status && status.halted ? status.haltedAt : -1;
    const ac = status ? status.ac : null;
    ui.ac.word.textContent = ac === null ? '---' : wordNotation(ac);
    // AC in signed decimal too, where it differs; PC is an address, never a character.
    const signed = ac === null ? 0 : signedValue(ac);
    ui.ac.decimal.textContent = ac === null ? '' : signed < 0 ? `${ac} or ${signed}` : String(ac);
    ui.ac.character.textContent = ac === null ? '' : characterOf(ac);
    ui.pc.word.textContent = status ? wordNotation(status.pc) : '---';
    ui.pc.place.textContent = status ? `page ${status.pc >> 4}, slot ${status.pc & 15}` : '';
    ui.steps.textContent = status ? status.steps.toLocaleString('en') : '0';
    this.showState();
    for (let port = 0; port < 2; port++) {
      const total = status ? status.displayTotal[port] : 0;
      if (total !== this.shownDisplay[port]) {
        this.shownDisplay[port] = total;
        ui.displays[port].textContent = machine ? displayText(machine.display(port).slice(-16384)) : '';
        this.scrollDisplay(port);
      }
      const waiting = status ? status.keysWaiting[port] : 0;
      const queued = machine && waiting > 0 ? this.hooks.bytesToText(machine.keys(port)) : '';
      if (ui.keyboards[port].value !== queued) ui.keyboards[port].value = queued;
    }
    const canRun = Boolean(this.hooks.program()) && (this.loaded || !this.refusal);
    ui.run.disabled = !canRun || this.running;
    ui.step.disabled = !canRun || (status ? status.halted : false);
    ui.back.disabled = !status || status.stepsBack === 0;
    ui.stop.disabled = !this.running && !this.armed;
    ui.reset.disabled = !this.hooks.program();
    // After a halt PC is past the HLT: the HLT word is marked, not the word after it.
    const halted = this.haltedAt;
    this.hooks.show({
      memory: machine ? machine.memory() : null,
      current: status && this.state !== 'no program' && halted < 0 ? status.pc : -1,
      halted,
    });
  }

  // The newest bytes in view, once the page is laid out anyway: asking for
  // the height here would lay out the whole page at once, on every keystroke.
  scrollDisplay(port) {
    const display = this.ui.displays[port];
    if (display.textContent === '' || this.scrolling?.has(port)) return;
    this.scrolling ??= new Set();
    this.scrolling.add(port);
    requestAnimationFrame(() => {
      this.scrolling.delete(port);
      display.scrollTop = display.scrollHeight;
    });
  }

  showState() {
    const { ui } = this;
    if (ui.state.textContent !== this.state) {
      ui.state.textContent = this.state;
      ui.state.dataset.state = this.state;
    }
    let note = '';
    if (this.state === 'cannot run') note = this.refusal;
    else if (this.state === 'stopped' && this.note) note = this.note;
    else if (this.state === 'waiting for input') note = 'type a key into a keyboard';
    else if (this.state === 'step limit') note = `after ${this.limit().toLocaleString('en')} steps`;
    else if (this.state === 'halted' && this.haltedAt >= 0) note = `at ${wordNotation(this.haltedAt)}`;
    ui.note.textContent = note;
  }
}
