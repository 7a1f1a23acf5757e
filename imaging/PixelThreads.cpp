#include "PixelThreads.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// The rows of one pass, cut into pieces that the caller and the helpers take in turn. Whoever is
// free takes the next piece, so a helper that the system does not get round to running (the
// processors busy with another program) costs nothing: the others take its share.
struct TRowJob {
  const std::function<void(int32_t, int32_t)>* Work = nullptr;
  int32_t Count = 0;
  int32_t Piece = 1;
  std::atomic<int32_t> Next{0};  // the first row not yet taken

  // Takes pieces until none is left. An error stops every side from taking more.
  void TakePieces() {
    for (;;) {
      const int32_t begin = Next.fetch_add(Piece, std::memory_order_relaxed);
      if (begin >= Count) return;
      try {
        (*Work)(begin, std::min(begin + Piece, Count));
      } catch (...) {
        Next.store(Count, std::memory_order_relaxed);
        throw;
      }
    }
  }
};

// One helper thread. A caller claims it, offers it a job, does its own share and then collects:
// a job the helper has not picked up by then is withdrawn, one it has is waited for. It is never
// destroyed: passes may run until the very end of the process, and the thread ends with it.
class THelper {
 public:
  // Throws std::system_error when no thread can be started.
  THelper() {
    std::thread([this] { Loop(); }).detach();
  }

  bool TryClaim() {
    bool idle = false;
    return !Claimed.load(std::memory_order_relaxed) &&
           Claimed.compare_exchange_strong(idle, true, std::memory_order_acquire);
  }

  void Offer(const std::function<void()>& job) {
    {
      std::lock_guard<std::mutex> lock(Mutex);
      Pending = &job;
      Started = false;
      Done = false;
      Error = nullptr;
    }
    Wake.notify_one();
  }

  // True when the helper ran the job (what it threw in `error`), false when the job was withdrawn
  // before it started. Either way the helper no longer touches the job, and is free again.
  bool Collect(std::exception_ptr& error) {
    bool ran = false;
    {
      std::unique_lock<std::mutex> lock(Mutex);
      if (!Started) {
        Pending = nullptr;
      } else {
        Finished.wait(lock, [this] { return Done; });
        error = Error;
        ran = true;
      }
    }
    Claimed.store(false, std::memory_order_release);
    return ran;
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(Mutex);
    for (;;) {
      Wake.wait(lock, [this] { return Pending != nullptr; });
      const std::function<void()>* job = Pending;
      Pending = nullptr;
      Started = true;
      lock.unlock();
      std::exception_ptr error;
      try {
        (*job)();
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      Error = error;
      Done = true;
      Finished.notify_one();
    }
  }

  std::atomic<bool> Claimed{false};  // by the caller whose job the helper may run
  std::mutex Mutex;
  std::condition_variable Wake, Finished;
  const std::function<void()>* Pending = nullptr;  // offered, not yet picked up
  bool Started = false;                            // the helper picked the job up
  bool Done = false;                               // and has let go of it
  std::exception_ptr Error;                        // what the job threw on the helper
};

// The helpers, started as the thread count first asks for them and kept. A pass takes the ones
// that are free; a pass that finds them all taken (a pass inside a pass, or one of another
// thread) makes do with fewer, down to none, and never waits for one.
class TPool {
 public:
  static TPool& Get() {
    static TPool* pool = new TPool();
    return *pool;
  }

  // Claims up to `wanted` free helpers into `out`, starting helpers until there are `total`;
  // the number claimed.
  int32_t Claim(int32_t wanted, int32_t total, THelper** out) {
    if (Count.load(std::memory_order_acquire) < total) Grow(total);
    const int32_t count = std::min(Count.load(std::memory_order_acquire), total);
    int32_t got = 0;
    for (int32_t i = 0; i < count && got < wanted; ++i)
      if (Helpers[i]->TryClaim()) out[got++] = Helpers[i];
    return got;
  }

