// The settings store and what the main dialog takes from it at start.

#include "AppTestSupport.h"

#include "app/CAnalyzerApp.h"
#include "app/CAnalyzerDlg.h"
#include "app/FileFilter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QtTest>

namespace
{
const QString kSection = QStringLiteral("progopts");

QStringList StoredKeys()
{
    return QSettings(SettingsFilePath(), QSettings::IniFormat).allKeys();
}
}  // namespace

class SettingsTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { ClearSettings(); }

    void absentValuesGiveTheCallersDefault()
    {
        QCOMPARE(CAnalyzerApp::GetProfileInt(kSection, QStringLiteral("maxpackets"), 100), 100);
        QCOMPARE(CAnalyzerApp::GetProfileInt(kSection, QStringLiteral("savein"), 0), 0);
        QCOMPARE(CAnalyzerApp::GetProfileString(kSection, QStringLiteral("initialdir")), QString());
        QCOMPARE(CAnalyzerApp::GetProfileString(kSection, QStringLiteral("initialdir"), QStringLiteral("x")),
                 QStringLiteral("x"));
    }

    void valuesSurviveARoundTripThroughTheDisk()
    {
        CAnalyzerApp::WriteProfileInt(kSection, QStringLiteral("maxpackets"), 250);
        CAnalyzerApp::WriteProfileInt(kSection, QStringLiteral("savein"), 1);
        CAnalyzerApp::WriteProfileString(kSection, QStringLiteral("initialdir"), QStringLiteral("/home/u/clips dir"));
        // Negative and extreme values come back unchanged (the dialog keeps 32 bits).
        CAnalyzerApp::WriteProfileInt(kSection, QStringLiteral("neg"), -7);
        CAnalyzerApp::WriteProfileInt(kSection, QStringLiteral("max"), std::numeric_limits<int>::min());

        QCOMPARE(CAnalyzerApp::GetProfileInt(kSection, QStringLiteral("maxpackets"), 100), 250);
        QCOMPARE(CAnalyzerApp::GetProfileInt(kSection, QStringLiteral("savein"), 0), 1);
        QCOMPARE(CAnalyzerApp::GetProfileString(kSection, QStringLiteral("initialdir")), QStringLiteral("/home/u/clips dir"));
        QCOMPARE(CAnalyzerApp::GetProfileInt(kSection, QStringLiteral("neg"), 0), -7);
        QCOMPARE(CAnalyzerApp::GetProfileInt(kSection, QStringLiteral("max"), 0), std::numeric_limits<int>::min());
    }

    void aValueThatIsNoIntegerReadsAsTheDefault()
    {
        CAnalyzerApp::WriteProfileString(kSection, QStringLiteral("maxpackets"), QStringLiteral("many"));
        QCOMPARE(CAnalyzerApp::GetProfileInt(kSection, QStringLiteral("maxpackets"), 100), 100);
    }

    void damagedStoreGivesTheDefaultsAndTheProgramRuns()
    {
        // Binary garbage where the store's file should be: nothing is readable in it.
        const QString path = SettingsFilePath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray junk;
        for (int i = 0; i < 4096; ++i)
            junk.append(static_cast<char>((i * 131 + 7) & 0xFF));
        junk.append("\n[progopts\nmaxpackets==\x01\x02\nsavein=\xff\xfe\n");
        file.write(junk);
        file.close();

        CAnalyzerDlg dlg;
        dlg.show();
        QCOMPARE(dlg.m_nMaxPackets, 100u);
        QCOMPARE(dlg.m_bSaveIn, uint8_t{0});
        QCOMPARE(CAnalyzerApp::GetProfileString(kSection, QStringLiteral("initialdir")), QString());
    }

    void unwritableStoreFailsQuietlyAndReadsDefaults()
    {
        // A plain file where the store's folder should be: no write can succeed.
        const QString dir = QFileInfo(SettingsFilePath()).absolutePath();
        QDir(dir).removeRecursively();
        QFile blocker(dir);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        CAnalyzerApp::WriteProfileInt(kSection, QStringLiteral("maxpackets"), 250);
        QCOMPARE(CAnalyzerApp::GetProfileInt(kSection, QStringLiteral("maxpackets"), 100), 100);
        CAnalyzerDlg dlg;
        dlg.show();
        QCOMPARE(dlg.m_nMaxPackets, 100u);
        QFile::remove(dir);
    }

    void storeLivesUnderTheOrganisationAndTheExecutableName()
    {
        CAnalyzerApp::WriteProfileInt(kSection, QStringLiteral("maxpackets"), 5);
        const QString expected = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/corvax/quelbor/") +
                                 QCoreApplication::applicationName() + QStringLiteral(".conf");
        QCOMPARE(QDir::cleanPath(SettingsFilePath()), QDir::cleanPath(expected));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("varnodel_app_tests"));
        QFile file(expected);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("[progopts]"));
        QVERIFY(text.contains("maxpackets=5"));
    }

    void mainDialogStartsWithTheDefaultsOnAnEmptyStore()
    {
        CAnalyzerDlg dlg;
        dlg.show();
        QCOMPARE(dlg.m_nMaxPackets, 100u);
        QCOMPARE(dlg.m_bSaveIn, uint8_t{0});
        // Reading at start writes nothing.
        QCOMPARE(StoredKeys(), QStringList());
    }

    void mainDialogReadsTheStoredValues_data()
    {
        QTest::addColumn<int>("savein");
        QTest::addColumn<int>("maxpackets");
        QTest::addColumn<int>("flag");
        QTest::addColumn<uint>("limit");
        QTest::newRow("on, 40") << 1 << 40 << 1 << 40u;
        QTest::newRow("only the low byte: 256 is off") << 256 << 0 << 0 << 0u;
        QTest::newRow("low byte 0x01 of 257") << 257 << 100 << 1 << 100u;
        QTest::newRow("negative count kept as its 32 bits") << 0 << -1 << 0 << 0xFFFFFFFFu;
    }
    void mainDialogReadsTheStoredValues()
    {
        QFETCH(int, savein);
        QFETCH(int, maxpackets);
        QFETCH(int, flag);
        QFETCH(uint, limit);
        CAnalyzerApp::WriteProfileInt(kSection, QStringLiteral("savein"), savein);
        CAnalyzerApp::WriteProfileInt(kSection, QStringLiteral("maxpackets"), maxpackets);
        CAnalyzerDlg dlg;
        dlg.show();
        QCOMPARE(int(dlg.m_bSaveIn), flag);
        QCOMPARE(dlg.m_nMaxPackets, limit);
    }

    void folderOfAChosenPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::newRow("nested") << "/home/u/clips/a.mpg" << "/home/u/clips";
        QTest::newRow("no separator") << "a.mpg" << "";
        QTest::newRow("root keeps the root") << "/a.mpg" << "/";
        QTest::newRow("backslash is a file-name character here") << "/x/C:\\clip.mpg" << "/x";
    }
    void folderOfAChosenPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QCOMPARE(FolderOfPath(path), folder);
    }

    void classicFiltersBecomeQtFilters()
    {
        QCOMPARE(QtFileFilter(QString::fromLatin1(CAnalyzerDlg::kInputFilter)),
                 QStringLiteral("MPEG Files (*.mpg *.vob *.mpv *.m2v *.m2p *.mp2 *.mpa);;All files (*.* *)"));
        QCOMPARE(QtFileFilter(QString::fromLatin1(CAnalyzerDlg::kAnalysisFilter)),
                 QStringLiteral("Analysis files (*.aaf);;All files (*.* *)"));
        QCOMPARE(QtFileFilter(QString()), QString());
    }
};
VARNODEL_TEST_CLASS(SettingsTest);

#include "SettingsTest.moc"
