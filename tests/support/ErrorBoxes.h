#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include <functional>

// Plays the user in front of the toolkit's error box: dismisses every message box that comes up
// and keeps what each one said, so a test can run code that shows one.
class ErrorBoxes
{
public:
    // Runs while a box is up, before it is dismissed, to look at the program with the box in front.
    std::function<void()> whileShown;
    QStringList messages;

    ErrorBoxes()
    {
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, &poll, [this] { Dismiss(); });
        poll.start();
    }

private:
    void Dismiss()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop(); // whileShown may spin the event loop; the box is answered once
        if (whileShown)
            whileShown();
        messages << box->text();
        box->close();
        poll.start();
    }

    QTimer poll;
};