 private:
  void Grow(int32_t total) {
    std::lock_guard<std::mutex> lock(Mutex);
    int32_t count = Count.load(std::memory_order_relaxed);
    try {
      for (; count < total; ++count) {
        Helpers[count] = new THelper();
        Count.store(count + 1, std::memory_order_release);
      }
    } catch (const std::system_error&) {
      // No more threads to be had: the passes share out their rows among those there are.
    }
  }

  std::mutex Mutex;  // held while helpers are added
  std::atomic<int32_t> Count{0};
  // Each entry is written once, before Count is raised past it.
  THelper* Helpers[kMaxPixelThreads - 1] = {};
};

int32_t ClampThreads(int64_t threads) {
  return int32_t(std::clamp<int64_t>(threads, 1, kMaxPixelThreads));
}

std::atomic<int32_t>& PixelThreadsSetting() {
  static std::atomic<int32_t> threads{ClampThreads(std::thread::hardware_concurrency())};
  return threads;
}

// Below this many bytes a pass is over before a helper could take half of it; each thread of a
// pass is to get at least half of it.
constexpr int64_t kSmallestSplit = int64_t(256) << 10;

}  // namespace

int32_t PixelThreads() { return PixelThreadsSetting().load(std::memory_order_relaxed); }

void SetPixelThreads(int32_t threads) {
  PixelThreadsSetting().store(ClampThreads(threads), std::memory_order_relaxed);
}

void ForEachRowRange(int32_t count, int64_t bytesPerRow,
                     const std::function<void(int32_t, int32_t)>& work) {
  if (count <= 0) return;
  const int32_t threads = PixelThreads();
  const int64_t bytes = int64_t(count) * bytesPerRow;
  if (threads < 2 || count < 2 || bytes < kSmallestSplit) {
    work(0, count);
    return;
  }
  const int32_t helpers =
      int32_t(std::min<int64_t>({threads - 1, count - 1, bytes / (kSmallestSplit / 2) - 1}));
  THelper* claimed[kMaxPixelThreads];
  const int32_t got = TPool::Get().Claim(helpers, threads - 1, claimed);
  if (got == 0) {
    work(0, count);
    return;
  }
  // Four pieces a thread and at least sixteen: small enough that the threads and a late helper
  // share the rest evenly, large enough that taking them costs nothing.
  TRowJob job;
  job.Work = &work;
  job.Count = count;
  const int32_t pieces = std::max<int32_t>(16, 4 * (got + 1));
  job.Piece = std::max<int32_t>(1, (count + pieces - 1) / pieces);
  const std::function<void()> take = [&job] { job.TakePieces(); };
  for (int32_t i = 0; i < got; ++i) claimed[i]->Offer(take);
  std::exception_ptr ownError, jobError;
  try {
    take();
  } catch (...) {
    ownError = std::current_exception();
  }
  // The caller has taken every piece left (or an error ended the pass): a withdrawn offer has
  // nothing more to do.
  for (int32_t i = 0; i < got; ++i) {
    std::exception_ptr error;
    if (claimed[i]->Collect(error) && error && !jobError) jobError = error;
  }
  if (ownError) std::rethrow_exception(ownError);
  if (jobError) std::rethrow_exception(jobError);
}

void RunBeside(const std::function<void()>& job, const std::function<void()>& own) {
  const int32_t threads = PixelThreads();
  THelper* helper = nullptr;
  if (threads < 2 || TPool::Get().Claim(1, threads - 1, &helper) == 0) {
    own();
    job();
    return;
  }
  helper->Offer(job);
  std::exception_ptr ownError, jobError;
  try {
    own();
  } catch (...) {
    ownError = std::current_exception();
  }
  if (!helper->Collect(jobError)) {
    try {
      job();
    } catch (...) {
      jobError = std::current_exception();
    }
  }
  if (ownError) std::rethrow_exception(ownError);
  if (jobError) std::rethrow_exception(jobError);
}
