/* The machine written as plainly as it can be, in the style of C: one struct,
 * one loop, one switch. The benchmark times ovrik's machine against it, and
 * the machine fuzzer checks that both end every run in the same state. It is
 * kept apart from src/ on purpose: a second reading of the same rules. */
#pragma once

#include <stddef.h>

enum { REF_HALTED, REF_WAITING, REF_STEP_LIMIT };

enum { REF_OUTPUT_SIZE = 4096 };

struct ref_machine {
  unsigned char mem[256];
  unsigned char ac, pc, halted;
  unsigned long long steps;
  const unsigned char* keys[2]; /* the input of each port, and how far it is read */
  size_t key_count[2], key_head[2];
  unsigned char display_ready[2], display_clear_for[2];
  unsigned char out[2][REF_OUTPUT_SIZE]; /* the first bytes each display received */
  size_t out_count[2];
};

static inline void ref_reset(struct ref_machine* m) {
  for (int i = 0; i < 256; i++) m->mem[i] = 0;
  m->ac = m->pc = m->halted = 0;
  m->steps = 0;
  for (int p = 0; p < 2; p++) {
    m->keys[p] = NULL;
    m->key_count[p] = m->key_head[p] = 0;
    m->display_ready[p] = 1;
    m->display_clear_for[p] = 0;
    m->out_count[p] = 0;
  }
}

/* The registers, the halt and the step count live in locals for the whole
 * run, as a plain interpreter keeps them: a byte written to memory cannot
 * change them, so the compiler never reads them again. */
static inline int ref_run(struct ref_machine* m, unsigned long long limit) {
  unsigned pc = m->pc, ac = m->ac, halted = m->halted;
  unsigned long long steps = m->steps;
  int end = REF_HALTED;
  while (!halted) {
    if (steps >= limit) {
      end = REF_STEP_LIMIT;
      break;
    }
    unsigned a = pc, w = m->mem[a], e = 0;
    pc = (a + 1) & 255;
    if (w < 0300) { /* memory reference: a slot of the page of a, maybe through a word */
      e = (a & 0360) | (w & 017);
      if (w & 020) e = m->mem[e];
    }
    unsigned p = (w >> 3) & 1;
    switch (w >> 5) {
      case 0:
        ac &= m->mem[e];
        break;
      case 1:
        ac = (ac + m->mem[e]) & 255;
        break;
      case 2:
        m->mem[e] = (unsigned char)((m->mem[e] + 1) & 255);
        if (m->mem[e] == 0) pc = (pc + 1) & 255;
        break;
      case 3:
        m->mem[e] = (unsigned char)ac;
        ac = 0;
        break;
      case 4:
        m->mem[e] = (unsigned char)pc;
        pc = (e + 1) & 255;
        break;
      case 5:
        pc = e;
        break;
      case 6:
        if (!(w & 020)) { /* keyboard */
          int ready = m->key_head[p] < m->key_count[p];
          if (w & 1) {
            if (!ready) {
              pc = a; /* the skip waits: the step is not done */
              end = REF_WAITING;
              break;
            }
            pc = (pc + 1) & 255;
          }
          if (w & 2) ac = ready ? m->keys[p][m->key_head[p]] : 0;
          if ((w & 4) && ready) m->key_head[p]++;
        } else { /* display */
          if ((w & 1) && m->display_ready[p]) pc = (pc + 1) & 255;
          if ((w & 2) && m->out_count[p] < REF_OUTPUT_SIZE)
            m->out[p][m->out_count[p]++] = (unsigned char)ac;
          if (w & 4) {
            m->display_ready[p] = 0;
            m->display_clear_for[p] = 2;
          }
        }
        break;
      default:
        if (!(w & 020)) { /* group 1 */
          if (w & 010) ac = 0;
          if (w & 004) ac = ~ac & 255;
          if (w & 001) ac = (ac + 1) & 255;
          if (w & 002) ac = ((ac << 1) | (ac >> 7)) & 255;
        } else { /* group 2 */
          if (((w & 010) && ac == 0) || ((w & 004) && (ac & 0200))) pc = (pc + 1) & 255;
          if (w & 002) ac = ((ac >> 1) | (ac << 7)) & 255;
          if (w & 001) halted = 1;
        }
        break;
    }
    if (end == REF_WAITING) break;
    steps++;
    for (int d = 0; d < 2; d++) {
      if (m->display_clear_for[d] && --m->display_clear_for[d] == 0) m->display_ready[d] = 1;
    }
  }
  m->ac = (unsigned char)ac;
  m->pc = (unsigned char)pc;
  m->halted = (unsigned char)halted;
  m->steps = steps;
  return end;
}
