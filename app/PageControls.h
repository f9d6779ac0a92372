#pragma once

#include "protocol/ByteText.h"
#include "protocol/SettingCodec.h"

#include <QFont>
#include <QList>
#include <QString>
#include <QWidget>

#include <string_view>

class ChoiceList;
class QLabel;
class QLineEdit;
class QPushButton;

// The window's controls as the pages and the top row make them: fonts,
// tooltips, names for screen readers.
namespace PageControls {

inline const QString kChoose = QStringLiteral("請選擇");

[[nodiscard]] QFont arial(qreal points);
// The window's own font, with a fallback that has the tooltips' characters.
[[nodiscard]] QFont windowFont();

// A list named and filled from its code table, unpicked.
[[nodiscard]] ChoiceList *makeList(const SettingCodec::ListTable &table, QWidget *parent);
[[nodiscard]] QPushButton *makeButton(const QString &name, const QString &caption,
                                      const QString &toolTip, qreal points, QWidget *parent);
// A page's "Setting" button.
[[nodiscard]] QPushButton *makeSettingButton(const QString &name, QWidget *parent);
[[nodiscard]] QLabel *makeLabel(const QString &caption, const QString &toolTip, qreal points,
                                QWidget *parent);
// Names the list after its label for screen readers.
void labelList(QLabel *label, ChoiceList *list);

} // namespace PageControls

// A page whose "Setting" button sends a frame built from its controls.
class SettingPage : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    // nullopt when the controls hold a value the frame cannot carry.
    [[nodiscard]] virtual std::optional<SettingCodec::ConfigFrame> frame() const = 0;
    [[nodiscard]] QPushButton *settingButton() const { return m_setting; }
    // Its controls in reading order, for the window's tab chain.
    [[nodiscard]] const QList<QWidget *> &tabChain() const { return m_chain; }

protected:
    QPushButton *m_setting = nullptr;
    QList<QWidget *> m_chain;
};
