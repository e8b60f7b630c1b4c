// A library without an ordinal table that links one that has a table: its
// ordinals must not resolve to the other library's.
extern "C" int ProbeAnswer();
extern "C" __attribute__((visibility("default"))) int ProbeUserAnswer() { return ProbeAnswer() + 1; }
