#pragma once

#include <QStackedWidget>

class QLabel;

// The port state as two 16 x 16 discs in one place, imgNotConnected (red)
// and imgConnected (green); the one in front is the one seen.
class StatusLight final : public QStackedWidget
{
    Q_OBJECT

public:
    explicit StatusLight(QWidget *parent = nullptr);
    void setConnected(bool connected);

private:
    QLabel *imgNotConnected = nullptr;
    QLabel *imgConnected = nullptr;
};
