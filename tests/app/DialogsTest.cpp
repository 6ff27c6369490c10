// The options and about dialogs on their own.

#include "AppTestSupport.h"

#include "app/CAboutDlg.h"
#include "app/CAnalyzerDlg.h"
#include "app/COptionsDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QtTest>

namespace
{
// Opens the dialog as the main dialog does: values first, then show.
void Open(COptionsDlg& dlg, int32_t count, int saveIn)
{
    dlg.m_nMaxPackets = count;
    dlg.m_bSaveIn = saveIn;
    dlg.show();
}
}  // namespace

class OptionsDlgTest : public QObject
{
    Q_OBJECT
private slots:
    void openingSelectsTheRadioButtonFromTheSignedCount_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("analyze");
        QTest::newRow("100") << 100 << true;
        QTest::newRow("1") << 1 << true;
        QTest::newRow("0 is the complete stream") << 0 << false;
        QTest::newRow("negative is the complete stream") << -5 << false;
    }
    void openingSelectsTheRadioButtonFromTheSignedCount()
    {
        QFETCH(int, count);
        QFETCH(bool, analyze);
        COptionsDlg dlg;
        Open(dlg, count, 1);
        QCOMPARE(dlg.m_pRadioAnalyze->isChecked(), analyze);
        QCOMPARE(dlg.m_pRadioComplete->isChecked(), !analyze);
        QCOMPARE(dlg.m_editCount.text(), QString::number(count));
        QVERIFY(dlg.m_pCheckSaveIn->isChecked());
        // The field stays enabled until a radio button is clicked.
        QVERIFY(dlg.m_editCount.isEnabled());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Options"));
    }

    void radioButtonsAloneEnableTheCountField()
    {
        COptionsDlg dlg;
        Open(dlg, 0, 0);
        dlg.m_editCount.setText(QStringLiteral("42"));
        QTest::mouseClick(dlg.m_pRadioAnalyze, Qt::LeftButton);
        QVERIFY(dlg.m_editCount.isEnabled());
        QVERIFY(!dlg.m_pRadioComplete->isChecked());
        QTest::mouseClick(dlg.m_pRadioComplete, Qt::LeftButton);
        QVERIFY(!dlg.m_editCount.isEnabled());
        QVERIFY(!dlg.m_pRadioAnalyze->isChecked());
        // Nothing else changes, the text included.
        QCOMPARE(dlg.m_editCount.text(), QStringLiteral("42"));
    }

    void completeStreamSavesZeroWhateverTheFieldHolds()
    {
        COptionsDlg dlg;
        Open(dlg, 250, 0);
        QTest::mouseClick(dlg.m_pRadioComplete, Qt::LeftButton);
        dlg.m_editCount.setText(QStringLiteral("not a number"));
        dlg.m_pCheckSaveIn->setChecked(true);
        auto message = OnNextModal([](QWidget* w) { w->close(); }, 300);
        QTest::mouseClick(&dlg.m_btnOK, Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_nMaxPackets, 0);
        QCOMPARE(dlg.m_bSaveIn, 1);
        QCOMPARE(dlg.m_editCount.text(), QStringLiteral("0"));
        QTest::qWait(350);
        QVERIFY2(!*message, "no message may appear");
    }

    void analyzeSavesTheTypedCount_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("count");
        QTest::newRow("250") << "250" << 250;
        QTest::newRow("0 means complete next time") << "0" << 0;
        QTest::newRow("largest signed") << "2147483647" << 2147483647;
    }
    void analyzeSavesTheTypedCount()
    {
        QFETCH(QString, typed);
        QFETCH(int, count);
        COptionsDlg dlg;
        Open(dlg, 100, 1);
        dlg.m_editCount.clear();
        QTest::keyClicks(&dlg.m_editCount, typed);
        dlg.m_pCheckSaveIn->setChecked(false);
        QTest::mouseClick(&dlg.m_btnOK, Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_nMaxPackets, count);
        QCOMPARE(dlg.m_bSaveIn, 0);

        COptionsDlg again;
        Open(again, dlg.m_nMaxPackets, dlg.m_bSaveIn);
        QCOMPARE(again.m_pRadioAnalyze->isChecked(), count > 0);
    }

    void theFieldTakesDigitsOnly()
    {
        COptionsDlg dlg;
        Open(dlg, 100, 0);
        dlg.m_editCount.clear();
        QTest::keyClicks(&dlg.m_editCount, QStringLiteral("-1x2"));
        QCOMPARE(dlg.m_editCount.text(), QStringLiteral("12"));
    }

    void aCountThatIsNoIntegerKeepsTheDialogOpen_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("beyond 32 bits") << "99999999999";
    }
    void aCountThatIsNoIntegerKeepsTheDialogOpen()
    {
        QFETCH(QString, text);
        COptionsDlg dlg;
        Open(dlg, 100, 0);
        dlg.m_editCount.setText(text);
        dlg.m_pCheckSaveIn->setChecked(true);
        QString shown;
        auto message = OnNextModal([&shown](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w))
                shown = box->text();
            w->close();
        });
        QTest::mouseClick(&dlg.m_btnOK, Qt::LeftButton);
        QVERIFY(*message);
        QCOMPARE(shown, QString::fromLatin1(COptionsDlg::kIntegerMessage));
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), 0);
        // Values as they were, the check box not read either.
        QCOMPARE(dlg.m_nMaxPackets, 100);
        QCOMPARE(dlg.m_bSaveIn, 0);
        QCOMPARE(dlg.focusWidget(), static_cast<QWidget*>(&dlg.m_editCount));
    }

    void setDefaultsFillsTheControlsButLeavesTheFieldState()
    {
        COptionsDlg dlg;
        Open(dlg, 0, 0);
        QTest::mouseClick(dlg.m_pRadioComplete, Qt::LeftButton);
        QTest::mouseClick(&dlg.m_btnDefaults, Qt::LeftButton);
        QVERIFY(dlg.m_pRadioAnalyze->isChecked());
        QCOMPARE(dlg.m_editCount.text(), QStringLiteral("100"));
        QVERIFY(dlg.m_pCheckSaveIn->isChecked());
        QVERIFY(!dlg.m_editCount.isEnabled());
        QVERIFY(dlg.isVisible());
        QTest::mouseClick(dlg.m_pRadioAnalyze, Qt::LeftButton);
        QVERIFY(dlg.m_editCount.isEnabled());
        QTest::mouseClick(&dlg.m_btnOK, Qt::LeftButton);
        QCOMPARE(dlg.m_nMaxPackets, 100);
        QCOMPARE(dlg.m_bSaveIn, 1);
    }

    void cancelLeavesTheValuesUnread()
    {
        COptionsDlg dlg;
        Open(dlg, 7, 0);
        dlg.m_editCount.setText(QStringLiteral("999"));
        dlg.m_pCheckSaveIn->setChecked(true);
        QTest::mouseClick(&dlg.m_btnCancel, Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(dlg.m_nMaxPackets, 7);
        QCOMPARE(dlg.m_bSaveIn, 0);
    }

    void escapeCancels()
    {
        COptionsDlg dlg;
        Open(dlg, 7, 0);
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }

    void focusStartsOnSaveOptionsAndTabFollowsTheTemplate()
    {
        COptionsDlg dlg;
        Open(dlg, 100, 0);
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(&dlg.m_btnOK));
        QCOMPARE(dlg.m_btnOK.nextInFocusChain(), static_cast<QWidget*>(&dlg.m_btnCancel));
        QCOMPARE(dlg.m_btnCancel.nextInFocusChain(), static_cast<QWidget*>(&dlg.m_btnDefaults));
        QCOMPARE(dlg.m_btnDefaults.nextInFocusChain(), static_cast<QWidget*>(dlg.m_pCheckSaveIn));
        QVERIFY(dlg.m_btnCancel.isDefault());
    }
};
VARNODEL_TEST_CLASS(OptionsDlgTest);

