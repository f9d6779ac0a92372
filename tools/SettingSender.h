#pragma once

#include "tools/SetArguments.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdio>
#include <memory>

class SerialLink;
class SettingTransaction;

// Sends vantrel-set's frames one after another through the window's serial
// link and Setting transaction, each waiting for its acknowledgement.
class SettingSender final : public QObject
{
    Q_OBJECT

public:
    struct Output
    {
        std::FILE *out = stdout;
        std::FILE *err = stderr;
    };

    SettingSender(const SetArguments::Plan &plan, Output output, QObject *parent = nullptr);
    ~SettingSender() override;

    // Opens the device and sends the first frame; the outcome comes as
    // finished(), never from inside this call.
    void start();

signals:
    void finished(int exitCode);

private:
    void sendNext();
    void onChunk(const QByteArray &chunk);
    void onTimedOut();
    void onPortLost(const QString &reason);
    void finish(int exitCode);
    void say(const QString &line);
    void complain(const QString &text);
    void trace(const QString &line);
    [[nodiscard]] QString withPath(QString text) const;
    [[nodiscard]] QString openFailure(const QString &linkError) const;

    SetArguments::Plan m_plan;
    Output m_output;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<SettingTransaction> m_transaction;
    qsizetype m_next = 0;
    bool m_waiting = false;
    bool m_finished = false;
};
