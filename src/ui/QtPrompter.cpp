#include "ui/QtPrompter.h"

#include <QApplication>
#include <QMessageBox>

#include "widgets/NoByDefault.h"

velnor::PromptAnswer CQtPrompter::Ask(const std::string& text, velnor::PromptButtons buttons,
                                      const std::string& caption, velnor::PromptIcon icon) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption.empty() ? QString::fromLatin1(kCaption)
                                       : QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(icon == velnor::PromptIcon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon);
    switch (buttons) {
        case velnor::PromptButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case velnor::PromptButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            if (CNoByDefault::IsActive()) box.setDefaultButton(QMessageBox::No);
            break;
        case velnor::PromptButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            if (CNoByDefault::IsActive()) box.setDefaultButton(QMessageBox::No);
            break;
    }
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    if (buttons == velnor::PromptButtons::Ok) return velnor::PromptAnswer::Ok;
    if (clicked == box.button(QMessageBox::Yes)) return velnor::PromptAnswer::Yes;
    if (clicked == box.button(QMessageBox::Cancel)) return velnor::PromptAnswer::Cancel;
    return velnor::PromptAnswer::No;  // only Yes continues
}

void CQtPrompter::Notify(const std::string& text) {
    auto* box = new QMessageBox(QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_QuitOnClose, false);  // never keeps the program running
    box->setWindowTitle(QString::fromLatin1(kCaption));
    box->setText(QString::fromStdString(text));
    box->setTextFormat(Qt::PlainText);
    box->setIcon(QMessageBox::NoIcon);
    box->setStandardButtons(QMessageBox::Ok);
    box->show();
}
