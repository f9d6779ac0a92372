#include "app/ReadSettingPage.h"

#include "app/LogView.h"
#include "app/PageControls.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

using namespace PageControls;

ReadSettingPage::ReadSettingPage(const ReceiveLog &log, const QString &title, QWidget *parent)
    : QWidget(parent)
{
    auto *outer = new QVBoxLayout(this);
    Text1 = new LogView(log, this);
    Text1->setFont(arial(12));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Read-only, yet a keyboard or screen reader user must be able to move
    // through the text; Tab must still leave it.
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Text1->setTabChangesFocus(true);
    Text1->setFocusPolicy(Qt::StrongFocus);
    // It has no caption of its own; the page title names it.
    Text1->setAccessibleName(title);
    outer->addWidget(Text1, 1);
    auto *buttons = new QHBoxLayout;
    Command5 = makeButton(QStringLiteral("Command5"), QStringLiteral("Clear Data"),
                          QStringLiteral("清除資料"), 12, this);
    CmdSave = makeButton(QStringLiteral("CmdSave"), QStringLiteral("Save as"),
                         QStringLiteral("儲存..."), 12, this);
    buttons->addWidget(Command5);
    buttons->addStretch(1);
    buttons->addWidget(CmdSave);
    outer->addLayout(buttons);
}

QList<QWidget *> ReadSettingPage::tabChain() const
{
    return {Text1, Command5, CmdSave};
}
