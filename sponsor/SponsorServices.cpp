#include "sponsor/SponsorServices.h"

#include <QMessageBox>
#include <QWidget>

bool AskYesNo(QWidget* Owner, const QString& Text, const QString& Caption) {
    // The box shows a CR LF pair as one line break, not as two.
    QString Shown = Text;
    Shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox Box(QMessageBox::Question, Caption, Shown, QMessageBox::Yes | QMessageBox::No, Owner);
    Box.setTextFormat(Qt::PlainText);
    Box.setDefaultButton(QMessageBox::No);
    Box.setEscapeButton(QMessageBox::No);
    return Box.exec() == QMessageBox::Yes;
}
