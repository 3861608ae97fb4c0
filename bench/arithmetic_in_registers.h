#ifndef arithmetic_in_registers_h_
#define arithmetic_in_registers_h_
// Arithmetic that touches no memory: the most a machine's threads can gain
// on work that shares nothing, for a kernel's speed-up to be held against
// (on a shared host, cores that are busy together may run slower).
#include <cstddef>

// `steps` rounds of 16 independent multiply-then-add recursions on vectors
// of doubles, as wide as the best target Highway may use here; returns a
// value of the results, so that none can be left out.
double arithmetic_in_registers(std::size_t steps);

#endif
