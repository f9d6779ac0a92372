#include "app/ChoiceList.h"

#include <QLineEdit>
#include <QSignalBlocker>

ChoiceList::ChoiceList(const QString &objectName, const QString &initialText,
                       const QString &toolTip, QWidget *parent)
    : QComboBox(parent), m_initialText(initialText)
{
    setObjectName(objectName);
    setToolTip(toolTip);
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Completion would pick items behind the operator's back.
    setCompleter(nullptr);
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(lineEdit(), &QLineEdit::textEdited, this, &ChoiceList::onTextEdited);
    reset();
}

void ChoiceList::reset()
{
    const QSignalBlocker blocker(this);
    clear();
    setCurrentIndex(-1);
    setEditText(m_initialText);
}

void ChoiceList::addItemsInOrder(const QStringList &items)
{
    const QSignalBlocker blocker(this);
    addItems(items);
    // QComboBox picks the first item of an empty list; we must not.
    setCurrentIndex(-1);
    setEditText(m_initialText);
}

void ChoiceList::onTextEdited(const QString &text)
{
    int match = -1;
    for (int i = 0; i < count(); ++i) {
        if (itemText(i).trimmed() == text.trimmed() && !text.trimmed().isEmpty()) {
            match = i;
            break;
        }
    }
    if (match == currentIndex())
        return;
    const int cursor = lineEdit()->cursorPosition();
    setCurrentIndex(match);
    // Changing the index rewrites the edit text; keep what the operator typed.
    setEditText(text);
    lineEdit()->setCursorPosition(cursor);
}

void ChoiceList::showInitialTextIfUnpicked()
{
    if (currentIndex() < 0 && currentText() != m_initialText)
        setEditText(m_initialText);
    else if (currentIndex() >= 0 && currentText() != itemText(currentIndex()))
        setEditText(itemText(currentIndex()));
}

void ChoiceList::focusOutEvent(QFocusEvent *event)
{
    QComboBox::focusOutEvent(event);
    showInitialTextIfUnpicked();
}
