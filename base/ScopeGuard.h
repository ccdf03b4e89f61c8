#pragma once
// Runs a function when the scope ends, unless dismissed: the undo step of a multi-step set-up, written
// next to the step it undoes.
#include <utility>

template <typename F>
class ScopeGuard {
  public:
    explicit ScopeGuard(F f) : f_(std::move(f)) {}
    ~ScopeGuard() {
        if (active_)
            f_();
    }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;

    void dismiss() { active_ = false; }

  private:
    F f_;
    bool active_ = true;
};

template <typename F>
ScopeGuard<F> MakeScopeGuard(F f) {
    return ScopeGuard<F>(std::move(f));
}
