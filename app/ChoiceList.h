#pragma once

#include <QComboBox>

// An editable drop-down list that shows a fixed text until the operator
// picks an item. The program reads only the picked index (-1 = unpicked), so
// text typed into the box must never suggest a choice that is not sent:
// typing the text of an item picks it, anything else leaves the list unpicked,
// and leaving the box while unpicked shows the initial text again.
class ChoiceList : public QComboBox
{
    Q_OBJECT

public:
    ChoiceList(const QString &objectName, const QString &initialText, const QString &toolTip,
               QWidget *parent = nullptr);

    [[nodiscard]] int choice() const { return currentIndex(); }
    [[nodiscard]] QString initialText() const { return m_initialText; }
    // Empties the list and shows the initial text, unpicked.
    void reset();
    void addItemsInOrder(const QStringList &items);

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void onTextEdited(const QString &text);
    void showInitialTextIfUnpicked();

    QString m_initialText;
};
