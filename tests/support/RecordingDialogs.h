#pragma once

#include "app/MessageBoxes.h"
#include "app/SaveDialog.h"

#include <QList>
#include <QStringList>

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
    };

    void show(const QString &text, const QString &title, MessageIcon icon) override
    {
        shown.append({text, title, icon});
        if (whileOpen)
            whileOpen(shown.constLast());
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
