#pragma once
// What the shell asks of the Signal view around an open.

namespace koru {

class ViewControl {
  public:
    virtual ~ViewControl() = default;
    // Before samples load: background from the settings, no lines or tags,
    // cut text updated, back to the start.
    virtual void PrepareForLoad() = 0;
    // The empty look: start position, no lines or tags, white, repainted.
    virtual void ResetView() = 0;
};

}  // namespace koru
