#pragma once
// The threads of the pixel passes: a pool of helper threads, started on first use and kept for
// the rest of the process, that takes pieces of a pass beside the calling thread.
//
// Passes whose rows do not depend on each other split their rows between the caller and the
// helpers; the pixels are the same at every thread count, only the time differs. A helper that
// the system does not get round to running costs nothing: the caller takes every piece that no
// one else has taken, and a piece offered to a helper that has not picked it up yet is withdrawn.
#include <cstdint>
#include <functional>

// The number of threads a pass may use, the caller included: by default the machine's processor
// count. SetPixelThreads sets it for the whole process, from 1 (every pass on the calling
// thread) up to kMaxPixelThreads; more than the machine has is allowed (the pieces are then
// shared out all the same, which the tests use to split passes as a larger machine would).
constexpr int32_t kMaxPixelThreads = 64;
int32_t PixelThreads();
void SetPixelThreads(int32_t threads);

// Runs work(begin, end) over the rows 0..count-1, in pieces shared with whichever helpers are
// free, when PixelThreads() is 2 or more and count x bytesPerRow is large enough to pay for the
// hand-over; otherwise in one call on this thread. Returns when all rows are done; an exception
// from any piece is passed on (the rows after it may then be left undone). `work` must touch
// only the rows of its range (and what it only reads). A pass inside a pass, or a pass of
// another thread while the helpers are taken, uses the helpers that are free, or none.
void ForEachRowRange(int32_t count, int64_t bytesPerRow,
                     const std::function<void(int32_t begin, int32_t end)>& work);

// Runs `job` on a helper thread while `own` runs on this one, for two stages of one picture that
// hand rows on to each other; when no helper is free or PixelThreads() is 1, `own` runs first
// and `job` after it, so `job` must cope with finding all of own's work done (and must not wait
// for more once own has ended). Returns when both are done; an exception from either is passed
// on, own's first.
void RunBeside(const std::function<void()>& job, const std::function<void()>& own);
