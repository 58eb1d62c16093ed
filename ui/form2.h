#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About box: what the program is for, and an OK button that closes it.
// Fixed size, no minimise or maximise; closed by OK (mouse, Enter, Space)
// or the title-bar close button, never by Escape. The owner shows a fresh
// box modally each time.
class Form2 : public QDialog {
    Q_OBJECT

public:
    explicit Form2(QWidget* owner);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Command1_Click();

    QPushButton* Command1;
    QLabel* Label1;
};
