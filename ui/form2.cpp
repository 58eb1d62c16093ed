#include "form2.h"

#include "twips.h"
#include "window_text.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

Form2::Form2(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      Command1(new QPushButton(tr("OK"), this)), Label1(new QLabel(this)) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(tr("About Korvane"));
    setFixedSize(korvane::twips::toPixels(korvane::window::kAboutClient, *this).size());

    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(korvane::twips::toPixels(korvane::window::kAboutButton, *this));
    // Neither default nor cancel button: Enter presses it only because it
    // has the focus (see keyPressEvent).
    Command1->setAutoDefault(false);
    Command1->setDefault(false);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(korvane::twips::toPixels(korvane::window::kAboutLabel, *this));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setTextInteractionFlags(Qt::NoTextInteraction);
    Label1->setFocusPolicy(Qt::NoFocus);
    Label1->setText(QString::fromUtf8(korvane::window::aboutText()));

    // The only control that takes the focus, so it always has it.
    Command1->setFocus();
}

void Form2::keyPressEvent(QKeyEvent* event) {
    const bool plain = event->modifiers() == Qt::NoModifier ||
                       (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // A focused button that is not a default button ignores Enter, and
        // so would QDialog here: Enter presses Command1 as Space does.
        Command1->click();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        // No cancel button: QDialog would close the box on Escape.
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form2::showEvent(QShowEvent* event) {
    // The window system places the box; QDialog would centre it on Form1.
    QWidget::showEvent(event);
}

void Form2::Command1_Click() {
    close();
}
