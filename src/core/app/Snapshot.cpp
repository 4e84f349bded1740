#include "app/Snapshot.h"

namespace koru {

bool RenderStartUpPicture(Session& session, SignalView& view, const std::string& file) {
    session.AttachView(&view);
    session.StartUp({file});
    if (!session.document().IsOpen()) return false;
    session.FinishStartUp();
    view.Update();
    return true;
}

}  // namespace koru
