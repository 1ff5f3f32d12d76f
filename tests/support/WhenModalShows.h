#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <functional>
#include <memory>

// Runs act on the first modal widget of type T once it runs its modal loop, so a test can
// answer a dialog that the code under test opens with exec(). After 10 s without such a
// dialog it gives up without calling act, and the test's own checks then fail.
template <typename T> void whenModalShows(std::function<void(T*)> act)
{
    auto* poll = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(10000);
    QObject::connect(poll, &QTimer::timeout, [poll, act, deadline] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog && !deadline->hasExpired())
            return;
        poll->stop();
        poll->deleteLater();
        if (dialog)
            act(dialog);
    });
    poll->start(10);
}

// Runs act on every modal widget of type T that runs its modal loop while context lives, for
// cases where the dialog may well not open at all (no deadline to outlast the test).
template <typename T> void eachTimeModalShows(QObject* context, std::function<void(T*)> act)
{
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [act] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget()))
            act(dialog);
    });
    poll->start(10);
}
