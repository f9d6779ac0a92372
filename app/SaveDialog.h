#pragma once

#include <QString>

class QWidget;

struct SaveRequest
{
    QString title;
    QString filter; // a Qt name filter, e.g. "Text files (*.txt)"
    QString folder; // where the dialog starts
};

// The Save As dialog as a seam: returns the chosen path, or an empty string
// when the operator cancels. Every call starts with an empty file name.
class SaveDialog
{
public:
    virtual ~SaveDialog() = default;
    [[nodiscard]] virtual QString askFileName(const SaveRequest &request) = 0;
};

class QtSaveDialog final : public SaveDialog
{
public:
    explicit QtSaveDialog(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    [[nodiscard]] QString askFileName(const SaveRequest &request) override;

private:
    QWidget *m_parent;
};
