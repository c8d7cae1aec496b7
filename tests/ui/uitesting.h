// SPDX-License-Identifier: Apache-2.0
// Helpers shared by the front end's tests: scripted prompts, and driving real modal windows.
#pragma once

#include "ui/dialogprompts.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

// Answers the dialog's file pickers from a script and records its messages.
class ScriptedPrompts : public DialogPrompts {
public:
    struct Message {
        QString text;
        QString caption;
        MessageIcon icon;
        QWidget* owner;
        bool busyPointer;  // the busy pointer was still showing when the box came up
    };

    std::optional<QString> nextSigningFile;
    std::optional<QString> nextOutputFile;
    int signingPickers = 0;
    int outputPickers = 0;
    QList<Message> messages;
    // Answers to the yes/no questions in turn; Yes once they run out.
    QList<bool> answers;
    QStringList questions;
    // Runs as each question comes up, before it is answered.
    std::function<void(const QString&)> onQuestion;

    std::optional<QString> ChooseSigningFile(QWidget*) override {
        ++signingPickers;
        return nextSigningFile;
    }
    std::optional<QString> ChooseOutputFile(QWidget*) override {
        ++outputPickers;
        return nextOutputFile;
    }
    void ShowMessage(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon) override {
        messages.append({text, caption, icon, owner, QApplication::overrideCursor() != nullptr});
    }
    bool AskYesNo(QWidget*, const QString& text, const QString&) override {
        questions << text;
        if (onQuestion) {
            onQuestion(text);
        }
        return answers.isEmpty() ? true : answers.takeFirst();
    }
};

// Runs the action on the first modal window of type T that comes up, from a timer, so that
// a test can drive a real modal loop without sleeping. The result turns true once the
// action ran. Whatever the action leaves open (a check failed half-way) is closed, and so is
// any modal window when none of type T comes up in time, so that a test never hangs.
template <typename T>
std::shared_ptr<bool> WhenModal(std::function<void(T*)> action, int timeoutMs = 10000) {
    auto ran = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, action, ran, clock, timeoutMs] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
            window && window->isVisible()) {
            timer->stop();
            timer->deleteLater();
            *ran = true;
            const QPointer<QWidget> shown = window;
            action(window);
            if (shown && shown->isVisible()) {
                shown->close();
            }
        } else if (clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            if (QWidget* stuck = QApplication::activeModalWidget()) {
                stuck->close();
            }
        }
    });
    timer->start(10);
    return ran;
}
