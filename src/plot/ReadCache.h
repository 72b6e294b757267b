#pragma once
// What the curve reader keeps of its last reads, so that a command that reads
// the curve files twice ("&Set Task", before and after the axis file) parses
// each unchanged file once. A copy of a state starts with nothing kept.

#include <memory>

namespace zelk {

namespace detail {
struct KeptReads;
}

class ReadCache {
  public:
    ReadCache();
    ~ReadCache();
    ReadCache(const ReadCache&);
    ReadCache& operator=(const ReadCache&);

    // Allocated on first use.
    detail::KeptReads& Get();
    void Clear();

    // How many curve files and EPS.res were parsed rather than taken from
    // here; for tests and benchmarks. A copy starts at 0.
    long Parses() const { return parses_; }
    void CountParse() { ++parses_; }

  private:
    std::unique_ptr<detail::KeptReads> kept_;
    long parses_ = 0;
};

}  // namespace zelk
