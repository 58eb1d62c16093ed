// The About box, opened from the main window's menu bar as a user opens it.
#include "form1.h"
#include "form2.h"
#include "korvane_version.h"
#include "module1.h"
#include "test_support.h"
#include "twips.h"

#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTextLayout>

class TestAboutBox : public QObject {
    Q_OBJECT

private slots:
    void init() {
        form = new Form1;
        form->show();
        QVERIFY(uitest::waitActive(form));
    }
    void cleanup() { delete form; }

    void showsTheDescriptionModally() {
        korvane::Module1::ConfigFile = "kept";
        openAbout([this](Form2* box, QPushButton* ok, QLabel* label) {
            QCOMPARE(box->windowTitle(), "About Korvane");
            QVERIFY(box->isModal());
            QCOMPARE(box->parentWidget(), form);
            QVERIFY(box->windowFlags() & Qt::WindowCloseButtonHint);
            QVERIFY(!(box->windowFlags() &
                      (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
            QCOMPARE(box->size(), korvane::twips::toPixels(QSize(3744, 2496), *box));
            QCOMPARE(box->minimumSize(), box->maximumSize());

            QCOMPARE(ok->text(), "OK");
            QCOMPARE(ok->geometry(), korvane::twips::toPixels(QRect(1200, 1800, 1332, 492), *box));
            QVERIFY(ok->hasFocus());
            QVERIFY(!ok->isDefault() && !ok->autoDefault());

            QCOMPARE(label->geometry(), korvane::twips::toPixels(QRect(360, 480, 3120, 792), *box));
            QVERIFY(label->text().startsWith(
                "This program is designed to check for flaws in server settings which may cause "
                "?status bugs and false cheater alerts."));
            QVERIFY(label->text().contains(QLatin1String(korvane::kVersion)));
            QVERIFY(label->wordWrap());
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
            QCOMPARE(label->textInteractionFlags(), Qt::NoTextInteraction);
            // The letters of the last line stand inside the label.
            QVERIFY(qRound(lastBaseline(*label)) <= label->height());

            // Form1 takes no input meanwhile: its Ctrl+Q does not end the program.
            QTest::keyClick(ok, Qt::Key_Q, Qt::ControlModifier);
            QVERIFY(form->isVisible());
            QCOMPARE(QApplication::activeModalWidget(), box);
            box->close(); // the title-bar close button
        });
        QCOMPARE(korvane::Module1::ConfigFile, "kept");
    }

    void keys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Return") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << true;
        QTest::newRow("keypad Enter")
            << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << true;
        QTest::newRow("Space") << int(Qt::Key_Space) << Qt::KeyboardModifiers() << true;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << Qt::KeyboardModifiers() << false;
    }
    void keys() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, closes);
        openAbout([&](Form2* box, QPushButton* ok, QLabel*) {
            QTest::keyClick(ok, Qt::Key(key), modifiers);
            QCOMPARE(box->isVisible(), !closes);
            box->close();
        });
    }

    void comesBackFresh() {
        QPointer<Form2> first;
        openAbout([&](Form2* box, QPushButton* ok, QLabel*) {
            first = box;
            QTest::keyClick(ok, Qt::Key_Return);
        });
        QVERIFY(first.isNull());
        openAbout([&](Form2*, QPushButton* ok, QLabel* label) {
            QVERIFY(ok->hasFocus());
            QVERIFY(label->text().startsWith("This program is designed"));
            QTest::keyClick(ok, Qt::Key_Return);
        });
    }

private:
    // The baseline of the label's last line once its text is wrapped.
    static qreal lastBaseline(const QLabel& label) {
        QTextLayout layout(label.text(), label.font());
        layout.beginLayout();
        qreal y = 0;
        qreal baseline = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(label.width());
            baseline = y + line.ascent();
            y += QFontMetricsF(label.font()).lineSpacing();
        }
        layout.endLayout();
        return baseline;
    }

    // Chooses "&About..." on the menu bar and runs `drive` on the box.
    void openAbout(const std::function<void(Form2*, QPushButton*, QLabel*)>& drive) {
        uitest::ModalDriver driver([&](QWidget* widget) {
            auto* box = qobject_cast<Form2*>(widget);
            QVERIFY(box);
            auto* ok = box->findChild<QPushButton*>("Command1");
            auto* label = box->findChild<QLabel*>("Label1");
            QVERIFY(ok && label);
            drive(box, ok, label);
        });
        QAction* about = form->findChild<QAction*>("mnuabt");
        QTest::mouseClick(form->menuBar(), Qt::LeftButton, {},
                          form->menuBar()->actionGeometry(about).center());
        QVERIFY(driver.ran());
        QVERIFY(!driver.leftOpen());
    }

    Form1* form = nullptr;
};

QTEST_MAIN(TestAboutBox)
#include "tst_about_box.moc"
