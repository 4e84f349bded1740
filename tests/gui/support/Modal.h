#pragma once
// Acting on a modal window from inside its exec().

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace koru::test {

// Runs `step` on the next modal window of type T once it is up. Steps only
// record what they see and always close their window, so a failed check
// never leaves a dialog open.
template <typename T>
void OnModal(std::function<void(T*)> step) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!w || !w->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        step(w);
        if (w->isVisible()) w->close();
    });
    timer->start();
}

}  // namespace koru::test
