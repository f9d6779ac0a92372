#include "app/PageControls.h"

#include "app/ChoiceList.h"

#include <QLabel>
#include <QPushButton>

namespace PageControls {

QFont arial(qreal points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    return font;
}

QFont windowFont()
{
    QFont font(QStringLiteral("PMingLiU"));
    font.setFamilies({QStringLiteral("PMingLiU"), QStringLiteral("新細明體"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSizeF(11.25);
    return font;
}

ChoiceList *makeList(const SettingCodec::ListTable &table, QWidget *parent)
{
    auto *list =
        new ChoiceList(toQString(table.name), toQString(table.initialText), kChoose, parent);
    list->setFont(arial(9));
    QStringList items;
    for (const SettingCodec::ListItem &item : table.items)
        items << toQString(item.text);
    list->addItemsInOrder(items);
    return list;
}

QPushButton *makeButton(const QString &name, const QString &caption, const QString &toolTip,
                        qreal points, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(toolTip);
    button->setFont(arial(points));
    // Some styles make buttons click-only; every button must be reachable by Tab.
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAccessibleName(caption);
    button->setAccessibleDescription(toolTip);
    return button;
}

QPushButton *makeSettingButton(const QString &name, QWidget *parent)
{
    return makeButton(name, QStringLiteral("Setting"), QStringLiteral("設置"), 12, parent);
}

QLabel *makeLabel(const QString &caption, const QString &toolTip, qreal points, QWidget *parent)
{
    auto *label = new QLabel(caption, parent);
    label->setToolTip(toolTip);
    label->setFont(arial(points));
    return label;
}

// A screen reader names a list after its label. The label's tooltip goes in
// the description: it says what the value means, while the list's own tooltip
// only asks the operator to choose.
void labelList(QLabel *label, ChoiceList *list)
{
    label->setBuddy(list);
    list->setAccessibleName(label->text());
    list->setAccessibleDescription(label->toolTip());
}

} // namespace PageControls
