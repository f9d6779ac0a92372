#pragma once

#include <QString>

class QWidget;

enum class MessageIcon
{
    Information,
    None
};

// Every message the program shows goes through this seam: production opens a
// real modal box, tests record the message without blocking.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // Returns once the operator has dismissed the box.
    virtual void show(const QString &text, const QString &title,
                      MessageIcon icon = MessageIcon::Information) = 0;
};

class QtMessageBoxes final : public MessageBoxes
{
public:
    explicit QtMessageBoxes(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void show(const QString &text, const QString &title, MessageIcon icon) override;

private:
    QWidget *m_parent;
};
