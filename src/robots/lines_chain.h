// The dynamic programme behind the lap plans and the robots' line choice:
// one line per row over a run of rows, consecutive lines compatible, the
// sum of line costs as small as possible.
#pragma once
#include <vector>

#include "robots/lines.h"

constexpr double CHAIN_BREAK = 100000000;  // an incompatible step

// What the compatibility test needs of a line's end, computed once.
struct ChainEnd {
    const RacingLine* line = nullptr;  // null: a stand-in for a row without lines
    bool has_circle = false;
    double cx = 0, cz = 0, r = 0;  // circle through the last three points
    double last_speed = 0;
};

struct ChainCand {
    int slot = -1;  // -1 for the stand-in
    double cost = 0;
    ChainEnd end;
};

// Rows in chain order, their candidates, and after chain_solve the cheapest
// cost from each candidate to the chain's end and the next candidate taken.
struct ChainProblem {
    std::vector<int> rows;
    std::vector<std::vector<ChainCand>> cands;
    std::vector<std::vector<double>> best;
    std::vector<std::vector<int>> next;
};

void chain_end_make(ChainEnd* e, const RacingLine* l);
bool chain_compatible(const ChainEnd& a, const RacingLine* b);
// Candidates of `count` rows from `row` on, costed for a plan type (0..3).
void chain_rows_make(ChainProblem* p, const LineTable* t, int row, int count, int type);
// Backward pass; `end`, when given, must follow the last row's line.
void chain_solve(ChainProblem* p, const ChainCand* end);
