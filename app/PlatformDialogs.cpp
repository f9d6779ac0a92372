#include "app/MessageBoxes.h"
#include "app/SaveDialog.h"

#include <QFileDialog>
#include <QMessageBox>

void QtMessageBoxes::show(const QString &text, const QString &title, MessageIcon icon)
{
    QMessageBox box(icon == MessageIcon::Information ? QMessageBox::Information
                                                     : QMessageBox::NoIcon,
                    title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

QString QtSaveDialog::askFileName(const SaveRequest &request)
{
    // A fresh dialog per press: the file name always starts empty.
    QFileDialog dialog(m_parent, request.title, request.folder, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(QString());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
