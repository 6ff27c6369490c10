// Shows the three dialogs as a user sees them, the main dialog after an analysis of a
// stream, and saves a picture of each: `varnodel_app_shots STREAM OUTDIR`. Used for
// the pictures under docs/ and to look at the program under a plain X server.

#include "app/CAboutDlg.h"
#include "app/CAnalyzerDlg.h"
#include "app/COptionsDlg.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char** argv)
{
    // Never the user's own settings: the defaults of a first start.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    if (argc < 3)
    {
        qWarning("usage: varnodel_app_shots STREAM OUTDIR");
        return 2;
    }
    const QString stream = QString::fromLocal8Bit(argv[1]);
    const QDir out(QString::fromLocal8Bit(argv[2]));

    CAnalyzerDlg main;
    main.move(0, 0);
    main.show();
    main.m_editFileName.setText(stream);
    // With a large stream, a picture of the window in the middle of the run.
    QTimer::singleShot(300, [&] {
        if (main.IsRunning())
            main.grab().save(out.filePath(QStringLiteral("running.png")));
    });
    main.m_nMaxPackets = qEnvironmentVariableIsSet("VARNODEL_SHOTS_ALL") ? 0 : main.m_nMaxPackets;
    main.OnAnalyze();
    // Open a few lines, as a user would, so the picture shows the tree's images.
    QTreeView& view = main.m_treeView;
    const QModelIndex root = view.model()->index(0, 0);
    view.expand(root);
    view.expand(view.model()->index(0, 0, root));
    view.expand(view.model()->index(1, 0, root));
    view.setCurrentIndex(view.model()->index(0, 0, view.model()->index(0, 0, root)));

    COptionsDlg options;
    options.m_nMaxPackets = 100;
    options.m_bSaveIn = 1;
    options.move(0, main.frameGeometry().bottom() + 20);
    options.show();

    CAboutDlg about;
    about.move(options.frameGeometry().right() + 20, main.frameGeometry().bottom() + 20);
    about.show();

    QTimer::singleShot(500, [&] {
        main.grab().save(out.filePath(QStringLiteral("main.png")));
        options.grab().save(out.filePath(QStringLiteral("options.png")));
        about.grab().save(out.filePath(QStringLiteral("about.png")));
    });
    // Stays up a while so the screen can be looked at from outside.
    QTimer::singleShot(qEnvironmentVariableIntValue("VARNODEL_SHOTS_SECONDS") * 1000 + 800, &app, &QApplication::quit);
    return app.exec();
}
