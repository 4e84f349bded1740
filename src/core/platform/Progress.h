#pragma once
// Where long work reports how far it has got, without knowing who watches.

namespace koru {

// Progress box modes; the texts are the box's own.
enum class ProgressMode { Reading = 0, Writing = 1, Detecting = 2 };

class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    // 0 to 100; called only when the value changes.
    virtual void ProgressSet(int percent) { (void)percent; }
};

}  // namespace koru
