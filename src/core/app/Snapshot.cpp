#include "app/Snapshot.h"

namespace koru {

bool RenderFirstScreen(Session& session, SignalView& view, const std::string& file) {
    session.AttachView(&view);
    session.StartUp({file});
    if (!session.document().IsOpen()) return false;
    session.FinishStartUp();
    view.Update();
    return true;
}

bool RenderStartUpPicture(Session& session, SignalView& view, const std::string& file) {
    if (!RenderFirstScreen(session, view, file)) return false;
    if (session.CompleteAnnotations()) {
        view.InvalidateAll();  // the markers and labels now read
        view.Update();
    }
    return session.document().IsOpen();
}

}  // namespace koru
