#pragma once

#include "app/MessageBoxes.h"
#include "app/SaveDialog.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <functional>

// Records every message instead of opening a modal box. `whileOpen` runs
// where the real box would run its event loop, so a test can make things
// happen "under" an open box.
class RecordingBoxes final : public MessageBoxes
{
public:
    struct Shown
    {
        QString text;
        QString title;
        MessageIcon icon;
        int underneath = 0; // boxes still open below this one when it opened
    };

    void show(const QString &text, const QString &title, MessageIcon icon) override
    {
        shown.append({text, title, icon, m_open});
        // A copy: a box opened from whileOpen appends to `shown`.
        const Shown current = shown.constLast();
        ++m_open;
        if (whileOpen)
            whileOpen(current);
        --m_open;
    }

    // The most boxes ever open at once; more than one means a box was opened
    // on top of another.
    [[nodiscard]] int mostOpenAtOnce() const
    {
        int most = 0;
        for (const Shown &s : shown)
            most = std::max(most, s.underneath + 1);
        return most;
    }

    [[nodiscard]] QStringList texts() const
    {
        QStringList out;
        for (const Shown &s : shown)
            out << s.text;
        return out;
    }

    QList<Shown> shown;
    std::function<void(const Shown &)> whileOpen;

private:
    int m_open = 0;
};

// Answers the save dialog from a queue; an empty answer is a cancel.
class ScriptedSaveDialog final : public SaveDialog
{
public:
    QString askFileName(const SaveRequest &request) override
    {
        requests.append(request);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    QStringList answers;
    QList<SaveRequest> requests;
};