class AboutDlgTest : public QObject
{
    Q_OBJECT
private slots:
    void showsVersionAndClosesWithItsButton()
    {
        CAboutDlg dlg;
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("About Varnodel"));
        QCOMPARE(dlg.m_btnOK.text(), QStringLiteral("sure, fine !"));
        QCOMPARE(dlg.m_pVersion->text(), QStringLiteral("V1.1.2a at 010515"));
        // Every line fits inside the dialog.
        for (QLabel* label : dlg.findChildren<QLabel*>())
            QVERIFY2(dlg.rect().contains(label->geometry()), qPrintable(label->text()));
        QTest::mouseClick(&dlg.m_btnOK, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
    }

    void theDialogsLookTheSameUnderADarkTheme()
    {
        // What each skinned dialog looks like under the default light palette and under a
        // dark one (white text on dark grey, as Adwaita-dark gives): the same pixels.
        auto shots = [] {
            CAboutDlg about;
            COptionsDlg options;
            Open(options, 250, 1);
            about.show();
            CAnalyzerDlg main;
            main.show();
            return QList<QImage>{about.grab().toImage(), options.grab().toImage(), main.grab().toImage()};
        };
        const QList<QImage> light = shots();
        const QPalette saved = QApplication::palette();
        QPalette dark(QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Text, Qt::white);
        dark.setColor(QPalette::ButtonText, Qt::white);
        dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
        QApplication::setPalette(dark);
        const QList<QImage> darkShots = shots();
        QApplication::setPalette(saved);
        QCOMPARE(darkShots.size(), light.size());
        for (int i = 0; i < light.size(); ++i)
            QVERIFY2(darkShots[i] == light[i], qPrintable(QStringLiteral("dialog %1").arg(i)));
    }

    void enterAndEscapeClose()
    {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape})
        {
            CAboutDlg dlg;
            dlg.show();
            QApplication::setActiveWindow(&dlg);
            QVERIFY(QTest::qWaitForWindowActive(&dlg));
            QTest::keyClick(QApplication::focusWidget(), key);
            QVERIFY(!dlg.isVisible());
        }
    }
};
VARNODEL_TEST_CLASS(AboutDlgTest);

#include "DialogsTest.moc"
